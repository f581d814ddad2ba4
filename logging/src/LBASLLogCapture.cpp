#include "logging/LBASLLogCapture.h"

#include <atomic>
#include <charconv>
#include <mutex>

#include "dispatch/Queue.h"
#include "foundation/Date.h"
#include "logging/LBLog.h"
#include "systemlog/SystemLog.h"

namespace logging {
namespace {

using Operation = systemlog::LegacyCondition::Operation;

// One run of the capture, from start to stop.
struct Session {
    std::mutex mutex;
    std::uint64_t startTime = 0;      // seconds since 1970
    std::uint64_t lastSeenID = 0;     // 0 until a message was seen
};

struct CaptureState {
    std::atomic<bool> running = false;
    std::atomic<std::uint64_t> level = bits(LBLogLevel::verbose);
    std::mutex mutex;  // guards watch
    std::shared_ptr<systemlog::LegacyWatch> watch;
};

CaptureState& state() {
    static auto& captured = *new CaptureState;
    return captured;
}

template <class Number>
std::optional<Number> parse(std::optional<std::string_view> text) {
    if (!text) return std::nullopt;
    Number value{};
    auto [end, error] = std::from_chars(text->data(), text->data() + text->size(), value);
    if (error != std::errc()) return std::nullopt;
    return value;
}

void readNewMessages(Session& session) {
    std::lock_guard lock(session.mutex);
    systemlog::LegacyQuery query;
    if (session.lastSeenID > 0) {
        query.push_back({"ASLMessageID", Operation::greater, std::to_string(session.lastSeenID), true});
    } else {
        query.push_back({"Time", Operation::greaterOrEqual, std::to_string(session.startTime), true});
    }
    LBASLLogCapture::configureAslQuery(query);
    for (const auto& message : systemlog::SystemLog::current()->searchLegacy(query)) {
        LBASLLogCapture::aslMessageReceived(message);
        if (auto id = parse<std::uint64_t>(message.get("ASLMessageID"))) session.lastSeenID = *id;
    }
}

std::shared_ptr<systemlog::LegacyWatch> captureAslLogs() {
    auto session = std::make_shared<Session>();
    session->startTime = static_cast<std::uint64_t>(foundation::Date::now().timeIntervalSince1970());
    return systemlog::SystemLog::current()->watchLegacy(dispatch::Queue::global(),
                                                        [session] { readNewMessages(*session); });
}

}  // namespace

void LBASLLogCapture::start() {
    std::lock_guard lock(state().mutex);
    if (state().running.exchange(true)) return;
    // Watching begins here, not later on another queue, so that a stop that follows finds the watch.
    state().watch = captureAslLogs();
}

void LBASLLogCapture::stop() {
    std::shared_ptr<systemlog::LegacyWatch> watch;
    {
        std::lock_guard lock(state().mutex);
        state().running = false;
        watch = std::move(state().watch);
    }
    // At once, not at the next message: a start soon after must not leave two watches capturing.
    if (watch) watch->cancel();
}

bool LBASLLogCapture::isRunning() { return state().running; }

LBLogLevel LBASLLogCapture::captureLevel() { return LBLogLevel{state().level.load()}; }

void LBASLLogCapture::setCaptureLevel(LBLogLevel level) { state().level = bits(level); }

void LBASLLogCapture::configureAslQuery(systemlog::LegacyQuery& query) {
    query.push_back({"Level", Operation::lessOrEqual, "7", true});
    query.push_back({"LBLog", Operation::notEqual, "1", false});
}

void LBASLLogCapture::aslMessageReceived(const systemlog::LegacyMessage& message) {
    auto text = message.get("Message");
    if (!text) return;
    const int level = parse<int>(message.get("Level")).value_or(0);
    LBLogFlag flag = LBLogFlag::verbose;
    bool asynchronous = true;
    switch (level) {
        case 0:
        case 1:
        case 2:
            flag = LBLogFlag::error;
            asynchronous = false;
            break;
        case 3: flag = LBLogFlag::warning; break;
        case 4: flag = LBLogFlag::info; break;
        case 5: flag = LBLogFlag::debug; break;
        default: break;
    }
    const LBLogLevel capture = captureLevel();
    if (!admits(capture, flag)) return;
    foundation::Date timestamp = foundation::Date::now();
    if (auto seconds = parse<double>(message.get("Time"))) timestamp = foundation::Date::fromUnix(*seconds);
    if (auto nanoseconds = parse<double>(message.get("TimeNanoSec"))) {
        timestamp = timestamp.addingTimeInterval(*nanoseconds / 1e9);
    }
    LBLogMessage record(std::string(*text), capture, flag, 0, "LBASLLogCapture", std::nullopt, 0, std::nullopt,
                        LBLogMessage::dontCopyMessage, timestamp);
    LBLog::sharedInstance().log(asynchronous, std::move(record));
}

}  // namespace logging
