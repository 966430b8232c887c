#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QAction>
#include <QApplication>
#include <QCursor>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QSystemTrayIcon>
#include <QTest>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/gbk_text.h"
#include "app/main_window.h"
#include "batch/name_lists.h"
#include "tests/app/modal_driver.h"
#include "tests/support/child_process.h"
#include "tests/support/own_process_namespace.h"
#include "tests/support/temp_dir.h"

namespace mojing::test {
namespace {

// What a message box showed, taken just before it was answered.
struct SeenBox {
    bool shown = false;
    QString caption;
    QString text;
    QMessageBox::Icon icon = QMessageBox::Warning;
    QMessageBox::StandardButtons buttons;
    bool ownerless = false;
    bool modalForAll = false;
};

// The real window, with a tray of the test's choosing and an exit that only records the code.
class CloseAndTray : public ::testing::Test {
  protected:
    CloseAndTray() : inFolder_(folder_.path()) {
        CreateNameLists();
        window = MakeWindow();
        window->show();
    }

    std::unique_ptr<MainWindow> MakeWindow() {
        auto made = std::make_unique<MainWindow>();
        made->SetExitRunner([this](int code) { exitCodes.push_back(code); });
        made->SetTrayCheck([this] { return desktopHasTray; });
        return made;
    }

    // Answers the next message box with button, after noting what it showed.
    void Answer(QMessageBox::StandardButton button) {
        seen = SeenBox();
        WhenShown(&VisibleMessageBox, [this, button](QWidget& widget) {
            auto& box = static_cast<QMessageBox&>(widget);
            seen = {true,
                    box.windowTitle(),
                    box.text(),
                    box.icon(),
                    box.standardButtons(),
                    box.parentWidget() == nullptr,
                    box.windowModality() == Qt::ApplicationModal &&
                        QApplication::activeModalWidget() == &box};
            box.button(button)->click();
        });
    }

    QList<QSystemTrayIcon*> TrayIcons() const { return window->findChildren<QSystemTrayIcon*>(); }
    QMenu* Menu() const { return window->findChild<QMenu*>(QStringLiteral("菜单_")); }
    void PressEsc() {
        window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
        QTest::keyClick(window.get(), Qt::Key_Escape);
    }
    void GoToTray() {
        Answer(QMessageBox::Yes);
        EXPECT_FALSE(window->close());
        ASSERT_EQ(TrayIcons().size(), 1);
    }

    TempDir folder_;
    ScopedWorkingDirectory inFolder_;
    bool desktopHasTray = true;
    std::vector<int> exitCodes;
    SeenBox seen;
    std::unique_ptr<MainWindow> window;
};

TEST_F(CloseAndTray, YesHidesTheWindowBehindOneIconEveryTime) {
    Answer(QMessageBox::Yes);
    PressEsc();
    EXPECT_TRUE(seen.shown);
    EXPECT_EQ(seen.caption, QStringLiteral("提示"));
    EXPECT_EQ(seen.text, QStringLiteral("是否最小化到托盘"));
    EXPECT_EQ(seen.icon, QMessageBox::NoIcon);
    EXPECT_EQ(seen.buttons, QMessageBox::Yes | QMessageBox::No);
    EXPECT_TRUE(seen.ownerless);
    EXPECT_TRUE(seen.modalForAll);

    EXPECT_FALSE(window->isVisible());
    ASSERT_EQ(TrayIcons().size(), 1);
    QSystemTrayIcon* icon = TrayIcons().front();
    EXPECT_TRUE(icon->isVisible());
    EXPECT_EQ(ToGbk(icon->toolTip()),
              Gbk("{ 墨鲸书匣，批量下载版 }\r\n\r\n{  闲暇之作，青檐专版  }"));
    EXPECT_EQ(ToGbk(icon->toolTip()).size(), 52u);
    for (const int size : {128, 64, 48, 32, 16}) {
        EXPECT_TRUE(icon->icon().availableSizes().contains(QSize(size, size))) << size;
    }

    // Back from the tray, then the close button and Yes again: the same one icon.
    emit icon->activated(QSystemTrayIcon::Trigger);
    EXPECT_TRUE(window->isVisible());
    EXPECT_TRUE(icon->isVisible());
    GoToTray();
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(TrayIcons().front(), icon);
    EXPECT_TRUE(icon->isVisible());

    // Asked while shown with the icon present, Yes leaves it present.
    window->OnTrayEvent(1);
    Answer(QMessageBox::Yes);
    PressEsc();
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(TrayIcons().size(), 1);
    EXPECT_TRUE(exitCodes.empty());
}

TEST_F(CloseAndTray, EscOrClosingTheQuestionAnswersNothing) {
    WhenShown(&VisibleMessageBox, [this](QWidget& box) {
        QTest::keyClick(&box, Qt::Key_Escape);
        box.close();
        QApplication::processEvents();
        EXPECT_TRUE(box.isVisible());
        Answer(QMessageBox::Yes);
    });
    window->close();
    EXPECT_TRUE(seen.shown);
    EXPECT_FALSE(window->isVisible());
    EXPECT_TRUE(exitCodes.empty());
}

TEST_F(CloseAndTray, WithoutATrayYesMinimisesTheWindowInstead) {
    desktopHasTray = false;
    GoToTray();
    EXPECT_TRUE(window->isVisible());
    EXPECT_TRUE(window->isMinimized());

    window->OnTrayEvent(1);
    EXPECT_TRUE(window->isVisible());
    EXPECT_FALSE(window->isMinimized());
    EXPECT_TRUE(exitCodes.empty());
}

TEST_F(CloseAndTray, TrayEventsByType) {
    GoToTray();
    QSystemTrayIcon* icon = TrayIcons().front();
    struct Case {
        QSystemTrayIcon::ActivationReason reason;
        bool shown;
        bool menu;
    } const cases[] = {
        {QSystemTrayIcon::Trigger, true, false},  {QSystemTrayIcon::DoubleClick, true, false},
        {QSystemTrayIcon::Context, false, true},  {QSystemTrayIcon::MiddleClick, false, false},
        {QSystemTrayIcon::Unknown, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.reason);
        window->hide();
        emit icon->activated(c.reason);
        EXPECT_EQ(window->isVisible(), c.shown);
        EXPECT_EQ(Menu()->isVisible(), c.menu);
        EXPECT_TRUE(icon->isVisible());
        Menu()->hide();
    }
    // The double click's own type shows nothing; neither do types the tray never sends.
    for (const int type : {2, 0, 4, -1}) {
        SCOPED_TRACE(type);
        window->hide();
        window->OnTrayEvent(type);
        EXPECT_FALSE(window->isVisible());
        EXPECT_FALSE(Menu()->isVisible());
    }
    EXPECT_TRUE(exitCodes.empty());
}

TEST_F(CloseAndTray, MenuOpensBesideTheMouseAndItsItemsWork) {
    GoToTray();
    QCursor::setPos(window->screen(), QPoint(200, 150));
    const QPoint mouse = QCursor::pos(window->screen());
    window->OnTrayEvent(3);
    ASSERT_TRUE(Menu()->isVisible());
    EXPECT_EQ(Menu()->pos(), mouse + QPoint(3, 3));
    EXPECT_FALSE(window->isVisible());

    const QList<QAction*> items = Menu()->actions();
    ASSERT_EQ(items.size(), 3);
    Answer(QMessageBox::Ok);
    items[0]->trigger();
    EXPECT_TRUE(seen.shown);
    EXPECT_EQ(seen.caption, QStringLiteral("信息："));
    EXPECT_EQ(seen.text, QStringLiteral("闲暇之作，青檐专版"));
    EXPECT_EQ(seen.icon, QMessageBox::NoIcon);
    EXPECT_EQ(seen.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    EXPECT_TRUE(seen.ownerless);
    EXPECT_TRUE(seen.modalForAll);
    EXPECT_FALSE(window->isVisible());
    EXPECT_TRUE(TrayIcons().front()->isVisible());
    EXPECT_TRUE(exitCodes.empty());

    Menu()->hide();
    items[2]->trigger();
    EXPECT_FALSE(TrayIcons().front()->isVisible());
    EXPECT_EQ(exitCodes, std::vector<int>{0});
}

TEST_F(CloseAndTray, QuitWithoutAnIconStillQuits) {
    Menu()->actions()[2]->trigger();
    EXPECT_TRUE(TrayIcons().empty());
    EXPECT_EQ(exitCodes, std::vector<int>{0});
}

TEST_F(CloseAndTray, SessionEndAsksInEveryStateWhenItMay) {
    EXPECT_FALSE(window->OnSessionEndQuery(false));
    EXPECT_TRUE(window->isVisible());
    EXPECT_TRUE(TrayIcons().empty());

    GoToTray();
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round);
        Answer(QMessageBox::Yes);
        EXPECT_TRUE(window->OnSessionEndQuery(true));
        EXPECT_TRUE(seen.shown);
        EXPECT_EQ(seen.text, QStringLiteral("是否最小化到托盘"));
        EXPECT_FALSE(window->isVisible());
        EXPECT_EQ(TrayIcons().size(), 1);
    }
    EXPECT_TRUE(exitCodes.empty());
}

// Copies of /bin/sleep stand in for running downloaders. Everything runs in a process namespace
// of its own, so that the "wget.exe" ended is ours.
class CloseAnsweredNo : public CloseAndTray {
  protected:
    std::unique_ptr<ChildProcess> Start(const std::string& name) {
        const auto program = CopyProgram("/bin/sleep", sleepers_ / name);
        return std::make_unique<ChildProcess>(program, std::vector<std::string>{name, "600"});
    }
    static bool Running(const ChildProcess& child) {
        siginfo_t info{};
        return waitid(P_PID, static_cast<id_t>(child.Pid()), &info, WEXITED | WNOHANG | WNOWAIT) ==
                   0 &&
               info.si_pid == 0;
    }
    static bool Killed(ChildProcess& child) {
        const int status = child.Reap();
        return WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL;
    }

    TempDir sleepers_;
};

TEST_F(CloseAnsweredNo, EveryWayOfAskingEndsTheDownloaderAndQuitsWithZero) {
    if (!InOwnProcessNamespace()) return;
    struct Way {
        const char* name;
        bool fromTray;
        std::function<void()> ask;
    } const ways[] = {
        {"close button", false, [this] { EXPECT_TRUE(window->close()); }},
        {"Esc", false, [this] { PressEsc(); }},
        {"session end", false, [this] { EXPECT_FALSE(window->OnSessionEndQuery(true)); }},
        {"session end, from the tray", true,
         [this] { EXPECT_FALSE(window->OnSessionEndQuery(true)); }},
    };
    for (const Way& way : ways) {
        SCOPED_TRACE(way.name);
        window = MakeWindow();
        window->show();
        if (way.fromTray) GoToTray();
        exitCodes.clear();
        auto downloader = Start("wget.exe");
        Answer(QMessageBox::No);
        way.ask();
        EXPECT_TRUE(seen.shown);
        EXPECT_EQ(exitCodes, std::vector<int>{0});
        EXPECT_TRUE(Killed(*downloader));
    }
}

TEST_F(CloseAnsweredNo, OnlyTheFirstDownloaderInAnyLetterCaseIsEnded) {
    if (!InOwnProcessNamespace()) return;
    auto other = Start("wget");
    auto upper = Start("WGET.EXE");
    auto second = Start("wget.exe");
    Answer(QMessageBox::No);
    window->close();
    EXPECT_EQ(exitCodes, std::vector<int>{0});
    EXPECT_TRUE(Killed(*upper));
    EXPECT_TRUE(Running(*second));
    EXPECT_TRUE(Running(*other));

    // With none left running under that name, No quits all the same.
    exitCodes.clear();
    second.reset();
    window = MakeWindow();
    window->show();
    Answer(QMessageBox::No);
    window->close();
    EXPECT_EQ(exitCodes, std::vector<int>{0});
    EXPECT_TRUE(Running(*other));
}

}  // namespace
}  // namespace mojing::test
