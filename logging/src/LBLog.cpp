#include "logging/LBLog.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <new>
#include <system_error>
#include <mutex>
#include <thread>

#include <linux/futex.h>
#include <sys/syscall.h>
#include <unistd.h>

#include "dispatch/Group.h"
#include "dispatch/Queue.h"
#include "foundation/Assertion.h"
#include "foundation/Print.h"

namespace logging {
namespace {

// The application's will-terminate notification, observed by name: the dispatcher knows nothing of
// the UI layer that posts it.
const foundation::Notification::Name willTerminateNotification{"UIApplicationWillTerminateNotification"};

constexpr std::string_view onLoggingQueueOnly = "This method should only be run on the logging thread/queue";

// Says `what` and why, without building a string: memory or threads may be what ran out.
void sayFailure(const char* what, const std::exception& error) noexcept {
    char line[256];
    std::snprintf(line, sizeof line, "%s: %s", what, error.what());
    try {
        foundation::printLine(line);
    } catch (...) {
        // Nothing more can be said.
    }
}


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

// Handing records to loggers and changing the logger lists happen under this one lock, on the
// logging queue or, for a synchronous record with nothing queued before it, on the caller's thread:
// that record then needs no hop to the queue's thread and back.
//
// Every record takes it, so it is built on the futex here: lock and unlock are inline atomic steps,
// and the unlock is sequentially consistent, which spares each record a fence (see Dispatching).
// Against std::mutex and that fence, four producers into one logger took about a fifth less time. A
// thread that finds it taken sleeps at once: waiting on the processor first gained nothing.
class DispatchLock {
public:
    void lock() {
        std::uint32_t state = free;
        if (word_.compare_exchange_strong(state, held, std::memory_order_acquire)) return;
        // A sleeper marks the word, so that whoever lets go wakes one.
        while (word_.exchange(heldWithSleepers, std::memory_order_acquire) != free) {
            ::syscall(SYS_futex, &word_, FUTEX_WAIT_PRIVATE, heldWithSleepers, nullptr, nullptr, 0);
        }
    }
    bool try_lock() {
        std::uint32_t state = free;
        return word_.compare_exchange_strong(state, held, std::memory_order_seq_cst);
    }
    void unlock() {
        if (word_.exchange(free, std::memory_order_seq_cst) == heldWithSleepers) {
            ::syscall(SYS_futex, &word_, FUTEX_WAKE_PRIVATE, 1, nullptr, nullptr, 0);
        }
    }

private:
    static constexpr std::uint32_t free = 0;
    static constexpr std::uint32_t held = 1;
    static constexpr std::uint32_t heldWithSleepers = 2;
    std::atomic<std::uint32_t> word_ = free;
    static_assert(sizeof(word_) == sizeof(std::uint32_t), "the futex is the word itself");
};

// A plain global (no guard of a function's static), on a cache line of its own, apart from the flag
// below that every record reads.
alignas(64) constinit DispatchLock dispatchLock;
DispatchLock& dispatchMutex() { return dispatchLock; }

// Set while the calling thread holds dispatchMutex(): it counts as being on the logging queue.
thread_local bool holdsDispatch = false;

// Logger queues stay leased to the dispatcher between records: a record then hands itself to its
// logger under dispatchMutex() alone, with no atomic step on the logger's queue, whose state would
// otherwise pass from thread to thread with every record. Work queued on a leased queue, or a sync on
// it, asks for the lease back; it is ended under dispatchMutex(), at once when the lock is free or
// held by the asking thread, else by the holder as it lets go. The queue whose logger is being called
// keeps its lease until the call returns.
struct Revocations {
    std::mutex mutex;
    std::vector<std::shared_ptr<dispatch::Queue>> queues;  // under mutex
    // The leases being ended, under dispatchMutex(). The two lists trade places and keep their room,
    // so that asking a lease back allocates nothing (memory may be what ran out).
    std::vector<std::shared_ptr<dispatch::Queue>> ending;
    Revocations() {
        queues.reserve(64);
        ending.reserve(64);
    }
};

// Whether Revocations::queues holds any; read after every record, so a plain global (no guard).
alignas(64) constinit std::atomic<bool> revocationPending = false;

Revocations& revocations() {
    static auto& revocations = *new Revocations;
    return revocations;
}

// The logger queue whose leased work runs on this thread now.
thread_local const dispatch::Queue* runningLeased = nullptr;

// Under dispatchMutex(): ends the leases asked back, but not that of the queue running on this thread.
void endRevokedLeases() {
    auto& revoked = revocations();
    auto& queues = revoked.ending;
    {
        std::lock_guard lock(revoked.mutex);
        revocationPending = false;
        queues.swap(revoked.queues);
        std::erase_if(queues, [&](const auto& queue) {
            if (queue.get() != runningLeased) return false;
            revoked.queues.push_back(queue);
            revocationPending = true;
            return true;
        });
    }
    for (const auto& queue : queues) queue->endLease();
    queues.clear();
}

// Without dispatchMutex(): ends the leases asked back unless another thread holds the lock, which
// then ends them as it lets go.
void tryEndRevokedLeases() {
    while (revocationPending.load()) {
        if (!dispatchMutex().try_lock()) return;
        holdsDispatch = true;
        endRevokedLeases();
        holdsDispatch = false;
        dispatchMutex().unlock();
    }
}

void revokeLease(dispatch::Queue& queue) {
    auto& revoked = revocations();
    {
        std::lock_guard lock(revoked.mutex);
        revoked.queues.push_back(queue.shared_from_this());
        revocationPending = true;
    }
    if (holdsDispatch) {
        endRevokedLeases();
    } else {
        tryEndRevokedLeases();
    }
}

class Dispatching {
public:
    Dispatching() : lock_(dispatchMutex(), std::defer_lock) {
        if (holdsDispatch) return;
        lock_.lock();
        holdsDispatch = true;
    }
    ~Dispatching() {
        if (!lock_.owns_lock()) return;
        if (revocationPending.load(std::memory_order_relaxed)) endRevokedLeases();
        holdsDispatch = false;
        lock_.unlock();
        // A revocation asked while the lock was held, after the look above, found it taken. The
        // unlock, its try_lock, its flag's store and this load are sequentially consistent: either it
        // took the lock after the unlock, or this load sees its flag.
        if (revocationPending.load(std::memory_order_seq_cst)) tryEndRevokedLeases();
    }
    Dispatching(const Dispatching&) = delete;
    Dispatching& operator=(const Dispatching&) = delete;

private:
    std::unique_lock<DispatchLock> lock_;
};

// Runs `work` for `queue` on this thread under dispatchMutex(): leased when it can be (the lease is
// kept for the next record), else through the queue's own sync.
template <class Work>
void runOnLoggerQueue(dispatch::Queue& queue, Work&& work) {
    if (!queue.isLeased() && !queue.tryLease(revokeLease)) {
        queue.sync(work);
        return;
    }
    {
        struct Running {
            explicit Running(const dispatch::Queue& queue) { runningLeased = &queue; }
            ~Running() { runningLeased = nullptr; }
        } running(queue);
        queue.runLeased(work);
    }
    // The logger may have queued work of its own meanwhile.
    if (revocationPending.load(std::memory_order_relaxed)) endRevokedLeases();
}

void assertFileGiven(const char* file) {
    foundation::assertion(file != nullptr, "Invalid parameter not satisfying: file");
}

std::optional<std::string_view> functionNamed(const char* function) {
    if (!function) return std::nullopt;
    return function;
}

// This thread's record for its synchronous calls, filled in place and kept for the next: a record
// then needs no allocation and copies nothing that stayed the same (thread, queue). Loggers that keep
// a record copy it; one that logs while it is being delivered gets a record of its own (its calls go
// on the asynchronous path), so the record is never refilled while in use.
thread_local LBLogMessage reusedRecord;
constexpr std::size_t keptTextCapacity = 1024;  // a larger text buffer is let go after its record

// Blocks queued through asyncOnLoggingQueue that have not finished: a synchronous record may skip the
// queue only when there are none, so it never overtakes what was queued before it. On a cache line of
// its own: every synchronous record reads it, and writes to its neighbours would slow each read.
alignas(64) std::atomic<long> queuedBlocks = 0;

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
    explicit State(std::shared_ptr<std::atomic<std::uint64_t>> admitted) : admittedFlags(std::move(admitted)) {}

    std::vector<LBLoggerNode> loggers;  // under dispatchMutex()

    // The gate's flags: every logger's level, and those of additions not yet run.
    const std::shared_ptr<std::atomic<std::uint64_t>> admittedFlags;
    std::mutex gateMutex;
    int pendingAdditions = 0;  // under gateMutex

    // Removals whose willRemoveLogger has not finished.
    const std::shared_ptr<dispatch::Group> removals = dispatch::Group::create();

    // The bound of the asynchronous queue.
    std::atomic<std::size_t> queuedRecords = 0;  // queued, not yet delivered; changed under batchMutex
    std::atomic<int> waitingProducers = 0;
    std::mutex roomMutex;
    std::condition_variable roomMade;

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
    void waitForRoom();
    void recordsDelivered(std::size_t count);
    void lt_drain(RecordBatch& batch);

    void willAddLogger(LBLogLevel level);
    void lt_updateGate(bool additionRan);
    // Delivers what is queued, then runs `work` on the logging queue.
    void drainThen(const std::function<void()>& work);

    void lt_addLogger(std::shared_ptr<LBLogger> logger, LBLogLevel level);
    void addLogger(std::shared_ptr<LBLogger> logger, LBLogLevel level);
    void lt_removeLogger(const std::shared_ptr<LBLogger>& logger);
    void lt_removeAllLoggers();
    void lt_log(const LBLogMessage& message);
    void lt_logBatch(const std::vector<LBLogMessage>& records);
    // Hands something to the `taking` loggers that `takes`, each through `give`, and returns once all have.
    template <class Takes, class Give>
    void lt_deliver(std::size_t taking, const Takes& takes, const Give& give);
    void lt_flush();

    // Per logger, the records of a batch it admits; reused from batch to batch, on the logging queue.
    std::vector<std::vector<const LBLogMessage*>> admittedByLogger;
};

namespace {

// Every live dispatcher, for the work done at normal exit.
struct ExitRegistry {
    std::mutex mutex;
    std::vector<std::weak_ptr<LBLog::State>> states;
};

ExitRegistry& exitRegistry() {
    static auto& registry = *new ExitRegistry;
    return registry;
}

// What callers handed over is delivered, the removals under way finish (archiving their files) and
// the remaining loggers write what they hold.
void deliverEverythingAtExit() {
    // From inside the dispatch the wait would be for the caller itself.
    if (holdsDispatch || loggerCallDepth > 0) return;
    std::vector<std::shared_ptr<LBLog::State>> states;
    {
        std::lock_guard lock(exitRegistry().mutex);
        for (const auto& weak : exitRegistry().states) {
            if (auto state = weak.lock()) states.push_back(std::move(state));
        }
    }
    if (states.empty()) return;
    // On a thread of its own: the exiting thread's thread-locals, dispatch's among them, are gone.
    try {
        std::thread([&] {
            for (const auto& state : states) {
                state->drainThen([&] { state->lt_flush(); });
                state->removals->wait();
            }
        }).join();
    } catch (const std::system_error& error) {
        sayFailure("LBLog: Failed to deliver the queued records at exit", error);
    }
}

void registerForExit(const std::shared_ptr<LBLog::State>& state) {
    static std::once_flag once;
    std::call_once(once, [] { std::atexit(deliverEverythingAtExit); });
    std::lock_guard lock(exitRegistry().mutex);
    std::erase_if(exitRegistry().states, [](const auto& weak) { return weak.expired(); });
    exitRegistry().states.push_back(state);
}

}  // namespace

LBLog::LBLog()
    : admittedFlags_(std::make_shared<std::atomic<std::uint64_t>>(0)), state_(std::make_shared<State>(admittedFlags_)) {
    state_->loggers.reserve(4);
    registerForExit(state_);
    std::weak_ptr<State> weakState = state_;
    willTerminate_ = foundation::NotificationCenter::defaultCenter().addObserver(
        willTerminateNotification, [weakState](const foundation::Notification&) {
            auto state = weakState.lock();
            if (!state) return;
            state->drainThen([&] { state->lt_flush(); });
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
    return holdsDispatch || loggingQueue()->isCurrent();
}

void LBLog::asyncOnLoggingQueue(std::move_only_function<void()> work) {
    queuedBlocks.fetch_add(1);
    try {
        loggingQueue()->async([work = std::move(work)]() mutable {
            work();
            queuedBlocks.fetch_sub(1);
        });
    } catch (...) {
        queuedBlocks.fetch_sub(1);
        throw;
    }
}

std::size_t LBLog::queuedAsynchronousRecords() const { return state_->queuedRecords.load(); }

void LBLog::addLogger(std::shared_ptr<LBLogger> logger, LBLogLevel level) {
    if (!logger) return;
    state_->closeBatch();
    state_->willAddLogger(level);
    asyncOnLoggingQueue([state = state_, logger = std::move(logger), level]() mutable {
        state->lt_addLogger(std::move(logger), level);
    });
}

void LBLog::removeLogger(const std::shared_ptr<LBLogger>& logger) {
    if (!logger) return;
    state_->closeBatch();
    asyncOnLoggingQueue([state = state_, logger] { state->lt_removeLogger(logger); });
}

void LBLog::removeAllLoggers() {
    state_->closeBatch();
    asyncOnLoggingQueue([state = state_] { state->lt_removeAllLoggers(); });
}

std::vector<std::shared_ptr<LBLogger>> LBLog::allLoggers() {
    std::vector<std::shared_ptr<LBLogger>> loggers;
    state_->drainThen([&] {
        for (const auto& node : state_->loggers) loggers.push_back(node.logger);
    });
    return loggers;
}

std::vector<LBLoggerInformation> LBLog::allLoggersWithLevel() {
    std::vector<LBLoggerInformation> information;
    state_->drainThen([&] {
        for (const auto& node : state_->loggers) information.push_back({node.logger, node.level});
    });
    return information;
}

void LBLog::queueLogMessage(LBLogMessage message, bool asynchronously) {
    if (!mayAdmit(message.flag())) return;
    dropRecordOnExhaustion([&] {
        // A logger that logs while the dispatcher waits for it would wait for itself: its record goes
        // after the one being delivered instead.
        if (asynchronously || loggerCallDepth > 0) {
            message.ownTexts();  // the caller's texts may be gone by the time it is delivered
            state_->queueAsynchronously(std::move(message));
        } else {
            deliverSynchronously(message);
        }
    });
}

void LBLog::deliverSynchronously(const LBLogMessage& message) {
    state_->closeBatch();
    // Nothing queued before it, or on the logging queue: the record is handed over on this thread.
    if (queuedBlocks.load() == 0 || isOnLoggingQueue()) {
        Dispatching dispatching;
        state_->lt_log(message);
        return;
    }
    loggingQueue()->sync([&] {
        Dispatching dispatching;
        state_->lt_log(message);
    });
}

void LBLog::State::drainThen(const std::function<void()>& work) {
    closeBatch();
    loggingQueue()->sync([&] {
        Dispatching dispatching;
        work();
    });
}

void LBLog::State::willAddLogger(LBLogLevel level) {
    // Open the gate before the addition runs, so that records logged after addLogger returned reach
    // the logger.
    std::lock_guard lock(gateMutex);
    ++pendingAdditions;
    admittedFlags->fetch_or(bits(level));
}

void LBLog::State::lt_updateGate(bool additionRan) {
    std::uint64_t flags = 0;
    for (const auto& node : loggers) flags |= bits(node.level);
    std::lock_guard lock(gateMutex);
    if (additionRan) --pendingAdditions;
    // While additions are queued their flags must stay open; the gate narrows once none is.
    if (pendingAdditions == 0) {
        admittedFlags->store(flags);
    } else {
        admittedFlags->fetch_or(flags);
    }
}

void LBLog::State::waitForRoom() {
    std::unique_lock lock(roomMutex);
    ++waitingProducers;
    roomMade.wait(lock, [this] { return queuedRecords.load() < asynchronousCapacity; });
    --waitingProducers;
}

void LBLog::State::recordsDelivered(std::size_t count) {
    queuedRecords.fetch_sub(count);
    if (waitingProducers.load() == 0) return;
    std::lock_guard lock(roomMutex);
    roomMade.notify_all();
}

void LBLog::State::queueAsynchronously(LBLogMessage message) {
    // Code on the logging queue or inside a logger would wait for the delivery it holds up.
    const bool mayWait = loggerCallDepth == 0 && !isOnLoggingQueue();
    std::vector<LBLogMessage> delivered;  // freed after the lock is let go
    std::unique_lock lock(batchMutex);
    while (mayWait && queuedRecords.load() >= asynchronousCapacity) {
        lock.unlock();
        waitForRoom();
        lock.lock();
    }
    // Counted and opened only once nothing below can fail (for want of memory): the drain, which
    // needs the lock, cannot see the record before.
    if (RecordBatch* open = openBatch) {
        open->records.push_back(std::move(message));
        queuedRecords.fetch_add(1);
        delivered.swap(open->delivered);
        return;
    }
    auto batch = std::make_shared<RecordBatch>();
    batch->records.reserve(64);
    batch->records.push_back(std::move(message));
    // Queued under the lock, so batches keep the order in which they were opened.
    asyncOnLoggingQueue([state = shared_from_this(), batch] { state->lt_drain(*batch); });
    queuedRecords.fetch_add(1);
    openBatch = batch.get();
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
        {
            Dispatching dispatching;
            lt_logBatch(records);
        }
        recordsDelivered(records.size());
        std::lock_guard lock(batchMutex);
        if (batch.delivered.empty()) batch.delivered.swap(records);
    }
}

void LBLog::logWithArguments(bool asynchronous, LBLogLevel level, LBLogFlag flag, LBLogContext context,
                             std::string_view file, const char* function, std::uint64_t line, LBLogTag tag,
                             std::string_view format, std::span<const foundation::FormatArgument> arguments) {
    FormattedCall call{asynchronous, level, flag, context, file, functionNamed(function), line, tag, format, arguments};
    logFormatted(call);
}

void LBLog::sayRecordDropped(const std::exception& error) noexcept {
    if (!recordDropSaid.exchange(true)) sayFailure("LBLog: A record was dropped", error);
}

void LBLog::logFormatted(FormattedCall& call) {
    assertFileGiven(call.file.data());
    if (!mayAdmit(call.flag)) return;
    dropRecordOnExhaustion([&] { logFormattedAdmitted(call); });
}

void LBLog::logFormattedAdmitted(FormattedCall& call) {
    if (call.asynchronous || loggerCallDepth > 0) {
        std::string text;
        foundation::appendFormattedArguments(text, call.format, call.arguments);
        queueLogMessage(LBLogMessage(std::move(text), call.level, call.flag, call.context, call.file, call.function,
                                     call.line, std::move(call.tag)),
                        call.asynchronous);
        return;
    }
    auto& record = reusedRecord;
    record.message_.clear();
    foundation::appendFormattedArguments(record.message_, call.format, call.arguments);
    record.level_ = call.level;
    record.flag_ = call.flag;
    record.context_ = call.context;
    record.file_ = call.file;
    record.function_ = call.function;
    record.line_ = call.line;
    if (call.tag) {
        record.tag_ = std::move(*call.tag);
    } else {
        record.tag_.reset();
    }
    record.timestamp_ = foundation::Date::now();
    record.takeCurrentOrigin();
    deliverSynchronously(record);
    if (record.message_.capacity() > keptTextCapacity) std::string().swap(record.message_);
}

void LBLog::log(bool asynchronous, std::string message, LBLogLevel level, LBLogFlag flag, LBLogContext context,
                const char* file, const char* function, std::uint64_t line, LBLogTag tag) {
    assertFileGiven(file);
    queueLogMessage(
        LBLogMessage(std::move(message), level, flag, context, file, functionNamed(function), line, std::move(tag)),
        asynchronous);
}

void LBLog::log(bool asynchronous, LBLogMessage message) { queueLogMessage(std::move(message), asynchronous); }

void LBLog::flushLog() {
    foundation::assertion(!isOnLoggingQueue() && loggerCallDepth == 0,
                          "This method shouldn't be run on the logging thread/queue that make flush fast enough");
    state_->drainThen([&] { state_->lt_flush(); });
}

void LBLog::shutdown() {
    foundation::assertion(!isOnLoggingQueue() && loggerCallDepth == 0,
                          "This method shouldn't be run on the logging thread/queue that make flush fast enough");
    state_->drainThen([&] { state_->lt_removeAllLoggers(); });
    state_->removals->wait();
}

void LBLog::State::lt_addLogger(std::shared_ptr<LBLogger> logger, LBLogLevel level) {
    Dispatching dispatching;
    addLogger(std::move(logger), level);
    lt_updateGate(true);
}

void LBLog::State::addLogger(std::shared_ptr<LBLogger> logger, LBLogLevel level) {
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
    Dispatching dispatching;
    assertOnLoggingQueue();
    auto found = std::ranges::find(loggers, logger, &LBLoggerNode::logger);
    if (found == loggers.end()) return;
    found->loggerQueue->async(removals, [logger] { logger->willRemoveLogger(); });
    loggers.erase(found);
    lt_updateGate(false);
}

void LBLog::State::lt_removeAllLoggers() {
    Dispatching dispatching;
    assertOnLoggingQueue();
    for (const auto& node : loggers) {
        node.loggerQueue->async(removals, [logger = node.logger] { logger->willRemoveLogger(); });
    }
    loggers.clear();
    lt_updateGate(false);
}

void LBLog::State::lt_log(const LBLogMessage& message) {
    assertOnLoggingQueue();
    const LBLogFlag flag = message.flag();
    std::size_t admitted = 0;
    for (const auto& node : loggers) admitted += admits(node.level, flag) ? 1 : 0;
    lt_deliver(
        admitted, [flag](std::size_t, const LBLoggerNode& node) { return admits(node.level, flag); },
        [&message](std::size_t, LBLogger& logger) { logger.logMessage(message); });
}

void LBLog::State::lt_logBatch(const std::vector<LBLogMessage>& records) {
    assertOnLoggingQueue();
    if (records.size() == 1) {
        lt_log(records.front());
        return;
    }
    // Each logger takes the records its level admits, in order, in one call.
    if (admittedByLogger.size() < loggers.size()) admittedByLogger.resize(loggers.size());
    std::size_t taking = 0;
    for (std::size_t index = 0; index < loggers.size(); ++index) {
        auto& admitted = admittedByLogger[index];
        admitted.clear();
        for (const auto& record : records) {
            if (admits(loggers[index].level, record.flag())) admitted.push_back(&record);
        }
        taking += admitted.empty() ? 0 : 1;
    }
    lt_deliver(
        taking, [this](std::size_t index, const LBLoggerNode&) { return !admittedByLogger[index].empty(); },
        [this](std::size_t index, LBLogger& logger) { logger.logMessages(admittedByLogger[index]); });
}

template <class Takes, class Give>
void LBLog::State::lt_deliver(std::size_t taking, const Takes& takes, const Give& give) {
    if (taking == 0) return;
    auto deliver = [&give](std::size_t index, LBLogger& logger) {
        LoggerCall call;
        give(index, logger);
    };
    // A leased or idle logger queue runs the call on this thread: one logger costs no thread switch.
    if (taking == 1 || processorCount() == 1) {
        for (std::size_t index = 0; index < loggers.size(); ++index) {
            const auto& node = loggers[index];
            if (takes(index, node)) runOnLoggerQueue(*node.loggerQueue, [&] { deliver(index, *node.logger); });
        }
        return;
    }
    // Several loggers take it side by side; the last one on this thread. What they take outlives them
    // all: the group is waited for before returning.
    const auto& group = loggingGroup();
    std::size_t remaining = taking;
    for (std::size_t index = 0; index < loggers.size(); ++index) {
        const auto& node = loggers[index];
        if (!takes(index, node)) continue;
        if (--remaining == 0) {
            runOnLoggerQueue(*node.loggerQueue, [&] { deliver(index, *node.logger); });
        } else {
            node.loggerQueue->async(group, [logger = node.logger, index, &deliver] { deliver(index, *logger); });
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
