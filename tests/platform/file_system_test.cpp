#include "platform/file_system.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "tests/support/temp_dir.h"
#include "tests/support/writer_process.h"

namespace mojing::platform {
namespace {

namespace fs = std::filesystem;
using test::Gbk;
using test::LeasesWorkFor;
using test::ReadBytes;
using test::TempDir;
using test::WriteBytes;
using test::WriterProcess;

// The GBK form of a path on disk, as the program's callers hand it over.
std::string GbkPath(const fs::path& path) { return Gbk(path.string()); }

std::span<const unsigned char> Bytes(std::string_view text) {
    return {reinterpret_cast<const unsigned char*>(text.data()), text.size()};
}

TEST(FileSystem, ReadsWholeFileUnderChineseName) {
    const TempDir dir;
    const fs::path file = dir / "小说名.txt";
    const std::string content = Gbk("斗破苍穹\r\n") + std::string("a\0b", 3);
    WriteBytes(file, content);
    EXPECT_EQ(ReadWholeFile(GbkPath(file)), content);
    EXPECT_EQ(ReadWholeFileDenyingWriters(GbkPath(file)), content);
}

TEST(FileSystem, ReadGivesNothingForMissingEmptyOrFolder) {
    const TempDir dir;
    WriteBytes(dir / "empty.txt", "");
    fs::create_directory(dir / "folder");
    for (const std::string& path : {GbkPath(dir / "missing.txt"), GbkPath(dir / "empty.txt"),
                                    GbkPath(dir / "folder"), std::string()}) {
        EXPECT_EQ(ReadWholeFile(path), "") << path;
        EXPECT_EQ(ReadWholeFileDenyingWriters(path), "") << path;
    }
}

TEST(FileSystem, PathWithNulNamesNothing) {
    const TempDir dir;
    WriteBytes(dir / "a", "content");
    const std::string cut = GbkPath(dir / "a") + std::string("\0b", 2);
    EXPECT_EQ(ReadWholeFile(cut), "");
    EXPECT_EQ(FileSize(cut), -1);
    EXPECT_FALSE(DeleteFile(cut));
    EXPECT_TRUE(fs::exists(dir / "a"));
}

TEST(FileSystem, DenyingWritersGivesNothingWhileAnotherProcessWrites) {
    const TempDir dir;
    const fs::path file = dir / "名单.txt";
    WriteBytes(file, "a\r\nb\r\n");
    if (!LeasesWorkFor(file)) GTEST_SKIP() << "no read leases on " << dir.path();
    {
        const WriterProcess writer(file);
        ASSERT_TRUE(writer.Opened());
        EXPECT_EQ(ReadWholeFileDenyingWriters(GbkPath(file)), "");
        EXPECT_EQ(ReadWholeFile(GbkPath(file)), "a\r\nb\r\n");
    }
    EXPECT_EQ(ReadWholeFileDenyingWriters(GbkPath(file)), "a\r\nb\r\n");
}

// A writer that opens the file while the reader holds its lease makes the kernel signal the
// reader; that must neither end the reader nor give it a part of the file.
TEST(FileSystem, WriterOpeningDuringReadDoesNotEndReader) {
    const TempDir dir;
    const fs::path file = dir / "big.txt";
    const std::string content(8 << 20, 'x');
    WriteBytes(file, content);
    if (!LeasesWorkFor(file)) GTEST_SKIP() << "no read leases on " << dir.path();
    int report[2];
    ASSERT_EQ(pipe(report), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // A non-blocking open fails with EWOULDBLOCK exactly when it broke a lease.
        int breaks = 0;
        for (long attempt = 0; attempt < 20'000'000 && breaks < 20; ++attempt) {
            const int fd = open(file.c_str(), O_WRONLY | O_NONBLOCK);
            if (fd >= 0) {
                close(fd);
            } else if (errno == EWOULDBLOCK) {
                ++breaks;
            }
        }
        (void)!write(report[1], &breaks, sizeof breaks);
        _exit(0);
    }
    close(report[1]);
    int full = 0;
    for (;;) {
        const std::string read = ReadWholeFileDenyingWriters(file.string());
        ASSERT_TRUE(read.empty() || read == content) << read.size();
        if (!read.empty()) ++full;
        if (waitpid(child, nullptr, WNOHANG) == child) break;
    }
    int breaks = 0;
    ASSERT_EQ(read(report[0], &breaks, sizeof breaks), static_cast<ssize_t>(sizeof breaks));
    close(report[0]);
    EXPECT_GT(breaks, 0) << "the writer never met a lease, " << full << " full reads";
}

TEST(FileSystem, FindsEntriesByWildcardIgnoringCase) {
    const TempDir dir;
    for (const char* name : {"a.txt", "B.TXT", "书.txt", "c.doc", "书名.txt", "[a].txt"}) {
        WriteBytes(dir / name, "");
    }
    fs::create_directory(dir / "x.txt");
    fs::create_directory_symlink(dir / "x.txt", dir / "link.txt");

    auto find = [&](std::string_view wildcard) {
        std::map<std::string, bool> found;
        for (const DirectoryEntry& entry : FindDirectoryEntries(GbkPath(dir.path()), wildcard)) {
            found[entry.name] = entry.isDirectory;
        }
        return found;
    };
    const std::map<std::string, bool> txt{
        {"a.txt", false},   {"B.TXT", false}, {Gbk("书.txt"), false}, {Gbk("书名.txt"), false},
        {"[a].txt", false}, {"x.txt", true},  {"link.txt", true}};
    EXPECT_EQ(find("*.txt"), txt);
    EXPECT_EQ(find("*.tXt"), txt);
    // '?' is one character, two GBK bytes or three UTF-8 bytes alike.
    EXPECT_EQ(find("?.txt"),
              (std::map<std::string, bool>{
                  {"a.txt", false}, {"B.TXT", false}, {Gbk("书.txt"), false}, {"x.txt", true}}));
    EXPECT_EQ(find(Gbk("书*")),
              (std::map<std::string, bool>{{Gbk("书.txt"), false}, {Gbk("书名.txt"), false}}));
    // Brackets are plain characters.
    EXPECT_EQ(find("[a].txt"), (std::map<std::string, bool>{{"[a].txt", false}}));
    EXPECT_EQ(find("*.pdf"), (std::map<std::string, bool>{}));
    EXPECT_TRUE(FindDirectoryEntries(GbkPath(dir / "missing"), "*").empty());
}

TEST(FileSystem, FindsEntriesInChineseFolderGivenWithFinalSlash) {
    const TempDir dir;
    fs::create_directory(dir / "书库");
    WriteBytes(dir / "书库" / fs::path(u8"全文.txt"), "");
    const auto entries = FindDirectoryEntries(GbkPath(dir / "书库") + "/", "*.txt");
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].name, Gbk("全文.txt"));
    EXPECT_FALSE(entries[0].isDirectory);
}

TEST(FileSystem, FileSizeIsMinusOneForMissingAndFolders) {
    const TempDir dir;
    WriteBytes(dir / "五字节.txt", "12345");
    WriteBytes(dir / "empty.txt", "");
    fs::create_directory(dir / "folder.txt");
    EXPECT_EQ(FileSize(GbkPath(dir / "五字节.txt")), 5);
    EXPECT_EQ(FileSize(GbkPath(dir / "empty.txt")), 0);
    EXPECT_EQ(FileSize(GbkPath(dir / "missing.txt")), -1);
    EXPECT_EQ(FileSize(GbkPath(dir / "folder.txt")), -1);
    EXPECT_EQ(FileSize(""), -1);
}

TEST(FileSystem, DeletesByRelativeChineseName) {
    const TempDir dir;
    const test::ScopedWorkingDirectory inside(dir.path());
    WriteBytes(dir / "空.txt", "");
    EXPECT_TRUE(DeleteFile(Gbk("空.txt")));
    EXPECT_FALSE(fs::exists(dir / "空.txt"));
    EXPECT_FALSE(DeleteFile(Gbk("空.txt")));
}

TEST(FileSystem, AppendCreatesThenKeepsWhatIsThere) {
    const TempDir dir;
    const std::string list = GbkPath(dir / "【下载失败的小说】.txt");
    EXPECT_TRUE(AppendToFile(list, "a.txt\r\n"));
    EXPECT_TRUE(AppendToFile(list, "b.txt\r\n"));
    EXPECT_EQ(ReadBytes(dir / "【下载失败的小说】.txt"), "a.txt\r\nb.txt\r\n");
    EXPECT_FALSE(AppendToFile(GbkPath(dir / "missing" / "x.txt"), "x"));
}

TEST(FileSystem, CreateAlwaysReplacesContentAndSetsMode) {
    const TempDir dir;
    const fs::path file = dir / "wget.exe";
    WriteBytes(file, "an older and longer content");
    ASSERT_TRUE(CreateAlwaysAndWrite(GbkPath(file), Bytes("new"), 0777));
    EXPECT_EQ(ReadBytes(file), "new");
    struct stat status {};
    ASSERT_EQ(stat(file.c_str(), &status), 0);
    // The mode is the one asked for, whatever the umask.
    EXPECT_EQ(status.st_mode & 07777, 0777u);

    ASSERT_TRUE(CreateAlwaysAndWrite(GbkPath(dir / "新.exe"), Bytes("x"), 0644));
    EXPECT_EQ(ReadBytes(dir / "新.exe"), "x");
}

TEST(FileSystem, CreateAlwaysRefusesFileMarkedHidden) {
    const TempDir dir;
    const fs::path file = dir / "wget.exe";
    WriteBytes(file, "first");
    ASSERT_TRUE(SetHiddenMark(GbkPath(file)));
    EXPECT_FALSE(CreateAlwaysAndWrite(GbkPath(file), Bytes("second"), 0755));
    EXPECT_EQ(ReadBytes(file), "first");
    ASSERT_TRUE(RemoveHiddenMark(GbkPath(file)));
    EXPECT_TRUE(CreateAlwaysAndWrite(GbkPath(file), Bytes("second"), 0755));
    EXPECT_EQ(ReadBytes(file), "second");
}

TEST(FileSystem, HiddenMarkKeepsOtherLines) {
    const TempDir dir;
    WriteBytes(dir / ".hidden", "notes\nwget.exe.bak\nlast without break");
    const std::string wget = GbkPath(dir / "wget.exe");

    EXPECT_FALSE(IsMarkedHidden(wget));
    ASSERT_TRUE(SetHiddenMark(wget));
    ASSERT_TRUE(SetHiddenMark(wget));
    EXPECT_TRUE(IsMarkedHidden(wget));
    EXPECT_EQ(ReadBytes(dir / ".hidden"), "notes\nwget.exe.bak\nlast without break\nwget.exe\n");

    ASSERT_TRUE(RemoveHiddenMark(wget));
    EXPECT_FALSE(IsMarkedHidden(wget));
    EXPECT_TRUE(IsMarkedHidden(GbkPath(dir / "wget.exe.bak")));
    EXPECT_EQ(ReadBytes(dir / ".hidden"), "notes\nwget.exe.bak\nlast without break\n");
    // Nothing is left behind by the replacement of ".hidden".
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir.path())) {
        names.push_back(entry.path().filename().string());
    }
    EXPECT_EQ(names, std::vector<std::string>{".hidden"});
}

TEST(FileSystem, HiddenListGoesWhenOurNameWasItsLastLine) {
    const TempDir dir;
    const test::ScopedWorkingDirectory inside(dir.path());
    const std::string name = Gbk("隐藏.exe");
    ASSERT_TRUE(SetHiddenMark(name));
    // The file managers read the names in UTF-8, as they stand on disk.
    EXPECT_EQ(ReadBytes(dir / ".hidden"), "隐藏.exe\n");
    EXPECT_TRUE(IsMarkedHidden(name));
    ASSERT_TRUE(RemoveHiddenMark(name));
    EXPECT_FALSE(fs::exists(dir / ".hidden"));
    EXPECT_TRUE(RemoveHiddenMark(name));
}

TEST(FileSystem, HiddenListKeepsForeignNameWhenWeRemoveOurs) {
    const TempDir dir;
    WriteBytes(dir / ".hidden", "wget.exe\n");
    ASSERT_TRUE(SetHiddenMark(GbkPath(dir / "other")));
    ASSERT_TRUE(RemoveHiddenMark(GbkPath(dir / "wget.exe")));
    EXPECT_EQ(ReadBytes(dir / ".hidden"), "other\n");
}

TEST(FileSystem, PlainFileNames) {
    const std::string longest(255, 'a');
    const std::string chinese85 = [] {
        std::string text;
        for (int i = 0; i < 85; ++i) text += "书";
        return Gbk(text);  // 170 GBK bytes, 255 UTF-8 bytes
    }();
    const struct {
        std::string name;
        bool plain;
    } cases[] = {
        {"a.txt", true},
        {Gbk("斗破苍穹.txt"), true},
        {"..a", true},
        {longest, true},
        {chinese85, true},
        {"", false},
        {".", false},
        {"..", false},
        {"a/b.txt", false},
        {"../b.txt", false},
        {std::string("a\0b", 3), false},
        {longest + "a", false},
        {chinese85 + Gbk("书"), false},
    };
    for (const auto& c : cases) EXPECT_EQ(IsPlainFileName(c.name), c.plain) << c.name.size();
}

TEST(FileSystem, WritableDirectory) {
    const TempDir dir;
    WriteBytes(dir / "file", "");
    EXPECT_TRUE(IsWritableDirectory(GbkPath(dir.path())));
    EXPECT_FALSE(IsWritableDirectory(GbkPath(dir / "file")));
    EXPECT_FALSE(IsWritableDirectory(GbkPath(dir / "missing")));
}

TEST(FileSystem, ReadOnlyDirectoryIsNotWritable) {
    if (geteuid() == 0) GTEST_SKIP() << "root may write into any folder";
    const TempDir dir;
    fs::create_directory(dir / "ro");
    fs::permissions(dir / "ro", fs::perms::owner_read | fs::perms::owner_exec);
    EXPECT_FALSE(IsWritableDirectory(GbkPath(dir / "ro")));
}

TEST(FileSystem, MakesNestedDirectories) {
    const TempDir dir;
    const fs::path nested = dir / "书库" / "二" / "三";
    EXPECT_TRUE(MakeDirectories(GbkPath(nested)));
    EXPECT_TRUE(fs::is_directory(nested));
    EXPECT_TRUE(MakeDirectories(GbkPath(nested) + "/"));
    WriteBytes(dir / "file", "");
    EXPECT_FALSE(MakeDirectories(GbkPath(dir / "file" / "sub")));
    EXPECT_FALSE(MakeDirectories(GbkPath(dir / "file")));
}

TEST(FileSystem, WorkingDirectoryInGbk) {
    const TempDir dir;
    const fs::path folder = dir / "程序目录";
    fs::create_directory(folder);
    const test::ScopedWorkingDirectory restore(dir.path());
    ASSERT_TRUE(SetCurrentDirectory(GbkPath(folder)));
    EXPECT_EQ(fs::current_path(), fs::canonical(folder));
    EXPECT_EQ(GetCurrentDirectory(), GbkPath(fs::canonical(folder)));
    EXPECT_FALSE(SetCurrentDirectory(GbkPath(dir / "missing")));
    EXPECT_EQ(fs::current_path(), fs::canonical(folder));
}

TEST(FileSystem, ExecutablePathNamesThisProgram) {
    const std::string path = ExecutablePath();
    ASSERT_FALSE(path.empty());
    EXPECT_EQ(path.front(), '/');
    EXPECT_EQ(fs::path(path).filename(), "platform_tests");
    EXPECT_TRUE(fs::is_regular_file(path));
}

}  // namespace
}  // namespace mojing::platform
