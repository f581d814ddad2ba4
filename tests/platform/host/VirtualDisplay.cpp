#include "VirtualDisplay.h"

#include <SDL.h>
#include <X11/Xlib.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <sstream>

extern char** environ;

namespace hosttest {

namespace {

bool onPath(const std::string& program) {
    const char* path = std::getenv("PATH");
    std::stringstream directories(path ? path : "/usr/bin:/bin");
    std::string directory;
    while (std::getline(directories, directory, ':')) {
        if (access((std::filesystem::path(directory) / program).c_str(), X_OK) == 0) return true;
    }
    return false;
}

pid_t serverProcess = -1;

void stopServer() {
    if (serverProcess <= 0) return;
    kill(serverProcess, SIGTERM);
    waitpid(serverProcess, nullptr, 0);
    serverProcess = -1;
}

// Xvfb picks a free display itself and writes its number to -displayfd, so parallel tests never race
// for one.
std::string startXvfb() {
    int pipeEnds[2];
    if (pipe(pipeEnds) != 0) return "cannot make a pipe for Xvfb";
    std::string descriptor = std::to_string(pipeEnds[1]);
    const char* arguments[] = {"Xvfb", "-displayfd", descriptor.c_str(), "-screen", "0", "1280x2000x24",
                               "-nolisten", "tcp", nullptr};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addclose(&actions, pipeEnds[0]);
    int failed = posix_spawnp(&serverProcess, "Xvfb", &actions, nullptr, const_cast<char**>(arguments), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(pipeEnds[1]);
    if (failed != 0) {
        close(pipeEnds[0]);
        serverProcess = -1;
        return "cannot start Xvfb";
    }
    std::atexit(stopServer);

    std::string number;
    for (;;) {
        pollfd readable{pipeEnds[0], POLLIN, 0};
        if (poll(&readable, 1, 60'000) <= 0) break;
        char character;
        if (read(pipeEnds[0], &character, 1) != 1 || character == '\n') break;
        number += character;
    }
    close(pipeEnds[0]);
    if (number.empty()) return "Xvfb did not report its display";
    setenv("DISPLAY", (":" + number).c_str(), 1);
    return {};
}

}  // namespace

std::string prepareDisplay() {
    static const std::string reason = [] {
        setenv("SDL_VIDEODRIVER", "x11", 1);
        // With no session bus named, D-Bus (which SDL's video opens) forks a launcher for one. Forked from a
        // process whose other threads may hold the sanitiser's allocator lock, that child can wait on it
        // forever, and the window never opens: name a bus that is not there, which fails at once. The app's
        // processes under test inherit it.
        setenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/sorvane-test-bus", 0);
        std::string problem;
        if (onPath("Xvfb")) {
            problem = startXvfb();
        } else if (!std::getenv("DISPLAY")) {
            problem = "Xvfb is not installed and no DISPLAY is set";
        }
        // SDL loads the X libraries itself and unloads them when its video stops; holding video open
        // for the whole run keeps them mapped, so the leak checker can name (and skip) their caches.
        if (problem.empty()) SDL_InitSubSystem(SDL_INIT_VIDEO);
        return problem;
    }();
    return reason;
}

bool requestClose(const std::string& title) {
    Display* display = XOpenDisplay(nullptr);
    if (!display) return false;
    Window root = 0, parent = 0, target = 0;
    Window* children = nullptr;
    unsigned int count = 0;
    XQueryTree(display, DefaultRootWindow(display), &root, &parent, &children, &count);
    for (unsigned int i = 0; i < count && !target; ++i) {
        char* name = nullptr;
        if (XFetchName(display, children[i], &name) && name) {
            if (title == name) target = children[i];
            XFree(name);
        }
    }
    if (children) XFree(children);
    if (target) {
        XEvent close{};
        close.xclient.type = ClientMessage;
        close.xclient.window = target;
        close.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
        close.xclient.format = 32;
        close.xclient.data.l[0] = static_cast<long>(XInternAtom(display, "WM_DELETE_WINDOW", False));
        close.xclient.data.l[1] = CurrentTime;
        XSendEvent(display, target, False, NoEventMask, &close);
    }
    XCloseDisplay(display);
    return target != 0;
}

}  // namespace hosttest
