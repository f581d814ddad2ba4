#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "gfx/AttributedString.h"
#include "gfx/ImageEncoder.h"
#include "gfx/ImageRenderer.h"
#include "gfx/TextLayout.h"
#include "ui/AssetCatalog.h"

namespace {

struct ExpectedImage {
    std::string_view name;
    double width;
    double height;
    bool isTemplate;
};

// Every image the screens ask the catalogue for, with the size it was drawn for.
constexpr ExpectedImage screenImages[] = {
    {"windmillLand", 360, 20, true},  {"windmillBase", 80, 80, true}, {"windmillFan", 80, 80, true},
    {"annotation", 42, 42, false},    {"annotationOld", 42, 42, false}, {"podium", 20, 20, true},
    {"Tyre", 80, 80, false},          {"RBCar", 360, 80, false},      {"TeamRB", 50, 50, false},
    {"TeamAM", 50, 50, false},        {"TeamM", 50, 50, false},       {"TeamF", 50, 50, false},
    {"TeamML", 50, 50, false},        {"TeamA", 50, 50, false},       {"TeamH", 50, 50, false},
    {"TeamAR", 50, 50, false},        {"TeamAT", 50, 50, false},      {"TeamW", 50, 50, false},
};

constexpr std::string_view screenColors[] = {
    "dirtyBrown", "dullPink", "duskyBlue", "tealGreen", "darkGreen", "TeamRB", "TeamAM", "TeamM",
    "TeamF",      "TeamML",   "TeamA",     "TeamH",     "TeamAR",    "TeamAT", "TeamW",
};

std::uint32_t alpha(std::uint32_t pixel) { return pixel >> 24; }

// Share of pixels with any ink.
double inkCoverage(const gfx::Bitmap& bitmap) {
    long inked = 0;
    for (int y = 0; y < bitmap.height; ++y)
        for (int x = 0; x < bitmap.width; ++x) inked += alpha(bitmap.pixel(x, y)) > 0;
    return double(inked) / (double(bitmap.width) * bitmap.height);
}

// The alpha-weighted centre of the ink, in pixels.
gfx::Point inkCentroid(const gfx::Bitmap& bitmap) {
    double total = 0, sumX = 0, sumY = 0;
    for (int y = 0; y < bitmap.height; ++y)
        for (int x = 0; x < bitmap.width; ++x) {
            double weight = alpha(bitmap.pixel(x, y));
            total += weight;
            sumX += weight * (x + 0.5);
            sumY += weight * (y + 0.5);
        }
    return {sumX / total, sumY / total};
}

// The first row from the top with ink between two columns, or -1.
int topInkRow(const gfx::Bitmap& bitmap, int fromX, int toX) {
    for (int y = 0; y < bitmap.height; ++y)
        for (int x = fromX; x < toX; ++x)
            if (alpha(bitmap.pixel(x, y)) > 128) return y;
    return -1;
}

const gfx::Bitmap& bitmapNamed(std::string_view name) {
    auto image = ui::namedImage(name);
    EXPECT_NE(image, nullptr) << name;
    return *image->bitmap();
}

TEST(AssetCatalogTest, everyImageTheScreensNameIsDrawnAtItsSizeAndTwiceTheScale) {
    for (const auto& expected : screenImages) {
        SCOPED_TRACE(expected.name);
        auto image = ui::namedImage(expected.name);
        ASSERT_NE(image, nullptr);
        ASSERT_NE(image->bitmap(), nullptr);
        EXPECT_EQ(image->scale(), 2);
        EXPECT_EQ(image->size(), (gfx::Image::Size{expected.width, expected.height}));
        EXPECT_EQ(ui::namedImageIsTemplate(expected.name), expected.isTemplate);
        double coverage = inkCoverage(*image->bitmap());
        EXPECT_GT(coverage, 0.03);
        EXPECT_LT(coverage, 1.0001);
    }
    EXPECT_EQ(ui::namedImageNames().size(), std::size(screenImages));
}

TEST(AssetCatalogTest, unknownNamesGiveNothing) {
    for (std::string_view name : {"", "tyre", "TeamX", "windmill", "annotation ", "Podium"}) {
        EXPECT_EQ(ui::namedImage(name), nullptr) << name;
        EXPECT_FALSE(ui::namedImageIsTemplate(name)) << name;
        EXPECT_EQ(ui::namedColor(name), std::nullopt) << name;
    }
    EXPECT_EQ(ui::namedColor("windmillFan"), std::nullopt);
    EXPECT_EQ(ui::namedImage("dullPink"), nullptr);
}

TEST(AssetCatalogTest, imagesAreDrawnOnceAndSharedAcrossThreads) {
    std::vector<std::shared_ptr<gfx::Image>> seen(8);
    std::vector<std::thread> threads;
    for (std::size_t index = 0; index < seen.size(); ++index)
        threads.emplace_back([&, index] { seen[index] = ui::namedImage("TeamAT"); });
    for (auto& thread : threads) thread.join();
    for (const auto& image : seen) EXPECT_EQ(image, seen.front());
    EXPECT_EQ(ui::namedImage("TeamAT"), seen.front());
}

TEST(AssetCatalogTest, templateImagesAreOneColourSoTintingKeepsTheirShape) {
    for (const auto& expected : screenImages) {
        if (!expected.isTemplate) continue;
        const auto& bitmap = bitmapNamed(expected.name);
        bool onlyBlack = true;
        for (int y = 0; y < bitmap.height; ++y)
            for (int x = 0; x < bitmap.width; ++x) onlyBlack &= (bitmap.pixel(x, y) & 0xFFFFFF) == 0;
        EXPECT_TRUE(onlyBlack) << expected.name;
    }
}

TEST(AssetCatalogTest, windmillFanTurnsAboutItsCentreAndTowerTopMeetsIt) {
    const auto& fan = bitmapNamed("windmillFan");
    auto centre = inkCentroid(fan);
    EXPECT_NEAR(centre.x, fan.width / 2.0, 1.0);
    EXPECT_NEAR(centre.y, fan.height / 2.0, 1.0);
    EXPECT_GT(alpha(fan.pixel(fan.width / 2 + 6, fan.height / 2)), 200u) << "solid hub around the pivot";

    const auto& tower = bitmapNamed("windmillBase");
    EXPECT_EQ(topInkRow(tower, tower.width / 2 - 1, tower.width / 2 + 1), 0) << "reaches the top edge at the middle";
    EXPECT_GT(topInkRow(tower, 0, tower.width / 2 - 12), tower.height * 9 / 10) << "nothing beside the top";
    EXPECT_GT(alpha(tower.pixel(tower.width / 2 - 8, tower.height - 1)), 200u) << "stands on the bottom edge";
}

TEST(AssetCatalogTest, pinsCarryAWhiteNumberOnADarkBadgeWhereTheNumberIsPainted) {
    for (std::string_view name : {"annotation", "annotationOld"}) {
        const auto& pin = bitmapNamed(name);
        // The round number's digits cover about x 14...30, y 15...25 points.
        for (auto [x, y] : {std::pair{15, 16}, {29, 16}, {15, 25}, {29, 25}, {21, 20}}) {
            auto pixel = pin.pixel(x * 2, y * 2);
            EXPECT_EQ(alpha(pixel), 255u) << name << " at " << x << ", " << y;
            int red = (pixel >> 16) & 0xFF, green = (pixel >> 8) & 0xFF, blue = pixel & 0xFF;
            EXPECT_LT(0.2126 * red + 0.7152 * green + 0.0722 * blue, 190) << name << " too light for white digits";
        }
    }
    EXPECT_NE(bitmapNamed("annotation").pixel(42, 40), bitmapNamed("annotationOld").pixel(42, 40))
        << "past races look different";
}

TEST(AssetCatalogTest, carFacesLeftWithItsNoseLowAndItsWingHigh) {
    const auto& car = bitmapNamed("RBCar");
    int noseTop = topInkRow(car, 0, car.width / 10);
    int wingTop = topInkRow(car, car.width * 9 / 10, car.width);
    ASSERT_GE(noseTop, 0);
    ASSERT_GE(wingTop, 0);
    EXPECT_GT(noseTop, car.height / 2);
    EXPECT_LT(wingTop, car.height / 4);
}

TEST(AssetCatalogTest, teamMarksFillTheRoundPictureEdgeToEdge) {
    for (const auto& expected : screenImages) {
        if (!expected.name.starts_with("Team")) continue;
        const auto& mark = bitmapNamed(expected.name);
        for (auto [x, y] : {std::pair{0, 0}, {mark.width - 1, 0}, {0, mark.height / 2}, {mark.width / 2, mark.height - 1}})
            EXPECT_EQ(alpha(mark.pixel(x, y)), 255u) << expected.name;
    }
}

struct Hue {
    double red, green, blue;
};

Hue hueOf(std::string_view name) {
    auto color = ui::namedColor(name);
    EXPECT_TRUE(color.has_value()) << name;
    if (!color) return {};
    EXPECT_EQ(color->alpha, 1) << name;
    return {color->red, color->green, color->blue};
}

TEST(AssetCatalogTest, namedColoursLookLikeTheirNames) {
    for (auto name : screenColors) hueOf(name);
    EXPECT_EQ(ui::namedColorNames().size(), std::size(screenColors));

    auto brown = hueOf("dirtyBrown");
    EXPECT_TRUE(brown.red > brown.green && brown.green > brown.blue && brown.red < 0.8);
    auto pink = hueOf("dullPink");
    EXPECT_TRUE(pink.red > pink.blue && pink.blue > pink.green && pink.red - pink.green < 0.4);
    auto blue = hueOf("duskyBlue");
    EXPECT_TRUE(blue.blue > blue.green && blue.green > blue.red && blue.blue < 0.75);
    auto teal = hueOf("tealGreen");
    EXPECT_TRUE(teal.green > teal.blue && teal.blue > teal.red);
    auto green = hueOf("darkGreen");
    EXPECT_TRUE(green.green > green.red && green.green > green.blue && green.green < 0.6);

    auto ferrari = hueOf("TeamF");
    EXPECT_TRUE(ferrari.red > 0.9 && ferrari.green < 0.2);
    auto mclaren = hueOf("TeamML");
    EXPECT_TRUE(mclaren.red > 0.9 && mclaren.green > 0.4 && mclaren.blue < 0.2) << "papaya";
    auto aston = hueOf("TeamAM");
    EXPECT_TRUE(aston.green > aston.red && aston.green > aston.blue);
    auto redBull = hueOf("TeamRB");
    EXPECT_TRUE(redBull.blue > redBull.red && redBull.blue > redBull.green);
}

// The contact sheet: every image as the screens show it, for a person to look at.
void drawCaption(gfx::Context& context, std::string_view text, gfx::Rect rect) {
    gfx::TextAttributes attributes;
    attributes.font = gfx::Font::systemFont(11);
    attributes.foregroundColor = gfx::Color::secondaryLabel();
    gfx::drawText(context, gfx::AttributedString(text, attributes), rect, {.alignment = gfx::TextAlignment::center});
}

void drawImage(gfx::Context& context, std::string_view name, gfx::Rect rect, std::optional<gfx::Color> tint = {}) {
    auto image = ui::namedImage(name);
    if (!tint) {
        context.drawBitmap(*image->bitmap(), rect, gfx::BitmapPlacement::firstRowAtMinY);
        return;
    }
    context.save();
    context.clipToMask(rect, *image->bitmap(), gfx::BitmapPlacement::firstRowAtMinY);
    context.setFillColor(*tint);
    context.fillRect(rect);
    context.restore();
}

void drawRoundNumber(gfx::Context& context, gfx::Point pin, int number) {
    gfx::TextAttributes attributes;
    attributes.font = gfx::Font::systemFont(12, gfx::FontWeight::bold);
    attributes.foregroundColor = gfx::Color::white();
    double x = number < 10 ? 16.5 : number < 20 ? 13.6 : 13.0;
    gfx::TextLayout::make(gfx::AttributedString(std::to_string(number), attributes))
        .draw(context, {pin.x + x, pin.y + 13});
}

void drawWindmillScene(gfx::Context& context, gfx::Rect card, double turn) {
    context.setFillColor(gfx::Color::white());
    context.fillRect(card);
    auto tint = gfx::Color::systemGray4();
    drawImage(context, "windmillLand", {card.minX(), card.maxY() - 20, card.width(), 20}, tint);
    for (auto [size, right] : {std::pair{80.0, 20.0}, {60.0, 70.0}, {40.0, 120.0}}) {
        gfx::Rect tower{card.maxX() - right - size, card.maxY() - size, size, size};
        drawImage(context, "windmillBase", tower, tint);
        context.save();
        context.translateBy(tower.midX(), tower.minY());
        context.rotateBy(turn * size);
        drawImage(context, "windmillFan", {-size / 2, -size / 2, size, size}, tint);
        context.restore();
    }
}

TEST(AssetCatalogTest, contactSheetIsWrittenWhenAsked) {
    if (!std::getenv("SORVANE_ASSET_CONTACT_SHEET")) GTEST_SKIP() << "set SORVANE_ASSET_CONTACT_SHEET to write it";
    gfx::ImageRenderer renderer({760, 760}, {.scale = 2});
    auto sheet = renderer.image([](gfx::Context& context) {
        context.setFillColor(gfx::Color::systemGray6());
        context.fillRect({0, 0, 760, 760});
        double x = 10, y = 10;
        // Every image as drawn (templates in the label colour), captioned.
        for (auto name : ui::namedImageNames()) {
            auto size = ui::namedImage(name)->size();
            if (x + size.width + 20 > 760) {
                x = 10;
                y += 112;
            }
            context.setFillColor(gfx::Color::white());
            context.fillRect({x, y, size.width + 20, 108});
            auto tint = ui::namedImageIsTemplate(name) ? std::optional(gfx::Color::label()) : std::nullopt;
            drawImage(context, name, {x + 10, y + 8, size.width, size.height}, tint);
            drawCaption(context, name, {x, y + 92, size.width + 20, 14});
            x += size.width + 30;
        }
        y += 112;
        // As the screens show them: the weather card's windmills, numbered pins, the header animations.
        drawWindmillScene(context, {10, y, 380, 130}, 0.004);
        drawCaption(context, "weather card", {10, y + 2, 120, 14});
        double pinX = 400;
        for (int number : {3, 12, 23}) {
            drawImage(context, number == 3 ? "annotationOld" : "annotation", {pinX, y, 42, 42});
            drawRoundNumber(context, {pinX, y}, number);
            pinX += 50;
        }
        context.setFillColor(*ui::namedColor("dirtyBrown"));
        context.fillRect({400, y + 50, 350, 80});
        drawImage(context, "RBCar", {560, y + 52, 360, 80});
        context.setFillColor(gfx::Color::systemOrange());
        context.fillRect({560, y, 190, 46});
        drawImage(context, "Tyre", {690, y + 2, 42, 42});
        y += 140;
        // Colour swatches.
        x = 10;
        for (auto name : ui::namedColorNames()) {
            context.setFillColor(*ui::namedColor(name));
            context.fillRect({x, y, 44, 30});
            drawCaption(context, name, {x - 4, y + 32, 52, 14});
            x += 50;
        }
        // Team marks in the round picture view of a standings row.
        y += 56;
        x = 10;
        for (auto name : ui::namedImageNames()) {
            if (!name.starts_with("Team")) continue;
            context.save();
            gfx::Path round;
            round.addEllipse({x, y, 50, 50});
            context.clip(round);
            drawImage(context, name, {x, y, 50, 50});
            context.restore();
            x += 60;
        }
    });
    auto png = gfx::encodePng(sheet.bitmap);
    ASSERT_TRUE(png.has_value());
    std::filesystem::path path = std::filesystem::path(SORVANE_SOURCE_DIR) / "build" / "asset-contact-sheet.png";
    std::filesystem::create_directories(path.parent_path());
    std::ofstream file(path, std::ios::binary);
    file.write(reinterpret_cast<const char*>(png->data()), png->size());
    EXPECT_TRUE(file.good()) << path;
}

}  // namespace
