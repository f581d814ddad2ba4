#pragma once

// What the SVG harnesses share: fontconfig's warm-up and one document parsed from the input bytes.
#include <cstddef>
#include <cstdint>
#include <memory>

#include "gfx/Font.h"
#include "gfx/TextLayout.h"
#include "vellum/VellumParseResult.h"
#include "vellum/VellumParser.h"
#include "vellum/VellumSourceNSData.h"

// Fontconfig fills its caches at first use and keeps them: done before leak checking starts.
inline void warmUpFonts() {
    (void)gfx::Font::familyNames();
    (void)gfx::TextLayout::make(gfx::AttributedString("Warm up")).size();
}

inline std::shared_ptr<vellum::VellumParseResult> parseSVGBytes(const std::uint8_t* bytes, std::size_t size) {
    auto source = vellum::VellumSourceNSData::sourceFromData(foundation::Data(bytes, size), std::nullopt);
    auto result = vellum::VellumParser::parseSourceUsingDefaultVellumParser(source);
    if (!result) __builtin_trap();
    return result;
}
