#include "pictura/RetrieveImageResult.h"

#include "ImageText.h"

namespace pictura {

std::ostream& operator<<(std::ostream& stream, CacheType type) {
    switch (type) {
    case CacheType::none: return stream << "none";
    case CacheType::memory: return stream << "memory";
    case CacheType::disk: return stream << "disk";
    }
    return stream;
}

std::ostream& operator<<(std::ostream& stream, const RetrieveImageResult& result) {
    return stream << "RetrieveImageResult(image: " << optionalImageText(result.image) << ", cacheType: " << result.cacheType
                  << ", source: " << result.source << ", originalSource: " << result.originalSource << ")";
}

}  // namespace pictura
