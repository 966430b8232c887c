#include "app/start_up.h"

#include <QApplication>
#include <QtGlobal>
#include <cstdio>
#include <string>

#include "app/display_check.h"
#include "app/exit_program.h"
#include "app/main_window.h"
#include "app/program_icon.h"
#include "batch/name_lists.h"
#include "batch/program_folder.h"
#include "platform/file_system.h"

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
    const std::string folder = slash == 0 ? std::string("/") : executable.substr(0, slash);
    platform::SetCurrentDirectory(folder);
    SetProgramDirectory(folder);
}

int StartUp(int argc, char** argv) {
    SetUpProgramFolder();
    CreateNameLists();
    RegisterExitRoutine(&ReleaseNameLists);

    const std::string problem = WindowSystemProblem();
    if (!problem.empty()) FailStartUp(problem);

    // The program takes no arguments, so Qt sees none either.
    static char programName[] = "mojing-shuxia";
    static char* qtArgv[] = {argc > 0 && argv[0] != nullptr ? argv[0] : programName, nullptr};
    static int qtArgc = 1;

    previousMessageHandler = qInstallMessageHandler(&FatalAtStartUp);
    QApplication application(qtArgc, qtArgv);
    qInstallMessageHandler(previousMessageHandler);

    QApplication::setApplicationName(QStringLiteral("墨鲸书匣"));
    QApplication::setApplicationVersion(QStringLiteral("1.2.0.0"));
    QApplication::setWindowIcon(ProgramIcon());
    // Only the exit operation ends the program: a box closed while the window is hidden must not.
    QApplication::setQuitOnLastWindowClosed(false);

    MainWindow window;
    window.show();
    QApplication::exec();
    return 0;
}

}  // namespace mojing
