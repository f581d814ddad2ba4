#include "media/AssetError.h"

namespace media {

std::string AssetError::description() const {
    switch (code) {
    case decodeFailed: return "Cannot Decode";
    case fileFormatNotRecognized: return "Cannot Open";
    case noImageAtTime: return "Cannot Complete Action";
    case unknown: break;
    }
    return "The operation could not be completed";
}

std::ostream& operator<<(std::ostream& stream, const AssetError& error) {
    stream << "AssetError " << static_cast<int>(error.code) << " (" << error.description() << ")";
    if (!error.detail.empty()) stream << ": " << error.detail;
    return stream;
}

}  // namespace media
