#include <filesystem>

#include "WeekendTestSupport.h"
#include "cells/DetailHeaderCell.h"
#include "cells/DriverCell.h"
#include "cells/StateCell.h"
#include "gfx/TextMeasurer.h"

namespace {

// The finished-weekend screen as the phone shows it, with the real fonts, drawn into the build's
// gallery/ folder: every tab of Bahrain (the race tab also scrolled to its cards, schedule and
// weather) and the Azerbaijan sprint tab (Bahrain's practice sessions have no top three in the
// snapshot).
class WeekendGallery : public weekendtest::OfflineWeekend {
protected:
    void SetUp() override {
        OfflineWeekend::SetUp();
        gfx::setTextMeasurer(nullptr);
    }

    // The phone's picture after showing `section` of the tab at the top; probes the header's indigo
    // when it shows and a result row's ink.
    void draw(PastDetailsViewController& screen, int tab, int section, const std::string& name) {
        screen.selectEventType(tab);
        settle();
        auto& table = *screen.tableView[tab];
        if (section > 0) table.scrollToRow({section, 0}, ui::TableViewScrollPosition::top, false);
        settle();
        host.snapshot();
        std::filesystem::create_directories(SORVANE_GALLERY_DIR);
        EXPECT_TRUE(host.writePng(std::string(SORVANE_GALLERY_DIR) + "/" + name + ".png"));
        if (section > 0) return;
        auto header = std::dynamic_pointer_cast<DetailHeaderCell>(table.cellForRow({0, 0}));
        ASSERT_TRUE(header) << name;
        auto corner = host.pixel(header->convertPointTo({header->bounds().width() - 4, 4}, nullptr));
        ASSERT_TRUE(corner);
        EXPECT_NEAR(corner->blue, gfx::Color::systemIndigo().blue, 0.1) << name;
        // A tab whose classification is missing shows the state row instead.
        if (table.numberOfRows(2) == 0 || std::dynamic_pointer_cast<StateCell>(table.cellForRow({2, 0}))) return;
        auto first = std::dynamic_pointer_cast<DriverCell>(table.cellForRow({2, 0}));
        ASSERT_TRUE(first) << name;
        auto ink = host.pixel(first->driver->convertPointTo({4, first->driver->bounds().height() / 2}, nullptr));
        EXPECT_FALSE(first->driver->text().empty());
        ASSERT_TRUE(ink);
    }
};

TEST_F(WeekendGallery, everyTabAsThePhoneShowsIt) {
    auto bahrain = open(1);
    draw(*bahrain, 0, 0, "weekend-race");
    draw(*bahrain, 0, 3, "weekend-race-circuit");
    draw(*bahrain, 0, 6, "weekend-race-cards");
    draw(*bahrain, 0, 10, "weekend-race-schedule");
    draw(*bahrain, 1, 0, "weekend-qualifying");
    draw(*bahrain, 3, 0, "weekend-practice-2");
    draw(*bahrain, 4, 0, "weekend-practice-1");
    root->dismiss(false);
    settle();

    auto baku = screenFor(4);
    present(baku);
    ASSERT_TRUE(waitFor([&] { return !baku->p3Results.empty(); }));
    draw(*baku, 2, 0, "weekend-sprint");
}

}  // namespace
