#include "shell/Utilities.h"

#include <cstdint>

#include "foundation/DateFormatter.h"
#include "foundation/NumberFormatter.h"
#include "foundation/Scanner.h"
#include "foundation/Strings.h"
#include "foundation/TimeZone.h"
#include "foundation/URL.h"
#include "ui/Application.h"
#include "ui/RunLoopBridge.h"

std::shared_ptr<ui::Window> Utilities::getKeyWindow() { return ui::Window::keyWindow(); }

gfx::Color Utilities::hexStringToUIColor(std::string_view hex) {
    std::string text = foundation::uppercased(foundation::trimmingWhitespaceAndNewlines(hex));
    if (text.starts_with('#')) text.erase(0, 1);
    if (foundation::characterCount(text) != 6) return gfx::Color::gray();

    std::uint64_t rgb = foundation::Scanner(text).scanHexInt64().value_or(0);
    return gfx::Color{
        static_cast<double>((rgb & 0xFF0000) >> 16) / 255.0,
        static_cast<double>((rgb & 0x00FF00) >> 8) / 255.0,
        static_cast<double>(rgb & 0x0000FF) / 255.0,
        1.0,
    };
}

std::optional<std::string> Utilities::convertUTCToLocal(std::string_view timeString) {
    foundation::DateFormatter formatter;
    formatter.setLocale(foundation::Locale("en_US_POSIX"));
    formatter.setDateFormat("HH:mm:ss");
    formatter.setTimeZone(*foundation::TimeZone::fromAbbreviation("UTC"));
    auto date = formatter.date(timeString);
    if (!date) return std::nullopt;

    formatter.setTimeZone(foundation::TimeZone::current());
    return formatter.string(*date);
}

std::string formatDecimal(long long number) {
    foundation::NumberFormatter formatter;
    formatter.setNumberStyle(foundation::NumberFormatter::Style::decimal);
    return formatter.string(number).value_or(std::to_string(number));
}

void openLink(const std::string& address, const std::string& what, std::function<void(std::optional<std::string>)> done) {
    auto url = foundation::URL::fromString(address);
    if (!url || !ui::Application::canOpenURL(*url)) {
        ui::runLoopBridge()->performAtEndOfTurn([done = std::move(done), what] {
            if (done) done("Could not open " + what + ": its address is not a web link.");
        });
        return;
    }
    ui::Application::open(*url, [done = std::move(done), what](bool opened) {
        if (!done) return;
        if (opened) done(std::nullopt);
        else done("Could not open " + what + ": no web browser answered.");
    });
}
