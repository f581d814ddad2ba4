#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>
#include <vector>

#include "foundation/Print.h"
#include "gfx/Context.h"
#include "PixelProbe.h"
#include "map/BaseMap.h"

namespace {

gfx::Color pixelAt(const gfx::Context& context, const map::Viewport& viewport, map::Coordinate coordinate) {
    return maptest::pixel(context.makeImage(), viewport.point(coordinate), context.scale());
}

using maptest::near;

std::shared_ptr<gfx::Context> render(map::CoordinateRegion region, const map::LandShapes& land, map::Viewport& viewport) {
    viewport = map::Viewport({390, 844});
    viewport.setRegion(region);
    auto context = gfx::Context::create(viewport.size(), {.scale = 2});
    map::drawBaseMap(*context, viewport, land);
    return context;
}

TEST(BaseMapTest, ShippedCoastlineLoads) {
    auto land = map::LandShapes::shared();
    ASSERT_FALSE(land->empty());
    const auto& levels = land->levels();
    ASSERT_GT(levels.size(), 1u);
    EXPECT_GT(levels.front().rings.size(), 1000u);
    // Coarser levels keep fewer points.
    auto points = [](const map::LandShapes::Level& level) {
        std::size_t total = 0;
        for (const auto& ring : level.rings) total += ring.points.size();
        return total;
    };
    EXPECT_LT(points(levels.back()), points(levels.front()) / 10);
    EXPECT_EQ(&land->levelFor(0), &levels.front());
    EXPECT_EQ(&land->levelFor(1e12), &levels.back());
}

TEST(BaseMapTest, LandAndSeaFallWhereTheWorldHasThem) {
    auto land = map::LandShapes::shared();
    map::BaseMapStyle style;
    map::Viewport viewport;
    // Probes stay off the graticule's 10-degree lines.
    // The whole world, a continent, and a circuit a few kilometres across, at every zoom.
    auto world = render({{20, 10}, {150, 150}}, *land, viewport);
    EXPECT_TRUE(near(pixelAt(*world, viewport, {4, -33}), style.sea));        // Atlantic
    EXPECT_TRUE(near(pixelAt(*world, viewport, {5, 22}), style.land));        // central Africa
    EXPECT_TRUE(near(pixelAt(*world, viewport, {48.5, 9}), style.land));      // southern Germany
    EXPECT_TRUE(near(pixelAt(*world, viewport, {42, 50.5}), style.sea));      // the Caspian, a sea inside land
    auto europe = render({{48, 10}, {30, 30}}, *land, viewport);
    EXPECT_TRUE(near(pixelAt(*europe, viewport, {48.5, 9}), style.land));
    EXPECT_TRUE(near(pixelAt(*europe, viewport, {39, 5}), style.sea));       // Balearic Sea
    auto spa = render({{50.437, 5.971}, {0.03, 0.03}}, *land, viewport);
    EXPECT_TRUE(near(pixelAt(*spa, viewport, {50.437, 5.971}), style.land));
    auto pacific = render({{-11, -151}, {0.05, 0.05}}, *land, viewport);
    EXPECT_TRUE(near(pixelAt(*pacific, viewport, {-11, -151}), style.sea));
}

TEST(BaseMapTest, LandAcrossTheDateLineIsDrawnOnBothSides) {
    auto land = map::LandShapes::shared();
    map::BaseMapStyle style;
    map::Viewport viewport;
    auto chukotka = render({{66, 180}, {20, 20}}, *land, viewport);
    EXPECT_TRUE(near(pixelAt(*chukotka, viewport, {67, 175}), style.land));
    EXPECT_TRUE(near(pixelAt(*chukotka, viewport, {66, -172}), style.land) ||
                near(pixelAt(*chukotka, viewport, {65, -175}), style.land));
}

TEST(BaseMapTest, CorruptDataIsRefusedWithoutCrashing) {
    EXPECT_FALSE(map::LandShapes::decode({}).has_value());
    std::vector<std::uint8_t> bytes(8 + 8, 0);
    std::memcpy(bytes.data(), "SVLAND01", 8);
    bytes[8] = 0xFF;  // a ring count the file cannot hold
    EXPECT_FALSE(map::LandShapes::decode(bytes).has_value());
    std::ifstream file(map::LandShapes::defaultPath(), std::ios::binary);
    std::vector<std::uint8_t> whole{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
    ASSERT_TRUE(map::LandShapes::decode(whole).has_value());
    whole.resize(whole.size() / 2);
    EXPECT_FALSE(map::LandShapes::decode(whole).has_value());
    EXPECT_FALSE(map::LandShapes::load("/nonexistent/land.bin").has_value());
}

}  // namespace

TEST(LandShapesFile, aTruncatedFileIsReportedNotDrawnAsSea) {
    std::string pattern = (std::filesystem::temp_directory_path() / "sorvane-land-XXXXXX").string();
    ASSERT_TRUE(::mkdtemp(pattern.data()));
    const std::filesystem::path folder = pattern;
    std::ifstream whole(map::LandShapes::defaultPath(), std::ios::binary);
    std::string bytes{std::istreambuf_iterator<char>(whole), std::istreambuf_iterator<char>()};
    ASSERT_GT(bytes.size(), 1000u);
    std::ofstream(folder / "land.bin", std::ios::binary) << bytes.substr(0, bytes.size() / 2);

    foundation::ConsoleCapture console;
    auto cut = map::LandShapes::loadOrReport(folder / "land.bin");
    EXPECT_TRUE(cut->levels().empty() || cut->levels().front().rings.empty());
    EXPECT_NE(console.text().find("Map: the land shapes in " + (folder / "land.bin").string() + " could not be read ("),
              std::string::npos) << console.text();
    EXPECT_NE(console.text().find("the map shows no land"), std::string::npos);

    foundation::ConsoleCapture quiet;
    EXPECT_FALSE(map::LandShapes::loadOrReport(map::LandShapes::defaultPath())->levels().empty());
    EXPECT_EQ(quiet.text(), "");
    std::filesystem::remove_all(folder);
}
