#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace sorvane::testing {

// A GIF of `frames` frames of `side` x `side` pixels, all of the first of four palette colours, that colour
// `rgb`. Its LZW data is written directly, each code a pixel longer than the one before (a few KB for
// 8 million pixels), so a 16384 px picture is made in milliseconds and decodes in seconds.
inline std::vector<std::uint8_t> flatGif(int side, int frames, std::uint32_t rgb) {
    std::vector<std::uint8_t> out = {'G', 'I', 'F', '8', '9', 'a'};
    auto word = [&](int value) {
        out.push_back(static_cast<std::uint8_t>(value & 0xFF));
        out.push_back(static_cast<std::uint8_t>(value >> 8));
    };
    word(side);
    word(side);
    out.insert(out.end(), {0x81, 0, 0});  // a global palette of four
    out.insert(out.end(), {static_cast<std::uint8_t>(rgb >> 16), static_cast<std::uint8_t>(rgb >> 8),
                           static_cast<std::uint8_t>(rgb), 0, 0, 0, 0, 0, 0, 0, 0, 0});

    // The codes of one frame, packed as a decoder reads them: its code width follows the codes it has read.
    std::vector<std::uint8_t> data;
    std::uint32_t pending = 0;
    int pendingBits = 0, bits = 3, widest = 8, next = 6;
    auto emit = [&](int code) {
        pending |= static_cast<std::uint32_t>(code) << pendingBits;
        pendingBits += bits;
        while (pendingBits >= 8) {
            data.push_back(static_cast<std::uint8_t>(pending));
            pending >>= 8;
            pendingBits -= 8;
        }
        if (next < 4097 && ++next > widest && bits < 12) {
            widest <<= 1;
            ++bits;
        }
    };
    auto clear = [&] {
        emit(4);
        bits = 3, widest = 8, next = 6;
    };
    // After a clear, code 0 is one pixel and each code from 6 on the one before it and a pixel more; the last
    // code is one already defined, as long as what is left.
    std::int64_t left = std::int64_t{side} * side;
    int length = 0;  // of the last code since the clear
    clear();
    while (left > 0) {
        if (length == 0) {
            emit(0);
            length = 1;
        } else if (length + 1 > left) {
            length = static_cast<int>(left);
            emit(length == 1 ? 0 : length + 4);
        } else if (length < 3'990) {
            emit(++length + 4);
        } else {
            clear();
            length = 0;
            continue;
        }
        left -= length;
    }
    emit(5);
    if (pendingBits > 0) data.push_back(static_cast<std::uint8_t>(pending));

    for (int frame = 0; frame < frames; ++frame) {
        out.push_back(',');
        word(0);
        word(0);
        word(side);
        word(side);
        out.push_back(0);
        out.push_back(2);  // the codes' least width
        for (std::size_t at = 0; at < data.size(); at += 255) {
            const std::size_t count = std::min<std::size_t>(255, data.size() - at);
            out.push_back(static_cast<std::uint8_t>(count));
            out.insert(out.end(), data.begin() + static_cast<std::ptrdiff_t>(at),
                       data.begin() + static_cast<std::ptrdiff_t>(at + count));
        }
        out.push_back(0);
    }
    out.push_back(';');
    return out;
}

}  // namespace sorvane::testing
