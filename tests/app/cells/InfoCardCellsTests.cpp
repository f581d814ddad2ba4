#include <gtest/gtest.h>

#include "CellLayoutSupport.h"
#include "cells/CircuitDetailsCell.h"
#include "cells/WeatherOverviewCell.h"

namespace {

void fill(WeatherOverviewCell& cell) {
    cell.infoTitle->setText("Weather Overview");
    cell.infoDescription->setText("Track weather information");
    for (const auto& title : {cell.airTempTitle, cell.trackTempTitle, cell.humidityTitle, cell.pressureTitle,
                              cell.windSpeedTitle, cell.rainFallTitle})
        title->setText("Caption");
    for (const auto& value : {cell.airTemp, cell.trackTemp, cell.humidity, cell.pressure, cell.windSpeed, cell.rainFall})
        value->setText("25");
}

TEST(InfoCardCellsTest, weatherGridHasThreeEqualColumnsAboveTheWindmillBand) {
    FixedTextSizes sizes;
    auto cellPointer = std::make_shared<WeatherOverviewCell>();
    auto& cell = *cellPointer;
    fill(cell);

    EXPECT_EQ(layOut(cell), 290);
    EXPECT_EQ(frame(cell.airTempTitle), (ui::Rect{20, 70, 114, 20}));
    EXPECT_EQ(frame(cell.humidityTitle).minX(), 138);
    EXPECT_EQ(frame(cell.windSpeedTitle).minX(), 256);
    EXPECT_EQ(frame(cell.airTemp).minY(), 93);
    EXPECT_EQ(frame(cell.pressureTitle), (ui::Rect{138, 127, 114, 20}));
    EXPECT_EQ(frame(cell.rainFall), (ui::Rect{256, 150, 114, 20}));

    EXPECT_EQ(frame(cell.windmillLand), (ui::Rect{0, 270, 390, 20}));
    EXPECT_EQ(frame(cell.windmillBase), (ui::Rect{290, 210, 80, 80}));
    EXPECT_EQ(frame(cell.windmillFan), (ui::Rect{290, 170, 80, 80}));
    EXPECT_EQ(frame(cell.windmillBase2), (ui::Rect{260, 230, 60, 60}));
    EXPECT_EQ(frame(cell.windmillFan2), (ui::Rect{260, 200, 60, 60}));
    EXPECT_EQ(frame(cell.windmillBase3), (ui::Rect{230, 250, 40, 40}));
    EXPECT_EQ(frame(cell.windmillFan3), (ui::Rect{230, 230, 40, 40}));

    EXPECT_EQ(cell.airTemp->font(), gfx::Font::systemFont(22, gfx::FontWeight::heavy));
    EXPECT_EQ(cell.airTemp->numberOfLines(), 0);
    EXPECT_EQ(cell.airTempTitle->textColor(), gfx::Color::secondaryLabel());
    EXPECT_EQ(cell.windmillLand->contentMode(), ui::ContentMode::scaleToFill);
    EXPECT_EQ(cell.windmillFan2->contentMode(), ui::ContentMode::scaleAspectFit);
}

TEST(InfoCardCellsTest, windmillPicturesAreTintedGreyAssets) {
    auto cellPointer = std::make_shared<WeatherOverviewCell>();
    auto& cell = *cellPointer;
    for (const auto& view : {cell.windmillLand, cell.windmillBase, cell.windmillFan3}) {
        ASSERT_NE(view->image(), nullptr);
        const auto& bitmap = *view->image()->bitmap();
        std::size_t inked = 0;
        for (int y = 0; y < bitmap.height; ++y)
            for (int x = 0; x < bitmap.width; ++x) {
                auto colour = gfx::Color::fromPremultipliedPixel(bitmap.pixel(x, y));
                if (colour.alpha < 0.99) continue;
                ++inked;
                EXPECT_NEAR(colour.red, gfx::Color::systemGray4().red, 0.01);
                EXPECT_NEAR(colour.blue, gfx::Color::systemGray4().blue, 0.01);
            }
        EXPECT_GT(inked, 0u);
    }
    EXPECT_EQ(cell.windmillBase->image()->size(), (gfx::Image::Size{80, 80}));
}

TEST(InfoCardCellsTest, narrowWeatherGridWrapsAndNeverReachesTheWindmills) {
    FixedTextSizes sizes;
    auto cellPointer = std::make_shared<WeatherOverviewCell>();
    auto& cell = *cellPointer;
    fill(cell);
    cell.trackTempTitle->setText("Track Temp in degrees");
    cell.humidity->setText("45 % relative humidity");

    double height = layOut(cell, 250);
    double column = (250 - 40 - 8) / 3.0;
    for (const auto& view : {cell.trackTempTitle, cell.pressureTitle, cell.rainFallTitle, cell.humidity})
        EXPECT_NEAR(frame(view).width(), column, 1e-6);
    EXPECT_GT(frame(cell.trackTempTitle).height(), 20);
    EXPECT_GT(frame(cell.humidity).height(), 20);
    for (const auto& value : {cell.trackTemp, cell.pressure, cell.rainFall})
        EXPECT_LE(frame(value).maxY(), height - 120 + 1e-6);
}

TEST(InfoCardCellsTest, circuitFactsGridThenMapThenRecord) {
    FixedTextSizes sizes;
    auto cellPointer = std::make_shared<CircuitDetailsCell>();
    auto& cell = *cellPointer;
    for (const auto& label : {cell.infoTitle, cell.infoDescription, cell.trackLengthTitle, cell.trackDistanceTitle,
                              cell.lapCountTitle, cell.cornerCountTitle, cell.firstOpenedTitle, cell.firstGrandPrixTitle,
                              cell.trackLength, cell.trackDistance, cell.lapCount, cell.cornerCount, cell.firstOpened,
                              cell.firstGrandPrix, cell.recordTitle, cell.record})
        label->setText("5.412");

    EXPECT_EQ(layOut(cell), 487);
    EXPECT_EQ(frame(cell.trackLengthTitle), (ui::Rect{20, 70, 114, 20}));
    EXPECT_EQ(frame(cell.lapCount).minX(), 138);
    EXPECT_EQ(frame(cell.firstGrandPrix), (ui::Rect{256, 150, 114, 20}));
    EXPECT_EQ(frame(cell.circuitImage), (ui::Rect{20, 175, 350, 250}));
    EXPECT_EQ(frame(cell.recordTitle), (ui::Rect{20, 430, 350, 20}));
    EXPECT_EQ(frame(cell.record), (ui::Rect{20, 453, 350, 20}));
    EXPECT_EQ(cell.circuitImage->contentMode(), ui::ContentMode::scaleAspectFit);
    EXPECT_EQ(cell.record->font(), gfx::Font::systemFont(22, gfx::FontWeight::heavy));
}

}  // namespace
