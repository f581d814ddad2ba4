#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "data/Decoding.h"
#include "foundation/Print.h"
#include "ConsoleLines.h"

namespace {

constexpr const char* address = "https://feed.test/static/2023/Index.json";

Loaded arrived(const std::string& body) { return Loaded(foundation::Data::fromString(body), address); }

TEST(Decoding, aFailedLoadIsNotDecodedAgainAndABadDocumentNamesItsAddress) {
    foundation::ConsoleCapture console;
    Loaded failed(foundation::Data{}, address, LoadFailure{404, "Not Found"});
    EXPECT_FALSE(decodeLoaded<std::vector<std::string>>(failed));
    EXPECT_EQ(withoutOthersLoads(console.text(), {address}), "") << "the client logged it already";

    EXPECT_FALSE(decodeLoaded<std::vector<std::string>>(arrived("[\"cut")));
    EXPECT_TRUE(console.text().starts_with(std::string("Error decoding result: ") + address + ": dataCorrupted"))
        << console.text();
}

TEST(Decoding, entriesALenientListLeavesOutAreCountedInOneLine) {
    foundation::ConsoleCapture console;
    auto list = decodeLoadedValidItems<std::vector<std::string>>(arrived(R"(["a", 5, "b", null])"));
    ASSERT_TRUE(list);
    EXPECT_EQ(*list, (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(withoutOthersLoads(console.text()), std::string("Left out 2 unreadable entries of ") + address + "\n");

    // A keyframe's marker is no lost entry.
    foundation::ConsoleCapture keyed;
    auto map = decodeLoadedValidItems<std::map<std::string, std::string>>(arrived(R"({"1":"a","_kf":true,"2":3})"));
    ASSERT_TRUE(map);
    EXPECT_EQ(map->size(), 1u);
    EXPECT_EQ(keyed.text(), std::string("Left out 1 unreadable entry of ") + address + "\n");

    foundation::ConsoleCapture whole;
    EXPECT_TRUE(decodeLoadedValidItems<std::vector<std::string>>(arrived(R"(["a"])")));
    EXPECT_EQ(whole.text(), "");
}

}  // namespace
