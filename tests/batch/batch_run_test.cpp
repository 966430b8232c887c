#include "batch/batch_run.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <chrono>
#include <filesystem>
#include <future>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

#include "batch/address_lookup.h"
#include "batch/downloader.h"
#include "batch/name_lists.h"
#include "batch/program_folder.h"
#include "tests/fakes/recording_window.h"
#include "tests/support/temp_dir.h"
#include "tests/support/test_site.h"
#include "text/percent_encode.h"

namespace mojing {
namespace {

using test::Gbk;
using test::ReadBytes;
using test::WriteBytes;

constexpr const char* kSite = "www.bixia.example";

class BatchRun : public ::testing::Test {
  protected:
    void SetUp() override {
        unsetenv("http_proxy");
        setenv("MOJING_SEARCH_HOST", site.Host().c_str(), 1);
        setenv("MOJING_NOVEL_SITE_HOST", kSite, 1);
        CreateNameLists();
        SetProgramDirectory(folder.path().string());
        window.Preset(EditBox::编辑框1, Gbk("吞噬星空"));
        window.Preset(EditBox::编辑框3, site.Host());

        const std::string cite = "<p class=\"res-linkinfo\"><cite>" + std::string(kSite);
        site.SetResultPage(PercentEncode(Gbk("吞噬星空")), cite + "/text/101.html</cite></p>");
        site.SetResultPage(
            PercentEncode(Gbk("星辰变")),
            "<em>星辰变</em>最新章节 最新章节,<em>星辰变</em>" + cite + "/b/5/6/7.html</cite></p>");
        site.SetResultPage(PercentEncode(Gbk("不存在")), "<html>没有结果</html>");
        site.SetBook("101", "吞噬星空 全文");
        site.SetBook("5/6", "星辰变 全文 (5/6)");
        site.SetBook("5", "星辰变 全文 (5)");
    }
    void LoadTitles(const std::string& utf8Lines) {
        WriteBytes(folder / "小说名.txt", Gbk(utf8Lines));
        LoadNameList(Gbk((folder / "小说名.txt").string()));
    }

    test::TestSite site;
    test::TempDir folder;
    test::ScopedWorkingDirectory cwd{folder.path()};
    test::RecordingWindow window;
};

TEST_F(BatchRun, EmptyListShowsTheLoadErrorAndChangesNothing) {
    WriteBytes(folder / "empty.txt", "");
    RunBatch(BatchMode::Normal, window);
    ASSERT_EQ(window.Messages().size(), 1u);
    EXPECT_EQ(window.Messages()[0].text, Gbk("小说名字文本载入错误"));
    EXPECT_EQ(window.Messages()[0].caption, Gbk("信息："));
    EXPECT_EQ(window.Log().size(), 1u) << "no control changed";
    EXPECT_TRUE(std::filesystem::exists(folder / "empty.txt")) << "no audit ran";
}

struct ModeCase {
    BatchMode mode;
    const char* downloadHost;  // the proxy mode's host is known to the proxy only
    const char* fallbackBook;
    friend void PrintTo(const ModeCase& c, std::ostream* out) {
        *out << (c.mode == BatchMode::Normal ? "Normal" : "Proxy");
    }
};

class BatchRunInMode : public BatchRun, public ::testing::WithParamInterface<ModeCase> {};

TEST_P(BatchRunInMode, DownloadsWhatIsFoundAndListsWhatIsNot) {
    const ModeCase mode = GetParam();
    setenv("MOJING_DOWNLOAD_HOST",
           std::string(mode.downloadHost).empty() ? site.Host().c_str() : mode.downloadHost, 1);
    LoadTitles("吞噬星空\r\n星辰变\r\n不存在\r\n");

    RunBatch(mode.mode, window);

    EXPECT_EQ(ReadBytes(folder / "吞噬星空.txt"), "吞噬星空 全文");
    EXPECT_EQ(ReadBytes(folder / "星辰变.txt"), mode.fallbackBook);
    EXPECT_FALSE(std::filesystem::exists(folder / "不存在.txt"));
    EXPECT_EQ(ReadBytes(folder / "【下载失败的小说】.txt"), Gbk("不存在.txt\r\n"));
    EXPECT_EQ(PendingNames().Count(), 0u);
    EXPECT_EQ(window.GetText(EditBox::编辑框1), Gbk("不存在"));
    EXPECT_EQ(window.GetText(EditBox::编辑框2), NoAddressText());
    EXPECT_TRUE(window.ButtonEnabled(BatchButton::按钮1));
    EXPECT_TRUE(window.ButtonEnabled(BatchButton::按钮2));

    std::vector<std::string> expected;
    for (const char* title : {"吞噬星空", "星辰变", "不存在"}) {
        for (const std::string& line :
             {"text 1 " + std::string(title), std::string("status 0 当前状态："),
              std::string("status 1  正在搜索，请稍等"), std::string("disable 1"),
              std::string("disable 2")}) {
            expected.push_back(Gbk(line));
        }
        expected.push_back("text 2 <address>");
        for (const std::string& line :
             {std::string("status 0 正在下载："), "status 1 " + std::string(title),
              std::string("enable 1"), std::string("enable 2")}) {
            expected.push_back(Gbk(line));
        }
    }
    expected.push_back(Gbk("status 0 任务完成："));
    expected.push_back(Gbk("status 1  已完成所有下载"));
    std::vector<std::string> log = window.Log();
    for (std::string& line : log) {
        if (line.rfind("text 2 ", 0) == 0) line = "text 2 <address>";
    }
    EXPECT_EQ(log, expected);
}

INSTANTIATE_TEST_SUITE_P(
    Modes, BatchRunInMode,
    ::testing::Values(ModeCase{BatchMode::Normal, "", "星辰变 全文 (5/6)"},
                      ModeCase{BatchMode::Proxy, "novels.invalid", "星辰变 全文 (5)"}),
    [](const auto& info) { return info.param.mode == BatchMode::Normal ? "Normal" : "Proxy"; });

// Replaces PendingNames with an empty list while the first title is worked on, as 按钮3 can.
class ListSwappingWindow : public test::RecordingWindow {
  public:
    void SetText(EditBox box, std::string_view text) override {
        RecordingWindow::SetText(box, text);
        if (box == EditBox::编辑框2 && !swapped_) {
            swapped_ = true;
            LoadNameList("");
        }
    }

  private:
    bool swapped_ = false;
};

TEST_F(BatchRun, ListEmptiedDuringARunEndsItWithoutReadingPastTheEnd) {
    setenv("MOJING_DOWNLOAD_HOST", site.Host().c_str(), 1);
    LoadTitles("吞噬星空\r\n星辰变\r\n不存在\r\n");
    ListSwappingWindow swapping;
    RunBatch(BatchMode::Normal, swapping);
    EXPECT_EQ(ReadBytes(folder / "吞噬星空.txt"), "吞噬星空 全文");
    EXPECT_FALSE(std::filesystem::exists(folder / "星辰变.txt"));
    EXPECT_EQ(swapping.Status(0), Gbk("任务完成："));
    EXPECT_EQ(PendingNames().Count(), 0u);
}

// Holds the run at its first title until released.
class GateWindow : public test::RecordingWindow {
  public:
    void SetText(EditBox box, std::string_view text) override {
        RecordingWindow::SetText(box, text);
        if (box == EditBox::编辑框1 && !held_) {
            held_ = true;
            reached_.set_value();
            release_.get_future().wait();
        }
    }
    std::promise<void> reached_;
    std::promise<void> release_;

  private:
    bool held_ = false;
};

TEST_F(BatchRun, ClickDuringARunStartsNothing) {
    setenv("MOJING_DOWNLOAD_HOST", site.Host().c_str(), 1);
    LoadTitles("吞噬星空\r\n");
    GateWindow gate;
    StartBatch(BatchMode::Normal, gate);
    gate.reached_.get_future().wait();
    StartBatch(BatchMode::Normal, gate);
    StartBatch(BatchMode::Proxy, gate);
    gate.release_.set_value();
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (gate.Status(0) != Gbk("任务完成：") && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    ASSERT_EQ(gate.Status(0), Gbk("任务完成："));
    std::this_thread::sleep_for(std::chrono::milliseconds(200));  // a second run would show now
    EXPECT_TRUE(gate.Messages().empty()) << "a second run would have found the list empty";
    EXPECT_EQ(ReadBytes(folder / "吞噬星空.txt"), "吞噬星空 全文");
}

}  // namespace
}  // namespace mojing
