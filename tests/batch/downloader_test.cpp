#include "batch/downloader.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <filesystem>
#include <string>
#include <vector>

#include "batch/audit.h"
#include "batch/program_folder.h"
#include "tests/fakes/recording_window.h"
#include "tests/support/temp_dir.h"
#include "tests/support/test_site.h"

namespace mojing {
namespace {

using test::Gbk;
using test::ReadBytes;
using test::WriteBytes;

TEST(DownloaderArguments, EachModeHasItsArgumentVector) {
    using V = std::vector<std::string>;
    EXPECT_EQ(DownloaderArguments(BatchMode::Normal, "T", "http://a/b.txt", "ignored"),
              (V{"wget.exe", "-N", "http://a/b.txt", "-O", "T.txt"}));
    EXPECT_EQ(DownloaderArguments(BatchMode::Proxy, "T", "http://a/b.txt", "10.0.0.1:8080"),
              (V{"wget.exe", "-e", "http_proxy=http://10.0.0.1:8080", "-N", "http://a/b.txt", "-O",
                 "T.txt"}));
    // No shell parses the vector, so blanks and quotes stay inside one argument.
    EXPECT_EQ(DownloaderArguments(BatchMode::Normal, "a \"b\" c", "x y", "")[4], "a \"b\" c.txt");
}

class Downloader : public ::testing::Test {
  protected:
    void SetUp() override { SetProgramDirectory(folder.path().string()); }
    std::string Image() const {
        const auto image = DownloaderExe();
        return std::string(reinterpret_cast<const char*>(image.data()), image.size());
    }
    std::vector<std::string> HiddenLines() const {
        std::vector<std::string> lines;
        std::string content = ReadBytes(folder / ".hidden");
        std::size_t start = 0;
        while (start < content.size()) {
            std::size_t end = content.find('\n', start);
            if (end == std::string::npos) end = content.size();
            lines.push_back(content.substr(start, end - start));
            start = end + 1;
        }
        return lines;
    }
    test::TempDir folder;
    test::ScopedWorkingDirectory cwd{folder.path()};
};

TEST_F(Downloader, ImageIsTheSystemDownloader) {
    EXPECT_GT(DownloaderExe().size(), 100000u);
    EXPECT_EQ(Image().substr(0, 4),
              "\x7f"
              "ELF");
}

TEST_F(Downloader, FirstWriteCreatesTheImageHiddenAndExecutable) {
    WriteDownloader();
    EXPECT_EQ(ReadBytes(folder / "wget.exe"), Image());
    struct stat info {};
    ASSERT_EQ(stat((folder / "wget.exe").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0755u);
    EXPECT_EQ(HiddenLines(), std::vector<std::string>{"wget.exe"});
}

TEST_F(Downloader, HiddenFileIsNotWrittenAgain) {
    WriteDownloader();
    WriteBytes(folder / "wget.exe", "changed");
    WriteDownloader();
    EXPECT_EQ(ReadBytes(folder / "wget.exe"), "changed");
    EXPECT_EQ(HiddenLines(), std::vector<std::string>{"wget.exe"}) << "marked once";
}

TEST_F(Downloader, VisibleForeignDownloaderIsReplaced) {
    WriteBytes(folder / "wget.exe", "someone else's");
    WriteBytes(folder / ".hidden", "notes.txt\n");
    WriteDownloader();
    EXPECT_EQ(ReadBytes(folder / "wget.exe"), Image());
    EXPECT_EQ(HiddenLines(), (std::vector<std::string>{"notes.txt", "wget.exe"}));
}

TEST_F(Downloader, DeleteLeavesNoDownloaderAndKeepsOtherHiddenNames) {
    WriteBytes(folder / ".hidden", "notes.txt\n");
    WriteDownloader();
    DeleteDownloader();
    EXPECT_FALSE(std::filesystem::exists(folder / "wget.exe"));
    EXPECT_EQ(HiddenLines(), std::vector<std::string>{"notes.txt"});

    WriteDownloader();
    std::filesystem::remove(folder / ".hidden");
    WriteDownloader();  // hidden again, so this one is not written
    DeleteDownloader();
    EXPECT_FALSE(std::filesystem::exists(folder / "wget.exe"));
    EXPECT_FALSE(std::filesystem::exists(folder / ".hidden")) << "our line was its last";
}

class DownloaderOverHttp : public Downloader {
  protected:
    void SetUp() override {
        Downloader::SetUp();
        unsetenv("http_proxy");
        WriteDownloader();
    }
    void Run(BatchMode mode, const std::string& title, const std::string& address) {
        window.Preset(EditBox::编辑框1, title);
        window.Preset(EditBox::编辑框2, address);
        window.Preset(EditBox::编辑框3, site.Host());
        RunDownloader(mode, window);
    }
    test::TestSite site;
    test::RecordingWindow window;
};

TEST_F(DownloaderOverHttp, SavesTheBookUnderTheTitleWithBlanksAndQuotes) {
    site.SetBook("7", "第一章 开始\r\n");
    const std::string title = Gbk("吞噬 \"星空\"");
    Run(BatchMode::Normal, title, "http://" + site.Host() + "/packdown/fulltxt/7.txt");
    EXPECT_EQ(ReadBytes(folder / "吞噬 \"星空\".txt"), "第一章 开始\r\n");
}

TEST_F(DownloaderOverHttp, ProxyModeGoesThroughTheTypedProxy) {
    site.SetBook("8", "through the proxy");
    Run(BatchMode::Proxy, "book", "http://novels.invalid/packdown/fulltxt/8.txt");
    EXPECT_EQ(ReadBytes(folder / "book.txt"), "through the proxy");
    const auto requests = site.Requests();
    ASSERT_FALSE(requests.empty());
    EXPECT_TRUE(requests.back().viaProxy);
}

TEST_F(DownloaderOverHttp, FailedDownloadLeavesAnEmptyFile) {
    Run(BatchMode::Normal, "missing", "http://" + site.Host() + "/packdown/fulltxt/none.txt");
    ASSERT_TRUE(std::filesystem::exists(folder / "missing.txt"));
    EXPECT_EQ(std::filesystem::file_size(folder / "missing.txt"), 0u);
}

TEST_F(DownloaderOverHttp, TitleThatIsNoPlainFileNameNeverReachesTheDownloader) {
    site.SetBook("9", "content");
    const std::string address = "http://" + site.Host() + "/packdown/fulltxt/9.txt";
    for (const std::string& title :
         std::vector<std::string>{"../escape", "a/b", "..", std::string(300, 'x')}) {
        Run(BatchMode::Normal, title, address);
    }
    EXPECT_TRUE(site.Requests().empty());
    EXPECT_FALSE(std::filesystem::exists(folder.path().parent_path() / "escape.txt"));
    EXPECT_EQ(ReadBytes(folder / "【下载失败的小说】.txt"),
              "../escape.txt\r\na/b.txt\r\n...txt\r\n" + std::string(300, 'x') + ".txt\r\n");
}

}  // namespace
}  // namespace mojing
