#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <thread>

#include <nlohmann/json.hpp>

#include "Recorder.h"
#include "foundation/Clock.h"
#include "net/SnapshotProtocol.h"

using namespace net;
namespace fs = std::filesystem;

namespace {

const std::string session = "2023/Baku/Sprint/";

class SnapshotFolderTest : public ::testing::Test {
protected:
    void SetUp() override {
        root = fs::temp_directory_path() / ("snapshot-protocol-" + std::to_string(::getpid()) + "-" +
                                            ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(root);
        write("tree/2023.json", R"({"season":"2023"})");
        write("tree/2023/1/laps.limit=1200.json", R"({"laps":[]})");
        write("tree/Circuit maps/Baku Map.png", "\x89PNG");
        write("tree/v1/polls/index.json", "[]");
        write("tree/rss/f1/news/index.xml", "<rss/>");
        write("tree/rss/press-release", "<rss/>");
        write("tree/TeamRadio/clip.mp3", "ID3");
        write("outside.json", "secret");
        fs::create_symlink(root / "outside.json", root / "tree/escape.json");
        fs::create_symlink(root, root / "tree/up");
    }
    void TearDown() override {
        foundation::Clock::setCurrent(nullptr);
        fs::remove_all(root);
    }
    void write(const std::string& relative, const std::string& bytes) {
        fs::create_directories((root / relative).parent_path());
        std::ofstream(root / relative, std::ios::binary) << bytes;
    }
    std::shared_ptr<SnapshotProtocol> protocol(std::string prefix = "/api/f1/", std::vector<StreamReplaySetting> replays = {}) {
        auto made = SnapshotProtocol::make({.root = root / "tree", .pathPrefix = std::move(prefix),
                                            .fallbackContentType = "application/rss+xml", .replays = std::move(replays)});
        EXPECT_TRUE(made) << made.error();
        return made ? *made : nullptr;
    }
    static ProtocolAnswer get(const SnapshotProtocol& snapshot, const std::string& address, std::string method = "GET") {
        Request request(url(address));
        request.method = std::move(method);
        auto answer = snapshot.answer(request);
        EXPECT_TRUE(answer);
        return answer ? *answer : ProtocolAnswer{};
    }

    fs::path root;
};

TEST_F(SnapshotFolderTest, recordedFilesAnswerWithTheirBytesTypeAndLength) {
    auto results = protocol();
    auto season = get(*results, "http://results.test/api/f1/2023.json");
    EXPECT_EQ(season.response.statusCode, 200);
    EXPECT_EQ(season.body.view(), R"({"season":"2023"})");
    EXPECT_EQ(season.response.mimeType, "application/json");
    EXPECT_EQ(season.response.expectedContentLength, 17);

    auto media = protocol("/");
    auto map = get(*media, "https://media.test/Circuit%20maps/Baku%20Map.png");
    EXPECT_EQ(map.response.statusCode, 200);
    EXPECT_EQ(map.response.mimeType, "image/png");
    EXPECT_EQ(get(*media, "https://media.test/TeamRadio/clip.mp3").response.mimeType, "audio/mpeg");
    auto feed = get(*media, "https://fia.test/rss/press-release");
    EXPECT_EQ(feed.body.view(), "<rss/>");
    EXPECT_EQ(feed.response.mimeType, "application/rss+xml");

    // A query is part of the recorded file's name; doubled slashes are merged as servers do.
    EXPECT_EQ(get(*results, "http://results.test/api/f1/2023/1/laps.json?limit=1200").body.view(), R"({"laps":[]})");
    EXPECT_EQ(get(*results, "http://results.test/api/f1//2023.json").response.statusCode, 200);

    auto head = get(*results, "http://results.test/api/f1/2023.json", "HEAD");
    EXPECT_EQ(head.response.statusCode, 200);
    EXPECT_EQ(head.response.expectedContentLength, 17);
    EXPECT_TRUE(head.body.empty());
}

TEST_F(SnapshotFolderTest, folderAddressesServeTheirIndexFile) {
    auto snapshot = protocol("/");
    auto polls = get(*snapshot, "https://polls.test/v1/polls/");
    EXPECT_EQ(polls.response.statusCode, 200);
    EXPECT_EQ(polls.body.view(), "[]");
    auto news = get(*snapshot, "https://autosport.test/rss/f1/news/");
    EXPECT_EQ(news.body.view(), "<rss/>");
    EXPECT_EQ(news.response.mimeType, "application/xml");

    auto bare = get(*snapshot, "https://polls.test/v1/polls");
    EXPECT_EQ(bare.response.statusCode, 301);
    EXPECT_EQ(bare.response.headers.value("Location"), "/v1/polls/");
    EXPECT_EQ(get(*snapshot, "https://polls.test/v1/").response.statusCode, 404);  // no index there
    EXPECT_EQ(get(*snapshot, "https://polls.test/v1/polls/index.json/").response.statusCode, 404);
}

TEST_F(SnapshotFolderTest, unrecordedPathsAndOtherMethodsAreRefusedLikeAServer) {
    auto snapshot = protocol();
    auto missing = get(*snapshot, "http://results.test/api/f1/2023/2/results.json");
    EXPECT_EQ(missing.response.statusCode, 404);
    EXPECT_EQ(missing.response.mimeType, "text/html");
    EXPECT_FALSE(missing.body.empty());
    EXPECT_FALSE(nlohmann::json::accept(missing.body.view()));
    EXPECT_EQ(get(*snapshot, "http://results.test/other/2023.json").response.statusCode, 404);

    auto post = get(*snapshot, "http://results.test/api/f1/2023.json", "POST");
    EXPECT_EQ(post.response.statusCode, 405);
    EXPECT_EQ(post.response.headers.value("Allow"), "GET, HEAD");
    EXPECT_EQ(get(*snapshot, "http://results.test/api/f1/%E2%28.json").response.statusCode, 400);
}

TEST_F(SnapshotFolderTest, nothingOutsideTheFolderIsEverServed) {
    auto snapshot = protocol("/");
    for (const char* address : {"https://h.test/../outside.json", "https://h.test/%2E%2E/outside.json",
                                "https://h.test/rss/%2e%2e/%2e%2e/outside.json", "https://h.test/%2Foutside.json",
                                "https://h.test/escape.json", "https://h.test/up/outside.json",
                                "https://h.test/2023.json%00.png"}) {
        auto answer = get(*snapshot, address);
        EXPECT_NE(answer.response.statusCode, 200) << address;
        EXPECT_NE(answer.body.view(), "secret") << address;
    }
    EXPECT_FALSE(SnapshotProtocol::make({.root = root / "absent", .replays = {}}));
    // A link that stays inside the folder is followed.
    EXPECT_EQ(get(*snapshot, "https://h.test/up/tree/2023.json").response.statusCode, 200);
}

TEST_F(SnapshotFolderTest, answersReachTasksThroughTheRegistry) {
    auto registry = std::make_shared<ProtocolRegistry>();
    registry->registerHandler("results.test", protocol()->handler());
    SessionConfiguration configuration;
    configuration.protocols = registry;
    auto recorder = std::make_shared<Recorder>();
    auto session = Session::make(configuration, recorder);
    session->dataTask(url("http://results.test/api/f1/2023.json"))->resume();
    ASSERT_TRUE(recorder->waitForCompletions());
    EXPECT_EQ(recorder->outline(), (std::vector<std::string>{"response 200", "data", "complete"}));
}

class ReplayTest : public SnapshotFolderTest {
protected:
    void SetUp() override {
        SnapshotFolderTest::SetUp();
        write("tree/" + session + "TimingData.jsonStream",
              "\xEF\xBB\xBF" "00:00:05.000{\"Lines\":{\"1\":{\"Position\":\"1\"},\"11\":{\"Position\":\"2\"}}}\r\n"
              "00:01:00.000{\"Lines\":{\"1\":{\"Position\":\"2\"},\"11\":{\"Position\":\"1\"}}}\r\n"
              "00:02:00.000{\"Lines\":{\"1\":{\"Position\":\"1\"},\"11\":{\"Position\":\"2\"}}}\r\n");
        write("tree/" + session + "TimingData.json", "static");
        write("tree/" + session + "DriverList.json", R"({"1":{}})");
        snapshot = protocol("/static/", {{.sessionFolder = session, .streamOrigin = origin}});
        foundation::Clock::setCurrent(clock);
    }
    std::string leaderAt(double secondsAfterOrigin) {
        clock->set(origin.addingTimeInterval(secondsAfterOrigin));
        auto answer = get(*snapshot, "https://feed.test/static/" + session + "TimingData.json");
        EXPECT_EQ(answer.response.statusCode, 200);
        EXPECT_TRUE(answer.body.view().starts_with("\xEF\xBB\xBF"));
        auto state = nlohmann::json::parse(answer.body.view().substr(3), nullptr, false);
        for (const auto& [number, line] : state["Lines"].items())
            if (line["Position"] == "1") return number;
        return "";
    }

    foundation::Date origin{704545200};
    std::shared_ptr<foundation::ManualClock> clock = std::make_shared<foundation::ManualClock>();
    std::shared_ptr<SnapshotProtocol> snapshot;
};

TEST_F(ReplayTest, replayedTopicAnswersTheStateAtTheClocksMoment) {
    EXPECT_EQ(leaderAt(30), "1");
    EXPECT_EQ(leaderAt(90), "11");
    EXPECT_EQ(leaderAt(10 * 3600), "1");  // after the end: the final state
    EXPECT_EQ(leaderAt(61), "11");        // the clock may go back
}

TEST_F(ReplayTest, beforeTheOriginTheFirstUpdateIsServedAndOtherTopicsStayStatic) {
    EXPECT_EQ(leaderAt(-3600), "1");
    EXPECT_EQ(get(*snapshot, "https://feed.test/static/" + session + "DriverList.json").body.view(), R"({"1":{}})");
    EXPECT_TRUE(get(*snapshot, "https://feed.test/static/" + session + "TimingData.jsonStream")
                    .body.view().find("00:01:00.000") != std::string_view::npos);
}

// Streams that cannot be replayed as recorded: each is reported, and a topic without a usable stream
// never falls back to its recorded file, which holds the end of the session.
TEST_F(ReplayTest, unusableStreamsAreReportedAndTheirTopicsAreNotServedAsFinished) {
    EXPECT_TRUE(snapshot->warnings().empty());
    write("tree/" + session + "LapCount.jsonStream", "\x1f\x8b\x08 not a stream at all");
    write("tree/" + session + "LapCount.json", R"({"CurrentLap":17,"TotalLaps":17})");
    write("tree/" + session + "TrackStatus.jsonStream", "");
    write("tree/" + session + "TrackStatus.json", R"({"Status":"1"})");
    write("tree/" + session + "WeatherData.jsonStream",
          "00:00:05.000{\"AirTemp\":\"20\"}\r\ngarbage line\r\n00:00:30.000{\"AirTemp\":\"21\"}\r\n00:00:4");
    write("tree/" + session + "WeatherData.json", R"({"AirTemp":"25"})");
    auto damaged = protocol("/static/", {{.sessionFolder = session, .streamOrigin = origin},
                                         {.sessionFolder = "2023/Nowhere/", .streamOrigin = origin}});
    ASSERT_TRUE(damaged);
    clock->set(origin.addingTimeInterval(45));

    for (const char* topic : {"LapCount.json", "TrackStatus.json"}) {
        auto answer = get(*damaged, "https://feed.test/static/" + session + topic);
        EXPECT_EQ(answer.response.statusCode, 503) << topic;
        EXPECT_EQ(answer.body.view().find("17"), std::string_view::npos) << topic;
    }
    // The cut stream replays what it holds up to where it stops, and nothing past it: neither its
    // last line nor the recorded final state passes for now.
    auto weather = get(*damaged, "https://feed.test/static/" + session + "WeatherData.json");
    EXPECT_EQ(weather.response.statusCode, 503);
    EXPECT_EQ(weather.body.view().find("\"25\""), std::string_view::npos);
    clock->set(origin.addingTimeInterval(30));
    weather = get(*damaged, "https://feed.test/static/" + session + "WeatherData.json");
    EXPECT_EQ(weather.response.statusCode, 200);
    EXPECT_NE(weather.body.view().find("\"21\""), std::string_view::npos);
    EXPECT_EQ(leaderAt(90), "11");  // the sound stream beside them is untouched

    std::string warnings;
    for (const auto& warning : damaged->warnings()) warnings += warning + "\n";
    EXPECT_NE(warnings.find("LapCount.jsonStream holds no update"), std::string::npos) << warnings;
    EXPECT_NE(warnings.find("TrackStatus.jsonStream holds no update"), std::string::npos) << warnings;
    EXPECT_NE(warnings.find("WeatherData.jsonStream: 2 unreadable lines skipped"), std::string::npos) << warnings;
    EXPECT_NE(warnings.find("WeatherData.jsonStream is cut short: it stops at 00:00:30 of 00:02:00"), std::string::npos)
        << warnings;
    EXPECT_NE(warnings.find("replayed session 2023/Nowhere/ is not in"), std::string::npos) << warnings;
}

// Starting reads no stream: a damaged one is found, and told once, when its topic is first asked for.
TEST_F(ReplayTest, aStreamIsReadWhenItsTopicIsFirstAskedForAndItsFaultsAreToldOnce) {
    write("tree/" + session + "LapCount.jsonStream", "not a stream");
    std::vector<std::string> told;
    auto made = SnapshotProtocol::make({.root = root / "tree", .pathPrefix = "/static/",
                                        .replays = {{.sessionFolder = session, .streamOrigin = origin}},
                                        .reportWarning = [&](const std::string& warning) { told.push_back(warning); }});
    ASSERT_TRUE(made) << made.error();
    EXPECT_TRUE((*made)->warnings().empty());
    EXPECT_TRUE(told.empty());

    // Mended before anyone asked: the mended stream is what replays.
    write("tree/" + session + "TimingData.jsonStream", "00:00:05.000{\"Lines\":{\"44\":{\"Position\":\"1\"}}}\n");
    clock->set(origin.addingTimeInterval(30));
    auto timing = get(**made, "https://feed.test/static/" + session + "TimingData.json");
    EXPECT_NE(timing.body.view().find("\"44\""), std::string_view::npos);

    EXPECT_TRUE(told.empty());
    EXPECT_EQ(get(**made, "https://feed.test/static/" + session + "LapCount.json").response.statusCode, 503);
    ASSERT_EQ(told.size(), 2u);
    EXPECT_NE(told[0].find("LapCount.jsonStream: 1 unreadable line skipped"), std::string::npos) << told[0];
    EXPECT_NE(told[1].find("LapCount.jsonStream holds no update"), std::string::npos) << told[1];
    EXPECT_EQ(get(**made, "https://feed.test/static/" + session + "LapCount.json").response.statusCode, 503);
    EXPECT_EQ(told.size(), 2u);
    EXPECT_EQ((*made)->warnings(), told);
}

TEST_F(SnapshotFolderTest, errorPagesCarryTheStatusAndItsReason) {
    auto snapshot = protocol();
    auto missing = get(*snapshot, "http://results.test/api/f1/2099.json");
    EXPECT_EQ(missing.response.statusCode, 404);
    EXPECT_NE(missing.body.view().find("<title>404 Not Found</title>"), std::string_view::npos);
    auto refused = statusPage(Request(url("http://results.test/x")), 503);
    EXPECT_EQ(refused.response.statusCode, 503);
    EXPECT_NE(refused.body.view().find("Service Unavailable"), std::string_view::npos);
    EXPECT_EQ(statusText(418), "HTTP 418");
}

}  // namespace

// The network thread may still answer while the process exits: an exit handler registered before the
// content-type table is made runs after that table's exit-time destructor would, and asks on a thread.
TEST(SnapshotProtocolDeathTest, ContentTypesStayReadableAfterExitDestructorsRan) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");  // a fresh process, where the table was not made yet
    EXPECT_EXIT(
        {
            std::atexit([] {
                std::string type;
                std::thread([&] { type = contentTypeForExtension("svg"); }).join();
                std::_Exit(type == "image/svg+xml" ? 0 : 2);
            });
            if (contentTypeForExtension("json") != "application/json") std::_Exit(3);
            std::exit(1);
        },
        ::testing::ExitedWithCode(0), "");
}
