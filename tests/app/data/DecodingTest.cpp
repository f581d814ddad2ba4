#include <gtest/gtest.h>

#include <map>
#include <string>
#include <thread>
#include <vector>

#include "data/Decoding.h"
#include "data/RaceModels.h"
#include "livetiming/DriverListPartModel.h"
#include "livetiming/DriverOfTheDayModel.h"
#include "livetiming/EventsModel.h"
#include "livetiming/PredictionsModel.h"
#include "livetiming/RaceControlMessageModel.h"
#include "livetiming/TeamRadioModel.h"
#include "livetiming/TimingData.h"
#include "livetiming/TopThreeModel.h"
#include "livetiming/TyresModel.h"
#include "livetiming/WeatherModel.h"
#include "dispatch/Task.h"
#include "foundation/Print.h"
#include "ConsoleLines.h"

namespace {

constexpr const char* address = "https://feed.test/static/2023/Index.json";

Loaded arrived(const std::string& body) { return Loaded(foundation::Data::fromString(body), address); }

template <class Model>
std::optional<Model> decoded(Loaded loaded) {
    return dispatch::syncWait(decodeLoaded<Model>(std::move(loaded)));
}
template <class Container>
std::optional<Container> decodedValidItems(Loaded loaded) {
    return dispatch::syncWait(decodeLoadedValidItems<Container>(std::move(loaded)));
}

TEST(Decoding, aFailedLoadIsNotDecodedAgainAndABadDocumentNamesItsAddress) {
    foundation::ConsoleCapture console;
    Loaded failed(foundation::Data{}, address, LoadFailure{404, "Not Found"});
    EXPECT_FALSE(decoded<std::vector<std::string>>(failed));
    EXPECT_EQ(withoutOthersLoads(console.text(), {address}), "") << "the client logged it already";

    EXPECT_FALSE(decoded<std::vector<std::string>>(arrived("[\"cut")));
    EXPECT_TRUE(console.text().starts_with(std::string("Error decoding result: ") + address + ": dataCorrupted"))
        << console.text();
}

TEST(Decoding, entriesALenientListLeavesOutAreCountedInOneLine) {
    foundation::ConsoleCapture console;
    auto list = decodedValidItems<std::vector<std::string>>(arrived(R"(["a", 5, "b", null])"));
    ASSERT_TRUE(list);
    EXPECT_EQ(*list, (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(withoutOthersLoads(console.text()), std::string("Left out 2 unreadable entries of ") + address + "\n");

    // A keyframe's marker is no lost entry.
    foundation::ConsoleCapture keyed;
    auto map = decodedValidItems<std::map<std::string, std::string>>(arrived(R"({"1":"a","_kf":true,"2":3})"));
    ASSERT_TRUE(map);
    EXPECT_EQ(map->size(), 1u);
    EXPECT_EQ(keyed.text(), std::string("Left out 1 unreadable entry of ") + address + "\n");

    foundation::ConsoleCapture whole;
    EXPECT_TRUE(decodedValidItems<std::vector<std::string>>(arrived(R"(["a"])")));
    EXPECT_EQ(whole.text(), "");
}

// Where a document was decoded.
struct DecodedOn {
    std::thread::id thread;

    struct ThisThread {
        static std::thread::id decode(const foundation::DecodingValue&) { return std::this_thread::get_id(); }
        static int encode(const std::thread::id&) { return 0; }
    };
    static constexpr auto codingKeys = std::tuple{foundation::field("at", &DecodedOn::thread, ThisThread{})};
};

// However large a read's document, the caller's thread (a screen's: the main one) only gets the model:
// the decode, and the refusal of a document past the results service's page, happen on the pool.
TEST(Decoding, aReadsDocumentIsDecodedAndRefusedOffTheCallersThread) {
    auto where = decoded<DecodedOn>(arrived(R"({"at": 1})"));
    ASSERT_TRUE(where);
    EXPECT_NE(where->thread, std::this_thread::get_id());

    std::string races = R"({"season":"2023","round":"1","url":"","raceName":"Bahrain Grand Prix","Circuit":{"circuitId":"c","url":"","circuitName":"C","Location":{"lat":"1","long":"2","locality":"L","country":"B"}},"date":"2023-03-05","time":"15:00:00Z"})";
    std::string page = races;
    for (int race = 1; race < 1000; ++race) page += "," + races;
    EXPECT_EQ(decoded<RaceModel>(arrived(R"({"MRData":{"RaceTable":{"Races":[)" + page + "]}}}"))->data.raceTable.races.size(), 1000u);

    foundation::ConsoleCapture console;
    EXPECT_FALSE(decoded<RaceModel>(arrived(R"({"MRData":{"RaceTable":{"Races":[)" + page + "," + races + "]}}}")));
    EXPECT_EQ(console.text(), std::string("Error decoding result: ") + address +
                                  ": dataCorrupted(codingPath: \"\", debugDescription: \"The given data was refused: it "
                                  "holds a list of more than 1000 items.\")\n");
}

// Why `Model` refuses `document`, or "" when it decodes it.
template <class Model>
std::string refusal(const std::string& document) {
    const auto body = foundation::Data::fromString(document);
    foundation::JSONDecoder decoder;
    if constexpr (foundation::json_detail::isStringMap<Model>) {
        auto decoded = decoder.decodeValidItems<Model>(body);
        return decoded ? "" : decoded.error().description();
    } else {
        auto decoded = decoder.decode<Model>(body);
        return decoded ? "" : decoded.error().description();
    }
}

// Every document kind of the live-timing tree (the season index and each session file the screens
// read) and of the polls states limits, as the results API's do: a list one item longer than its
// longest is refused as it is parsed, and its memory is within what one transfer may bring at all
// (how the memory limit refuses is the JSON decoder's own test). Neither needs a key the model knows.
template <class Model>
void expectRefusedPastItsLimits(const char* kind) {
    SCOPED_TRACE(kind);
    constexpr foundation::JSONLimits limits = foundation::jsonLimitsOf<Model>();
    ASSERT_LE(limits.maximumBytes, std::size_t(64) << 20);
    ASSERT_LE(limits.maximumListLength, std::size_t(100'000));
    std::string list = "0";
    for (std::size_t item = 0; item < limits.maximumListLength; ++item) list += ",0";
    EXPECT_NE(refusal<Model>(R"({"Padding":[)" + list + "]}").find("refused: it holds a list of more than"), std::string::npos);
}

TEST(Decoding, everyLiveTimingAndPollsDocumentKindIsRefusedPastItsLimits) {
    expectRefusedPastItsLimits<livetiming::EventsModel>("season index");
    expectRefusedPastItsLimits<livetiming::TimingData>("timing");
    expectRefusedPastItsLimits<livetiming::LapCountModel>("lap count");
    expectRefusedPastItsLimits<livetiming::DriverList>("driver list");
    expectRefusedPastItsLimits<livetiming::WeatherModel>("weather");
    expectRefusedPastItsLimits<livetiming::TyresModel>("tyre stints");
    expectRefusedPastItsLimits<livetiming::RaceControlMessageModel>("officials' messages");
    expectRefusedPastItsLimits<livetiming::TeamRadioModel>("team radio");
    expectRefusedPastItsLimits<livetiming::TopThreeModel>("top three");
    expectRefusedPastItsLimits<livetiming::PredictionsModel>("championship prediction");
    expectRefusedPastItsLimits<livetiming::DriverOfTheDayModel>("polls");

    // A timing document whose values pass its memory, in lists each within the longest allowed.
    constexpr foundation::JSONLimits limits = foundation::jsonLimitsOf<livetiming::TimingData>();
    ASSERT_LE(limits.maximumBytes, std::size_t(64) << 20);
    std::string zeros = "[0";
    for (int item = 1; item < 1'000; ++item) zeros += ",0";
    zeros += "]";
    std::string lists = zeros;
    for (std::size_t bytes = 0; bytes <= limits.maximumBytes; bytes += 1'000 * 2 * sizeof(nlohmann::json)) lists += "," + zeros;
    EXPECT_NE(refusal<livetiming::TimingData>(R"({"Padding":[)" + lists + "]}").find("refused: its values would take more than"),
              std::string::npos);
}

}  // namespace
