#pragma once

#include <atomic>
#include <functional>
#include <memory>

namespace net {

// A completion handler that answers once. Copies share one answer; when the last copy goes away
// unanswered, the fallback answer is given, so a delegate that drops the handler never stalls a transfer.
template <typename Answer>
class Reply {
public:
    Reply(std::function<void(Answer)> deliver, Answer fallback)
        : state_(std::make_shared<State>(std::move(deliver), std::move(fallback))) {}

    void operator()(Answer answer) const { state_->answer(std::move(answer)); }

private:
    struct State {
        State(std::function<void(Answer)> deliver, Answer fallback)
            : deliver(std::move(deliver)), fallback(std::move(fallback)) {}
        ~State() { answer(std::move(fallback)); }
        void answer(Answer value) {
            if (!answered.exchange(true)) deliver(std::move(value));
        }
        std::function<void(Answer)> deliver;
        Answer fallback;
        std::atomic<bool> answered = false;
    };
    std::shared_ptr<State> state_;
};

}  // namespace net
