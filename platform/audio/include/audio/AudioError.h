#pragma once

#include <string>

namespace audio {

// Why a clip could not be opened or the output could not start. Copyable and printable.
struct AudioError {
    enum class Code {
        fileUnreadable,  // missing, unreadable or too large
        notAudio,        // no MPEG audio frames in it
        outputUnavailable,
    };

    Code code = Code::notAudio;
    std::string description;

    std::string localizedDescription() const { return description; }
};

}  // namespace audio
