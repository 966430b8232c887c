#include <gtest/gtest.h>

#include <QFileDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <filesystem>
#include <optional>

#include "batch/name_lists.h"
#include "platform/file_system.h"
#include "tests/app/modal_driver.h"
#include "tests/app/test_window.h"
#include "tests/support/temp_dir.h"

namespace mojing::test {
namespace {

QString Q(const std::filesystem::path& path) {
    const std::u8string utf8 = path.u8string();
    return QString::fromUtf8(reinterpret_cast<const char*>(utf8.data()),
                             static_cast<qsizetype>(utf8.size()));
}

// The program's folder with its default list, and a second list in a folder of its own.
class ChooseListTest : public ::testing::Test {
  protected:
    ChooseListTest() : inFolder_(programFolder_.path()) {
        WriteBytes(programFolder_ / "小说名.txt", Gbk("甲\r\n乙\r\n"));
        std::filesystem::create_directory(otherFolder());
        WriteBytes(otherList(), Gbk("丙\r\n丁\r\n戊"));
        CreateNameLists();
        window = std::make_unique<TestWindow>();
    }

    std::filesystem::path otherFolder() const { return programFolder_ / "别的书单"; }
    std::filesystem::path otherList() const {
        return otherFolder() / std::filesystem::path(u8"书单.txt");
    }

    void ClickChoose() {
        QTest::mouseClick(window->findChild<QPushButton*>(QStringLiteral("按钮3")), Qt::LeftButton);
    }

    const std::vector<std::string> defaultNames{Gbk("甲"), Gbk("乙")};
    const std::vector<std::string> otherNames{Gbk("丙"), Gbk("丁"), Gbk("戊")};

    TempDir programFolder_;
    ScopedWorkingDirectory inFolder_;
    std::unique_ptr<TestWindow> window;
};

TEST_F(ChooseListTest, ConfirmedFileGoesIntoTheBoxAndIsLoaded) {
    ASSERT_EQ(PendingItems(), defaultNames);
    window->SetFileDialogRunner(
        [&](QFileDialog&) { return std::optional<QString>(Q(otherList())); });
    ClickChoose();
    EXPECT_EQ(window->Text(EditBox::编辑框4), Q(otherList()));
    EXPECT_EQ(PendingItems(), otherNames);
}

TEST_F(ChooseListTest, CancelReloadsTheListNamedInTheBox) {
    // A finished batch has emptied the list; Cancel fills it again from the same file.
    RemoveHead(PendingNames());
    RemoveHead(PendingNames());
    ASSERT_TRUE(PendingItems().empty());
    const QString before = window->Text(EditBox::编辑框4);
    window->SetFileDialogRunner([](QFileDialog&) { return std::optional<QString>(); });
    ClickChoose();
    EXPECT_EQ(window->Text(EditBox::编辑框4), before);
    EXPECT_EQ(PendingItems(), defaultNames);
}

TEST_F(ChooseListTest, HandTypedPathIsLoadedOnCancel) {
    window->SetText(EditBox::编辑框4, Q(otherList()));
    window->SetFileDialogRunner([](QFileDialog&) { return std::optional<QString>(); });
    ClickChoose();
    EXPECT_EQ(PendingItems(), otherNames);

    // A typed path that names nothing leaves the list empty rather than keeping the old names.
    window->SetText(EditBox::编辑框4, Q(otherFolder() / "没有这个文件.txt"));
    ClickChoose();
    EXPECT_TRUE(PendingItems().empty());
}

TEST_F(ChooseListTest, RealDialogStartsWithTheLastConfirmedPath) {
    WhenShown(ActiveModal, [&](QWidget& shown) {
        auto* dialog = qobject_cast<QFileDialog*>(&shown);
        ASSERT_NE(dialog, nullptr);
        EXPECT_EQ(dialog->objectName(), QStringLiteral("通用对话框1"));
        // As the user does: the full path typed into the name field, then Open.
        auto* nameField = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        if (nameField == nullptr) {
            ADD_FAILURE() << "the dialog has no name field";
            dialog->reject();
            return;
        }
        nameField->setText(Q(otherList()));
        static_cast<QDialog*>(dialog)->accept();
    });
    ClickChoose();
    EXPECT_EQ(window->Text(EditBox::编辑框4), Q(otherList()));
    EXPECT_EQ(PendingItems(), otherNames);

    // The list is emptied by hand; the dialog opens on the confirmed path and is cancelled.
    window->SetText(EditBox::编辑框4, QString());
    QStringList offered;
    WhenShown(ActiveModal, [&](QWidget& shown) {
        auto* dialog = qobject_cast<QFileDialog*>(&shown);
        ASSERT_NE(dialog, nullptr);
        offered = dialog->selectedFiles();
        dialog->reject();
    });
    ClickChoose();
    EXPECT_EQ(offered, QStringList{Q(otherList())});
    EXPECT_EQ(window->Text(EditBox::编辑框4), QString());
    EXPECT_TRUE(PendingItems().empty());
}

TEST_F(ChooseListTest, WorkingDirectoryStaysTheProgramsFolderWhateverTheDialogDoes) {
    const std::string programFolder = platform::GetCurrentDirectory();
    ASSERT_FALSE(programFolder.empty());
    for (const bool confirmed : {true, false}) {
        SCOPED_TRACE(confirmed);
        // As a platform dialog may: it leaves the working directory in the folder it showed last.
        window->SetFileDialogRunner([&](QFileDialog&) {
            std::filesystem::current_path(otherFolder());
            return confirmed ? std::optional<QString>(Q(otherList())) : std::nullopt;
        });
        window->SetText(EditBox::编辑框4, Q(programFolder_ / "小说名.txt"));
        ClickChoose();
        EXPECT_EQ(platform::GetCurrentDirectory(), programFolder);
        EXPECT_EQ(PendingItems(), confirmed ? otherNames : defaultNames);
        // A relative name, as a download's, still lands in the program's folder.
        WriteBytes("下载.txt", "x");
        EXPECT_TRUE(std::filesystem::exists(programFolder_ / "下载.txt"));
        std::filesystem::remove(programFolder_ / "下载.txt");
    }
}

}  // namespace
}  // namespace mojing::test
