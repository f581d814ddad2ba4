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
