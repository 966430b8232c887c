#pragma once

#include <QMainWindow>
#include <QMargins>
#include <QString>
#include <functional>
#include <memory>
#include <optional>

class QAction;
class QComboBox;
class QFileDialog;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QSystemTrayIcon;
class QTimer;

namespace mojing {

// Declared in batch/window_interface.h, whose names moc cannot read.
enum class EditBox;
enum class BatchButton;
class WindowBridge;

// The program's only window. Every control carries its window name as its object name
// (编辑框1, 按钮3, 分组框5, 组合框1, 状态条1, 时钟1, 通用对话框1, 菜单_).
class MainWindow : public QMainWindow {
    Q_OBJECT

  public:
    // Frame and caption included, where the window manager draws them.
    static constexpr int kOuterWidth = 436;
    static constexpr int kOuterHeight = 423;

    // Shows 通用对话框1 and gives the confirmed file's full path, nothing when cancelled.
    using FileDialogRunner = std::function<std::optional<QString>(QFileDialog&)>;
    // Ends the program with the code; the program's own does not return.
    using ExitRunner = std::function<void(int code)>;
    // Whether the desktop has a tray to hold the icon.
    using TrayCheck = std::function<bool()>;

    // The tray icon's tip: two lines with an empty line between them.
    static QString TrayTip();

    // Builds every control, centres the window on the screen and runs OnMainWindowCreated.
    explicit MainWindow(QWidget* parent = nullptr);
    ~MainWindow() override;

    QString Text(EditBox box) const;
    void SetText(EditBox box, const QString& text);
    void SetButtonEnabled(BatchButton button, bool enabled);
    // Parts 0 and 1; any other index does nothing.
    void SetStatusText(int part, const QString& text);

    // Past the last item selects the last item; -1 and below select nothing.
    void SelectSourceIndex(int index);

    void OnMainWindowCreated();
    void OnChooseListClicked();
    // 按钮1 and 按钮2: a batch on a worker that reaches the window through its bridge.
    void OnNormalBatchClicked();
    void OnProxyBatchClicked();
    // Every close request comes here (close button, Alt+F4, Esc); false refuses the close. Asks
    // whether to go to the tray: Yes hides the window behind the tray icon, No ends the first
    // "wget.exe" and the program.
    virtual bool OnCloseRequested();
    // The session's query before a log-off or shut-down: the close question, when the session
    // lets us ask. True asks the session to cancel the log-off.
    bool OnSessionEndQuery(bool mayAsk);
    // 1: left button released, 2: double click, 3: right button released or context request.
    void OnTrayEvent(int type);
    void OnAboutSelected();
    void OnQuitSelected();

    // Tests put a runner here that does not block.
    void SetFileDialogRunner(FileDialogRunner runner);
    // Tests put runners here that return, and a tray of their choosing.
    void SetExitRunner(ExitRunner runner);
    void SetTrayCheck(TrayCheck check);

  protected:
    void closeEvent(QCloseEvent* event) override;
    bool event(QEvent* event) override;

  private:
    void BuildControls();
    void CentreOnScreen();
    void FitOuterSizeToFrame();
    void SetTrayIcon();
    void HideToTray();
    void ShowAgain();

    QGroupBox* groupBox1_ = nullptr;
    QGroupBox* groupBox2_ = nullptr;
    QGroupBox* groupBox3_ = nullptr;
    QGroupBox* groupBox4_ = nullptr;
    QGroupBox* groupBox5_ = nullptr;
    QLineEdit* editBoxes_[4] = {};
    QPushButton* button1_ = nullptr;
    QPushButton* button2_ = nullptr;
    QPushButton* button3_ = nullptr;
    QComboBox* comboBox1_ = nullptr;
    QLabel* statusParts_[2] = {};
    QTimer* timer1_ = nullptr;
    QFileDialog* fileDialog1_ = nullptr;
    QMenu* menu_ = nullptr;
    QAction* aboutItem_ = nullptr;
    QAction* quitItem_ = nullptr;
    // At most one, made when the window first goes to the tray.
    QSystemTrayIcon* trayIcon_ = nullptr;

    std::unique_ptr<WindowBridge> bridge_;
    FileDialogRunner runFileDialog_;
    ExitRunner exit_;
    TrayCheck trayAvailable_;
    QString lastConfirmedPath_;
    std::optional<QMargins> fittedFrame_;
};

}  // namespace mojing
