#include "media/Time.h"

#include <cmath>

namespace media {

Time Time::withSeconds(double seconds, std::int32_t preferredTimescale) {
    if (preferredTimescale <= 0 || !std::isfinite(seconds)) return {};
    return {static_cast<std::int64_t>(std::llround(seconds * preferredTimescale)), preferredTimescale};
}

}  // namespace media
