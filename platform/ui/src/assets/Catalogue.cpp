#include "AssetDrawings.h"

#include <array>

namespace ui::assets {

std::span<const ImageDrawing> imageDrawings() {
    // Windmill pieces and the podium are one-colour shapes the screens tint; the rest keep their colours.
    static constexpr auto drawings = std::to_array<ImageDrawing>({
        {"windmillLand", {360, 20}, true, drawWindmillLand},
        {"windmillBase", {80, 80}, true, drawWindmillBase},
        {"windmillFan", {80, 80}, true, drawWindmillFan},
        {"annotation", {42, 42}, false, drawCurrentRacePin},
        {"annotationOld", {42, 42}, false, drawPastRacePin},
        {"podium", {20, 20}, true, drawPodium},
        {"Tyre", {80, 80}, false, drawTyre},
        {"RBCar", {360, 80}, false, drawRedBullCar},
        {"TeamRB", {50, 50}, false, drawRedBullBadge},
        {"TeamAM", {50, 50}, false, drawAstonMartinBadge},
        {"TeamM", {50, 50}, false, drawMercedesBadge},
        {"TeamF", {50, 50}, false, drawFerrariBadge},
        {"TeamML", {50, 50}, false, drawMcLarenBadge},
        {"TeamA", {50, 50}, false, drawAlpineBadge},
        {"TeamH", {50, 50}, false, drawHaasBadge},
        {"TeamAR", {50, 50}, false, drawAlfaRomeoBadge},
        {"TeamAT", {50, 50}, false, drawAlphaTauriBadge},
        {"TeamW", {50, 50}, false, drawWilliamsBadge},
    });
    return drawings;
}

std::span<const NamedColor> namedColors() {
    using gfx::Color;
    // Screen colours are mid tones, because each serves both as a title colour and as a background
    // under label-coloured text. Team colours are the teams' 2023 colours as race graphics show them.
    static constexpr auto colors = std::to_array<NamedColor>({
        {"dirtyBrown", Color::rgb(181, 101, 30)},
        {"dullPink", Color::rgb(213, 134, 157)},
        {"duskyBlue", Color::rgb(71, 95, 148)},
        {"tealGreen", Color::rgb(37, 163, 111)},
        {"darkGreen", Color::rgb(46, 125, 50)},
        {"TeamRB", Color::rgb(54, 113, 198)},
        {"TeamAM", Color::rgb(53, 140, 117)},
        {"TeamM", Color::rgb(108, 211, 191)},
        {"TeamF", Color::rgb(249, 21, 54)},
        {"TeamML", Color::rgb(245, 128, 32)},
        {"TeamA", Color::rgb(34, 147, 209)},
        {"TeamH", Color::rgb(182, 186, 189)},
        {"TeamAR", Color::rgb(201, 45, 75)},
        {"TeamAT", Color::rgb(94, 143, 170)},
        {"TeamW", Color::rgb(55, 190, 221)},
    });
    return colors;
}

}  // namespace ui::assets
