#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <type_traits>
#include <variant>

namespace pictura {

template <class T>
struct OptionalProtocol : std::false_type {};
// An optional output answers its own absent value when there is no answer, instead of a nested optional.
template <class T>
struct OptionalProtocol<std::optional<T>> : std::true_type {
    static std::optional<T> createNil() { return std::nullopt; }
};

// A callback slot that binds a block to a weakly held target, so that no callback keeps its owner
// alive. `Input` or `Output` may be void. No lock: bind before handing the delegate to other threads.
template <class Input, class Output>
class Delegate {
    static constexpr bool takesInput = !std::is_void_v<Input>;
    static constexpr bool givesOutput = !std::is_void_v<Output>;
    static constexpr bool outputIsOptional = OptionalProtocol<Output>::value;
    using Argument = std::conditional_t<takesInput, Input, std::monostate>;
    using Stored = std::conditional_t<givesOutput, Output, std::monostate>;

public:
    // What `call` answers: nothing for a void output, the output itself for an optional output (its
    // absent value when there is no answer), else an optional output.
    using Answer = std::conditional_t<!givesOutput, void, std::conditional_t<outputIsOptional, Output, std::optional<Output>>>;
    template <class Target>
    using Block = std::conditional_t<takesInput, std::function<Output(Target&, const Argument&)>,
                                     std::function<Output(Target&)>>;

    Delegate() = default;
    Delegate(const Delegate&) = delete;
    Delegate& operator=(const Delegate&) = delete;

    // Replaces any earlier binding. A null block binds too: the delegate then answers nothing.
    template <class Target>
    void delegate(const std::shared_ptr<Target>& target, std::type_identity_t<Block<Target>> block) {
        std::weak_ptr<Target> weakTarget = target;
        block_ = [weakTarget, block = std::move(block)](const Argument& input) -> std::optional<Stored> {
            auto strongTarget = weakTarget.lock();
            if (!strongTarget || !block) return std::nullopt;
            if constexpr (!givesOutput) {
                if constexpr (takesInput) block(*strongTarget, input);
                else block(*strongTarget);
                return std::monostate{};
            } else if constexpr (takesInput) {
                return block(*strongTarget, input);
            } else {
                return block(*strongTarget);
            }
        };
    }

    Answer call(const Argument& input) const
        requires takesInput
    {
        return answer(input);
    }
    Answer call() const
        requires(!takesInput)
    {
        return answer({});
    }
    Answer operator()(const Argument& input) const
        requires takesInput
    {
        return answer(input);
    }
    Answer operator()() const
        requires(!takesInput)
    {
        return answer({});
    }

private:
    Answer answer(const Argument& input) const {
        std::optional<Stored> result = block_ ? block_(input) : std::nullopt;
        if constexpr (!givesOutput) {
            return;
        } else if constexpr (outputIsOptional) {
            return result ? std::move(*result) : OptionalProtocol<Output>::createNil();
        } else {
            return result;
        }
    }

    std::function<std::optional<Stored>(const Argument&)> block_;
};

}  // namespace pictura
