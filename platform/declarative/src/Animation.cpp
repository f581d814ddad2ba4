#include "declarative/Animation.h"

namespace declarative {
namespace {
thread_local std::optional<Animation> current;
}

void withAnimation(std::optional<Animation> animation, const std::function<void()>& changes) {
    const std::optional<Animation> outer = current;
    current = animation;
    struct Restore {
        std::optional<Animation> value;
        ~Restore() { current = value; }
    } restore{outer};
    changes();
}

std::optional<Animation> currentAnimation() { return current; }

}  // namespace declarative
