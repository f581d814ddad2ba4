#pragma once

#include <cstdint>
#include <functional>
#include <memory>

#include "pictura/PicturaOptions.h"

namespace pictura {

// Reports a download's progress to a caller's block on the main queue: the bytes the shared download
// holds so far (the same for every consumer of the URL) and the length the response announced.
class ImageLoadingProgressSideEffect final : public DataReceivingSideEffect {
public:
    using Block = std::function<void(std::int64_t receivedSize, std::int64_t expectedSize)>;

    ImageLoadingProgressSideEffect(std::function<bool()> shouldApply, Block block) : block(std::move(block)) {
        onShouldApply = std::move(shouldApply);
    }

    // Nothing while the length is unknown.
    void onDataReceived(const std::shared_ptr<net::Session>& session, const SessionDataTask& task,
                        const foundation::Data& data) override;

    Block block;
};

}  // namespace pictura
