#pragma once

#include <expected>
#include <string>

#include "gfx/Bitmap.h"
#include "media/AssetError.h"

namespace media {

struct ExtractedFrame {
    gfx::Bitmap bitmap;
    double seconds = 0;  // when the frame starts, from the start of the track
};

// The frame of the first video track on screen at `seconds` of the media at `location` (a file path or
// a URL text the demuxer opens).
std::expected<ExtractedFrame, AssetError> extractFrame(const std::string& location, double seconds,
                                                       bool appliesPreferredTrackTransform);

}  // namespace media
