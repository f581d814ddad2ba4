#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "gfx/Color.h"
#include "ui/Window.h"

// The small operations the screens share. They keep no state.
class Utilities {
public:
    // The window that receives keyboard and touch events, if any. The app delegate has no window of
    // its own, so the key window alone decides.
    static std::shared_ptr<ui::Window> getKeyWindow();
    // "#RRGGBB" or "RRGGBB", trimmed and in either case; gray for any text that is not six characters
    // after clean-up. Six characters that are not all hexadecimal give the colour of their leading
    // hexadecimal digits (black when there are none).
    static gfx::Color hexStringToUIColor(std::string_view hex);
    // A UTC clock text "HH:mm:ss" as the device's local clock text. The text carries no date, so the
    // offset applied is the local zone's on 1 January 2000, whatever today is.
    static std::optional<std::string> convertUTCToLocal(std::string_view timeString);
};

// Hands a web link to the desktop's browser. `done` runs on the main thread at the end of the turn:
// with none once the link was handed over, else with the line that says why `what` ("the article")
// did not open, since a tap that opens nothing must not pass in silence.
void openLink(const std::string& address, const std::string& what, std::function<void(std::optional<std::string>)> done);

// The integer with the current locale's grouping separators ("1,234,567" in en_US).
std::string formatDecimal(long long number);

// The text a reader sees in a piece of HTML: tags dropped, entities decoded once, runs of white space
// read as one space, trimmed. A tag other than inline formatting separates words ("<p>one</p><p>two</p>"
// gives "one two"); inline formatting does not ("<b>bold</b>er" gives "bolder"). An unclosed "<" drops
// the rest of the text. (HTMLText.cpp)
std::string stripHTMLTags(std::string_view text);

// The key of the first entry, in the dictionary's own iteration order, whose value equals `forValue`.
template <typename Dictionary>
std::optional<std::string> firstKey(std::string_view forValue, const Dictionary& in) {
    for (const auto& [key, value] : in) {
        if (value == forValue) return std::string(key);
    }
    return std::nullopt;
}
