#pragma once

#include <memory>

#include "gfx/Image.h"
#include "pictura/Delegate.h"

namespace pictura {

// Settings of progressive JPEG display: what the progressiveJPEG option carries.
struct ImageProgressive {
    // What to show for an intermediate image.
    struct UpdatingStrategy {
        enum class Kind { defaultStrategy, keepCurrent, replace };
        Kind kind = Kind::defaultStrategy;
        std::shared_ptr<gfx::Image> replacement;  // replace only; may be null

        static UpdatingStrategy defaultStrategy() { return {}; }
        static UpdatingStrategy keepCurrent() { return {Kind::keepCurrent, nullptr}; }
        static UpdatingStrategy replace(std::shared_ptr<gfx::Image> image) { return {Kind::replace, std::move(image)}; }
    };
    using OnImageUpdated = Delegate<std::shared_ptr<gfx::Image>, UpdatingStrategy>;

    bool isBlur = true;
    bool isFastestScan = true;
    double scanInterval = 0;
    // Each value starts with a new, empty delegate; copies share it.
    std::shared_ptr<OnImageUpdated> onImageUpdated = std::make_shared<OnImageUpdated>();
};

}  // namespace pictura
