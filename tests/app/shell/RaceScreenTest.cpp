#include <gtest/gtest.h>

#include "ShellTestSupport.h"
#include "data/GlobalStruct.h"
#include "live/LiveViewController.h"
#include "shell/RaceScreen.h"
#include "standings-news/NewsViewController.h"
#include "standings-news/PredictionsViewController.h"
#include "standings-news/StandingsViewController.h"
#include "weekend/PastDetailsViewController.h"
#include "weekend/FutureDetailsViewController.h"

namespace {

class RaceScreens : public ::testing::Test, protected shelltest::HeadlessPhone {
protected:
    void SetUp() override {
        GlobalStruct::detailsOnScreen() = false;
        host.window()->setRootViewController(root);
        settle();
    }
    void TearDown() override { GlobalStruct::detailsOnScreen() = false; }

    // Presents the screen, checks the flag while it is shown, dismisses it and returns the flag after.
    void expectFlagFollows(const std::shared_ptr<ui::ViewController>& screen) {
        root->present(screen, true);
        EXPECT_FALSE(GlobalStruct::detailsOnScreen()) << "set before the screen has appeared";
        settle();
        EXPECT_TRUE(GlobalStruct::detailsOnScreen());
        screen->dismiss(true);
        settle();
        EXPECT_FALSE(GlobalStruct::detailsOnScreen());
    }

    std::shared_ptr<ui::ViewController> root = std::make_shared<ui::ViewController>();
};

TEST_F(RaceScreens, eachRaceScreenMarksDetailsOnScreenFromAppearanceToDisappearance) {
    expectFlagFollows(std::make_shared<FutureDetailsViewController>());
    expectFlagFollows(std::make_shared<LiveViewController>());
    expectFlagFollows(std::make_shared<PastDetailsViewController>());
}

TEST_F(RaceScreens, aSheetOverARaceScreenHidesNothingButItsDismissalOfTheRaceScreenClearsTheFlag) {
    auto race = std::make_shared<PastDetailsViewController>();
    root->present(race, true);
    settle();
    auto standings = std::make_shared<StandingsViewController>();
    race->present(standings, true);
    settle();
    EXPECT_TRUE(GlobalStruct::detailsOnScreen()) << "a sheet keeps the race screen beneath it";
    standings->dismiss(true);
    settle();
    EXPECT_TRUE(GlobalStruct::detailsOnScreen());
    race->dismiss(true);
    settle();
    EXPECT_FALSE(GlobalStruct::detailsOnScreen());
}

TEST_F(RaceScreens, theOtherSheetsLeaveTheFlagAloneOnTheSystemBackground) {
    std::vector<std::shared_ptr<ui::ViewController>> sheets{std::make_shared<NewsViewController>(),
                                                            std::make_shared<StandingsViewController>(),
                                                            std::make_shared<PredictionsViewController>()};
    for (const auto& sheet : sheets) {
        root->present(sheet, true);
        settle();
        EXPECT_FALSE(GlobalStruct::detailsOnScreen());
        EXPECT_EQ(sheet->view()->backgroundColor(), gfx::Color::systemBackground());
        sheet->dismiss(true);
        settle();
    }
}

}  // namespace
