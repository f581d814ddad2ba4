#include "logging/LBLogMessage.h"

#include <array>
#include <charconv>
#include <iterator>
#include <functional>
#include <mutex>
#include <unordered_set>

#include "dispatch/Queue.h"
#include "foundation/Thread.h"

namespace logging {
namespace {

// Quality-of-service classes. Linux has none: the main thread reports what the platform gives its
// main thread, the dispatch pool's threads the default class (every queue here runs at it), any other
// thread unspecified.
constexpr std::uint32_t userInteractive = 33;
constexpr std::uint32_t defaultClass = 21;
constexpr std::uint32_t unspecified = 0;

std::string_view fileNameOf(std::string_view file) {
    auto slash = file.rfind('/');
    std::string_view name = slash == std::string_view::npos ? file : file.substr(slash + 1);
    auto dot = name.rfind('.');
    return dot == std::string_view::npos ? name : name.substr(0, dot);
}

template <class T>
std::size_t hashOf(const T& value) {
    return std::hash<T>{}(value);
}

// Fills `origin` in place: a record that one thread refills then copies only what changed.
void assignCurrentOrigin(LBLogMessage::Origin& origin) {
    // Plain storage, as for the thread's name: no destructor to register on a thread short of memory.
    struct ThreadIDText {
        char text[24];
        std::size_t size;
    };
    thread_local ThreadIDText threadIDText{};
    if (threadIDText.size == 0) {
        auto written = std::to_chars(std::begin(threadIDText.text), std::end(threadIDText.text), foundation::currentThreadID());
        threadIDText.size = static_cast<std::size_t>(written.ptr - threadIDText.text);
    }
    const std::string_view threadID(threadIDText.text, threadIDText.size);
    if (origin.threadID != threadID) origin.threadID = threadID;
    if (const auto name = foundation::currentThreadName(); name.empty()) {
        origin.threadName.reset();
    } else if (origin.threadName != name) {
        origin.threadName = name;
    }
    // One look at the running queue (the main queue on the main thread) gives the label and the class.
    const dispatch::Queue* queue = dispatch::Queue::currentUnretained();
    if (!queue) {
        // Off any queue, so off the main thread too.
        origin.queueLabel.clear();
        origin.qos = unspecified;
        return;
    }
    if (origin.queueLabel != queue->label()) origin.queueLabel = queue->label();
    origin.qos = dispatch::isMainThread() ? userInteractive : defaultClass;
}

// Copies of the file and function texts that queued records name, one per distinct text, kept for the
// life of the process: records come from a bounded set of call sites, and a copy per record would cost
// an allocation, and a free on another thread, each. Past the limit a record copies its own.
constexpr std::size_t lastingRecordTextLimit = 1024 * 1024;

struct RecordTextHash {
    using is_transparent = void;
    std::size_t operator()(std::string_view text) const { return std::hash<std::string_view>{}(text); }
};

struct RecordTextTable {
    std::mutex mutex;
    std::unordered_set<std::string, RecordTextHash, std::equal_to<>> texts;  // nodes stay where they are
    std::size_t bytes = 0;
};

std::optional<std::string_view> lastingRecordText(std::string_view text) {
    // Each thread remembers the texts it asked for last, by address; what is there now must still match.
    struct Remembered {
        const char* at = nullptr;
        std::string_view copy;
    };
    thread_local std::array<Remembered, 8> remembered{};
    thread_local std::size_t next = 0;
    for (const auto& entry : remembered) {
        if (entry.at == text.data() && entry.copy == text) return entry.copy;
    }
    static auto& table = *new RecordTextTable;  // records may still be delivered while the process exits
    std::string_view copy;
    {
        std::lock_guard lock(table.mutex);
        auto found = table.texts.find(text);
        if (found == table.texts.end()) {
            if (table.bytes + text.size() > lastingRecordTextLimit) return std::nullopt;
            found = table.texts.emplace(text).first;
            table.bytes += text.size();
        }
        copy = *found;
    }
    remembered[next] = {text.data(), copy};
    next = (next + 1) % remembered.size();
    return copy;
}

}  // namespace

LBLogMessage::Origin LBLogMessage::Origin::current() {
    Origin origin;
    assignCurrentOrigin(origin);
    return origin;
}

void LBLogMessage::takeCurrentOrigin() { assignCurrentOrigin(origin_); }

LBLogMessage::LBLogMessage(std::string message, LBLogLevel level, LBLogFlag flag, LBLogContext context,
                           std::string_view file, std::optional<std::string_view> function, std::uint64_t line,
                           LBLogTag tag, int options, std::optional<foundation::Date> timestamp, Origin origin)
    : message_(std::move(message)),
      level_(level),
      flag_(flag),
      context_(context),
      function_(function),
      line_(line),
      tag_(std::move(tag)),
      options_(options),
      timestamp_(timestamp ? timestamp : foundation::Date::now()),
      origin_(std::move(origin)) {
    if (options & copyFile) {
        ownedFile_ = std::make_shared<const std::string>(file);
        file_ = *ownedFile_;
    } else {
        file_ = file;
    }
    if ((options & copyFunction) && function) {
        ownedFunction_ = std::make_shared<const std::string>(*function);
        function_ = *ownedFunction_;
    }
}

void LBLogMessage::ownTexts() {
    bool copyFileNow = !ownedFile_;
    bool copyFunctionNow = !ownedFunction_ && function_;
    if (auto lasting = copyFileNow ? lastingRecordText(file_) : std::nullopt) {
        file_ = *lasting;
        copyFileNow = false;
    }
    if (auto lasting = copyFunctionNow ? lastingRecordText(*function_) : std::nullopt) {
        function_ = *lasting;
        copyFunctionNow = false;
    }
    if (!copyFileNow && !copyFunctionNow) return;
    // One allocation for both.
    auto texts = std::make_shared<std::string>();
    if (copyFileNow) texts->append(file_);
    if (copyFunctionNow) texts->append(*function_);
    const std::string_view copied = *texts;
    if (copyFileNow) {
        file_ = copied.substr(0, file_.size());
        ownedFile_ = texts;
    }
    if (copyFunctionNow) {
        function_ = copied.substr(copyFileNow ? file_.size() : 0);
        ownedFunction_ = texts;
    }
}

std::string_view LBLogMessage::fileName() const { return fileNameOf(file_); }

bool LBLogMessage::operator==(const LBLogMessage& other) const {
    if (this == &other) return true;
    return message_ == other.message_ && level_ == other.level_ && flag_ == other.flag_ &&
           context_ == other.context_ && file_ == other.file_ && function_ == other.function_ &&
           line_ == other.line_ && tag_ == other.tag_ && timestamp_ == other.timestamp_ &&
           origin_.threadID == other.origin_.threadID && origin_.queueLabel == other.origin_.queueLabel &&
           origin_.qos == other.origin_.qos;
}

std::size_t LBLogMessage::hash() const {
    std::size_t value = hashOf(message_) ^ hashOf(file_) ^ hashOf(function_.value_or(std::string_view())) ^
                        hashOf(origin_.threadID) ^ hashOf(origin_.queueLabel);
    if (timestamp_) value ^= hashOf(timestamp_->timeIntervalSinceReferenceDate);
    value ^= bits(level_) ^ bits(flag_) ^ static_cast<std::size_t>(context_) ^ line_ ^ origin_.qos;
    if (tag_) value ^= hashOf(*tag_);
    return value;
}

}  // namespace logging
