#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace logging {

// A colour as the console logger takes it: red, green and blue from 0 to 1.
struct LBColor {
    double red = 0;
    double green = 0;
    double blue = 0;
};

// How the console logger colours its lines; chosen once per process from the environment.
enum class LBTTYColorMode { none, ansi16, ansi256, xcodeColors };

// The colours a terminal offers, each with its escape codes (without the leading ESC "["), and
// the colour it was measured to show.
struct LBTTYColorTable {
    std::vector<std::array<std::uint8_t, 3>> colors;
    std::vector<std::string> foregroundCodes;
    std::vector<std::string> backgroundCodes;

    static const LBTTYColorTable& sixteenColors();
    static const LBTTYColorTable& twoHundredFiftySixColors();  // terminal colours 16 to 255
    static const LBTTYColorTable& forMode(LBTTYColorMode mode);  // empty without ANSI colours

    // The entry nearest to `color` in RGB space; the first of equals wins, an empty table gives 0.
    std::size_t codeIndexForColor(LBColor color) const;
};

}  // namespace logging
