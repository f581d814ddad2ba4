#include <gtest/gtest.h>

#include <memory>
#include <variant>

#include "quartz/Layer.h"
#include "standings-news/SheetRows.h"
#include "ui/TableView.h"
#include "weekend/DetailCards.h"

namespace {

circuitDetailsOverviewModel baku() {
    circuitDetailsOverviewModel facts;
    facts.id = "Baku";
    facts.name = "Baku";
    facts.trackLength = "6.003";
    facts.trackDistance = "306.049";
    facts.lapCount = 51;
    facts.cornerCount = 20;
    facts.firstOpened = "2016";
    facts.firstGrandPrix = "2016";
    return facts;
}

TEST(DetailCards, theCircuitCardShowsTheFactsAndAReusedCardWithoutFactsKeepsNoneOfThem) {
    auto cell = std::make_shared<CircuitDetailsCell>();
    fillCircuitTitles(*cell);
    EXPECT_EQ(cell->infoTitle->text(), "Track Details");
    ASSERT_TRUE(cell->lapCountTitle->attributedText());
    EXPECT_NE(cell->lapCountTitle->attributedText()->string().find(" Laps"), std::string::npos);
    ASSERT_TRUE(cell->firstGrandPrixTitle->attributedText());
    EXPECT_NE(cell->firstGrandPrixTitle->attributedText()->string().find(" First GP"), std::string::npos);

    auto facts = baku();
    fillCircuitFigures(*cell, &facts, "1");
    EXPECT_EQ(cell->trackLength->text(), "6.003");
    EXPECT_EQ(cell->trackDistance->text(), "306.049");
    EXPECT_EQ(cell->lapCount->text(), "51");
    EXPECT_EQ(cell->cornerCount->text(), "20");
    EXPECT_EQ(cell->firstOpened->text(), "2016");

    // The same cell reused for a circuit without facts: the counts read the screen's placeholder.
    fillCircuitFigures(*cell, nullptr, "0");
    for (const auto& label : {cell->trackLength, cell->trackDistance, cell->firstOpened, cell->firstGrandPrix}) {
        EXPECT_EQ(label->text(), "");
    }
    EXPECT_EQ(cell->lapCount->text(), "0");
    EXPECT_EQ(cell->cornerCount->text(), "0");
}

TEST(DetailCards, theWeatherCaptionsFollowTheWindChoiceAndTheFansTurnOnceEach) {
    auto cell = std::make_shared<WeatherOverviewCell>();
    fillWeatherTitles(*cell, false);
    ASSERT_TRUE(cell->windSpeedTitle->attributedText());
    EXPECT_NE(cell->windSpeedTitle->attributedText()->string().find(" Wind Speed"), std::string::npos);
    fillWeatherTitles(*cell, true);
    EXPECT_NE(cell->windSpeedTitle->attributedText()->string().find(" Wind Direction"), std::string::npos);

    spinWindmills(*cell, "spin");
    const double durations[] = {2.2, 2.4, 2.6};
    const std::shared_ptr<ui::ImageView> fans[] = {cell->windmillFan, cell->windmillFan2, cell->windmillFan3};
    for (int index = 0; index < 3; ++index) {
        auto turning = fans[index]->layer()->animation("spin");
        ASSERT_TRUE(turning) << index;
        EXPECT_EQ(turning->duration, durations[index]);
        EXPECT_EQ(turning->repeatCount, quartz::BasicAnimation::forever);
        EXPECT_NEAR(std::get<double>(*turning->toValue), 6.2831855, 1e-6);
    }
    // A fan whose animation was taken off starts again; the others keep theirs untouched.
    auto kept = cell->windmillFan2->layer()->animation("spin");
    cell->windmillFan->layer()->removeAnimation("spin");
    spinWindmills(*cell, "spin");
    EXPECT_TRUE(cell->windmillFan->layer()->animation("spin"));
    EXPECT_EQ(cell->windmillFan2->layer()->animation("spin")->beginTime, kept->beginTime);
    EXPECT_EQ(cell->windmillFan2->layer()->animationKeys().size(), 1u);
}

TEST(DetailCards, aScheduleRowNamesTheWeekdayOnlyWhenItIsKnown) {
    auto header = std::make_shared<WeekendHeaderCell>();
    fillWeekendHeader(*header, "Azerbaijan Grand Prix");
    EXPECT_EQ(header->infoTitle->text(), "Weekend Structure");
    EXPECT_EQ(header->infoDescription->text(), "The Azerbaijan Grand Prix weekend at a glance");

    auto cell = std::make_shared<WeekendCell>();
    fillWeekendRow(*cell, {.name = "Race", .day = "30", .month = "Apr", .time = "13:00", .weekday = "Sunday"});
    EXPECT_EQ(cell->event->text(), "Race");
    EXPECT_EQ(cell->day->text(), "30");
    EXPECT_EQ(cell->month->text(), "Apr");
    EXPECT_EQ(cell->time->text(), "13:00, Sunday");

    // A session whose date does not read either: no dangling comma, and the reused row's day goes.
    fillWeekendRow(*cell, weekendSession("Sprint", "not a date", std::nullopt));
    EXPECT_EQ(cell->time->text(), "TBC");
    EXPECT_EQ(cell->day->text(), "");
    EXPECT_EQ(cell->month->text(), "");
}

TEST(DetailCards, cardsAreWhiteWithAFaintSelectionAndTheirSeparatorOnlyWhenAsked) {
    auto cell = std::make_shared<ui::TableViewCell>();
    styleCard(*cell, false);
    EXPECT_GT(cell->separatorInset().left, 1000);
    styleCard(*cell);
    EXPECT_EQ(cell->separatorInset(), ui::EdgeInsets{});
    EXPECT_EQ(cell->backgroundColor(), gfx::Color::systemBackground());
    ASSERT_TRUE(cell->selectedBackgroundView());
    EXPECT_EQ(cell->selectedBackgroundView()->backgroundColor(), gfx::Color::systemBackground().withAlphaComponent(0.2));
}

class SheetTableOwner : public ui::TableViewDataSource, public ui::TableViewDelegate {
public:
    int numberOfSections(ui::TableView&) override { return 1; }
    int numberOfRows(ui::TableView&, int) override { return 0; }
    std::shared_ptr<ui::TableViewCell> cellForRow(ui::TableView&, ui::IndexPath) override { return nullptr; }
};

TEST(DetailCards, aSheetTableHoldsItsOwnerWeaklyAndSizesItsRows) {
    auto table = std::make_shared<ui::TableView>();
    auto owner = std::make_shared<SheetTableOwner>();
    setUpSheetTable(*table, owner, owner);
    EXPECT_EQ(table->dataSource().lock(), owner);
    EXPECT_EQ(table->rowHeight(), ui::TableView::automaticDimension);
    EXPECT_TRUE(table->clipsToBounds());
    EXPECT_FALSE(table->showsVerticalScrollIndicator());
    EXPECT_TRUE(table->tableFooterView());
    owner.reset();
    EXPECT_TRUE(table->dataSource().expired()) << "a sheet's table must not keep its sheet alive";
}

}  // namespace
