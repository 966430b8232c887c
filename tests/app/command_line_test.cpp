// The program run as scripts and cron run it: the real executable, the real wget, a real site.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/temp_dir.h"
#include "tests/support/test_site.h"
#include "text/percent_encode.h"

namespace mojing::test {
namespace {

namespace fs = std::filesystem;

struct Outcome {
    int exitCode = -1;  // -1 when it did not exit on its own
    std::string out;
    std::string err;
    std::vector<std::string> Lines() const {
        std::vector<std::string> lines;
        std::istringstream stream(out);
        for (std::string line; std::getline(stream, line);) lines.push_back(line);
        return lines;
    }
};

// Runs the program in folder with arguments, in this process's environment.
Outcome RunProgram(const fs::path& folder, const std::vector<std::string>& arguments) {
    TempDir capture;
    const fs::path outFile = capture / "out", errFile = capture / "err";
    std::vector<char*> argv{const_cast<char*>(MOJING_PROGRAM)};
    for (const std::string& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    const pid_t pid = fork();
    if (pid == 0) {
        const int out = open(outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        const int err = open(errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (out < 0 || err < 0 || chdir(folder.c_str()) != 0 || dup2(out, 1) < 0 ||
            dup2(err, 2) < 0) {
            _exit(126);
        }
        execv(MOJING_PROGRAM, argv.data());
        _exit(127);
    }
    Outcome run;
    int status = 0;
    if (pid < 0 || waitpid(pid, &status, 0) != pid) return run;
    if (WIFEXITED(status)) run.exitCode = WEXITSTATUS(status);
    run.out = ReadBytes(outFile);
    run.err = ReadBytes(errFile);
    return run;
}

std::string Describe(const Outcome& run) { return "stdout:\n" + run.out + "stderr:\n" + run.err; }

constexpr const char* kSite = "www.bixia.example";

class HeadlessBatch : public ::testing::Test {
  protected:
    void SetUp() override {
        unsetenv("http_proxy");
        unsetenv("DISPLAY");
        setenv("MOJING_SEARCH_HOST", site.Host().c_str(), 1);
        setenv("MOJING_NOVEL_SITE_HOST", kSite, 1);
        setenv("MOJING_DOWNLOAD_HOST", site.Host().c_str(), 1);
        const std::string cite = "<p class=\"res-linkinfo\"><cite>" + std::string(kSite);
        site.SetResultPage(PercentEncode(Gbk("天外孤舟")), cite + "/text/101.html</cite></p>");
        site.SetResultPage(PercentEncode(Gbk("竹林旧事")),
                           "<em>竹林旧事</em>最新章节 最新章节,<em>竹林旧事</em>" + cite +
                               "/b/5/6/7.html</cite></p>");
        site.SetBook("101", Gbk("天外孤舟 全文"));
        site.SetBook("5/6", Gbk("竹林旧事 全文 (5/6)"));
        site.SetBook("5", Gbk("竹林旧事 全文 (5)"));
    }
    std::string Address(const std::string& id) const {
        return "http://" + site.Host() + "/packdown/fulltxt/" + id + ".txt";
    }

    TestSite site;
    TempDir folder;
};

TEST_F(HeadlessBatch, EverySavedTitleGivesExitCodeZeroAndOneLineEach) {
    WriteBytes(folder / "小说名.txt", Gbk("天外孤舟\r\n竹林旧事\r\n"));
    const Outcome run = RunProgram(folder.path(), {"--batch"});
    ASSERT_EQ(run.exitCode, 0) << Describe(run);
    const std::vector<std::string> expected = {
        "[1/2] 天外孤舟",
        "  地址：" + Address("101"),
        "  已保存：天外孤舟.txt (" + std::to_string(Gbk("天外孤舟 全文").size()) + " 字节)",
        "[2/2] 竹林旧事",
        "  地址：" + Address("5/6"),
        "  已保存：竹林旧事.txt (" + std::to_string(Gbk("竹林旧事 全文 (5/6)").size()) + " 字节)",
        "完成：2/2 本已保存",
    };
    EXPECT_EQ(run.Lines(), expected) << Describe(run);
    EXPECT_EQ(ReadBytes(folder / "天外孤舟.txt"), Gbk("天外孤舟 全文"));
    EXPECT_EQ(ReadBytes(folder / "竹林旧事.txt"), Gbk("竹林旧事 全文 (5/6)"));
    EXPECT_FALSE(fs::exists(folder / "【下载失败的小说】.txt"));
    EXPECT_FALSE(fs::exists(folder / "wget.exe")) << "the downloader goes when the batch ends";
}

TEST_F(HeadlessBatch, AnyFailedTitleGivesExitCodeOneAndTheFailureListNamesIt) {
    // A book already beside a title that can never be downloaded must not count as saved.
    fs::create_directory(folder / "旧");
    WriteBytes(folder / "旧" / "书.txt", "old");
    WriteBytes(folder / "小说名.txt", Gbk("天外孤舟\r\n查无此书\r\n旧/书\r\n"));
    const Outcome run = RunProgram(folder.path(), {"--batch"});
    ASSERT_EQ(run.exitCode, 1) << Describe(run);
    const std::vector<std::string> lines = run.Lines();
    ASSERT_EQ(lines.size(), 10u) << Describe(run);
    EXPECT_EQ(lines[3], "[2/3] 查无此书");
    EXPECT_EQ(lines[4], "  地址：没有搜到正确下载地址");
    EXPECT_EQ(lines[5], "  失败：查无此书");
    EXPECT_EQ(lines[6], "[3/3] 旧/书");
    EXPECT_EQ(lines[8], "  失败：旧/书");
    EXPECT_EQ(lines[9], "完成：1/3 本已保存；失败的书名记在 " + folder.path().string() +
                            "/【下载失败的小说】.txt");
    EXPECT_EQ(ReadBytes(folder / "【下载失败的小说】.txt"), Gbk("旧/书.txt\r\n查无此书.txt\r\n"));
    EXPECT_FALSE(fs::exists(folder / "查无此书.txt"));
    EXPECT_EQ(ReadBytes(folder / "旧" / "书.txt"), "old");
}

TEST_F(HeadlessBatch, ProxyModeDownloadsThroughTheProxyFromAListAndFolderElsewhere) {
    // Only the proxy knows this host, so a saved book went through it.
    setenv("MOJING_DOWNLOAD_HOST", std::string(TestSite::kProxyOnlyHost).c_str(), 1);
    fs::create_directories(folder / "lists");
    fs::create_directories(folder / "books");
    WriteBytes(folder / "lists" / "想看.txt", Gbk("竹林旧事\r\n"));
    const Outcome run = RunProgram(
        folder.path(), {"--batch", "lists/想看.txt", "--proxy", site.Host(), "--dir", "books"});
    ASSERT_EQ(run.exitCode, 0) << Describe(run);
    EXPECT_EQ(ReadBytes(folder / "books" / "竹林旧事.txt"), Gbk("竹林旧事 全文 (5)"));
    EXPECT_FALSE(fs::exists(folder / "竹林旧事.txt"));
    bool viaProxy = false;
    for (const RecordedRequest& request : site.Requests()) {
        viaProxy = viaProxy || (request.viaProxy && request.target.ends_with("/fulltxt/5.txt"));
    }
    EXPECT_TRUE(viaProxy);
}

TEST_F(HeadlessBatch, AnEmptyListSaysSoOnStandardErrorAndGivesExitCodeOne) {
    WriteBytes(folder / "小说名.txt", "");
    const Outcome run = RunProgram(folder.path(), {"--batch"});
    EXPECT_EQ(run.exitCode, 1) << Describe(run);
    EXPECT_EQ(run.err, "信息：小说名字文本载入错误\n");
    EXPECT_EQ(run.out, "");
}

TEST_F(HeadlessBatch, BadUsageGivesExitCodeTwoAndTouchesNothing) {
    WriteBytes(folder / "小说名.txt", Gbk("天外孤舟\r\n"));
    TempDir empty;
    struct Case {
        std::vector<std::string> arguments;
        bool inEmptyFolder;
    } const cases[] = {
        {{"--frobnicate"}, false},
        {{"--batch", "no-such-list.txt"}, false},
        {{"--batch", "--dir", "no-such-folder"}, false},
        {{"--batch", "--proxy"}, false},
        {{"--dir", "."}, false},
        {{"小说名.txt"}, false},
        {{"--demo", "--batch", "--dir", "."}, false},
        {{"--batch"}, true},  // no default list there
    };
    for (const Case& c : cases) {
        const Outcome run = RunProgram(c.inEmptyFolder ? empty.path() : folder.path(), c.arguments);
        SCOPED_TRACE(c.arguments.front() + (c.arguments.size() > 1 ? " " + c.arguments[1] : ""));
        EXPECT_EQ(run.exitCode, 2) << Describe(run);
        EXPECT_NE(run.err, "");
        EXPECT_EQ(run.out, "");
    }
    EXPECT_FALSE(fs::exists(folder / "天外孤舟.txt"));
    EXPECT_TRUE(fs::is_empty(empty.path()));
    EXPECT_TRUE(site.Requests().empty());
}

TEST(CommandLine, HelpAndVersionEndAtOnceWithExitCodeZero) {
    TempDir folder;
    const Outcome help = RunProgram(folder.path(), {"--help"});
    EXPECT_EQ(help.exitCode, 0);
    for (const char* option : {"--batch", "--demo", "--proxy", "--dir", "--version", "LIST"}) {
        EXPECT_NE(help.out.find(option), std::string::npos) << option << "\n" << help.out;
    }
    const Outcome version = RunProgram(folder.path(), {"--version"});
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_EQ(version.out, "墨鲸书匣 1.2.0.0\n");
    EXPECT_TRUE(fs::is_empty(folder.path()));
}

// The five demo titles: two text pages, two through the fallback, one nowhere to be found.
TEST(Demo, HeadlessDemoSavesFourBooksAndListsTheFifth) {
    TempDir cache;
    TempDir elsewhere;
    setenv("XDG_CACHE_HOME", cache.path().c_str(), 1);
    unsetenv("http_proxy");
    const fs::path demo = cache / "mojing-shuxia/demo";
    for (const std::vector<std::string>& arguments :
         {std::vector<std::string>{"--demo", "--batch"}, {"--demo", "--batch", "--proxy"}}) {
        SCOPED_TRACE(arguments.size() == 2 ? "direct" : "through the demo's proxy");
        // Twice each: a second run starts from a fresh demo folder.
        for (int round = 0; round < 2; ++round) {
            const Outcome run = RunProgram(elsewhere.path(), arguments);
            ASSERT_EQ(run.exitCode, 1) << Describe(run);
            const std::vector<std::string> lines = run.Lines();
            ASSERT_EQ(lines.size(), 16u) << Describe(run);
            EXPECT_EQ(lines[0], "[1/5] 墨海听潮");
            EXPECT_EQ(lines[12], "[5/5] 无名残卷");
            EXPECT_TRUE(lines[7].ends_with(arguments.size() == 2 ? "/packdown/fulltxt/27/2701.txt"
                                                                 : "/packdown/fulltxt/27.txt"))
                << lines[7];
            EXPECT_EQ(ReadBytes(demo / "小说名.txt"),
                      Gbk("墨海听潮\r\n青灯夜读\r\n云岭书声\r\n北窗寒梅\r\n无名残卷\r\n"));
            for (const char* title : {"墨海听潮", "青灯夜读", "云岭书声", "北窗寒梅"}) {
                const std::string book = ReadBytes(demo / (std::string(title) + ".txt"));
                EXPECT_TRUE(book.starts_with(Gbk(title) + "\r\n")) << title;
                std::size_t lineCount = 0;
                for (std::size_t at = book.find("\r\n"); at != std::string::npos;
                     at = book.find("\r\n", at + 2)) {
                    ++lineCount;
                }
                EXPECT_GE(lineCount, 200u) << title;
            }
            EXPECT_FALSE(fs::exists(demo / "无名残卷.txt"));
            EXPECT_EQ(ReadBytes(demo / "【下载失败的小说】.txt"), Gbk("无名残卷.txt\r\n"));
        }
    }
    EXPECT_TRUE(fs::is_empty(elsewhere.path()));
}

}  // namespace
}  // namespace mojing::test
