#include <spawn.h>
#include <sys/wait.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <optional>
#include <thread>

#include "foundation/Process.h"
#include "ui/Application.h"
#include "ui/Feedback.h"
#include "ui/RunLoopBridge.h"

extern char** environ;

// The toolkit's ways out of the app: haptics and web links, both replaceable for tests.
namespace ui {

namespace {

std::mutex seamsMutex;

std::shared_ptr<HapticSink>& hapticSink() {
    static std::shared_ptr<HapticSink> sink;
    return sink;
}

std::shared_ptr<URLOpener>& urlOpener() {
    static std::shared_ptr<URLOpener> opener = std::make_shared<XdgURLOpener>();
    return opener;
}

}  // namespace

void HapticRecorder::play(const HapticEvent& event) {
    std::lock_guard lock(mutex_);
    events_.push_back(event);
}

std::vector<HapticEvent> HapticRecorder::events() const {
    std::lock_guard lock(mutex_);
    return events_;
}

void HapticRecorder::clear() {
    std::lock_guard lock(mutex_);
    events_.clear();
}

void setHapticSink(std::shared_ptr<HapticSink> sink) {
    std::lock_guard lock(seamsMutex);
    hapticSink() = std::move(sink);
}

void ImpactFeedbackGenerator::impactOccurred(double intensity) {
    std::shared_ptr<HapticSink> sink;
    {
        std::lock_guard lock(seamsMutex);
        sink = hapticSink();
    }
    if (sink) sink->play({style_, std::clamp(intensity, 0.0, 1.0)});
}

namespace {

// Starts xdg-open with one argument; none when it cannot be started. The argument is one argv entry
// and no shell sees it, so nothing in it is interpreted.
std::optional<pid_t> startXdgOpen(std::string argument) {
    char program[] = "xdg-open";
    std::vector<char*> argv{program, argument.data(), nullptr};
    pid_t pid = 0;
    if (posix_spawnp(&pid, program, nullptr, nullptr, argv.data(), environ) != 0) return std::nullopt;
    return pid;
}

// Reaps it in the background so no zombie is left.
void reapLater(pid_t pid) {
    std::thread([pid] {
        int status = 0;
        waitpid(pid, &status, 0);
    }).detach();
}

}  // namespace

bool XdgURLOpener::open(const foundation::URL& url) {
    auto pid = startXdgOpen(url.absoluteString());
    if (!pid) return false;
    reapLater(*pid);
    return true;
}

bool URLOpenRecorder::open(const foundation::URL& url) {
    std::lock_guard lock(mutex_);
    opened_.push_back(url.absoluteString());
    return true;
}

std::vector<std::string> URLOpenRecorder::openedURLs() const {
    std::lock_guard lock(mutex_);
    return opened_;
}

DocumentOpenOutcome XdgURLOpener::openDocument(const std::filesystem::path& file, const std::string& mimeType) {
    auto handler = foundation::runProcess({"xdg-mime", "query", "default", mimeType});
    bool hasHandler = handler && handler->exitStatus == 0 &&
                      handler->output.find_first_not_of(" \t\r\n") != std::string::npos;
    if (!hasHandler) return DocumentOpenOutcome::noApplication;
    auto pid = startXdgOpen(file.string());
    if (!pid) return DocumentOpenOutcome::noApplication;
    // Without a desktop environment xdg-open waits for the application it starts: one still running
    // after a few seconds has the file open.
    constexpr auto patience = std::chrono::seconds(5);
    auto deadline = std::chrono::steady_clock::now() + patience;
    int status = 0;
    pid_t ended = 0;
    while ((ended = waitpid(*pid, &status, WNOHANG)) == 0 && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    if (ended == 0) {
        reapLater(*pid);
        return DocumentOpenOutcome::opened;
    }
    if (ended < 0 || !WIFEXITED(status)) return DocumentOpenOutcome::refused;
    // xdg-open's own code for "no method available for opening" the file.
    constexpr int noMethod = 3;
    if (WEXITSTATUS(status) == noMethod) return DocumentOpenOutcome::noApplication;
    return WEXITSTATUS(status) == 0 ? DocumentOpenOutcome::opened : DocumentOpenOutcome::refused;
}

DocumentOpenOutcome URLOpenRecorder::openDocument(const std::filesystem::path& file, const std::string&) {
    std::lock_guard lock(mutex_);
    openedDocuments_.push_back(file);
    return documentAnswer_;
}

std::vector<std::filesystem::path> URLOpenRecorder::openedDocuments() const {
    std::lock_guard lock(mutex_);
    return openedDocuments_;
}

void URLOpenRecorder::answerDocumentsWith(DocumentOpenOutcome outcome) {
    std::lock_guard lock(mutex_);
    documentAnswer_ = outcome;
}

void setURLOpener(std::shared_ptr<URLOpener> opener) {
    std::lock_guard lock(seamsMutex);
    urlOpener() = opener ? std::move(opener) : std::make_shared<XdgURLOpener>();
}

bool Application::canOpenURL(const foundation::URL& url) {
    std::string scheme = url.scheme().value_or("");
    std::transform(scheme.begin(), scheme.end(), scheme.begin(), [](unsigned char c) { return std::tolower(c); });
    return scheme == "http" || scheme == "https";
}

void Application::open(const foundation::URL& url, std::function<void(bool)> completion) {
    bool opened = false;
    if (canOpenURL(url)) {
        std::shared_ptr<URLOpener> opener;
        {
            std::lock_guard lock(seamsMutex);
            opener = urlOpener();
        }
        opened = opener->open(url);
    }
    if (completion) runLoopBridge()->performAtEndOfTurn([completion = std::move(completion), opened] { completion(opened); });
}

DocumentOpenOutcome Application::openDocument(const std::filesystem::path& file, const std::string& mimeType) {
    std::error_code error;
    if (!std::filesystem::is_regular_file(file, error)) return DocumentOpenOutcome::refused;
    std::shared_ptr<URLOpener> opener;
    {
        std::lock_guard lock(seamsMutex);
        opener = urlOpener();
    }
    return opener->openDocument(file, mimeType);
}

}  // namespace ui
