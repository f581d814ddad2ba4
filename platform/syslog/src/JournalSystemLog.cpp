#include "JournalSystemLog.h"

#include <dlfcn.h>
#include <errno.h>
#include <sys/uio.h>
#include <syslog.h>
#include <systemd/sd-journal.h>
#include <unistd.h>

#include <atomic>
#include <charconv>
#include <cmath>
#include <thread>
#include <type_traits>

#include "dispatch/Queue.h"
#include "foundation/Thread.h"

namespace systemlog {
namespace {

// The journal's priorities are the legacy log's levels: 0 emergency ... 7 debug.
int priorityFor(LogType type) {
    switch (type) {
        case LogType::debug: return LOG_DEBUG;
        case LogType::info: return LOG_INFO;
        case LogType::defaultType: return LOG_NOTICE;
        case LogType::error: return LOG_ERR;
        case LogType::fault: return LOG_CRIT;
    }
    return LOG_NOTICE;
}

// The journal's library, loaded when the journal is first written or read rather than with the program:
// a process that never touches it (the flag worker) starts without it and the five libraries it needs.
// Without it nothing reaches the journal, and reading it finds nothing.
struct JournalLibrary {
    decltype(&::sd_journal_open) open = nullptr;
    decltype(&::sd_journal_close) close = nullptr;
    decltype(&::sd_journal_get_data) getData = nullptr;
    decltype(&::sd_journal_get_realtime_usec) getRealtime = nullptr;
    decltype(&::sd_journal_next) next = nullptr;
    decltype(&::sd_journal_previous) previous = nullptr;
    decltype(&::sd_journal_seek_head) seekHead = nullptr;
    decltype(&::sd_journal_seek_tail) seekTail = nullptr;
    decltype(&::sd_journal_seek_realtime_usec) seekRealtime = nullptr;
    decltype(&::sd_journal_wait) wait = nullptr;
    decltype(&::sd_journal_sendv_with_location) sendv = nullptr;

    explicit operator bool() const { return sendv; }
};

const JournalLibrary& journalLibrary() {
    static const JournalLibrary library = [] {
        JournalLibrary loaded;
        void* handle = ::dlopen("libsystemd.so.0", RTLD_NOW | RTLD_LOCAL);
        if (!handle) return loaded;
        const auto bind = [&](auto& function, const char* name) {
            function = reinterpret_cast<std::remove_reference_t<decltype(function)>>(::dlsym(handle, name));
            return function != nullptr;
        };
        if (bind(loaded.open, "sd_journal_open") && bind(loaded.close, "sd_journal_close") &&
            bind(loaded.getData, "sd_journal_get_data") && bind(loaded.getRealtime, "sd_journal_get_realtime_usec") &&
            bind(loaded.next, "sd_journal_next") && bind(loaded.previous, "sd_journal_previous") &&
            bind(loaded.seekHead, "sd_journal_seek_head") && bind(loaded.seekTail, "sd_journal_seek_tail") &&
            bind(loaded.seekRealtime, "sd_journal_seek_realtime_usec") && bind(loaded.wait, "sd_journal_wait") &&
            bind(loaded.sendv, "sd_journal_sendv_with_location"))
            return loaded;
        return JournalLibrary{};
    }();
    return library;
}

std::optional<std::string_view> field(sd_journal* journal, const char* name) {
    const void* data = nullptr;
    std::size_t length = 0;
    if (journalLibrary().getData(journal, name, &data, &length) < 0) return std::nullopt;
    std::string_view text(static_cast<const char*>(data), length);
    std::size_t equals = text.find('=');
    if (equals == std::string_view::npos) return std::nullopt;
    return text.substr(equals + 1);
}

struct Journal {
    sd_journal* journal = nullptr;
    Journal() {
        if (!journalLibrary() || journalLibrary().open(&journal, SD_JOURNAL_LOCAL_ONLY) < 0) journal = nullptr;
    }
    ~Journal() {
        if (journal) journalLibrary().close(journal);
    }
    Journal(const Journal&) = delete;
    Journal& operator=(const Journal&) = delete;
};

// Where a search may start: the latest bound its conditions on "Time" and "ASLMessageID" put on the
// journal's clock (microseconds since 1970).
std::uint64_t lowerBound(const LegacyQuery& query) {
    std::uint64_t bound = 0;
    for (const auto& condition : query) {
        using Operation = LegacyCondition::Operation;
        if (!condition.numeric) continue;
        if (condition.operation != Operation::greater && condition.operation != Operation::greaterOrEqual) continue;
        double value = 0;
        auto [end, error] = std::from_chars(condition.value.data(), condition.value.data() + condition.value.size(), value);
        if (error != std::errc() || value < 0) continue;
        if (condition.key == "Time") bound = std::max(bound, static_cast<std::uint64_t>(value * 1e6));
        if (condition.key == "ASLMessageID") bound = std::max(bound, static_cast<std::uint64_t>(value));
    }
    return bound;
}

class JournalWatch final : public LegacyWatch, public std::enable_shared_from_this<JournalWatch> {
public:
    JournalWatch(std::shared_ptr<dispatch::Queue> queue, std::function<void()> handler)
        : queue_(std::move(queue)), handler_(std::move(handler)) {}
    ~JournalWatch() override { stop(); }

    void start() {
        std::weak_ptr<JournalWatch> weak = shared_from_this();
        thread_ = std::thread([this, weak] {
            foundation::setCurrentThreadName("systemlog-watch");
            Journal reader;
            if (!reader.journal) return;
            const auto& library = journalLibrary();
            library.seekTail(reader.journal);
            library.previous(reader.journal);
            while (!stopped_) {
                int woke = library.wait(reader.journal, 250'000);
                if (woke < 0) return;
                bool arrived = false;
                while (library.next(reader.journal) > 0) arrived = true;
                if (arrived && !stopped_) {
                    queue_->async([weak] {
                        if (auto self = weak.lock()) self->deliver();
                    });
                }
            }
        });
    }
    void cancel() override {
        {
            std::lock_guard lock(mutex_);
            handler_ = nullptr;
        }
        stop();
    }

private:
    void deliver() {
        std::lock_guard lock(mutex_);
        if (handler_) handler_();
    }
    void stop() {
        stopped_ = true;
        if (thread_.joinable() && thread_.get_id() != std::this_thread::get_id()) thread_.join();
        if (thread_.joinable()) thread_.detach();
    }

    std::shared_ptr<dispatch::Queue> queue_;
    std::recursive_mutex mutex_;
    std::function<void()> handler_;
    std::atomic<bool> stopped_ = false;
    std::thread thread_;
};

}  // namespace

bool JournalSystemLog::isEnabled(const UnifiedLogHandle&, LogType) const {
    return true;  // the journal keeps every priority; its readers filter
}

void JournalSystemLog::writeUnified(const UnifiedLogHandle& handle, LogType type, std::string_view text) {
    std::vector<std::string> fields;
    fields.push_back("MESSAGE=" + std::string(text));
    fields.push_back("PRIORITY=" + std::to_string(priorityFor(type)));
    fields.push_back(std::string("SYSLOG_IDENTIFIER=") + program_invocation_short_name);
    if (handle.subsystem) fields.push_back("LOGBOOK_SUBSYSTEM=" + *handle.subsystem);
    if (handle.category) fields.push_back("LOGBOOK_CATEGORY=" + *handle.category);
    fields.push_back("LBLOG=1");
    std::vector<iovec> pieces;
    for (auto& piece : fields) pieces.push_back({piece.data(), piece.size()});
    // With the code location sd_journal_sendv gives when linked.
    if (const auto& library = journalLibrary())
        library.sendv("CODE_FILE=" __FILE__, "CODE_LINE=" _SD_STRINGIFY(__LINE__), __func__, pieces.data(),
                      static_cast<int>(pieces.size()));
}

bool JournalSystemLog::sendLegacy(std::string_view facility, const LegacyMessage& message) {
    auto text = message.get("Message");
    if (!text) return false;
    int level = LOG_NOTICE;
    if (auto levelText = message.get("Level")) {
        std::from_chars(levelText->data(), levelText->data() + levelText->size(), level);
        level = std::clamp(level, 0, 7);
    }
    std::lock_guard lock(mutex_);
    // syslog(3) keeps the identifier by pointer: ours live as long as the log.
    auto ident = facilities_.emplace(facility).first;
    ::openlog(ident->c_str(), LOG_PID, LOG_USER);
    ::syslog(LOG_USER | level, "%.*s", static_cast<int>(text->size()), text->data());
    return true;
}

std::vector<LegacyMessage> JournalSystemLog::searchLegacy(const LegacyQuery& query) {
    std::vector<LegacyMessage> found;
    Journal reader;
    if (!reader.journal) return found;
    const auto& library = journalLibrary();
    if (std::uint64_t bound = lowerBound(query); bound > 0) {
        library.seekRealtime(reader.journal, bound);
    } else {
        library.seekHead(reader.journal);
    }
    const std::string ownPid = std::to_string(::getpid());
    while (library.next(reader.journal) > 0) {
        auto text = field(reader.journal, "MESSAGE");
        std::uint64_t microseconds = 0;
        if (!text || library.getRealtime(reader.journal, &microseconds) < 0) continue;
        LegacyMessage message;
        message.set("ASLMessageID", std::to_string(microseconds));
        message.set("Time", std::to_string(microseconds / 1'000'000));
        message.set("TimeNanoSec", std::to_string(microseconds % 1'000'000 * 1000));
        message.set("Level", field(reader.journal, "PRIORITY").value_or("6"));
        message.set("Message", *text);
        auto sender = field(reader.journal, "SYSLOG_IDENTIFIER");
        auto pid = field(reader.journal, "_PID");
        if (sender) message.set("Sender", *sender);
        if (pid) message.set("PID", *pid);
        bool own = field(reader.journal, "LBLOG") == "1";
        if (!own && sender && pid == ownPid) {
            std::lock_guard lock(mutex_);
            own = facilities_.contains(*sender);
        }
        if (own) message.set("LBLog", "1");
        if (matches(query, message)) found.push_back(std::move(message));
    }
    return found;
}

std::shared_ptr<LegacyWatch> JournalSystemLog::watchLegacy(std::shared_ptr<dispatch::Queue> queue,
                                                           std::function<void()> handler) {
    auto watch = std::make_shared<JournalWatch>(std::move(queue), std::move(handler));
    watch->start();
    return watch;
}

}  // namespace systemlog
