#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <new>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <system_error>
#include <typeindex>
#include <vector>

#include "foundation/Format.h"
#include "foundation/NotificationCenter.h"
#include "logging/LBLogLevel.h"
#include "logging/LBLogMessage.h"
#include "logging/LBLogger.h"

namespace dispatch {
class Queue;
}  // namespace dispatch

namespace logging {

// A registered logger and the level it was added with.
struct LBLoggerInformation {
    std::shared_ptr<LBLogger> logger;
    LBLogLevel level = LBLogLevel::all;
};

// The dispatcher: moves each record onto the one global serial queue "tolvane.logbook" and hands it
// to every logger whose level admits the record's flag, each on the logger's own serial queue. Every
// dispatcher shares that queue, so records keep one order; most code uses sharedInstance().
class LBLog {
public:
    LBLog();
    ~LBLog();
    LBLog(const LBLog&) = delete;
    LBLog& operator=(const LBLog&) = delete;

    static LBLog& sharedInstance();
    static const std::shared_ptr<dispatch::Queue>& loggingQueue();
    // Whether the calling code runs on the global logging queue (or hands records to loggers in its stead).
    static bool isOnLoggingQueue();
    // Queues `work` on the logging queue, where it runs between the records logged before and after.
    // Use this rather than the queue's own async: synchronous records wait only for work queued this way.
    static void asyncOnLoggingQueue(std::move_only_function<void()> work);

    // Asynchronous records queued and not yet delivered, at most, per dispatcher. A producer that finds
    // the queue full waits for room; records logged from the logging queue or from inside a logger
    // never wait (they could wait for themselves) and may go past it.
    static constexpr std::size_t asynchronousCapacity = 16384;
    std::size_t queuedAsynchronousRecords() const;

    // Whether some logger may take a record with `flag`: the first check of every logging call, made
    // before any formatting, so that a statement nobody listens to costs next to nothing.
    bool mayAdmit(LBLogFlag flag) const { return (admittedFlags_->load(std::memory_order_relaxed) & bits(flag)) != 0; }

    // A logger added twice at the same level is one registration; at two levels, two.
    void addLogger(std::shared_ptr<LBLogger> logger, LBLogLevel level = LBLogLevel::all);
    void removeLogger(const std::shared_ptr<LBLogger>& logger);
    void removeAllLoggers();
    std::vector<std::shared_ptr<LBLogger>> allLoggers();  // in order of addition
    std::vector<LBLoggerInformation> allLoggersWithLevel();

    // Asynchronous records return at once; synchronous ones once every admitted logger has taken them.
    // A call that runs out of memory or threads drops its record and says so (once until one gets
    // through) rather than throw.
    void queueLogMessage(LBLogMessage message, bool asynchronously);

    // The message is `format` (printf style, "%@" for any argument; see foundation::format) with the
    // arguments. An asynchronous record keeps copies of `file` and `function`.
    template <class... Arguments>
    void log(bool asynchronous, LBLogLevel level, LBLogFlag flag, LBLogContext context, const char* file,
             const char* function, std::uint64_t line, LBLogTag tag, std::string_view format,
             const Arguments&... arguments) {
        if (!mayAdmit(flag)) return;
        dropRecordOnExhaustion([&] {
            const std::array<foundation::FormatArgument, sizeof...(Arguments)> list{
                foundation::FormatArgument(arguments)...};
            // Measured here, where `file` and `function` are usually literals, their lengths known when compiling.
            const std::string_view fileText = file ? std::string_view(file) : std::string_view();
            const auto functionText = function ? std::optional<std::string_view>(function) : std::nullopt;
            FormattedCall call{asynchronous, level, flag, context, fileText, functionText, line, tag, format, list};
            logFormatted(call);
        });
    }
    // A `file` without data (a null pointer's) is refused as the other forms refuse a null `file`.
    void logWithArguments(bool asynchronous, LBLogLevel level, LBLogFlag flag, LBLogContext context,
                          std::string_view file, const char* function, std::uint64_t line, LBLogTag tag,
                          std::string_view format, std::span<const foundation::FormatArgument> arguments);
    void log(bool asynchronous, std::string message, LBLogLevel level, LBLogFlag flag, LBLogContext context,
             const char* file, const char* function, std::uint64_t line, LBLogTag tag);
    void log(bool asynchronous, LBLogMessage message);

    // Returns once every record queued before has been dispatched and every logger has flushed. Not
    // from the logging queue, nor from inside a logger.
    void flushLog();
    // Delivers every record queued before, removes every logger and returns once each has finished
    // its removal (a file logger writes what it holds and archives its file). Not from the logging
    // queue, nor from inside a logger. At normal exit every dispatcher delivers what is queued, waits
    // for the removals under way and flushes the loggers it still has (their files stay unarchived,
    // to be resumed by the next run).
    void shutdown();

    // Per-class levels. C++ keeps no list of classes, so a class takes part by registering itself;
    // it counts only when it has both `static LBLogLevel lbLogLevel()` and
    // `static void lbSetLogLevel(LBLogLevel)`. Answers whether it now takes part.
    template <class T>
    static bool registerClass(std::string name) {
        if constexpr (requires(LBLogLevel level) {
                          { T::lbLogLevel() } -> std::convertible_to<LBLogLevel>;
                          T::lbSetLogLevel(level);
                      }) {
            registerClass(std::type_index(typeid(T)), std::move(name), [] { return T::lbLogLevel(); },
                          [](LBLogLevel level) { T::lbSetLogLevel(level); });
            return true;
        } else {
            return false;
        }
    }
    template <class T>
    static bool isRegisteredClass() {
        return isRegisteredClass(std::type_index(typeid(T)));
    }
    static bool isRegisteredClass(std::type_index type);
    static std::vector<std::type_index> registeredClasses();
    static std::vector<std::string> registeredClassNames();
    // Every bit set (all) for a class that does not take part.
    template <class T>
    static LBLogLevel levelForClass() {
        return levelForClass(std::type_index(typeid(T)));
    }
    static LBLogLevel levelForClass(std::type_index type);
    static LBLogLevel levelForClassWithName(std::string_view name);
    // Classes that do not take part are ignored.
    template <class T>
    static void setLevelForClass(LBLogLevel level) {
        setLevelForClass(level, std::type_index(typeid(T)));
    }
    static void setLevelForClass(LBLogLevel level, std::type_index type);
    static void setLevelForClassWithName(LBLogLevel level, std::string_view name);

    struct State;

private:
    static void registerClass(std::type_index type, std::string name, std::function<LBLogLevel()> getter,
                              std::function<void(LBLogLevel)> setter);

    // One formatted call, handed over by reference: its parts are read where they are needed rather
    // than copied through the call, right after the caller wrote them.
    struct FormattedCall {
        bool asynchronous;
        LBLogLevel level;
        LBLogFlag flag;
        LBLogContext context;
        std::string_view file;
        std::optional<std::string_view> function;
        std::uint64_t line;
        LBLogTag& tag;  // taken over
        std::string_view format;
        std::span<const foundation::FormatArgument> arguments;
    };
    void logFormatted(FormattedCall& call);
    void logFormattedAdmitted(FormattedCall& call);

    // Runs one logging call. Out of memory or of threads, the call drops its record and says so (once
    // until a record gets through) rather than throw into its caller.
    template <class Call>
    static void dropRecordOnExhaustion(const Call& call) {
        try {
            call();
            if (recordDropSaid.load(std::memory_order_relaxed)) recordDropSaid.store(false, std::memory_order_relaxed);
        } catch (const std::bad_alloc& error) {
            sayRecordDropped(error);
        } catch (const std::system_error& error) {
            sayRecordDropped(error);
        }
    }
    static void sayRecordDropped(const std::exception& error) noexcept;
    // Whether a dropped record was said since a record last got through.
    static inline constinit std::atomic<bool> recordDropSaid = false;
    // Hands a record to the loggers and returns once each has taken it.
    void deliverSynchronously(const LBLogMessage& message);

    // The flags of every logger added (a superset while additions and removals are under way); shared
    // with the state, which outlives the dispatcher while blocks still run.
    std::shared_ptr<std::atomic<std::uint64_t>> admittedFlags_;
    std::shared_ptr<State> state_;  // shared with the blocks on the logging queue
    foundation::ObserverToken willTerminate_;
};

}  // namespace logging
