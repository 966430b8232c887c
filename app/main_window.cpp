#include "app/main_window.h"

#include <QAbstractItemView>
#include <QAction>
#include <QCloseEvent>
#include <QComboBox>
#include <QCursor>
#include <QFileDialog>
#include <QFont>
#include <QGroupBox>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QSessionManager>
#include <QShortcut>
#include <QStatusBar>
#include <QSystemTrayIcon>
#include <QTimer>
#include <algorithm>
#include <limits>
#include <string>

#include "app/exit_program.h"
#include "app/gbk_text.h"
#include "app/process_utilities.h"
#include "app/program_icon.h"
#include "app/window_bridge.h"
#include "batch/batch_run.h"
#include "batch/name_lists.h"
#include "batch/window_interface.h"
#include "platform/file_system.h"

namespace mojing {
namespace {

constexpr char kDefaultListName[] = "\xD0\xA1\xCB\xB5\xC3\xFB.txt";  // 小说名.txt in GBK
constexpr int kSourceListHeight = 160;
constexpr int kStatusPart0Width = 70;

QGroupBox* MakeGroupBox(QWidget* parent, const char* name, const QString& title, int y) {
    auto* box = new QGroupBox(title, parent);
    box->setObjectName(QString::fromUtf8(name));
    box->setGeometry(8, y, 416, 50);
    // The caption sits on the frame line, so that the frame runs round the box's children at
    // their places rather than starting below a caption line of its own.
    box->setStyleSheet(QStringLiteral(
        "QGroupBox { border: 1px solid palette(mid); border-radius: 2px; margin-top: 8px; }"
        "QGroupBox::title { subcontrol-origin: margin; subcontrol-position: top left;"
        " left: 6px; padding: 0px 2px; }"));
    return box;
}

QLineEdit* MakeEditBox(QWidget* parent, const char* name, const QRect& place) {
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(QString::fromUtf8(name));
    edit->setGeometry(place);
    // A title or an address is never cut short.
    edit->setMaxLength(std::numeric_limits<int>::max());
    return edit;
}

QPushButton* MakeButton(QWidget* parent, const char* name, const QString& caption,
                        const QRect& place) {
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(QString::fromUtf8(name));
    button->setGeometry(place);
    button->setAutoDefault(false);
    button->setDefault(false);
    return button;
}

QLabel* MakeStatusPart(QStatusBar* bar, const QString& text, int stretch) {
    auto* part = new QLabel(text, bar);
    part->setFrameShape(QFrame::Panel);
    part->setFrameShadow(QFrame::Sunken);
    bar->addWidget(part, stretch);
    return part;
}

// The close question has only Yes and No: Esc and the box's close button must not answer No for
// the user, which would end the program and its download.
class QuestionBox : public QMessageBox {
  public:
    QuestionBox(const QString& caption, const QString& text)
        : QMessageBox(QMessageBox::NoIcon, caption, text, QMessageBox::Yes | QMessageBox::No) {
        setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
        setDefaultButton(QMessageBox::Yes);
    }

  protected:
    void keyPressEvent(QKeyEvent* event) override {
        if (event->matches(QKeySequence::Cancel)) return;
        QMessageBox::keyPressEvent(event);
    }
    void closeEvent(QCloseEvent* event) override { event->ignore(); }
};

// Boxes have no owner and keep every window of the program from taking input while shown.
int ShowModally(QMessageBox& box) {
    box.setWindowModality(Qt::ApplicationModal);
    return box.exec();
}

void ExitForReal(int code) { ExitProgram(code); }

bool DesktopHasTray() { return QSystemTrayIcon::isSystemTrayAvailable(); }

std::optional<QString> RunModally(QFileDialog& dialog) {
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    const QStringList files = dialog.selectedFiles();
    if (files.isEmpty()) return std::nullopt;
    return files.front();
}

}  // namespace

MainWindow::MainWindow(QWidget* parent)
    : QMainWindow(parent),
      bridge_(std::make_unique<WindowBridge>(*this)),
      runFileDialog_(&RunModally),
      exit_(&ExitForReal),
      trayAvailable_(&DesktopHasTray) {
    setWindowTitle(QStringLiteral("墨鲸书匣"));
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint);
    setWindowIcon(ProgramIcon());
    BuildControls();
    // Until the window manager tells its frame, the frame counts as none.
    fittedFrame_ = QMargins();
    setFixedSize(kOuterWidth, kOuterHeight);
    CentreOnScreen();
    OnMainWindowCreated();

    // The slot must answer the session before the signal returns.
    connect(
        qGuiApp, &QGuiApplication::commitDataRequest, this,
        [this](QSessionManager& session) {
            const bool mayAsk = session.allowsInteraction();
            if (OnSessionEndQuery(mayAsk)) {
                session.cancel();
            } else if (mayAsk) {
                session.release();
            }
        },
        Qt::DirectConnection);
}

MainWindow::~MainWindow() = default;

QString MainWindow::TrayTip() {
    return QStringLiteral("{ 墨鲸书匣，批量下载版 }\r\n\r\n{  闲暇之作，青檐专版  }");
}

void MainWindow::BuildControls() {
    groupBox5_ = MakeGroupBox(this, "分组框5", QStringLiteral("请选择小说名字文本"), 8);
    editBoxes_[3] = MakeEditBox(groupBox5_, "编辑框4", QRect(10, 16, 318, 24));
    button3_ = MakeButton(groupBox5_, "按钮3", QStringLiteral("选择"), QRect(336, 16, 72, 24));

    groupBox1_ = MakeGroupBox(this, "分组框1", QStringLiteral("输入小说名字"), 72);
    editBoxes_[0] = MakeEditBox(groupBox1_, "编辑框1", QRect(13, 16, 390, 24));
    editBoxes_[0]->setText(QStringLiteral("吞噬星空"));

    groupBox2_ = MakeGroupBox(this, "分组框2", QStringLiteral("搜索得到的地址"), 136);
    editBoxes_[1] = MakeEditBox(groupBox2_, "编辑框2", QRect(13, 16, 390, 24));

    groupBox3_ = MakeGroupBox(this, "分组框3", QStringLiteral("使用代理IP下载"), 200);
    editBoxes_[2] = MakeEditBox(groupBox3_, "编辑框3", QRect(13, 16, 390, 24));
    editBoxes_[2]->setText(QStringLiteral("127.0.0.1:8080"));

    groupBox4_ = MakeGroupBox(this, "分组框4", QStringLiteral("选择小说来源"), 264);
    comboBox1_ = new QComboBox(groupBox4_);
    comboBox1_->setObjectName(QStringLiteral("组合框1"));
    comboBox1_->setGeometry(13, 16, 390, 24);
    comboBox1_->setEditable(false);
    comboBox1_->addItem(QStringLiteral("笔下文学"));
    comboBox1_->view()->window()->setMaximumHeight(kSourceListHeight);

    button1_ = MakeButton(this, "按钮1", QStringLiteral("普通批量下载"), QRect(52, 328, 104, 35));
    button2_ = MakeButton(this, "按钮2", QStringLiteral("代理批量下载"), QRect(259, 328, 104, 35));

    auto* statusBar1 = new QStatusBar(this);
    statusBar1->setObjectName(QStringLiteral("状态条1"));
    statusBar1->setSizeGripEnabled(false);
    QFont statusFont = statusBar1->font();
    statusFont.setPixelSize(14);
    statusFont.setWeight(QFont::Normal);
    statusBar1->setFont(statusFont);
    statusParts_[0] = MakeStatusPart(statusBar1, QStringLiteral("当前版本："), 0);
    statusParts_[0]->setFixedWidth(kStatusPart0Width);
    statusParts_[1] = MakeStatusPart(statusBar1, QStringLiteral("批量下载版"), 1);
    setStatusBar(statusBar1);

    timer1_ = new QTimer(this);
    timer1_->setObjectName(QStringLiteral("时钟1"));
    timer1_->setInterval(0);

    fileDialog1_ = new QFileDialog(this);
    fileDialog1_->setObjectName(QStringLiteral("通用对话框1"));
    fileDialog1_->setAcceptMode(QFileDialog::AcceptOpen);
    fileDialog1_->setFileMode(QFileDialog::ExistingFile);

    menu_ = new QMenu(this);
    menu_->setObjectName(QStringLiteral("菜单_"));
    aboutItem_ = menu_->addAction(QStringLiteral("说明"));
    menu_->addSeparator();
    quitItem_ = menu_->addAction(QStringLiteral("退出"));

    QWidget::setTabOrder(editBoxes_[3], button3_);
    QWidget::setTabOrder(button3_, editBoxes_[0]);
    QWidget::setTabOrder(editBoxes_[0], editBoxes_[1]);
    QWidget::setTabOrder(editBoxes_[1], editBoxes_[2]);
    QWidget::setTabOrder(editBoxes_[2], comboBox1_);
    QWidget::setTabOrder(comboBox1_, button1_);
    QWidget::setTabOrder(button1_, button2_);

    // Esc asks to close, as the close button does.
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(escape, &QShortcut::activated, this, &QWidget::close);

    connect(aboutItem_, &QAction::triggered, this, &MainWindow::OnAboutSelected);
    connect(quitItem_, &QAction::triggered, this, &MainWindow::OnQuitSelected);
    connect(button3_, &QPushButton::clicked, this, &MainWindow::OnChooseListClicked);
    connect(button1_, &QPushButton::clicked, this, &MainWindow::OnNormalBatchClicked);
    connect(button2_, &QPushButton::clicked, this, &MainWindow::OnProxyBatchClicked);
}

void MainWindow::OnNormalBatchClicked() { StartBatch(BatchMode::Normal, *bridge_); }

void MainWindow::OnProxyBatchClicked() { StartBatch(BatchMode::Proxy, *bridge_); }

QString MainWindow::Text(EditBox box) const {
    const int index = static_cast<int>(box) - 1;
    if (index < 0 || index >= 4) return {};
    return editBoxes_[index]->text();
}

void MainWindow::SetText(EditBox box, const QString& text) {
    const int index = static_cast<int>(box) - 1;
    if (index < 0 || index >= 4) return;
    editBoxes_[index]->setText(text);
    // A box shows the start of a long text, as after typing Home.
    editBoxes_[index]->setCursorPosition(0);
}

void MainWindow::SetButtonEnabled(BatchButton button, bool enabled) {
    switch (button) {
        case BatchButton::按钮1:
            button1_->setEnabled(enabled);
            break;
        case BatchButton::按钮2:
            button2_->setEnabled(enabled);
            break;
    }
}

void MainWindow::SetStatusText(int part, const QString& text) {
    if (part != 0 && part != 1) return;
    statusParts_[part]->setText(text);
}

void MainWindow::SelectSourceIndex(int index) {
    const int count = comboBox1_->count();
    if (index >= count) index = count - 1;
    if (index < -1) index = -1;
    comboBox1_->setCurrentIndex(index);
}

void MainWindow::OnMainWindowCreated() {
    SelectSourceIndex(2);
    SetText(EditBox::编辑框4, FromGbk(platform::GetCurrentDirectory() + "/" + kDefaultListName));
    LoadNameList(ToGbk(Text(EditBox::编辑框4)));
}

void MainWindow::OnChooseListClicked() {
    // Downloads and the audit resolve relative names against the working directory, which must
    // stay the program's folder whatever the dialog does to it.
    const std::string workingDirectory = platform::GetCurrentDirectory();
    if (!lastConfirmedPath_.isEmpty()) fileDialog1_->selectFile(lastConfirmedPath_);
    const std::optional<QString> chosen = runFileDialog_(*fileDialog1_);
    if (!workingDirectory.empty() && platform::GetCurrentDirectory() != workingDirectory) {
        platform::SetCurrentDirectory(workingDirectory);
    }
    if (chosen) {
        lastConfirmedPath_ = *chosen;
        SetText(EditBox::编辑框4, *chosen);
    }
    LoadNameList(ToGbk(Text(EditBox::编辑框4)));
}

bool MainWindow::OnCloseRequested() {
    QuestionBox question(QStringLiteral("提示"), QStringLiteral("是否最小化到托盘"));
    if (ShowModally(question) == QMessageBox::Yes) {
        SetTrayIcon();
        HideToTray();
        return false;
    }
    TerminateProcessById(FindProcessId("wget.exe", false));
    exit_(0);
    // Only a test's runner comes back here: the program would have ended.
    return true;
}

bool MainWindow::OnSessionEndQuery(bool mayAsk) {
    // Without leave to ask, the session goes on as it will.
    if (!mayAsk) return false;
    return !OnCloseRequested();
}

void MainWindow::OnTrayEvent(int type) {
    if (type == 3) {
        // An active window lets the menu close when the user clicks elsewhere.
        if (isVisible()) activateWindow();
        menu_->popup(QCursor::pos() + QPoint(3, 3));
    }
    if (type == 1) ShowAgain();
}

void MainWindow::OnAboutSelected() {
    QMessageBox about(QMessageBox::NoIcon, QStringLiteral("信息："),
                      QStringLiteral("闲暇之作，青檐专版"), QMessageBox::Ok);
    ShowModally(about);
}

void MainWindow::OnQuitSelected() {
    if (trayIcon_ != nullptr) trayIcon_->hide();
    exit_(0);
}

void MainWindow::SetTrayIcon() {
    if (trayIcon_ == nullptr) {
        trayIcon_ = new QSystemTrayIcon(this);
        trayIcon_->setObjectName(QStringLiteral("托盘图标"));
        connect(trayIcon_, &QSystemTrayIcon::activated, this,
                [this](QSystemTrayIcon::ActivationReason reason) {
                    switch (reason) {
                        case QSystemTrayIcon::Trigger:
                            OnTrayEvent(1);
                            break;
                        case QSystemTrayIcon::DoubleClick:
                            // The second click of the pair is released like the first.
                            OnTrayEvent(2);
                            OnTrayEvent(1);
                            break;
                        case QSystemTrayIcon::Context:
                            OnTrayEvent(3);
                            break;
                        default:
                            break;
                    }
                });
    }
    trayIcon_->setIcon(ProgramIcon());
    trayIcon_->setToolTip(TrayTip());
    trayIcon_->show();
}

void MainWindow::HideToTray() {
    // With no tray to hold the icon, a hidden window could never be brought back.
    if (trayAvailable_()) {
        hide();
    } else {
        showMinimized();
    }
}

void MainWindow::ShowAgain() {
    setWindowState(windowState() & ~Qt::WindowMinimized);
    show();
    raise();
    activateWindow();
}

void MainWindow::SetFileDialogRunner(FileDialogRunner runner) {
    runFileDialog_ = runner ? std::move(runner) : FileDialogRunner(&RunModally);
}

void MainWindow::SetExitRunner(ExitRunner runner) {
    exit_ = runner ? std::move(runner) : ExitRunner(&ExitForReal);
}

void MainWindow::SetTrayCheck(TrayCheck check) {
    trayAvailable_ = check ? std::move(check) : TrayCheck(&DesktopHasTray);
}

void MainWindow::closeEvent(QCloseEvent* event) {
    if (OnCloseRequested()) {
        event->accept();
    } else {
        event->ignore();
    }
}

bool MainWindow::event(QEvent* event) {
    const bool handled = QMainWindow::event(event);
    switch (event->type()) {
        case QEvent::Show:
        case QEvent::Move:
        case QEvent::Resize:
        case QEvent::WindowStateChange:
            FitOuterSizeToFrame();
            break;
        default:
            break;
    }
    return handled;
}

void MainWindow::CentreOnScreen() {
    const QScreen* shownOn = screen() != nullptr ? screen() : QGuiApplication::primaryScreen();
    if (shownOn == nullptr) return;
    const QRect area = shownOn->availableGeometry();
    move(area.x() + (area.width() - kOuterWidth) / 2,
         area.y() + (area.height() - kOuterHeight) / 2);
}

// The outer size is fixed, frame included; the frame is known only once the window manager has
// put one round the shown window, so the client area shrinks then by what the frame takes.
void MainWindow::FitOuterSizeToFrame() {
    if (!isVisible()) return;
    const QRect outer = frameGeometry();
    const QRect inner = geometry();
    const QMargins frame(inner.left() - outer.left(), inner.top() - outer.top(),
                         outer.right() - inner.right(), outer.bottom() - inner.bottom());
    if (fittedFrame_ && *fittedFrame_ == frame) return;
    const bool frameNewlyKnown = fittedFrame_ && fittedFrame_->isNull();
    fittedFrame_ = frame;
    setFixedSize(std::max(1, kOuterWidth - frame.left() - frame.right()),
                 std::max(1, kOuterHeight - frame.top() - frame.bottom()));
    if (frameNewlyKnown) CentreOnScreen();
}

}  // namespace mojing
