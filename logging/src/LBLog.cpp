#include "logging/LBLog.h"

#include <algorithm>
#include <atomic>
#include <mutex>
#include <thread>

#include "dispatch/Group.h"
#include "dispatch/Queue.h"
#include "foundation/Assertion.h"

namespace logging {
namespace {

// The application's will-terminate notification, observed by name: the dispatcher knows nothing of
// the UI layer that posts it.
const foundation::Notification::Name willTerminateNotification{"UIApplicationWillTerminateNotification"};

constexpr std::string_view onLoggingQueueOnly = "This method should only be run on the logging thread/queue";

// The address that tags the logging queue.
const char loggingQueueKey = 0;

// How deep the calling thread is inside logger calls made by the dispatcher. While the dispatcher
// waits on a logger, that logger must not wait on the dispatcher.
thread_local int loggerCallDepth = 0;

class LoggerCall {
public:
    LoggerCall() { ++loggerCallDepth; }
    ~LoggerCall() { --loggerCallDepth; }
    LoggerCall(const LoggerCall&) = delete;
    LoggerCall& operator=(const LoggerCall&) = delete;
};

struct LBLoggerNode {
    std::shared_ptr<LBLogger> logger;
    std::shared_ptr<dispatch::Queue> loggerQueue;
    LBLogLevel level;
};

unsigned processorCount() {
    static const unsigned count = std::max(1u, std::thread::hardware_concurrency());
    return count;
}

const std::shared_ptr<dispatch::Group>& loggingGroup() {
    static auto& group = *new std::shared_ptr<dispatch::Group>(dispatch::Group::create());
    return group;
}

void assertOnLoggingQueue() { foundation::assertion(LBLog::isOnLoggingQueue(), onLoggingQueueOnly); }

}  // namespace

// Asynchronous records that follow one another with nothing else queued between them travel as one
// block of the logging queue, so that producers and the queue meet once per batch, not per record.
struct RecordBatch {
    std::vector<LBLogMessage> records;  // under State::batchMutex
    // Delivered records, freed by the next producer: memory goes back on the thread that took it,
    // without the allocator's cross-thread locking.
    std::vector<LBLogMessage> delivered;  // under State::batchMutex
};

struct LBLog::State : std::enable_shared_from_this<LBLog::State> {
    std::vector<LBLoggerNode> loggers;  // on the logging queue only

    std::mutex batchMutex;
    // The batch still taking records, whose block is queued or running. Written under batchMutex;
    // atomic so that closing finds "none open" without the lock.
    std::atomic<RecordBatch*> openBatch = nullptr;

    // Anything else queued on the logging queue must come after the records queued before it.
    void closeBatch() {
        if (!openBatch.load(std::memory_order_acquire)) return;
        std::lock_guard lock(batchMutex);
        openBatch = nullptr;
    }
    void queueAsynchronously(LBLogMessage message);
    void lt_drain(RecordBatch& batch);

    void lt_addLogger(std::shared_ptr<LBLogger> logger, LBLogLevel level);
    void lt_removeLogger(const std::shared_ptr<LBLogger>& logger);
    void lt_removeAllLoggers();
    void lt_log(const LBLogMessage& message);
    void lt_flush();
};

LBLog::LBLog() : state_(std::make_shared<State>()) {
    state_->loggers.reserve(4);
    std::weak_ptr<State> weakState = state_;
    willTerminate_ = foundation::NotificationCenter::defaultCenter().addObserver(
        willTerminateNotification, [weakState](const foundation::Notification&) {
            auto state = weakState.lock();
            if (!state) return;
            state->closeBatch();
            loggingQueue()->sync([&] { state->lt_flush(); });
        });
}

LBLog::~LBLog() { foundation::NotificationCenter::defaultCenter().removeObserver(willTerminate_); }

LBLog& LBLog::sharedInstance() {
    static LBLog& instance = *new LBLog;  // records may still be dispatched while the process exits
    return instance;
}

const std::shared_ptr<dispatch::Queue>& LBLog::loggingQueue() {
    static auto& queue = *[] {
        auto* queue = new std::shared_ptr<dispatch::Queue>(dispatch::Queue::serial("tolvane.logbook"));
        (*queue)->setSpecific(&loggingQueueKey, true);
        return queue;
    }();
    return queue;
}

bool LBLog::isOnLoggingQueue() {
    // The same answer as the queue's tag gives, without reading it on every record.
    return loggingQueue()->isCurrent();
}

void LBLog::addLogger(std::shared_ptr<LBLogger> logger, LBLogLevel level) {
    if (!logger) return;
    state_->closeBatch();
    loggingQueue()->async([state = state_, logger = std::move(logger), level]() mutable {
        state->lt_addLogger(std::move(logger), level);
    });
}

void LBLog::removeLogger(const std::shared_ptr<LBLogger>& logger) {
    if (!logger) return;
    state_->closeBatch();
    loggingQueue()->async([state = state_, logger] { state->lt_removeLogger(logger); });
}

void LBLog::removeAllLoggers() {
    state_->closeBatch();
    loggingQueue()->async([state = state_] { state->lt_removeAllLoggers(); });
}

std::vector<std::shared_ptr<LBLogger>> LBLog::allLoggers() {
    state_->closeBatch();
    return loggingQueue()->sync([&] {
        std::vector<std::shared_ptr<LBLogger>> loggers;
        for (const auto& node : state_->loggers) loggers.push_back(node.logger);
        return loggers;
    });
}

std::vector<LBLoggerInformation> LBLog::allLoggersWithLevel() {
    state_->closeBatch();
    return loggingQueue()->sync([&] {
        std::vector<LBLoggerInformation> information;
        for (const auto& node : state_->loggers) information.push_back({node.logger, node.level});
        return information;
    });
}

void LBLog::queueLogMessage(LBLogMessage message, bool asynchronously) {
    // A logger that logs while the dispatcher waits for it would wait for itself: its record goes
    // after the one being delivered instead.
    if (asynchronously || loggerCallDepth > 0) {
        state_->queueAsynchronously(std::move(message));
        return;
    }
    state_->closeBatch();
    if (isOnLoggingQueue()) {
        state_->lt_log(message);
    } else {
        loggingQueue()->sync([&] { state_->lt_log(message); });
    }
}

void LBLog::State::queueAsynchronously(LBLogMessage message) {
    std::vector<LBLogMessage> delivered;  // freed after the lock is let go
    std::lock_guard lock(batchMutex);
    if (RecordBatch* open = openBatch) {
        open->records.push_back(std::move(message));
        delivered.swap(open->delivered);
        return;
    }
    auto batch = std::make_shared<RecordBatch>();
    batch->records.reserve(64);
    batch->records.push_back(std::move(message));
    openBatch = batch.get();
    // Queued under the lock, so batches keep the order in which they were opened.
    loggingQueue()->async([state = shared_from_this(), batch] { state->lt_drain(*batch); });
}

void LBLog::State::lt_drain(RecordBatch& batch) {
    // A drain that caught up waits a moment for the next record before it gives the batch up: waking
    // a thread for every few records costs far more than the wait.
    constexpr int patience = 64;
    std::vector<LBLogMessage> records;
    for (int idle = 0;;) {
        {
            std::lock_guard lock(batchMutex);
            records.clear();
            records.swap(batch.records);
            if (records.empty() && (openBatch != &batch || ++idle > patience)) {
                if (openBatch == &batch) openBatch = nullptr;
                return;
            }
        }
        if (records.empty()) {
            std::this_thread::yield();
            continue;
        }
        idle = 0;
        for (const auto& record : records) lt_log(record);
        std::lock_guard lock(batchMutex);
        if (batch.delivered.empty()) batch.delivered.swap(records);
    }
}

void LBLog::logWithArguments(bool asynchronous, LBLogLevel level, LBLogFlag flag, LBLogContext context,
                             const char* file, const char* function, std::uint64_t line, LBLogTag tag,
                             std::string_view format, std::span<const foundation::FormatArgument> arguments) {
    log(asynchronous, foundation::formatArguments(format, arguments), level, flag, context, file, function, line, std::move(tag));
}

void LBLog::log(bool asynchronous, std::string message, LBLogLevel level, LBLogFlag flag, LBLogContext context,
                const char* file, const char* function, std::uint64_t line, LBLogTag tag) {
    foundation::assertion(file != nullptr, "Invalid parameter not satisfying: file");
    std::optional<std::string_view> functionName;
    if (function) functionName = function;
    queueLogMessage(LBLogMessage(std::move(message), level, flag, context, file, functionName, line, std::move(tag)),
                    asynchronous);
}

void LBLog::log(bool asynchronous, LBLogMessage message) { queueLogMessage(std::move(message), asynchronous); }

void LBLog::flushLog() {
    foundation::assertion(!isOnLoggingQueue() && loggerCallDepth == 0,
                          "This method shouldn't be run on the logging thread/queue that make flush fast enough");
    state_->closeBatch();
    loggingQueue()->sync([&] { state_->lt_flush(); });
}

void LBLog::State::lt_addLogger(std::shared_ptr<LBLogger> logger, LBLogLevel level) {
    for (const auto& node : loggers) {
        if (node.logger == logger && node.level == level) return;
    }
    assertOnLoggingQueue();
    auto queue = logger->loggerQueue();
    if (!queue) queue = dispatch::Queue::serial(logger->loggerName());
    loggers.push_back({logger, queue, level});
    queue->async([logger, queue] { logger->didAddLoggerInQueue(queue); });
}

void LBLog::State::lt_removeLogger(const std::shared_ptr<LBLogger>& logger) {
    assertOnLoggingQueue();
    auto found = std::ranges::find(loggers, logger, &LBLoggerNode::logger);
    if (found == loggers.end()) return;
    found->loggerQueue->async([logger] { logger->willRemoveLogger(); });
    loggers.erase(found);
}

void LBLog::State::lt_removeAllLoggers() {
    assertOnLoggingQueue();
    for (const auto& node : loggers) {
        node.loggerQueue->async([logger = node.logger] { logger->willRemoveLogger(); });
    }
    loggers.clear();
}

void LBLog::State::lt_log(const LBLogMessage& message) {
    assertOnLoggingQueue();
    const LBLogFlag flag = message.flag();
    std::size_t admitted = 0;
    for (const auto& node : loggers) admitted += admits(node.level, flag) ? 1 : 0;
    if (admitted == 0) return;

    auto deliver = [&message](const LBLoggerNode& node) {
        LoggerCall call;
        node.logger->logMessage(message);
    };
    // A sync on an idle logger queue runs on this thread: one logger costs no thread switch.
    if (admitted == 1 || processorCount() == 1) {
        for (const auto& node : loggers) {
            if (admits(node.level, flag)) node.loggerQueue->sync([&] { deliver(node); });
        }
        return;
    }
    // Several loggers take the record side by side; the last one on this thread. The record outlives
    // them all: the group is waited for before returning.
    const auto& group = loggingGroup();
    std::size_t remaining = admitted;
    for (const auto& node : loggers) {
        if (!admits(node.level, flag)) continue;
        if (--remaining == 0) {
            node.loggerQueue->sync([&] { deliver(node); });
        } else {
            node.loggerQueue->async(group, [logger = node.logger, &message] {
                LoggerCall call;
                logger->logMessage(message);
            });
        }
    }
    group->wait();
}

void LBLog::State::lt_flush() {
    assertOnLoggingQueue();
    const auto& group = loggingGroup();
    for (const auto& node : loggers) {
        node.loggerQueue->async(group, [logger = node.logger] {
            LoggerCall call;
            logger->flush();
        });
    }
    group->wait();
}

}  // namespace logging
