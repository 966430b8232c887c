#include "app/display_check.h"

#include <xcb/xcb.h>

#include <QFileInfo>
#include <QString>
#include <cstdlib>
#include <string_view>
#include <vector>

namespace mojing {
namespace {

std::string Environment(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

// The platform plugins Qt tries, in its order: QT_QPA_PLATFORM as a ';' list (options after ':'
// dropped), otherwise Wayland in a Wayland session and then X.
std::vector<std::string> PlatformChoices() {
    std::vector<std::string> names;
    const std::string chosen = Environment("QT_QPA_PLATFORM");
    if (!chosen.empty()) {
        std::string_view rest = chosen;
        while (!rest.empty()) {
            const std::size_t end = rest.find(';');
            std::string_view entry = rest.substr(0, end);
            entry = entry.substr(0, entry.find(':'));
            if (!entry.empty()) names.emplace_back(entry);
            rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
        }
        return names;
    }
    if (!Environment("WAYLAND_DISPLAY").empty() || Environment("XDG_SESSION_TYPE") == "wayland") {
        names.emplace_back("wayland");
    }
    names.emplace_back("xcb");
    return names;
}

std::string XProblem() {
    const std::string display = Environment("DISPLAY");
    if (display.empty()) return "DISPLAY is not set, so there is no X display to open";
    xcb_connection_t* connection = xcb_connect(display.c_str(), nullptr);
    const bool failed = xcb_connection_has_error(connection) != 0;
    xcb_disconnect(connection);
    if (failed) return "the X display \"" + display + "\" cannot be opened";
    return {};
}

std::string WaylandProblem() {
    std::string socket = Environment("WAYLAND_DISPLAY");
    if (socket.empty()) socket = "wayland-0";
    if (socket.front() != '/') {
        const std::string runtimeDirectory = Environment("XDG_RUNTIME_DIR");
        if (runtimeDirectory.empty())
            return "XDG_RUNTIME_DIR is not set, so there is no Wayland display";
        socket = runtimeDirectory + "/" + socket;
    }
    if (!QFileInfo::exists(QString::fromLocal8Bit(socket.c_str()))) {
        return "there is no Wayland display at " + socket;
    }
    return {};
}

}  // namespace

std::string WindowSystemProblem() {
    std::string problems;
    for (const std::string& name : PlatformChoices()) {
        std::string problem;
        if (name == "xcb") {
            problem = XProblem();
        } else if (name.starts_with("wayland")) {
            problem = WaylandProblem();
        }
        // Other plugins (offscreen, vnc, linuxfb, ...) need no display server of ours to find.
        if (problem.empty()) return {};
        if (!problems.empty()) problems += "; ";
        problems += problem;
    }
    if (problems.empty()) return "QT_QPA_PLATFORM names no platform plugin";
    return problems;
}

}  // namespace mojing
