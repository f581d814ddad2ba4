#pragma once

#include <zlib.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "foundation/Data.h"

namespace sorvane::testing {

// A chunk's type and data, for chunks written beside the picture.
using PngChunk = std::pair<std::string, std::string>;

// A zTXt chunk whose text is `inflatedBytes` spaces, deflated to a thousandth of that.
inline PngChunk compressedTextChunk(std::size_t inflatedBytes) {
    const std::string text(inflatedBytes, ' ');
    uLongf size = compressBound(static_cast<uLong>(text.size()));
    std::string deflated(size, '\0');
    compress2(reinterpret_cast<Bytef*>(deflated.data()), &size, reinterpret_cast<const Bytef*>(text.data()),
              static_cast<uLong>(text.size()), Z_BEST_COMPRESSION);
    deflated.resize(size);
    return {"zTXt", std::string("Comment\0\0", 9) + deflated};
}

// A PNG whose rows are all zero (black, or transparent with alpha), deflated a row at a time: the few
// kilobytes of a picture bomb, made without ever holding its pixels. `colourType` 0 is grey, 6 RGBA.
// `sideChunks` come between the header and the image data.
inline foundation::Data blankPng(std::uint32_t width, std::uint32_t height, int bitDepth, int colourType,
                                 const std::vector<PngChunk>& sideChunks = {}) {
    auto appendBigEndian = [](std::string& out, std::uint32_t value) {
        for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<char>(value >> shift));
    };
    auto appendChunk = [&](std::string& out, const char* type, const std::string& data) {
        appendBigEndian(out, static_cast<std::uint32_t>(data.size()));
        const std::string body = std::string(type, 4) + data;
        out += body;
        appendBigEndian(out, static_cast<std::uint32_t>(crc32(0, reinterpret_cast<const Bytef*>(body.data()),
                                                              static_cast<uInt>(body.size()))));
    };
    const int channels = colourType == 6 ? 4 : 1;
    std::string header;
    appendBigEndian(header, width);
    appendBigEndian(header, height);
    header += {static_cast<char>(bitDepth), static_cast<char>(colourType), 0, 0, 0};

    z_stream stream{};
    deflateInit(&stream, Z_BEST_COMPRESSION);
    std::vector<Bytef> row(1 + (static_cast<std::size_t>(width) * channels * bitDepth + 7) / 8, 0);
    std::vector<Bytef> buffer(1 << 16);
    std::string deflated;
    for (std::uint32_t y = 0; y < height; ++y) {
        stream.next_in = row.data();
        stream.avail_in = static_cast<uInt>(row.size());
        const int flush = y + 1 == height ? Z_FINISH : Z_NO_FLUSH;
        do {
            stream.next_out = buffer.data();
            stream.avail_out = static_cast<uInt>(buffer.size());
            deflate(&stream, flush);
            deflated.append(reinterpret_cast<const char*>(buffer.data()), buffer.size() - stream.avail_out);
        } while (stream.avail_out == 0);
    }
    deflateEnd(&stream);

    std::string png = "\x89PNG\r\n\x1a\n";
    appendChunk(png, "IHDR", header);
    for (const auto& [type, data] : sideChunks) appendChunk(png, type.c_str(), data);
    appendChunk(png, "IDAT", deflated);
    appendChunk(png, "IEND", "");
    return foundation::Data(std::vector<std::uint8_t>(png.begin(), png.end()));
}

}  // namespace sorvane::testing
