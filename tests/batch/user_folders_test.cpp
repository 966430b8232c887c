#include "batch/user_folders.h"

#include <grp.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "tests/support/temp_dir.h"

namespace mojing {
namespace {

namespace fs = std::filesystem;
using test::Gbk;
using test::TempDir;
using test::WriteBytes;

void SetOrUnset(const char* name, const std::string* value) {
    if (value == nullptr) {
        unsetenv(name);
    } else {
        setenv(name, value->c_str(), 1);
    }
}

TEST(UserDownloadFolder, FromTheEnvironmentThenUserDirsThenTheDefault) {
    TempDir home;
    const std::string homePath = home.path().string();
    const std::string config = (home / "config").string();
    const std::string fromEnvironment = (home / "env-downloads/").string();
    for (const char* folder : {"config", "absolute", "relative"}) {
        fs::create_directory(home / folder);
    }
    WriteBytes(home / "config/user-dirs.dirs",
               "# written by xdg-user-dirs-update\nXDG_DESKTOP_DIR=\"$HOME/桌面\"\n"
               "XDG_DOWNLOAD_DIR=\"$HOME/下载\"\n");
    WriteBytes(home / "absolute/user-dirs.dirs", "XDG_DOWNLOAD_DIR=\"/srv/书库\"\n");
    WriteBytes(home / "relative/user-dirs.dirs", "XDG_DOWNLOAD_DIR=\"下载\"\n");
    const std::string absolute = (home / "absolute").string();
    const std::string relative = (home / "relative").string();
    const std::string relativeValue = "downloads";
    struct Case {
        const std::string* downloadDir;
        const std::string* configHome;
        std::string expected;  // UTF-8
    } const cases[] = {
        {&fromEnvironment, &config, homePath + "/env-downloads"},
        {nullptr, &config, homePath + "/下载"},
        {nullptr, &absolute, "/srv/书库"},
        {nullptr, &relative, homePath + "/Downloads"},
        {&relativeValue, &config, homePath + "/下载"},
        {nullptr, nullptr, homePath + "/Downloads"},  // ~/.config has no user-dirs.dirs
    };
    setenv("HOME", homePath.c_str(), 1);
    for (const Case& c : cases) {
        SetOrUnset("XDG_DOWNLOAD_DIR", c.downloadDir);
        SetOrUnset("XDG_CONFIG_HOME", c.configHome);
        EXPECT_EQ(UserDownloadFolder(), Gbk(c.expected))
            << (c.downloadDir ? *c.downloadDir : "-") << " "
            << (c.configHome ? *c.configHome : "-");
    }
}

TEST(DemoFolder, UnderTheCacheFolder) {
    setenv("HOME", "/home/读者", 1);
    unsetenv("XDG_CACHE_HOME");
    EXPECT_EQ(DemoFolder(), Gbk("/home/读者/.cache/mojing-shuxia/demo"));
    setenv("XDG_CACHE_HOME", "/var/cache/读者/", 1);
    EXPECT_EQ(DemoFolder(), Gbk("/var/cache/读者/mojing-shuxia/demo"));
}

TEST(ProgramFolderFor, AWritableExecutableFolderStays) {
    TempDir executableFolder;
    TempDir home;
    setenv("HOME", home.path().c_str(), 1);
    unsetenv("XDG_DOWNLOAD_DIR");
    EXPECT_EQ(ProgramFolderFor(executableFolder.path().string()), executableFolder.path().string());
    EXPECT_TRUE(fs::is_empty(home.path())) << "no download folder is made";
}

// In a child without write access to the executable's folder: root may write anywhere, so a
// child of root becomes nobody (65534) first; anyone else loses the folder's write bits.
void ExpectReadOnlyFolderGivesWayToDownloads(bool missingDownloads) {
    TempDir top;
    fs::permissions(top.path(), fs::perms::all);  // nobody must get through
    const fs::path executableFolder = top / "bin";
    const fs::path home = top / "home";
    fs::create_directories(executableFolder);
    fs::create_directories(home);
    fs::permissions(home, fs::perms::all);
    const fs::path downloads = home / (missingDownloads ? "还没有/下载" : "下载");
    if (!missingDownloads) {
        fs::create_directory(downloads);
        fs::permissions(downloads, fs::perms::all);
    }
    EXPECT_EXIT(
        {
            if (geteuid() == 0) {
                if (setgroups(0, nullptr) != 0 || setgid(65534) != 0 || setuid(65534) != 0) {
                    std::fputs("cannot become nobody\n", stderr);
                    std::_Exit(3);
                }
            } else {
                fs::permissions(executableFolder, fs::perms::owner_read | fs::perms::owner_exec);
            }
            if (access(executableFolder.c_str(), W_OK) == 0) {
                std::fputs("the executable's folder is still writable\n", stderr);
                std::_Exit(4);
            }
            setenv("HOME", home.c_str(), 1);
            setenv("XDG_DOWNLOAD_DIR", downloads.c_str(), 1);
            const std::string expected = Gbk((downloads / "墨鲸书匣").string());
            const std::string folder = ProgramFolderFor(executableFolder.string());
            if (folder != expected) {
                std::fprintf(stderr, "got %s\n", folder.c_str());
                std::_Exit(5);
            }
            if (!fs::is_directory(downloads / "墨鲸书匣") ||
                access((downloads / "墨鲸书匣").c_str(), W_OK) != 0) {
                std::fputs("no writable download folder made\n", stderr);
                std::_Exit(6);
            }
            std::fputs("download folder chosen\n", stderr);
            std::_Exit(0);
        },
        ::testing::ExitedWithCode(0), "download folder chosen");
}

TEST(ProgramFolderFor, AReadOnlyExecutableFolderGivesWayToTheDownloadFolder) {
    ExpectReadOnlyFolderGivesWayToDownloads(false);
}

TEST(ProgramFolderFor, TheDownloadFolderIsMadeWhenMissing) {
    ExpectReadOnlyFolderGivesWayToDownloads(true);
}

TEST(ProgramFolderFor, WithNoFolderToMakeTheExecutablesFolderStays) {
    unsetenv("HOME");
    unsetenv("XDG_DOWNLOAD_DIR");
    unsetenv("XDG_CONFIG_HOME");
    EXPECT_EQ(ProgramFolderFor("/no/such/folder"), "/no/such/folder");
}

}  // namespace
}  // namespace mojing
