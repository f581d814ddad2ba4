#pragma once

#include <atomic>
#include <cmath>
#include <condition_variable>
#include <coroutine>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <type_traits>
#include <utility>
#include <variant>

#include "dispatch/Queue.h"
#include "dispatch/RunLoop.h"

namespace dispatch {

// The result of an async function: a coroutine that starts lazily, when it is awaited (or handed to
// spawn() or syncWait()), and runs on the awaiting code's queue. Every suspension inside it (onPool,
// awaitCallback) resumes on the queue it was running on: the main queue for screens, the global queue
// for a task that started off any queue. An exception thrown inside is stored and rethrown to the awaiter.
template <class T = void>
class Task;

namespace detail {

void reportDetachedException(std::exception_ptr exception);

// Where a suspended coroutine continues: the queue running it now, else the pool.
inline std::shared_ptr<Queue> resumeQueue() {
    auto queue = Queue::current();
    return queue ? queue : Queue::global();
}

inline void resumeOn(const std::shared_ptr<Queue>& queue, std::coroutine_handle<> handle) {
    queue->async([handle] { handle.resume(); });
}

struct PromiseBase {
    std::coroutine_handle<> continuation;
    std::exception_ptr exception;

    struct FinalAwaiter {
        bool await_ready() const noexcept { return false; }
        template <class Promise>
        std::coroutine_handle<> await_suspend(std::coroutine_handle<Promise> finished) noexcept {
            auto next = finished.promise().continuation;
            return next ? next : std::noop_coroutine();
        }
        void await_resume() const noexcept {}
    };

    std::suspend_always initial_suspend() const noexcept { return {}; }
    FinalAwaiter final_suspend() const noexcept { return {}; }
    void unhandled_exception() noexcept { exception = std::current_exception(); }
};

template <class T>
struct Promise : PromiseBase {
    std::optional<T> value;
    Task<T> get_return_object();
    template <class Value>
    void return_value(Value&& result) {
        value.emplace(std::forward<Value>(result));
    }
    T take() {
        if (exception) std::rethrow_exception(exception);
        return std::move(*value);
    }
};

template <>
struct Promise<void> : PromiseBase {
    Task<void> get_return_object();
    void return_void() const noexcept {}
    void take() const {
        if (exception) std::rethrow_exception(exception);
    }
};

// A fire-and-forget coroutine that frees itself when it ends.
struct Detached {
    struct promise_type {
        Detached get_return_object() { return {std::coroutine_handle<promise_type>::from_promise(*this)}; }
        std::suspend_always initial_suspend() const noexcept { return {}; }
        std::suspend_never final_suspend() const noexcept { return {}; }
        void return_void() const noexcept {}
        void unhandled_exception() const noexcept { reportDetachedException(std::current_exception()); }
    };
    std::coroutine_handle<promise_type> handle;
};

// The frame of this coroutine owns `function`, and with it a lambda's captures, until the task it
// makes has ended; a lambda coroutine only points at its closure object.
template <class Function>
Detached runOwned(Function function) {
    co_await function();
}

}  // namespace detail

template <class T>
class [[nodiscard]] Task {
public:
    using promise_type = detail::Promise<T>;

    Task(Task&& other) noexcept : handle_(std::exchange(other.handle_, {})) {}
    Task& operator=(Task&& other) noexcept {
        if (this != &other) {
            if (handle_) handle_.destroy();
            handle_ = std::exchange(other.handle_, {});
        }
        return *this;
    }
    ~Task() {
        if (handle_) handle_.destroy();
    }

    bool await_ready() const noexcept { return false; }
    std::coroutine_handle<> await_suspend(std::coroutine_handle<> awaiting) noexcept {
        handle_.promise().continuation = awaiting;
        return handle_;
    }
    T await_resume() { return handle_.promise().take(); }

private:
    friend promise_type;
    explicit Task(std::coroutine_handle<promise_type> handle) : handle_(handle) {}

    std::coroutine_handle<promise_type> handle_;
};

namespace detail {
template <class T>
Task<T> Promise<T>::get_return_object() {
    return Task<T>(std::coroutine_handle<Promise<T>>::from_promise(*this));
}
inline Task<void> Promise<void>::get_return_object() {
    return Task<void>(std::coroutine_handle<Promise<void>>::from_promise(*this));
}
}  // namespace detail

// Runs `work` (blocking work: a read, a parse) on the global queue; the awaiting task resumes on its own
// queue with the result. An exception from `work` is rethrown to the awaiter.
template <class Work>
auto onPool(Work work) {
    using Result = std::invoke_result_t<Work&>;
    using Stored = std::conditional_t<std::is_void_v<Result>, std::monostate, Result>;
    struct State {
        Work work;
        std::optional<Stored> result;
        std::exception_ptr exception;
    };
    // The state lives on the heap: g++ 12 may move an awaiter temporary bitwise, which breaks members
    // that point into themselves (a short std::string).
    struct Awaiter {
        std::unique_ptr<State> state;

        bool await_ready() const noexcept { return false; }
        void await_suspend(std::coroutine_handle<> handle) {
            Queue::global()->async([state = state.get(), handle, queue = detail::resumeQueue()] {
                try {
                    if constexpr (std::is_void_v<Result>) {
                        state->work();
                        state->result.emplace();
                    } else {
                        state->result.emplace(state->work());
                    }
                } catch (...) {
                    state->exception = std::current_exception();
                }
                detail::resumeOn(queue, handle);
            });
        }
        Result await_resume() {
            if (state->exception) std::rethrow_exception(state->exception);
            if constexpr (!std::is_void_v<Result>) return std::move(*state->result);
        }
    };
    return Awaiter{std::make_unique<State>(State{std::move(work), std::nullopt, nullptr})};
}

// Bridges a callback API: `start` receives a resume function to call exactly once, from any thread, with
// the value; the awaiting task then continues on its own queue. Calls after the first are ignored.
template <class T>
auto awaitCallback(std::function<void(std::function<void(T)>)> start) {
    struct State {
        std::function<void(std::function<void(T)>)> start;
        std::optional<T> result;
    };
    struct Awaiter {
        std::unique_ptr<State> state;

        bool await_ready() const noexcept { return false; }
        void await_suspend(std::coroutine_handle<> handle) {
            auto resumed = std::make_shared<std::atomic<bool>>(false);
            auto begin = std::move(state->start);
            begin([state = state.get(), handle, resumed, queue = detail::resumeQueue()](T value) {
                if (resumed->exchange(true)) return;
                state->result.emplace(std::move(value));
                detail::resumeOn(queue, handle);
            });
        }
        T await_resume() { return std::move(*state->result); }
    };
    return Awaiter{std::make_unique<State>(State{std::move(start), std::nullopt})};
}

// Starts `function()` (a callable returning a Task, typically a lambda coroutine) on `queue`, detached.
// The callable is moved into the running coroutine and lives until the task ends, so a lambda's
// captures stay valid across every await. An exception that escapes it is printed and ignored.
template <class Function>
void spawn(const std::shared_ptr<Queue>& queue, Function function) {
    auto detached = detail::runOwned(std::move(function));
    queue->async([handle = detached.handle] { handle.resume(); });
}

// Starts it on the current queue (the global queue off any queue).
template <class Function>
void spawn(Function function) {
    spawn(detail::resumeQueue(), std::move(function));
}

namespace detail {

template <class T>
struct SyncResult {
    std::mutex mutex;
    std::condition_variable finished;
    bool done = false;
    std::optional<std::conditional_t<std::is_void_v<T>, std::monostate, T>> value;
    std::exception_ptr exception;

    void finish() {
        std::lock_guard lock(mutex);
        done = true;
        finished.notify_all();
    }
    bool isDone() {
        std::lock_guard lock(mutex);
        return done;
    }
    void wait() {
        std::unique_lock lock(mutex);
        finished.wait(lock, [this] { return done; });
    }
};

template <class T>
Detached completeInto(Task<T> task, std::shared_ptr<SyncResult<T>> result) {
    try {
        if constexpr (std::is_void_v<T>) {
            co_await task;
            result->value.emplace();
        } else {
            result->value.emplace(co_await task);
        }
    } catch (...) {
        result->exception = std::current_exception();
    }
    result->finish();
}

}  // namespace detail

// Runs `task` to completion and answers its result, rethrowing its exception. On the main thread it runs
// the task on the main queue and turns the main run loop until it ends (what tests want); on any other
// thread it runs the task on the global queue and blocks. Never call it from a block of a queue the task
// needs.
template <class T>
T syncWait(Task<T> task) {
    auto result = std::make_shared<detail::SyncResult<T>>();
    auto detached = detail::completeInto(std::move(task), result);
    auto start = [handle = detached.handle] { handle.resume(); };
    if (isMainThread()) {
        Queue::main()->async(start);
        RunLoop::main()->runUntil([&result] { return result->isDone(); });
    } else {
        Queue::global()->async(start);
        result->wait();
    }
    if (result->exception) std::rethrow_exception(result->exception);
    if constexpr (!std::is_void_v<T>) return std::move(*result->value);
}

}  // namespace dispatch
