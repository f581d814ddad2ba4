#include "weekend/DetailCards.h"

#include <cmath>
#include <numbers>

#include "data/ServiceHosts.h"
#include "foundation/NumberText.h"
#include "gfx/SymbolImages.h"
#include "quartz/Animation.h"
#include "quartz/Layer.h"
#include "shell/Utilities.h"
#include "standings-news/SheetRows.h"

namespace {

// Far enough to the right that the separator never shows.
constexpr double hiddenSeparator = 5000;

double bodySize() { return gfx::Font::preferredFont(gfx::TextStyle::body).pointSize(); }

}  // namespace

std::shared_ptr<gfx::TextAttachment> symbolAttachment(std::string_view name, double size, gfx::FontWeight weight,
                                                      gfx::Color tint) {
    auto attachment = std::make_shared<gfx::TextAttachment>();
    if (auto symbol = gfx::symbolImage(name, {size, weight}, tint, 2)) {
        attachment->image = std::move(symbol->bitmap);
        attachment->imageScale = symbol->scale;
    }
    return attachment;
}

gfx::AttributedString symbolTitle(std::string_view symbol, std::string_view caption) {
    double size = bodySize() - 4;
    gfx::TextAttributes attributes;
    attributes.font = gfx::Font::systemFont(size, gfx::FontWeight::regular);
    attributes.foregroundColor = gfx::Color::secondaryLabel();
    gfx::AttributedString title;
    title.appendAttachment(symbolAttachment(symbol, size, gfx::FontWeight::regular, gfx::Color::secondaryLabel()));
    title.append(caption, attributes);
    return title;
}

std::string circuitMapURL(const std::string& circuitName) {
    return "https://" + ServiceHosts::current().mediaImages +
           "/image/upload/f_auto/q_auto/v1677244987/content/dam/fom-website/2018-redesign-assets/"
           "Circuit%20maps%2016x9/" +
           circuitName + "_Circuit.png.transform/7col-retina/image.png";
}

void fillCircuitTitles(CircuitDetailsCell& cell) {
    cell.infoTitle->setText("Track Details");
    cell.infoDescription->setText("Information about the circuit");
    cell.trackLengthTitle->setAttributedText(symbolTitle("arrow.left.and.right", " Length (km)"));
    cell.trackDistanceTitle->setAttributedText(symbolTitle("arrow.right.to.line", " Distance (km)"));
    cell.lapCountTitle->setAttributedText(symbolTitle("clock.arrow.circlepath", " Laps"));
    cell.cornerCountTitle->setAttributedText(symbolTitle("arrow.turn.up.right", " Corners"));
    cell.firstOpenedTitle->setAttributedText(symbolTitle("lock.open", " First Opened"));
    cell.firstGrandPrixTitle->setAttributedText(symbolTitle("flag.2.crossed", " First GP"));
}

void fillCircuitFigures(CircuitDetailsCell& cell, const circuitDetailsOverviewModel* facts, const std::string& missingCount) {
    cell.trackLength->setText(facts ? facts->trackLength : "");
    cell.trackDistance->setText(facts ? facts->trackDistance : "");
    cell.lapCount->setText(facts ? std::to_string(facts->lapCount) : missingCount);
    cell.cornerCount->setText(facts ? std::to_string(facts->cornerCount) : missingCount);
    cell.firstOpened->setText(facts ? facts->firstOpened : "");
    cell.firstGrandPrix->setText(facts ? facts->firstGrandPrix : "");
}

void fillWeatherTitles(WeatherOverviewCell& cell, bool windDirection) {
    cell.airTempTitle->setAttributedText(symbolTitle("thermometer.sun", " Air Temp"));
    cell.trackTempTitle->setAttributedText(symbolTitle("thermometer", " Track Temp"));
    cell.humidityTitle->setAttributedText(symbolTitle("humidity", " Humidity"));
    cell.pressureTitle->setAttributedText(symbolTitle("cloud.fog", " Pressure"));
    cell.windSpeedTitle->setAttributedText(symbolTitle("wind", windDirection ? " Wind Direction" : " Wind Speed"));
    cell.rainFallTitle->setAttributedText(symbolTitle("cloud.rain", " Rainfall"));
}

std::string wholeFigure(const std::string& text) {
    auto value = foundation::parseDouble(text);
    if (!value) return formatDecimal(0);
    if (!std::isfinite(*value) || std::fabs(*value) > 9e15) return "--";
    return formatDecimal(static_cast<long long>(std::trunc(*value)));
}

void fillWeatherCard(WeatherOverviewCell& cell, const std::string& description, const livetiming::WeatherModel& reading,
                     bool windDirection, const char* key) {
    cell.infoTitle->setText("Weather Overview");
    cell.infoDescription->setText(description);
    fillWeatherTitles(cell, windDirection);
    cell.airTemp->setText(reading.airTemp + "°");
    cell.trackTemp->setText(reading.trackTemp + "°");
    cell.humidity->setText(wholeFigure(reading.humidity) + "%");
    cell.pressure->setText(wholeFigure(reading.pressure) + "mb");
    cell.windSpeed->setText(windDirection ? reading.windDirection + "°" : reading.windSpeed + " m/s");
    cell.rainFall->setText(reading.rainfall + "mm");
    spinWindmills(cell, key);
}

void spinWindmills(WeatherOverviewCell& cell, const char* key) {
    const std::pair<ui::ImageView*, double> fans[] = {
        {cell.windmillFan.get(), 2.2}, {cell.windmillFan2.get(), 2.4}, {cell.windmillFan3.get(), 2.6}};
    for (const auto& [fan, duration] : fans) {
        if (fan->layer()->animation(key)) continue;
        quartz::BasicAnimation rotation;
        rotation.keyPath = "transform.rotation";
        rotation.fromValue = 0.0;
        // A whole turn as the single-precision figure the fans have always used.
        rotation.toValue = static_cast<double>(static_cast<float>(2 * std::numbers::pi));
        rotation.duration = duration;
        rotation.repeatCount = quartz::BasicAnimation::forever;
        fan->layer()->addAnimation(rotation, key);
    }
}

void fillWeekendHeader(WeekendHeaderCell& cell, const std::string& raceName) {
    cell.infoTitle->setText("Weekend Structure");
    cell.infoDescription->setText("The " + raceName + " weekend at a glance");
}

void fillWeekendRow(WeekendCell& cell, const WeekendSession& session) {
    cell.event->setText(session.name);
    cell.day->setText(session.day);
    cell.month->setText(session.month);
    cell.time->setText(session.weekday.empty() ? session.time : session.time + ", " + session.weekday);
}

void styleCard(ui::TableViewCell& cell, bool separator) {
    styleRow(cell, gfx::Color::systemBackground(), gfx::Color::systemBackground().withAlphaComponent(0.2));
    if (!separator) cell.setSeparatorInset({0, hiddenSeparator, 0, 0});
}
