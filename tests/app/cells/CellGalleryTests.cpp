#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <functional>

#include "cells/CircuitCell.h"
#include "cells/CircuitDetailsCell.h"
#include "cells/DetailHeaderCell.h"
#include "cells/DriverCell.h"
#include "cells/DriverOfTheDayCell.h"
#include "cells/EventPickerCell.h"
#include "cells/LapPickerCell.h"
#include "cells/WeatherOverviewCell.h"
#include "cells/WeekendCell.h"
#include "gfx/ImageRenderer.h"
#include "gfx/Path.h"
#include "gfx/SymbolImages.h"
#include "ui/AssetCatalog.h"
#include "ui/HeadlessHost.h"
#include "ui/TableView.h"

namespace {

using gfx::Color;

// Sample pictures, drawn here: the app loads the real ones through its image library.
std::shared_ptr<gfx::Image> drawn(gfx::Size size, const std::function<void(gfx::Context&)>& drawing) {
    auto rendered = gfx::ImageRenderer(size, {.scale = 2}).image(drawing);
    return gfx::Image::fromBitmap(std::move(rendered.bitmap), rendered.scale);
}

std::shared_ptr<gfx::Image> bahrainFlag() {
    return drawn({28, 21}, [](gfx::Context& context) {
        context.setFillColor(Color::rgb(206, 17, 38));
        context.fillRect({0, 0, 28, 21});
        gfx::Path white;
        white.moveTo({0, 0});
        for (int point = 0; point < 5; ++point) {
            white.lineTo({8, point * 4.2});
            white.lineTo({11, point * 4.2 + 2.1});
        }
        white.lineTo({8, 21});
        white.lineTo({0, 21});
        context.setFillColor(Color::white());
        context.fill(white);
    });
}

std::shared_ptr<gfx::Image> driverPhoto(Color livery) {
    return drawn({50, 50}, [&](gfx::Context& context) {
        context.setFillColor(livery);
        context.fillRect({0, 0, 50, 50});
        gfx::Path person;
        person.addEllipse({17, 9, 16, 18});
        person.addEllipse({7, 30, 36, 34});
        context.setFillColor(Color::white(1, 0.85));
        context.fill(person);
    });
}

std::shared_ptr<gfx::Image> sakhirMap() {
    return drawn({350, 250}, [](gfx::Context& context) {
        gfx::Path track;
        track.moveTo({70, 200});
        for (gfx::Point point : {gfx::Point{290, 200}, {300, 150}, {230, 140}, {215, 95}, {275, 60}, {250, 40},
                                 {140, 45}, {120, 100}, {90, 90}, {60, 40}, {40, 60}, {55, 150}})
            track.lineTo(point);
        track.closeSubpath();
        context.setLineWidth(7);
        context.setLineJoin(gfx::LineJoin::round);
        context.setStrokeColor(Color::label());
        context.stroke(track);
        context.setLineWidth(3);
        context.setStrokeColor(Color::systemRed());
        context.stroke(track);
    });
}

// A symbol then a caption, as the screens title the grid figures and the pickers.
gfx::AttributedString symbolText(const char* symbol, const std::string& caption, const gfx::Font& font, Color colour,
                                 bool symbolFirst = true) {
    gfx::TextAttributes attributes{.font = font, .foregroundColor = colour};
    gfx::AttributedString text;
    if (!symbolFirst) text.append(caption, attributes);
    if (auto image = gfx::symbolImage(symbol, {.pointSize = font.pointSize()}, colour, 2)) {
        auto attachment = std::make_shared<gfx::TextAttachment>();
        attachment->image = std::move(image->bitmap);
        attachment->imageScale = image->scale;
        attachment->bounds = {0, -font.pointSize() * 0.2, font.pointSize() * 1.2, font.pointSize() * 1.2};
        text.appendAttachment(attachment, attributes);
    }
    if (symbolFirst) text.append(caption, attributes);
    return text;
}

struct GalleryRow {
    std::function<std::shared_ptr<ui::TableViewCell>()> make;
    // Label and colour the pixels of its row must show.
    std::function<std::vector<std::pair<std::shared_ptr<ui::Label>, Color>>(ui::TableViewCell&)> inks;
};

class Gallery : public ui::TableViewDataSource, public ui::TableViewDelegate {
public:
    explicit Gallery(std::vector<GalleryRow> rows) : rows(std::move(rows)) {}
    int numberOfRows(ui::TableView&, int) override { return static_cast<int>(rows.size()); }
    std::shared_ptr<ui::TableViewCell> cellForRow(ui::TableView&, ui::IndexPath indexPath) override {
        return rows[indexPath.row].make();
    }
    std::optional<double> heightForRow(ui::TableView&, ui::IndexPath) override { return ui::TableView::automaticDimension; }

    std::vector<GalleryRow> rows;
};

// The pixel of `rect` (window points) farthest from the row's background: the core of its text.
Color strongestInk(const ui::HeadlessHost& host, const ui::Rect& rect, Color background) {
    Color strongest = background;
    double farthest = -1;
    for (double y = rect.minY() + 0.25; y < rect.maxY(); y += 0.5)
        for (double x = rect.minX() + 0.25; x < rect.maxX(); x += 0.5) {
            auto pixel = host.pixel({x, y});
            if (!pixel) continue;
            double distance = std::abs(pixel->red - background.red) + std::abs(pixel->green - background.green) +
                              std::abs(pixel->blue - background.blue);
            if (distance > farthest) farthest = distance, strongest = *pixel;
        }
    return strongest;
}

Color over(Color top, Color bottom) {
    auto mix = [&](double a, double b) { return a * top.alpha + b * (1 - top.alpha); };
    return {mix(top.red, bottom.red), mix(top.green, bottom.green), mix(top.blue, bottom.blue), 1};
}

void renderAndProbe(const std::string& name, double height, std::vector<GalleryRow> rows) {
    ui::HeadlessHost host({.size = {390, height}, .background = Color::systemGray6()});
    auto table = std::make_shared<ui::TableView>(ui::Rect{0, 0, 390, height});
    table->setBackgroundColor(Color::systemGray6());
    auto gallery = std::make_shared<Gallery>(std::move(rows));
    table->setDataSource(gallery);
    table->setDelegate(gallery);
    host.window()->addSubview(table);
    host.snapshot();
    std::filesystem::create_directories(SORVANE_GALLERY_DIR);
    EXPECT_TRUE(host.writePng(std::string(SORVANE_GALLERY_DIR) + "/" + name + ".png"));

    for (int row = 0; row < static_cast<int>(gallery->rows.size()); ++row) {
        auto cell = table->cellForRow({0, row});
        ASSERT_NE(cell, nullptr) << name << " row " << row << " is off the picture";
        Color background = *cell->backgroundColor();
        for (const auto& [label, colour] : gallery->rows[row].inks(*cell)) {
            auto rect = label->convertRectTo(label->bounds(), nullptr);
            Color ink = strongestInk(host, rect, background);
            Color expected = over(colour, background);
            EXPECT_NEAR(ink.red, expected.red, 0.1) << name << " row " << row << " '" << label->text() << "'";
            EXPECT_NEAR(ink.green, expected.green, 0.1) << name << " row " << row << " '" << label->text() << "'";
            EXPECT_NEAR(ink.blue, expected.blue, 0.1) << name << " row " << row << " '" << label->text() << "'";
        }
    }
}

template <class Cell>
std::shared_ptr<Cell> headerCell(Color background) {
    auto cell = std::make_shared<Cell>();
    cell->setBackgroundColor(background);
    cell->setSeparatorInset({0, 5000, 0, 0});
    return cell;
}

template <class Cell>
Cell& as(ui::TableViewCell& cell) {
    return dynamic_cast<Cell&>(cell);
}

TEST(CellGalleryTest, headerSeasonScheduleAndResultRowsShowTheirText) {
    auto blue = Color::systemBlue();
    auto pillTitle = [](const std::string& choice) {
        return symbolText("chevron.down", choice + " ", gfx::Font::systemFont(20, gfx::FontWeight::semibold), Color::white(),
                          false);
    };
    renderAndProbe(
        "rows", 730,
        {
            {[&] {
                 auto cell = headerCell<DetailHeaderCell>(blue);
                 cell->time->setText("Round 1 Started at 18:00, on 5 Mar 2023");
                 cell->race->setText("Bahrain Grand Prix");
                 cell->circuit->setText("Bahrain International Circuit");
                 cell->location->setText("Sakhir, Bahrain");
                 return cell;
             },
             [](ui::TableViewCell& cell) {
                 auto& header = as<DetailHeaderCell>(cell);
                 return std::vector{std::pair{header.race, Color::white()}, {header.location, Color::white()}};
             }},
            {[&] {
                 auto cell = headerCell<EventPickerCell>(blue);
                 cell->event->setAttributedTitle(pillTitle("Race"), ui::ControlState::normal);
                 cell->title->setText("Results");
                 return cell;
             },
             [](ui::TableViewCell& cell) { return std::vector{std::pair{as<EventPickerCell>(cell).title, Color::white()}}; }},
            {[&] {
                 auto cell = headerCell<LapPickerCell>(Color::systemBlue().withAlphaComponent(0.75));
                 cell->event->setText("Lap");
                 cell->lap->setAttributedTitle(pillTitle("12"), ui::ControlState::normal);
                 cell->title->setText("of 57");
                 return cell;
             },
             [](ui::TableViewCell& cell) { return std::vector{std::pair{as<LapPickerCell>(cell).event, Color::white()}}; }},
            {[] {
                 auto cell = std::make_shared<CircuitCell>();
                 cell->flag->setImage(bahrainFlag());
                 cell->day->setText("05");
                 cell->month->setText("Mar");
                 cell->round->setNumberOfLines(0);
                 cell->round->setFont(gfx::Font::systemFont(13, gfx::FontWeight::semibold));
                 cell->round->setTextColor(Color::systemRed());
                 cell->round->setText("Round 1\nLIVE");
                 cell->race->setText("Bahrain Grand Prix");
                 cell->circuit->setText("Bahrain International Circuit");
                 cell->location->setText("Sakhir, Bahrain");
                 return cell;
             },
             [](ui::TableViewCell& cell) {
                 auto& row = as<CircuitCell>(cell);
                 return std::vector{std::pair{row.race, Color::label()}, {row.day, Color::label()},
                                    {row.round, Color::systemRed()}};
             }},
            {[] {
                 auto cell = std::make_shared<WeekendHeaderCell>();
                 cell->setSeparatorInset({0, 5000, 0, 0});
                 cell->infoTitle->setText("Weekend Structure");
                 cell->infoDescription->setText("The Bahrain Grand Prix weekend at a glance");
                 return cell;
             },
             [](ui::TableViewCell& cell) {
                 return std::vector{std::pair{as<WeekendHeaderCell>(cell).infoTitle, Color::label()}};
             }},
            {[] {
                 auto cell = std::make_shared<WeekendCell>();
                 cell->day->setText("03");
                 cell->month->setText("Mar");
                 cell->event->setText("Practice 1");
                 cell->time->setText("14:30, Friday");
                 return cell;
             },
             [](ui::TableViewCell& cell) { return std::vector{std::pair{as<WeekendCell>(cell).event, Color::label()}}; }},
            {[] {
                 auto cell = std::make_shared<DriverCell>();
                 cell->driverImage->setImage(driverPhoto(*ui::namedColor("TeamRB")));
                 cell->position->setText("1");
                 cell->fromGridPosition->setText("from 1");
                 cell->status->setText("Race Winner - 1:33:56.736");
                 cell->driver->setText("Max Verstappen");
                 cell->constructor->setText("Red Bull Racing");
                 cell->fastestLap->setText("Fastest lap: 1:36.236\nAverage speed: 202.452 km/h");
                 return cell;
             },
             [](ui::TableViewCell& cell) {
                 auto& row = as<DriverCell>(cell);
                 return std::vector{std::pair{row.driver, Color::label()}, {row.position, Color::label()},
                                    {row.status, Color::systemRed()}, {row.constructor, Color::secondaryLabel()}};
             }},
            {[] {
                 auto cell = std::make_shared<DriverCell>();
                 cell->driverImage->setImage(ui::namedImage("TeamRB"));
                 cell->position->setText("860");
                 cell->fromGridPosition->setText("points");
                 cell->status->setTextColor(Color::secondaryLabel());
                 cell->status->setText("Constructors' Championship");
                 cell->driver->setText("Red Bull Racing");
                 cell->constructor->setText("Max Verstappen, Sergio Pérez");
                 cell->fastestLap->setText("21 wins");
                 return cell;
             },
             [](ui::TableViewCell& cell) {
                 return std::vector{std::pair{as<DriverCell>(cell).fromGridPosition, Color::secondaryLabel()}};
             }},
        });
}

TEST(CellGalleryTest, infoCardsShowTheirFiguresAndPictures) {
    auto caption = [](const char* symbol, const char* text) {
        return symbolText(symbol, text, gfx::Font::systemFont(13), Color::secondaryLabel());
    };
    renderAndProbe(
        "cards", 950,
        {
            {[] {
                 auto cell = std::make_shared<DriverOfTheDayCell>();
                 cell->infoTitle->setText("Driver of the Day");
                 cell->infoDescription->setText("Based on user polls");
                 cell->driverImage->setImage(driverPhoto(*ui::namedColor("TeamAM")));
                 cell->driver->setText("Fernando Alonso");
                 cell->constructor->setText("Aston Martin");
                 return cell;
             },
             [](ui::TableViewCell& cell) {
                 auto& card = as<DriverOfTheDayCell>(cell);
                 return std::vector{std::pair{card.infoTitle, Color::label()},
                                    {card.infoDescription, Color::secondaryLabel()}};
             }},
            {[&] {
                 auto cell = std::make_shared<WeatherOverviewCell>();
                 cell->infoTitle->setText("Weather Overview");
                 cell->infoDescription->setText("Track weather information");
                 cell->airTempTitle->setAttributedText(caption("thermometer", " Air Temp"));
                 cell->trackTempTitle->setAttributedText(caption("thermometer.sun", " Track Temp"));
                 cell->humidityTitle->setAttributedText(caption("humidity", " Humidity"));
                 cell->pressureTitle->setAttributedText(caption("rays", " Pressure"));
                 cell->windSpeedTitle->setAttributedText(caption("wind", " Wind Speed"));
                 cell->rainFallTitle->setAttributedText(caption("cloud.rain", " Rainfall"));
                 cell->airTemp->setText("25.6°");
                 cell->trackTemp->setText("31.2°");
                 cell->humidity->setText("45%");
                 cell->pressure->setText("1014mb");
                 cell->windSpeed->setText("1.3m/s");
                 cell->rainFall->setText("0mm");
                 return cell;
             },
             [](ui::TableViewCell& cell) {
                 auto& card = as<WeatherOverviewCell>(cell);
                 return std::vector{std::pair{card.airTemp, Color::label()}, {card.rainFall, Color::label()}};
             }},
            {[&] {
                 auto cell = std::make_shared<CircuitDetailsCell>();
                 cell->infoTitle->setText("Track Details");
                 cell->infoDescription->setText("Information about the circuit");
                 cell->trackLengthTitle->setAttributedText(caption("arrow.left.and.right", " Length (km)"));
                 cell->trackDistanceTitle->setAttributedText(caption("arrow.right.to.line", " Distance (km)"));
                 cell->lapCountTitle->setAttributedText(caption("clock.arrow.circlepath", " Laps"));
                 cell->cornerCountTitle->setAttributedText(caption("arrow.turn.up.right", " Corners"));
                 cell->firstOpenedTitle->setAttributedText(caption("lock.open", " First Opened"));
                 cell->firstGrandPrixTitle->setAttributedText(caption("flag.2.crossed", " First GP"));
                 cell->trackLength->setText("5.412");
                 cell->trackDistance->setText("308.238");
                 cell->lapCount->setText("57");
                 cell->cornerCount->setText("15");
                 cell->firstOpened->setText("2004");
                 cell->firstGrandPrix->setText("2004");
                 cell->circuitImage->setImage(sakhirMap());
                 cell->recordTitle->setAttributedText(caption("clock", " Fastest lap set by Pedro de la Rosa (2005)"));
                 cell->record->setText("1:31.447");
                 return cell;
             },
             [](ui::TableViewCell& cell) {
                 auto& card = as<CircuitDetailsCell>(cell);
                 return std::vector{std::pair{card.lapCount, Color::label()}, {card.record, Color::label()}};
             }},
        });
}

}  // namespace
