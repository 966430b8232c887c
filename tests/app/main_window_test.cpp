#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QFileDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTest>
#include <QTimer>
#include <climits>
#include <filesystem>
#include <optional>

#include "batch/name_lists.h"
#include "tests/app/test_window.h"
#include "tests/support/temp_dir.h"

namespace mojing::test {
namespace {

QString Q(const std::filesystem::path& path) { return QString::fromStdString(path.string()); }

class MainWindowTest : public ::testing::Test {
  protected:
    MainWindowTest() : inFolder_(folder_.path()) { CreateNameLists(); }

    template <typename T = QWidget>
    T* Control(const char* name) const {
        return window->findChild<T*>(QString::fromUtf8(name));
    }

    TempDir folder_;
    ScopedWorkingDirectory inFolder_;
    std::unique_ptr<TestWindow> window = std::make_unique<TestWindow>();
};

QString ShownText(QWidget* control) {
    if (auto* box = qobject_cast<QGroupBox*>(control)) return box->title();
    if (auto* edit = qobject_cast<QLineEdit*>(control)) return edit->text();
    if (auto* button = qobject_cast<QPushButton*>(control)) return button->text();
    if (auto* combo = qobject_cast<QComboBox*>(control)) return combo->currentText();
    return QStringLiteral("<no text>");
}

TEST_F(MainWindowTest, EveryControlHasItsKindParentPlaceTextAndState) {
    struct Row {
        const char* name;
        const char* kind;
        const char* parent;  // nullptr: the window itself
        QRect place;
        QString text;
    };
    const QString defaultList = Q(folder_.path()) + QStringLiteral("/小说名.txt");
    const Row rows[] = {
        {"分组框5", "QGroupBox", nullptr, {8, 8, 416, 50}, QStringLiteral("请选择小说名字文本")},
        {"编辑框4", "QLineEdit", "分组框5", {10, 16, 318, 24}, defaultList},
        {"按钮3", "QPushButton", "分组框5", {336, 16, 72, 24}, QStringLiteral("选择")},
        {"分组框1", "QGroupBox", nullptr, {8, 72, 416, 50}, QStringLiteral("输入小说名字")},
        {"编辑框1", "QLineEdit", "分组框1", {13, 16, 390, 24}, QStringLiteral("吞噬星空")},
        {"分组框2", "QGroupBox", nullptr, {8, 136, 416, 50}, QStringLiteral("搜索得到的地址")},
        {"编辑框2", "QLineEdit", "分组框2", {13, 16, 390, 24}, QString()},
        {"分组框3", "QGroupBox", nullptr, {8, 200, 416, 50}, QStringLiteral("使用代理IP下载")},
        {"编辑框3", "QLineEdit", "分组框3", {13, 16, 390, 24}, QStringLiteral("127.0.0.1:8080")},
        {"分组框4", "QGroupBox", nullptr, {8, 264, 416, 50}, QStringLiteral("选择小说来源")},
        {"组合框1", "QComboBox", "分组框4", {13, 16, 390, 24}, QStringLiteral("笔下文学")},
        {"按钮1", "QPushButton", nullptr, {52, 328, 104, 35}, QStringLiteral("普通批量下载")},
        {"按钮2", "QPushButton", nullptr, {259, 328, 104, 35}, QStringLiteral("代理批量下载")},
    };
    window->show();
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        QWidget* control = Control(row.name);
        ASSERT_NE(control, nullptr);
        EXPECT_STREQ(control->metaObject()->className(), row.kind);
        QWidget* parent = row.parent == nullptr ? window.get() : Control(row.parent);
        EXPECT_EQ(control->parentWidget(), parent);
        EXPECT_EQ(control->geometry(), row.place);
        EXPECT_EQ(ShownText(control), row.text);
        EXPECT_TRUE(control->isVisible());
        EXPECT_TRUE(control->isEnabled());
        const bool takesTab = qobject_cast<QGroupBox*>(control) == nullptr;
        EXPECT_EQ((control->focusPolicy() & Qt::TabFocus) != 0, takesTab);
        if (auto* edit = qobject_cast<QLineEdit*>(control)) {
            EXPECT_FALSE(edit->isReadOnly());
            EXPECT_EQ(edit->echoMode(), QLineEdit::Normal);
            EXPECT_TRUE(edit->alignment() & Qt::AlignLeft);
            EXPECT_EQ(edit->maxLength(), INT_MAX);
            EXPECT_EQ(edit->inputMask(), QString());
        }
        if (auto* button = qobject_cast<QPushButton*>(control)) {
            EXPECT_FALSE(button->isDefault());
            EXPECT_FALSE(button->autoDefault());
        }
        if (auto* combo = qobject_cast<QComboBox*>(control)) {
            EXPECT_FALSE(combo->isEditable());
            EXPECT_EQ(combo->count(), 1);
            EXPECT_EQ(combo->currentIndex(), 0);
        }
    }
}

TEST_F(MainWindowTest, WindowIsFixedCentredTitledAndIconed) {
    EXPECT_EQ(window->windowTitle(), QStringLiteral("墨鲸书匣"));
    const Qt::WindowFlags flags = window->windowFlags();
    EXPECT_TRUE(flags & Qt::WindowMinimizeButtonHint);
    EXPECT_TRUE(flags & Qt::WindowCloseButtonHint);
    EXPECT_TRUE(flags & Qt::WindowSystemMenuHint);
    EXPECT_FALSE(flags & Qt::WindowMaximizeButtonHint);
    EXPECT_FALSE(flags & Qt::WindowStaysOnTopHint);
    EXPECT_EQ(window->menuWidget(), nullptr);

    window->show();
    QApplication::processEvents();
    const QRect outer = window->frameGeometry();
    EXPECT_EQ(outer.size(), QSize(MainWindow::kOuterWidth, MainWindow::kOuterHeight));
    EXPECT_EQ(window->minimumSize(), window->maximumSize());
    EXPECT_EQ(window->size(), window->minimumSize());
    const QRect screen = window->screen()->availableGeometry();
    EXPECT_LE(std::abs(outer.center().x() - screen.center().x()), 1);
    EXPECT_LE(std::abs(outer.center().y() - screen.center().y()), 1);

    const QList<QSize> sizes = window->windowIcon().availableSizes();
    for (const int size : {128, 64, 48, 32, 16}) {
        SCOPED_TRACE(size);
        EXPECT_TRUE(sizes.contains(QSize(size, size)));
        const QImage image(QStringLiteral(":/icons/icon_%1.png").arg(size));
        EXPECT_EQ(image.size(), QSize(size, size));
        EXPECT_EQ(image.depth(), 32);
        EXPECT_TRUE(image.hasAlphaChannel());
    }
}

TEST_F(MainWindowTest, StatusBarHasTwoSunkenPartsAtTheBottomEdge) {
    window->show();
    QApplication::processEvents();
    auto* bar = Control<QStatusBar>("状态条1");
    ASSERT_NE(bar, nullptr);
    EXPECT_EQ(window->statusBar(), bar);
    EXPECT_FALSE(bar->isSizeGripEnabled());
    EXPECT_EQ(bar->geometry().bottom(), window->height() - 1);
    EXPECT_EQ(bar->width(), window->width());
    EXPECT_EQ(bar->font().pixelSize(), 14);
    EXPECT_EQ(bar->font().weight(), QFont::Normal);

    const QList<QLabel*> parts = bar->findChildren<QLabel*>(Qt::FindDirectChildrenOnly);
    ASSERT_EQ(parts.size(), 2);
    EXPECT_EQ(parts[0]->text(), QStringLiteral("当前版本："));
    EXPECT_EQ(parts[1]->text(), QStringLiteral("批量下载版"));
    EXPECT_EQ(parts[0]->width(), 70);
    EXPECT_GT(parts[1]->x(), parts[0]->geometry().right());
    EXPECT_EQ(parts[1]->geometry().right(), bar->width() - 1);
    for (QLabel* part : parts) {
        EXPECT_EQ(part->frameShadow(), QFrame::Sunken);
        EXPECT_NE(part->frameShape(), QFrame::NoFrame);
        EXPECT_EQ(part->font().pixelSize(), 14);
    }

    window->SetStatusText(0, QStringLiteral("当前状态："));
    window->SetStatusText(1, QStringLiteral(" 正在搜索，请稍等"));
    window->SetStatusText(2, QStringLiteral("x"));
    window->SetStatusText(-1, QStringLiteral("y"));
    EXPECT_EQ(parts[0]->text(), QStringLiteral("当前状态："));
    EXPECT_EQ(parts[1]->text(), QStringLiteral(" 正在搜索，请稍等"));
}

TEST_F(MainWindowTest, SourceIndexIsClampedToTheOneItem) {
    auto* combo = Control<QComboBox>("组合框1");
    ASSERT_NE(combo, nullptr);
    struct Case {
        int asked;
        int selected;
    };
    // Each case starts from the item selected, except where noted by the order.
    const Case cases[] = {{2, 0},        {-1, -1},     {1, 0},   {-2, -1}, {0, 0},
                          {INT_MIN, -1}, {INT_MAX, 0}, {-1, -1}, {5, 0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.asked);
        window->SelectSourceIndex(c.asked);
        EXPECT_EQ(combo->currentIndex(), c.selected);
        EXPECT_EQ(combo->count(), 1);
    }
}

TEST_F(MainWindowTest, SourceListOpensToAtMost160Pixels) {
    auto* combo = Control<QComboBox>("组合框1");
    window->show();
    for (int i = 0; i < 40; ++i) combo->addItem(QStringLiteral("来源 %1").arg(i));
    combo->showPopup();
    QWidget* popup = combo->view()->window();
    EXPECT_TRUE(popup->isVisible());
    EXPECT_GT(popup->height(), 0);
    EXPECT_LE(popup->height(), 160);
    combo->hidePopup();
}

TEST_F(MainWindowTest, HiddenPiecesAreThereAndAtRest) {
    auto* timer = window->findChild<QTimer*>(QStringLiteral("时钟1"));
    ASSERT_NE(timer, nullptr);
    EXPECT_EQ(timer->interval(), 0);
    EXPECT_FALSE(timer->isActive());

    auto* dialog = Control<QFileDialog>("通用对话框1");
    ASSERT_NE(dialog, nullptr);
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(dialog->fileMode(), QFileDialog::ExistingFile);
    EXPECT_EQ(dialog->acceptMode(), QFileDialog::AcceptOpen);
    EXPECT_EQ(dialog->defaultSuffix(), QString());
    EXPECT_TRUE(dialog->nameFilters().isEmpty() ||
                dialog->nameFilters() == QStringList{QFileDialog::tr("All Files (*)")});

    auto* menu = Control<QMenu>("菜单_");
    ASSERT_NE(menu, nullptr);
    window->show();
    EXPECT_FALSE(menu->isVisible());
    const QList<QAction*> items = menu->actions();
    ASSERT_EQ(items.size(), 3);
    EXPECT_EQ(items[0]->text(), QStringLiteral("说明"));
    EXPECT_TRUE(items[1]->isSeparator());
    EXPECT_EQ(items[2]->text(), QStringLiteral("退出"));
    for (QAction* item : items) {
        EXPECT_TRUE(item->isEnabled());
        EXPECT_FALSE(item->isChecked());
    }
}

TEST_F(MainWindowTest, TabGoesThroughBoxesComboAndButtons) {
    window->show();
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    Control("编辑框4")->setFocus();
    const char* const order[] = {"按钮3",   "编辑框1", "编辑框2", "编辑框3",
                                 "组合框1", "按钮1",   "按钮2",   "编辑框4"};
    for (const char* next : order) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        ASSERT_NE(QApplication::focusWidget(), nullptr);
        EXPECT_EQ(QApplication::focusWidget()->objectName(), QString::fromUtf8(next));
    }
}

TEST_F(MainWindowTest, EscRequestsCloseLikeTheCloseButton) {
    window->show();
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    for (const char* focused : {"编辑框1", "组合框1", "按钮1"}) {
        SCOPED_TRACE(focused);
        const int before = window->closeRequests;
        Control(focused)->setFocus();
        QTest::keyClick(Control(focused), Qt::Key_Escape);
        EXPECT_EQ(window->closeRequests, before + 1);
    }
    window->close();
    EXPECT_EQ(window->closeRequests, 4);
    // Every request was refused, so the window is still there.
    EXPECT_TRUE(window->isVisible());
}

TEST_F(MainWindowTest, EnterMovesNothingAndClicksNothing) {
    int dialogsShown = 0;
    window->SetFileDialogRunner([&](QFileDialog&) -> std::optional<QString> {
        ++dialogsShown;
        return std::nullopt;
    });
    window->show();
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    for (const char* name :
         {"编辑框4", "按钮3", "编辑框1", "编辑框3", "组合框1", "按钮1", "按钮2"}) {
        SCOPED_TRACE(name);
        QWidget* control = Control(name);
        control->setFocus();
        QSignalSpy clicks1(Control<QPushButton>("按钮1"), &QPushButton::clicked);
        QSignalSpy clicks2(Control<QPushButton>("按钮2"), &QPushButton::clicked);
        QTest::keyClick(control, Qt::Key_Return);
        QTest::keyClick(control, Qt::Key_Enter);
        EXPECT_EQ(QApplication::focusWidget(), control);
        EXPECT_EQ(clicks1.count(), 0);
        EXPECT_EQ(clicks2.count(), 0);
    }
    EXPECT_EQ(dialogsShown, 0);
    EXPECT_EQ(window->closeRequests, 0);
}

TEST(MainWindowCreated, DefaultListBesideTheWorkingDirectoryIsLoaded) {
    TempDir folder;
    WriteBytes(folder / "小说名.txt", Gbk("吞噬星空\r\n斗破苍穹\r\n"));
    ScopedWorkingDirectory inFolder(folder.path());
    CreateNameLists();
    TestWindow window;
    EXPECT_EQ(window.Text(EditBox::编辑框4), Q(folder.path()) + QStringLiteral("/小说名.txt"));
    EXPECT_EQ(PendingItems(), (std::vector<std::string>{Gbk("吞噬星空"), Gbk("斗破苍穹")}));
    EXPECT_EQ(window.findChild<QComboBox*>(QStringLiteral("组合框1"))->currentIndex(), 0);
}

TEST(MainWindowCreated, UnreadableWorkingDirectoryGivesThePathAtTheRoot) {
    TempDir folder;
    std::filesystem::create_directory(folder / "gone");
    ScopedWorkingDirectory inFolder(folder / "gone");
    std::filesystem::remove(folder / "gone");
    CreateNameLists();
    TestWindow window;
    EXPECT_EQ(window.Text(EditBox::编辑框4), QStringLiteral("/小说名.txt"));
    EXPECT_TRUE(PendingItems().empty());
}

}  // namespace
}  // namespace mojing::test
