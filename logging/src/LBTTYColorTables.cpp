#include "logging/LBTTYColorTables.h"

#include <cmath>

#include "foundation/Assertion.h"

namespace logging {
namespace {

void checkLengths(const LBTTYColorTable& table) {
    foundation::assertion(table.colors.size() == table.foregroundCodes.size() &&
                              table.colors.size() == table.backgroundCodes.size(),
                          "Invalid colors/codes array(s)");
}

LBTTYColorTable makeSixteen() {
    LBTTYColorTable table;
    table.colors = {{{0, 0, 0}},       {{194, 54, 33}},   {{37, 188, 36}},   {{173, 173, 39}},
                    {{73, 46, 225}},   {{211, 56, 211}},  {{51, 187, 200}},  {{203, 204, 205}},
                    {{129, 131, 131}}, {{252, 57, 31}},   {{49, 231, 34}},   {{234, 236, 35}},
                    {{88, 51, 255}},   {{249, 53, 248}},  {{20, 240, 240}},  {{233, 235, 235}}};
    for (int bright = 0; bright < 2; ++bright) {
        for (int index = 0; index < 8; ++index) {
            const char* prefix = bright ? "1;" : "";
            table.foregroundCodes.push_back(std::string(prefix) + std::to_string(30 + index) + "m");
            table.backgroundCodes.push_back(std::string(prefix) + std::to_string(40 + index) + "m");
        }
    }
    checkLengths(table);
    return table;
}

// The cube and the grey ramp at their nominal levels, except the entries measured on a real terminal.
LBTTYColorTable makeTwoHundredFiftySix() {
    constexpr std::array<std::uint8_t, 6> cubeLevels{0, 95, 135, 175, 215, 255};
    LBTTYColorTable table;
    for (int red = 0; red < 6; ++red) {
        for (int green = 0; green < 6; ++green) {
            for (int blue = 0; blue < 6; ++blue) {
                table.colors.push_back({cubeLevels[red], cubeLevels[green], cubeLevels[blue]});
            }
        }
    }
    for (int grey = 0; grey < 24; ++grey) {
        auto level = static_cast<std::uint8_t>(8 + 10 * grey);
        table.colors.push_back({level, level, level});
    }
    table.colors[0] = {47, 49, 49};
    table.colors[5] = {88, 51, 255};
    table.colors[210] = {251, 252, 15};
    table.colors[215] = {254, 255, 255};
    table.colors[216] = {52, 53, 53};
    table.colors[239] = {240, 242, 242};
    for (int number = 16; number < 256; ++number) {
        table.foregroundCodes.push_back("38;5;" + std::to_string(number) + "m");
        table.backgroundCodes.push_back("48;5;" + std::to_string(number) + "m");
    }
    checkLengths(table);
    return table;
}

}  // namespace

const LBTTYColorTable& LBTTYColorTable::sixteenColors() {
    static const LBTTYColorTable table = makeSixteen();
    return table;
}

const LBTTYColorTable& LBTTYColorTable::twoHundredFiftySixColors() {
    static const LBTTYColorTable table = makeTwoHundredFiftySix();
    return table;
}

const LBTTYColorTable& LBTTYColorTable::forMode(LBTTYColorMode mode) {
    static const LBTTYColorTable empty;
    switch (mode) {
    case LBTTYColorMode::ansi16: return sixteenColors();
    case LBTTYColorMode::ansi256: return twoHundredFiftySixColors();
    default: return empty;
    }
}

std::size_t LBTTYColorTable::codeIndexForColor(LBColor color) const {
    double bestDistance = 100.0;
    std::size_t best = 0;
    for (std::size_t index = 0; index < colors.size(); ++index) {
        double red = colors[index][0] / 255.0 - color.red;
        double green = colors[index][1] / 255.0 - color.green;
        double blue = colors[index][2] / 255.0 - color.blue;
        double distance = std::sqrt(red * red + green * green + blue * blue);
        if (distance < bestDistance) {
            bestDistance = distance;
            best = index;
        }
    }
    return best;
}

}  // namespace logging
