#pragma once

#include <ostream>
#include <string>

namespace media {

// Why a frame could not be made, with the platform's media error codes.
struct AssetError {
    enum Code : int {
        unknown = -11800,
        decodeFailed = -11821,
        fileFormatNotRecognized = -11828,
        noImageAtTime = -11832,
    };

    Code code = unknown;
    std::string detail;  // what the demuxer or decoder said

    std::string description() const;

    friend bool operator==(const AssetError&, const AssetError&) = default;
};

std::ostream& operator<<(std::ostream& stream, const AssetError& error);

}  // namespace media
