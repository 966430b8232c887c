#include "app/start_up.h"

#include <QApplication>
#include <QtGlobal>
#include <cstdio>
#include <optional>
#include <stdexcept>
#include <string>
#include <variant>

#include "app/command_line.h"
#include "app/display_check.h"
#include "app/exit_program.h"
#include "app/gbk_text.h"
#include "app/main_window.h"
#include "app/program_icon.h"
#include "batch/console_window.h"
#include "batch/name_lists.h"
#include "batch/program_folder.h"
#include "batch/user_folders.h"
#include "batch/window_interface.h"
#include "demo/demo_site.h"
#include "platform/file_system.h"
#include "text/code_page_conversion.h"

namespace mojing {
namespace {

[[noreturn]] void FailStartUp(const std::string& reason) {
    std::fprintf(stderr, "墨鲸书匣: the main window cannot be created: %s\n", reason.c_str());
    std::fflush(stderr);
    ExitProgram(-1);
}

QtMessageHandler previousMessageHandler = nullptr;

// Qt aborts when no platform plugin can be loaded; the program ends with its own code instead.
void FatalAtStartUp(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (type == QtFatalMsg) FailStartUp(message.trimmed().toStdString());
    if (previousMessageHandler != nullptr) {
        previousMessageHandler(type, context, message);
    } else {
        std::fprintf(stderr, "%s\n",
                     qFormatLogMessage(type, context, message).toLocal8Bit().constData());
    }
}

}  // namespace

void SetUpProgramFolder() {
    const std::string executable = platform::ExecutablePath();
    const std::size_t slash = executable.rfind('/');
    if (slash == std::string::npos) {
        // Nowhere better to go: the folder we were started in stays, and the audit looks there.
        SetProgramDirectory(platform::GetCurrentDirectory());
        return;
    }
    // An installed program cannot write beside itself; its user's download folder serves then.
    const std::string folder =
        ProgramFolderFor(slash == 0 ? std::string("/") : executable.substr(0, slash));
    platform::SetCurrentDirectory(folder);
    SetProgramDirectory(folder);
}

namespace {

void SayToStandardError(const std::string& utf8) {
    std::fprintf(stderr, "mojing-shuxia: %s\n", utf8.c_str());
    std::fflush(stderr);
}

// The demo's folder with a fresh list in it; empty, after saying why, when it cannot be had.
std::string PreparedDemoFolder() {
    const std::string folder = DemoFolder();
    if (folder.empty() || !demo::PrepareDemoFolder(folder)) {
        SayToStandardError("the demo folder " + GbkToUtf8(folder) + " cannot be prepared");
        return {};
    }
    return folder;
}

bool StartDemoSite(std::optional<demo::DemoSite>& site) {
    try {
        site.emplace();
        return true;
    } catch (const std::runtime_error& error) {
        SayToStandardError(std::string("the demo site cannot start: ") + error.what());
        return false;
    }
}

std::string AbsoluteGbkPath(const std::string& utf8) {
    const std::string gbk = Utf8ToGbk(utf8);
    return gbk.starts_with('/') ? gbk : platform::GetCurrentDirectory() + "/" + gbk;
}

int RunHeadless(const CommandLine& line) {
    std::optional<demo::DemoSite> site;
    std::string folder;
    std::string list;
    std::optional<std::string> proxy;
    if (line.proxy) proxy = Utf8ToGbk(*line.proxy);
    if (line.demo) {
        folder = PreparedDemoFolder();
        if (folder.empty()) return 1;
        if (!StartDemoSite(site)) return 1;
        if (proxy && proxy->empty()) proxy = site->Host();
    } else {
        if (!line.list.empty()) list = AbsoluteGbkPath(line.list);
        folder = line.dir.empty() ? platform::GetCurrentDirectory() : AbsoluteGbkPath(line.dir);
    }
    if (!platform::SetCurrentDirectory(folder)) {
        SayToStandardError("cannot work in " + GbkToUtf8(folder));
        return 2;
    }
    if (list.empty()) list = folder + "/" + Utf8ToGbk("小说名.txt");
    if (platform::FileSize(list) < 0) {
        SayToStandardError("no list of titles at " + GbkToUtf8(list) +
                           " (give one: --batch LIST; see --help)");
        return 2;
    }
    return RunConsoleBatch(folder, list, proxy, stdout, stderr);
}

int RunWindow(int argc, char** argv, const std::optional<std::string>& proxyText) {
    CreateNameLists();
    RegisterExitRoutine(&ReleaseNameLists);

    const std::string problem = WindowSystemProblem();
    if (!problem.empty()) FailStartUp(problem);

    // Qt sees none of the program's arguments.
    static char programName[] = "mojing-shuxia";
    static char* qtArgv[] = {argc > 0 && argv[0] != nullptr ? argv[0] : programName, nullptr};
    static int qtArgc = 1;

    previousMessageHandler = qInstallMessageHandler(&FatalAtStartUp);
    QApplication application(qtArgc, qtArgv);
    qInstallMessageHandler(previousMessageHandler);

    QApplication::setApplicationName(QStringLiteral("墨鲸书匣"));
    QApplication::setApplicationVersion(QStringLiteral(MOJING_VERSION));
    QApplication::setWindowIcon(ProgramIcon());
    // Only the exit operation ends the program: a box closed while the window is hidden must not.
    QApplication::setQuitOnLastWindowClosed(false);

    MainWindow window;
    if (proxyText) window.SetText(EditBox::编辑框3, FromGbk(*proxyText));
    window.show();
    QApplication::exec();
    return 0;
}

}  // namespace

int StartUp(int argc, char** argv) {
    if (argc <= 1) {
        SetUpProgramFolder();
        return RunWindow(argc, argv, std::nullopt);
    }
    const auto parsed = ParseCommandLine(argc, argv);
    if (const int* code = std::get_if<int>(&parsed)) return *code;
    const CommandLine& line = std::get<CommandLine>(parsed);
    if (line.batch) return RunHeadless(line);

    // The demo in the window: its folder, and its site, which also serves as the proxy.
    const std::string folder = PreparedDemoFolder();
    if (folder.empty()) return 1;
    // It serves until the process ends, which never runs destructors.
    static std::optional<demo::DemoSite> site;
    if (!StartDemoSite(site)) return 1;
    platform::SetCurrentDirectory(folder);
    SetProgramDirectory(folder);
    return RunWindow(argc, argv, site->Host());
}

}  // namespace mojing
