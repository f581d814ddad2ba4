#include <gtest/gtest.h>

#include "data/GlobalStruct.h"

namespace {

RacesDetailsModel race(std::string round) {
    RacesDetailsModel record;
    record.round = std::move(round);
    return record;
}

TEST(GlobalStruct, listsStartEmptyAndAreReplacedWhole) {
    EXPECT_TRUE(GlobalStruct::meetings().empty());
    GlobalStruct::races() = {race("1"), race("2"), race("3")};
    GlobalStruct::races() = {race("1")};
    ASSERT_EQ(GlobalStruct::races().size(), 1u);
    EXPECT_EQ(GlobalStruct::races().front().round, "1");
    GlobalStruct::races() = {};
}

}  // namespace

namespace {

RacesDetailsModel raceOf(std::string season) {
    RacesDetailsModel record;
    record.season = std::move(season);
    return record;
}

livetiming::Meeting meetingNamed(std::string name) {
    livetiming::Meeting meeting;
    meeting.name = std::move(name);
    return meeting;
}

// Puts the lists back as at launch, for the tests that run after in the same process.
struct ForgetSeasonAfterwards {
    ~ForgetSeasonAfterwards() {
        GlobalStruct::storeRaces(GlobalStruct::beginSeasonLoad(""), {});
        GlobalStruct::meetings().clear();
    }
};

TEST(GlobalStruct, aSlowAnswerForAnOlderYearPickIsDropped) {
    ForgetSeasonAfterwards forget;
    auto first = GlobalStruct::beginSeasonLoad("2021");
    auto second = GlobalStruct::beginSeasonLoad("2023");
    EXPECT_TRUE(GlobalStruct::storeRaces(second, {raceOf("2023")}));
    EXPECT_TRUE(GlobalStruct::storeMeetings(second, "2023", {meetingNamed("Bahrain Grand Prix")}));

    EXPECT_FALSE(GlobalStruct::storeRaces(first, {raceOf("2021"), raceOf("2021")}));
    EXPECT_FALSE(GlobalStruct::storeMeetings(first, "2021", {meetingNamed("Dutch Grand Prix")}));
    ASSERT_EQ(GlobalStruct::races().size(), 1u);
    EXPECT_EQ(GlobalStruct::races()[0].season, "2023");
    EXPECT_EQ(GlobalStruct::meetings().at(0).name, "Bahrain Grand Prix");
}

TEST(GlobalStruct, aFailedIndexLeavesNoMeetingsOfTheSeasonBefore) {
    ForgetSeasonAfterwards forget;
    auto earlier = GlobalStruct::beginSeasonLoad("2022");
    GlobalStruct::storeRaces(earlier, {raceOf("2022")});
    GlobalStruct::storeMeetings(earlier, "2022", {meetingNamed("Bahrain Grand Prix")});

    auto pick = GlobalStruct::beginSeasonLoad("2023");
    GlobalStruct::storeRaces(pick, {raceOf("2023")});
    GlobalStruct::indexFailed(pick);
    EXPECT_TRUE(GlobalStruct::meetings().empty());
    EXPECT_EQ(GlobalStruct::racesSeason(), "2023");
    EXPECT_EQ(GlobalStruct::meetingsSeason(), "");
}

TEST(GlobalStruct, aFailedIndexKeepsMeetingsThatMatchTheRacesShown) {
    ForgetSeasonAfterwards forget;
    auto load = GlobalStruct::beginSeasonLoad("2023");
    GlobalStruct::storeRaces(load, {raceOf("2023")});
    GlobalStruct::storeMeetings(load, "2023", {meetingNamed("Bahrain Grand Prix")});

    // The next pick fails for both lists: what is shown stays consistent with itself.
    auto failed = GlobalStruct::beginSeasonLoad("2010");
    GlobalStruct::indexFailed(failed);
    EXPECT_EQ(GlobalStruct::meetings().size(), 1u);
    EXPECT_EQ(GlobalStruct::racesSeason(), GlobalStruct::meetingsSeason());
}

}  // namespace
