#include <gtest/gtest.h>
#include <stdlib.h>

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QTest>
#include <filesystem>

#include "batch/name_lists.h"
#include "batch/program_folder.h"
#include "tests/app/test_window.h"
#include "tests/support/temp_dir.h"
#include "tests/support/test_site.h"
#include "text/percent_encode.h"

namespace mojing::test {
namespace {

constexpr const char* kSite = "www.bixia.example";

// The two batch buttons download a list for real: the loopback site plays search engine,
// download server and proxy, the downloader is the real one.
class BatchButtons : public ::testing::Test {
  protected:
    BatchButtons() : inFolder_(folder_.path()) {
        unsetenv("http_proxy");
        setenv("MOJING_SEARCH_HOST", site_.Host().c_str(), 1);
        setenv("MOJING_NOVEL_SITE_HOST", kSite, 1);
        SetProgramDirectory(folder_.path().string());
        CreateNameLists();
        const std::string cite = "<p class=\"res-linkinfo\"><cite>" + std::string(kSite);
        site_.SetResultPage(PercentEncode(Gbk("吞噬星空")), cite + "/text/11.html</cite>");
        site_.SetResultPage(PercentEncode(Gbk("不存在")), "<html></html>");
        site_.SetBook("11", "全文");
        WriteBytes(folder_ / "小说名.txt", Gbk("吞噬星空\r\n不存在\r\n"));
        window_ = std::make_unique<TestWindow>();
        window_->show();
    }

    QString StatusPart(int part) const {
        return window_->statusBar()
            ->findChildren<QLabel*>(Qt::FindDirectChildrenOnly)[part]
            ->text();
    }
    void ClickAndWait(const char* button) {
        QTest::mouseClick(window_->findChild<QPushButton*>(QString::fromUtf8(button)),
                          Qt::LeftButton);
        ASSERT_TRUE(QTest::qWaitFor(
            [&] {
                // Part 1 is the run's last call on the window, so the window may go afterwards.
                return StatusPart(0) == QStringLiteral("任务完成：") &&
                       StatusPart(1) == QStringLiteral(" 已完成所有下载");
            },
            60000));
    }

    TestSite site_;
    TempDir folder_;
    ScopedWorkingDirectory inFolder_;
    std::unique_ptr<TestWindow> window_;
};

TEST_F(BatchButtons, NormalBatchSavesBooksBesideTheProgramAndListsFailures) {
    setenv("MOJING_DOWNLOAD_HOST", site_.Host().c_str(), 1);
    ClickAndWait("按钮1");
    EXPECT_EQ(ReadBytes(folder_ / "吞噬星空.txt"), "全文");
    EXPECT_EQ(ReadBytes(folder_ / "【下载失败的小说】.txt"), Gbk("不存在.txt\r\n"));
    EXPECT_EQ(StatusPart(1), QStringLiteral(" 已完成所有下载"));
    EXPECT_EQ(window_->findChild<QLineEdit*>(QStringLiteral("编辑框1"))->text(),
              QStringLiteral("不存在"));
    EXPECT_TRUE(window_->findChild<QPushButton*>(QStringLiteral("按钮1"))->isEnabled());
    EXPECT_TRUE(window_->findChild<QPushButton*>(QStringLiteral("按钮2"))->isEnabled());
}

TEST_F(BatchButtons, ProxyBatchGoesThroughTheTypedProxy) {
    setenv("MOJING_DOWNLOAD_HOST", "novels.invalid", 1);
    window_->findChild<QLineEdit*>(QStringLiteral("编辑框3"))
        ->setText(QString::fromStdString(site_.Host()));
    ClickAndWait("按钮2");
    EXPECT_EQ(ReadBytes(folder_ / "吞噬星空.txt"), "全文");
    EXPECT_FALSE(std::filesystem::exists(folder_ / "不存在.txt"));
}

}  // namespace
}  // namespace mojing::test
