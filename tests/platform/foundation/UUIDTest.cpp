#include <gtest/gtest.h>

#include <unordered_set>

#include "foundation/UUID.h"

using namespace foundation;

TEST(UUID, RandomIdentifiersAreVersion4AndDistinct) {
    std::unordered_set<UUID> seen;
    for (int index = 0; index < 100; ++index) {
        UUID uuid = UUID::random();
        std::string text = uuid.uuidString();
        ASSERT_EQ(text.size(), 36u);
        EXPECT_EQ(text[14], '4');
        EXPECT_NE(std::string_view("89AB").find(text[19]), std::string_view::npos);
        EXPECT_EQ(text.find_first_of("abcdef"), std::string::npos);
        seen.insert(uuid);
    }
    EXPECT_EQ(seen.size(), 100u);
}

TEST(UUID, ParsesEitherCaseAndRejectsOtherForms) {
    auto uuid = UUID::fromString("e621e1f8-c36c-495a-93fc-0c247a3e6e5f");
    ASSERT_TRUE(uuid);
    EXPECT_EQ(uuid->uuidString(), "E621E1F8-C36C-495A-93FC-0C247A3E6E5F");
    EXPECT_EQ(UUID::fromString(uuid->uuidString()), uuid);
    EXPECT_EQ(uuid->bytes()[0], 0xE6);
    for (std::string_view text : {"", "E621E1F8C36C495A93FC0C247A3E6E5F", "E621E1F8-C36C-495A-93FC-0C247A3E6E5",
                                  "{E621E1F8-C36C-495A-93FC-0C247A3E6E5F}", "G621E1F8-C36C-495A-93FC-0C247A3E6E5F",
                                  "E621E1F8-C36C+495A-93FC-0C247A3E6E5F"}) {
        EXPECT_EQ(UUID::fromString(text), std::nullopt) << text;
    }
}
