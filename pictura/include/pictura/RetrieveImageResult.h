#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <ostream>

#include "foundation/Data.h"
#include "gfx/Image.h"
#include "pictura/Source.h"

namespace pictura {

// Where a retrieved image came from.
enum class CacheType { none, memory, disk };

// A successful retrieval.
struct RetrieveImageResult {
    std::shared_ptr<gfx::Image> image;
    CacheType cacheType = CacheType::none;
    Source source;          // the source that succeeded
    Source originalSource;  // the source the retrieval started with
    // The image's data, made only when asked for.
    std::function<std::optional<foundation::Data>()> data;
};

std::ostream& operator<<(std::ostream& stream, CacheType type);
std::ostream& operator<<(std::ostream& stream, const RetrieveImageResult& result);

}  // namespace pictura
