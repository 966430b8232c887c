#include <gtest/gtest.h>

#include <QApplication>
#include <QEventLoop>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QStatusBar>
#include <QTest>
#include <QThread>
#include <atomic>
#include <thread>

#include "app/window_bridge.h"
#include "batch/name_lists.h"
#include "tests/app/modal_driver.h"
#include "tests/app/test_window.h"
#include "tests/support/temp_dir.h"

namespace mojing::test {
namespace {

class WindowBridgeTest : public ::testing::Test {
  protected:
    WindowBridgeTest() : inFolder_(folder_.path()) {
        CreateNameLists();
        window = std::make_unique<TestWindow>();
        bridge = std::make_unique<WindowBridge>(*window);
        window->show();
    }

    QLineEdit* Edit(const char* name) const {
        return window->findChild<QLineEdit*>(QString::fromUtf8(name));
    }
    QPushButton* Button(const char* name) const {
        return window->findChild<QPushButton*>(QString::fromUtf8(name));
    }
    QString StatusPart(int part) const {
        return window->statusBar()->findChildren<QLabel*>(Qt::FindDirectChildrenOnly)[part]->text();
    }

    // Runs work on a worker while this thread runs its event loop, until the worker is done.
    void OnWorker(const std::function<void()>& work) {
        QEventLoop loop;
        std::thread worker([&] {
            work();
            QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
        });
        loop.exec();
        worker.join();
    }

    TempDir folder_;
    ScopedWorkingDirectory inFolder_;
    std::unique_ptr<TestWindow> window;
    std::unique_ptr<WindowBridge> bridge;
};

TEST_F(WindowBridgeTest, WorkerSetsAndReadsControlsThroughTheWindowThread) {
    // The user has typed a proxy; the worker must read what the box shows now.
    Edit("编辑框3")->setText(QStringLiteral("10.0.0.7:8080"));
    QThread* changedOn = nullptr;
    QObject::connect(Edit("编辑框1"), &QLineEdit::textChanged,
                     [&] { changedOn = QThread::currentThread(); });
    const std::string longAddress = "http://down.example/" + std::string(40000, 'a') + ".txt";

    std::string proxy, title, address, list;
    OnWorker([&] {
        proxy = bridge->GetText(EditBox::编辑框3);
        bridge->SetText(EditBox::编辑框1, Gbk("斗破苍穹"));
        title = bridge->GetText(EditBox::编辑框1);
        bridge->SetText(EditBox::编辑框2, longAddress);
        address = bridge->GetText(EditBox::编辑框2);
        bridge->SetText(EditBox::编辑框4, Gbk("/书/单.txt"));
        list = bridge->GetText(EditBox::编辑框4);
        bridge->SetButtonEnabled(BatchButton::按钮1, false);
        bridge->SetButtonEnabled(BatchButton::按钮2, false);
        bridge->SetButtonEnabled(BatchButton::按钮2, true);
        bridge->SetStatusText(0, Gbk("当前状态："));
        bridge->SetStatusText(1, Gbk(" 正在搜索，请稍等"));
        bridge->SetStatusText(2, Gbk("不该出现"));
        bridge->SetStatusText(-1, Gbk("不该出现"));
    });

    EXPECT_EQ(proxy, "10.0.0.7:8080");
    EXPECT_EQ(title, Gbk("斗破苍穹"));
    EXPECT_EQ(Edit("编辑框1")->text(), QStringLiteral("斗破苍穹"));
    EXPECT_EQ(changedOn, QApplication::instance()->thread());
    EXPECT_EQ(address, longAddress);
    EXPECT_EQ(list, Gbk("/书/单.txt"));
    EXPECT_EQ(Edit("编辑框4")->text(), QStringLiteral("/书/单.txt"));
    EXPECT_FALSE(Button("按钮1")->isEnabled());
    EXPECT_TRUE(Button("按钮2")->isEnabled());
    EXPECT_EQ(StatusPart(0), QStringLiteral("当前状态："));
    EXPECT_EQ(StatusPart(1), QStringLiteral(" 正在搜索，请稍等"));
}

TEST_F(WindowBridgeTest, CallsOnTheWindowThreadRunAtOnce) {
    bridge->SetText(EditBox::编辑框2, Gbk("没有搜到正确下载地址"));
    EXPECT_EQ(Edit("编辑框2")->text(), QStringLiteral("没有搜到正确下载地址"));
    EXPECT_EQ(bridge->GetText(EditBox::编辑框1), Gbk("吞噬星空"));
    bridge->SetButtonEnabled(BatchButton::按钮2, false);
    EXPECT_FALSE(Button("按钮2")->isEnabled());
    bridge->SetStatusText(1, Gbk(" 已完成所有下载"));
    EXPECT_EQ(StatusPart(1), QStringLiteral(" 已完成所有下载"));
}

TEST_F(WindowBridgeTest, WorkersMessageBoxLeavesTheWindowUsable) {
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    Edit("编辑框1")->clear();
    Edit("编辑框1")->setFocus();
    std::atomic<bool> workerReturned{false};

    WhenShown(VisibleMessageBox, [&](QWidget& shown) {
        auto& box = static_cast<QMessageBox&>(shown);
        EXPECT_EQ(box.parent(), nullptr);
        EXPECT_EQ(box.windowModality(), Qt::NonModal);
        EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
        EXPECT_EQ(box.windowTitle(), QStringLiteral("信息："));
        EXPECT_EQ(box.text(), QStringLiteral("小说名字文本载入错误"));
        EXPECT_EQ(box.buttons().size(), 1);

        // Input through the window system, which drops what a modal box blocks.
        window->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(window.get()));
        QTest::keyClick(window->windowHandle(), Qt::Key_O);
        QTest::keyClick(window->windowHandle(), Qt::Key_K);
        EXPECT_EQ(Edit("编辑框1")->text(), QStringLiteral("ok"));
        EXPECT_FALSE(workerReturned);
        box.button(QMessageBox::Ok)->click();
    });
    OnWorker([&] {
        bridge->ShowMessage(Gbk("小说名字文本载入错误"), DefaultMessageCaption());
        workerReturned = true;
    });
    EXPECT_TRUE(workerReturned);
    EXPECT_EQ(VisibleMessageBox(), nullptr);
}

TEST_F(WindowBridgeTest, MessageBoxOnTheWindowThreadIsModalUntilClosed) {
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    Edit("编辑框1")->clear();
    Edit("编辑框1")->setFocus();
    bool seen = false;
    WhenShown(VisibleMessageBox, [&](QWidget& shown) {
        seen = true;
        auto& box = static_cast<QMessageBox&>(shown);
        EXPECT_EQ(box.parent(), nullptr);
        EXPECT_EQ(QApplication::activeModalWidget(), &box);
        EXPECT_EQ(box.windowTitle(), QStringLiteral("提示"));
        QTest::keyClick(window->windowHandle(), Qt::Key_X);
        EXPECT_EQ(Edit("编辑框1")->text(), QString());
        box.button(QMessageBox::Ok)->click();
    });
    bridge->ShowMessage(Gbk("闲暇之作"), Gbk("提示"));
    EXPECT_TRUE(seen);
}

}  // namespace
}  // namespace mojing::test
