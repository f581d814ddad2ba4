#pragma once

#include <memory>
#include <string_view>

#include "gfx/Image.h"
#include "gfx/SymbolImages.h"
#include "ui/ViewController.h"

// What the season sheet's files share.

// The rigid impact every tap that opens or changes something plays.
void playTapFeedback();

// A sheet presented from the season sheet: at `large` only, or medium then large; never dimming what
// lies behind; corner radius 18.
enum class SheetHeights { largeOnly, mediumAndLarge };
void setUpPresentedSheet(ui::ViewController& screen, SheetHeights heights);

// A system symbol drawn in `tint`; null for a name that is not drawn.
std::shared_ptr<gfx::Image> systemSymbol(std::string_view name, const gfx::SymbolConfiguration& configuration,
                                         gfx::Color tint, double scale);
