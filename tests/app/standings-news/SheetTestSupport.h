#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>

#include "cells/DetailHeaderCell.h"
#include "foundation/JSONDecoder.h"
#include "foundation/Locale.h"
#include "foundation/TimeZone.h"
#include "livetiming/DriverListPartModel.h"
#include "shell/DriverKey.h"
#include "offline/OfflineSeason.h"
#include "shell/ShellTestSupport.h"
#include "ui/TableView.h"

namespace sheettest {

// A file of the bundled offline season (data/offline-season).
inline std::string offlineText(const std::string& relative) {
    std::ifstream file(std::string(SORVANE_SOURCE_DIR) + "/data/offline-season/" + relative, std::ios::binary);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

template <class Model>
Model decodeOffline(const std::string& relative) {
    auto decoded = foundation::JSONDecoder().decode<Model>(foundation::Data::fromString(offlineText(relative)));
    EXPECT_TRUE(decoded) << relative;
    return decoded ? std::move(*decoded) : Model{};
}

inline constexpr const char* miamiRace = "livetiming/2023/2023-05-07_Miami_Grand_Prix/2023-05-07_Race/";

using shelltest::DriverDictionaries;

inline DriverDictionaries miamiDrivers() {
    return shelltest::dictionariesOf(
        decodeOffline<std::map<std::string, livetiming::DriverListPartModel>>(std::string(miamiRace) + "DriverList.json"));
}

// A sheet presented over a plain root on the headless phone, in Amsterdam, in English.
class SheetTest : public shelltest::SheetPhone {
protected:
    // The cell the table shows for a row on screen.
    template <class Cell>
    std::shared_ptr<Cell> shown(const std::shared_ptr<ui::TableView>& table, int section, int row) {
        auto cell = std::dynamic_pointer_cast<Cell>(table->cellForRow({section, row}));
        EXPECT_TRUE(cell) << "no cell on screen at section " << section << ", row " << row;
        return cell;
    }

    // Draws the phone into build/<preset>/gallery/<name>.png, for people to look at.
    void writeGallery(const std::string& name) {
        host.snapshot();
        std::filesystem::create_directories(SORVANE_GALLERY_DIR);
        EXPECT_TRUE(host.writePng(std::string(SORVANE_GALLERY_DIR) + "/" + name + ".png"));
    }
    // The colour drawn a few points inside a cell's top left corner (its background where no text is).
    std::optional<gfx::Color> backgroundPixel(const ui::TableViewCell& cell) {
        ui::Point corner = cell.convertPointTo({4, 4}, host.window().get());
        return host.pixel(corner);
    }
    static bool near(std::optional<gfx::Color> drawn, std::optional<gfx::Color> expected) {
        if (!drawn || !expected) return false;
        auto close = [](double a, double b) { return std::abs(a - b) <= 3.0 / 255; };
        return close(drawn->red, expected->red) && close(drawn->green, expected->green) && close(drawn->blue, expected->blue);
    }
};

}  // namespace sheettest
