// The app: the offline season (or the live services), then the application loop in the SDL window.
//
//     sorvane                                   the window
//     sorvane --screenshot PATH [--after S]     no window: a PNG of the home screen, then exit
//     sorvane --deliver-reminders STORE         shows the reminders of STORE that are due, then exits
//                                               (the user's service manager runs it at their time)
//     sorvane --help                            the usage, then exit 0
//
// Without --after the picture is taken once the season sheet shows its races and nothing moves;
// with it, after S seconds whatever shows.

#include <charconv>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <expected>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "dispatch/RunLoop.h"
#include "foundation/Clock.h"
#include "host/SDLApplicationHost.h"
#include "offline/OfflineSeason.h"
#include "reminders/UserNotificationCenter.h"
#include "shell/AppDelegate.h"
#include "shell/ImageSeam.h"
#include "shell/MemoryLimits.h"
#include "shell/SVGWorker.h"
#include "shell/SceneDelegate.h"
#include "shell/StartupFailure.h"
#include "shell/StartupProgress.h"
#include "ui/Application.h"
#include "ui/HeadlessHost.h"

namespace {

// How long the screenshot mode waits for the season sheet before it gives up (a load that fails
// ends the wait at once).
constexpr double loadTimeout = 120;
// Once the sheet shows its rows, a little more run-loop time for what follows the rows (map tiles).
constexpr double settleGrace = 0.5;

constexpr const char* usage = "usage: sorvane [--screenshot PATH [--after SECONDS]] | --deliver-reminders STORE | --help";

struct Arguments {
    bool help = false;
    std::optional<std::filesystem::path> screenshot;
    std::optional<double> after;
    std::optional<std::filesystem::path> reminderStore;
};

std::expected<Arguments, std::string> parseArguments(int argc, char** argv) {
    Arguments arguments;
    for (int i = 1; i < argc; ++i) {
        std::string_view argument = argv[i];
        bool hasValue = i + 1 < argc;
        if (argument == "--help" || argument == "-h") {
            arguments.help = true;
        } else if (argument == "--deliver-reminders" && hasValue) {
            arguments.reminderStore = argv[++i];
        } else if (argument == "--screenshot" && hasValue) {
            arguments.screenshot = argv[++i];
        } else if (argument == "--after" && hasValue) {
            std::string_view text = argv[++i];
            double seconds = -1;
            auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), seconds);
            if (error != std::errc{} || end != text.data() + text.size() || !(seconds >= 0))
                return std::unexpected("--after wants a number of seconds, not \"" + std::string(text) + "\"");
            arguments.after = seconds;
        } else {
            return std::unexpected(std::string(usage));
        }
    }
    if (arguments.after && !arguments.screenshot) return std::unexpected("--after goes with --screenshot PATH");
    if (arguments.reminderStore && arguments.screenshot) return std::unexpected("--deliver-reminders goes alone");
    return arguments;
}

std::shared_ptr<ui::ApplicationDelegate> makeAppDelegate() { return std::make_shared<AppDelegate>(); }
std::shared_ptr<ui::SceneDelegate> makeSceneDelegate() { return std::make_shared<SceneDelegate>(); }

double secondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

int screenshotWithoutWindow(const Arguments& arguments) {
    ui::HeadlessHost host;
    ui::Application::shared().launch(makeAppDelegate, makeSceneDelegate, host);
    auto start = std::chrono::steady_clock::now();
    std::optional<double> readyAt;
    for (;;) {
        host.renderIfNeeded();
        double elapsed = secondsSince(start);
        const auto& window = *host.window();
        if (arguments.after) {
            if (elapsed >= *arguments.after) break;
        } else if (startup::seasonSheetShowsRows(window) && startup::isSettled(window, foundation::Clock::current()->uptime())) {
            if (!readyAt) readyAt = elapsed;
            if (elapsed - *readyAt >= settleGrace) break;
        } else if (startup::seasonLoadFailed(window) && startup::isSettled(window, foundation::Clock::current()->uptime())) {
            host.snapshot();
            if (host.writePng(arguments.screenshot->string()))
                std::fprintf(stderr, "sorvane: no season could be loaded (see the lines above); %s shows the empty sheet\n",
                             arguments.screenshot->c_str());
            else
                std::fprintf(stderr, "sorvane: no season could be loaded (see the lines above), and the screenshot "
                                     "could not be written to %s\n",
                             arguments.screenshot->c_str());
            return 1;
        } else if (elapsed >= loadTimeout) {
            std::fprintf(stderr, "sorvane: the season sheet did not show the season's races within %.0f s\n",
                         loadTimeout);
            return 1;
        }
        dispatch::RunLoop::main()->runUntil([&] { return window.needsRender(); }, 0.05);
    }
    host.snapshot();
    if (!host.writePng(arguments.screenshot->string())) {
        std::fprintf(stderr, "sorvane: cannot write the screenshot to %s\n", arguments.screenshot->c_str());
        return 1;
    }
    return 0;
}

// The reminders go to the user's service manager, which runs this program's delivery mode at their
// time; without one, the app delivers them while it runs. Reminders of an earlier run are looked at
// now: what has begun is dropped, what the service manager lost is given to it again. The offline
// season's clock is not the machine's, so its reminders stay with the app.
void startReminders() {
    reminders::NotificationCenterConfiguration configuration;
    std::error_code error;
    auto program = std::filesystem::read_symlink("/proc/self/exe", error);
    if (!error && std::dynamic_pointer_cast<foundation::SystemClock>(foundation::Clock::current())) {
        configuration.scheduler = std::make_shared<reminders::SystemdUserTimers>();
        configuration.deliveryCommand = {program.string(), "--deliver-reminders"};
    }
    reminders::UserNotificationCenter::setCurrent(reminders::UserNotificationCenter::make(std::move(configuration)));
}

int deliverReminders(const std::filesystem::path& store) {
    reminders::UserNotificationCenter center({.storeFile = store, .scheduler = std::make_shared<reminders::SystemdUserTimers>()});
    // A failure makes the service manager run this again a little later.
    return center.deliverDueNotifications() ? 0 : 1;
}

int runInWindow() {
    auto host = host::SDLApplicationHost::open();
    if (!host) {
        std::fprintf(stderr, "sorvane: %s\n", host.error().c_str());
        return 1;
    }
    if (auto screenshot = (*host)->screenshotFromEnvironment(); !screenshot) {
        std::fprintf(stderr, "sorvane: %s\n", screenshot.error().c_str());
        return 2;
    }
    int status = ui::applicationMain(makeAppDelegate, makeSceneDelegate, **host);
    return (*host)->screenshotError() ? 1 : status;
}

// The start failed: the message goes to standard error and, in window mode, into a window that
// stays until it is closed. Exits 1 either way.
int failStart(const std::string& message, bool windowed) {
    std::fprintf(stderr, "sorvane: %s\n", message.c_str());
    if (!windowed) return 1;
    auto host = host::SDLApplicationHost::open();
    if (!host) return 1;  // no display: standard error is all there is
    (void)(*host)->screenshotFromEnvironment();
    ui::applicationMain([] { return std::make_shared<ui::ApplicationDelegate>(); },
                        [message] { return std::make_shared<StartupFailureSceneDelegate>(message); }, **host);
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    // A file-size limit then fails the write (the log files say so, as of a full disk) rather than
    // ending the app.
    std::signal(SIGXFSZ, SIG_IGN);
    auto arguments = parseArguments(argc, argv);
    if (!arguments) {
        std::fprintf(stderr, "sorvane: %s\n", arguments.error().c_str());
        return 2;
    }
    if (arguments->help) {
        std::printf("%s\n(the environment variables it reads are listed in README.md)\n", usage);
        return 0;
    }
    if (arguments->reminderStore) return deliverReminders(*arguments->reminderStore);
    if (auto zoom = host::WindowOptions::environmentProblem(); !zoom.empty() && !arguments->screenshot)
        return failStart(zoom, true);
    limitAllocatorArenas();
    // The flags arrive as SVG: worker processes (the executable beside this one) turn them into images,
    // started when the first flag is drawn.
    installSVGWorkerRenderer();
    limitImageMemory();
    auto season = OfflineSeason::startFromEnvironment([](const std::string& warning) {
        std::fprintf(stderr, "sorvane: warning: %s\n", warning.c_str());
    });
    if (!season) return failStart(season.error(), !arguments->screenshot);
    for (const auto& warning : season->warnings()) std::fprintf(stderr, "sorvane: warning: %s\n", warning.c_str());
    startReminders();
    int status = arguments->screenshot ? screenshotWithoutWindow(*arguments) : runInWindow();
    // Pool threads may still be reading a feed or a flag when the app is done. Ending without the
    // libraries' exit handlers keeps one (libxml2's, which frees its encoding tables) from pulling
    // what such a thread is using out from under it.
    std::fflush(nullptr);
    std::_Exit(status);
}
