#include "pictura/ImageLoadingProgressSideEffect.h"

#include "dispatch/Queue.h"
#include "pictura/SessionDataTask.h"

namespace pictura {

void ImageLoadingProgressSideEffect::onDataReceived(const std::shared_ptr<net::Session>&, const SessionDataTask& task,
                                                    const foundation::Data&) {
    if (onShouldApply && !onShouldApply()) return;
    if (!task.task() || !block) return;
    const auto response = task.task()->response();
    if (!response || response->expectedContentLength == -1) return;
    const auto received = static_cast<std::int64_t>(task.mutableData().size());
    ::dispatch::Queue::main()->async(
        [block = block, received, expected = response->expectedContentLength] { block(received, expected); });
}

}  // namespace pictura
