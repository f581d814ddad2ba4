#include "logging/LBTTYLoggerColorProfile.h"

#include <algorithm>
#include <cmath>

#include "foundation/Format.h"

namespace logging {
namespace {

constexpr std::string_view escape = "\033[";

// Components outside 0-1 (or not a number) would not fit a byte: they take the nearest end.
std::uint8_t byteOf(double component) {
    if (std::isnan(component)) return 0;
    return static_cast<std::uint8_t>(std::clamp(component, 0.0, 1.0) * 255.0);
}

// Fills the bytes and codes of one side (foreground or background) of a profile.
void build(std::optional<LBColor> color, LBTTYColorMode mode, bool foreground, std::uint8_t (&rgb)[3],
           std::size_t& index, std::string& raw, std::string& code) {
    if (!color) return;
    rgb[0] = byteOf(color->red);
    rgb[1] = byteOf(color->green);
    rgb[2] = byteOf(color->blue);
    if (mode == LBTTYColorMode::ansi16 || mode == LBTTYColorMode::ansi256) {
        const auto& table = LBTTYColorTable::forMode(mode);
        index = table.codeIndexForColor(*color);
        raw = foreground ? table.foregroundCodes[index] : table.backgroundCodes[index];
        code = std::string(escape) + raw;
    } else if (mode == LBTTYColorMode::xcodeColors) {
        code = foundation::format(foreground ? "%sfg%u,%u,%u;" : "%sbg%u,%u,%u;", escape, rgb[0], rgb[1], rgb[2]);
    }
}

}  // namespace

LBTTYLoggerColorProfile::LBTTYLoggerColorProfile(std::optional<LBColor> foreground, std::optional<LBColor> background,
                                                 std::uint64_t mask, LBLogContext context, LBTTYColorMode mode)
    : mask_(mask), context_(context) {
    std::uint8_t fg[3] = {}, bg[3] = {};
    build(foreground, mode, true, fg, fgCodeIndex_, fgCodeRaw_, fgCode_);
    build(background, mode, false, bg, bgCodeIndex_, bgCodeRaw_, bgCode_);
    fg_r_ = fg[0], fg_g_ = fg[1], fg_b_ = fg[2];
    bg_r_ = bg[0], bg_g_ = bg[1], bg_b_ = bg[2];
    if (mode == LBTTYColorMode::ansi16 || mode == LBTTYColorMode::ansi256) {
        resetCode_ = "\033[0m";
    } else if (mode == LBTTYColorMode::xcodeColors) {
        resetCode_ = "\033[;";
    }
}

std::string LBTTYLoggerColorProfile::description() const {
    return foundation::format("<LBTTYLoggerColorProfile: 0x%lx mask:%i ctxt:%ld fg:%u,%u,%u bg:%u,%u,%u fgCode:%@ bgCode:%@>",
                              reinterpret_cast<std::uintptr_t>(this), mask_, context_, fg_r_, fg_g_, fg_b_, bg_r_,
                              bg_g_, bg_b_, fgCodeRaw_, bgCodeRaw_);
}

}  // namespace logging
