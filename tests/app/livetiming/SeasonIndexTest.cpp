#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "data/GlobalStruct.h"
#include "dispatch/Queue.h"
#include "dispatch/RunLoop.h"
#include "dispatch/Task.h"
#include "livetiming/SeasonIndex.h"

namespace {

std::string indexOf(const std::string& year) {
    return R"({"Year":)" + year + R"(,"Meetings":[{"Sessions":[],"Key":1,"Code":"","Number":1,"Location":"",)"
           R"("OfficialName":"","Name":"Race of )" + year + R"(","Country":{"Key":1,"Code":"","Name":""},)"
           R"("Circuit":{"Key":1,"ShortName":""}}]})";
}

// The feed's index documents, counting the reads; "broken" answers with no JSON.
class CountingFeed {
public:
    SeasonIndex::Read read() {
        return [this](std::string year) -> dispatch::Task<Loaded> {
            reads.push_back(year);
            co_return Loaded(foundation::Data::fromString(year == "broken" ? "<html>" : indexOf(year)));
        };
    }
    std::vector<std::string> reads;
};

// Asks for the index of each year at once, as the map and the sheet do, and waits for every answer.
std::vector<std::string> askTogether(const std::vector<std::string>& years, const SeasonIndex::Read& read) {
    std::vector<std::string> answers(years.size());
    std::size_t answered = 0;
    for (std::size_t index = 0; index < years.size(); ++index) {
        dispatch::spawn(dispatch::Queue::main(), [&, index]() -> dispatch::Task<void> {
            auto meetings = co_await SeasonIndex::meetings(years[index], read);
            answers[index] = meetings ? (meetings->empty() ? "" : meetings->front().name) : "error";
            ++answered;
        });
    }
    dispatch::RunLoop::main()->runUntil([&] { return answered == years.size(); }, 10);
    return answers;
}

TEST(SeasonIndex, oneReadServesEveryAskOfTheSameSeasonLoad) {
    CountingFeed feed;
    GlobalStruct::beginSeasonLoad("2023");
    EXPECT_EQ(askTogether({"2023", "2023"}, feed.read()), (std::vector<std::string>{"Race of 2023", "Race of 2023"}));
    EXPECT_EQ(askTogether({"2023"}, feed.read()), (std::vector<std::string>{"Race of 2023"}));
    EXPECT_EQ(feed.reads, (std::vector<std::string>{"2023"})) << "the sheet and the map share one read";

    // Another season, or the same one loaded again, reads again.
    EXPECT_EQ(askTogether({"2022"}, feed.read()), (std::vector<std::string>{"Race of 2022"}));
    GlobalStruct::beginSeasonLoad("2022");
    EXPECT_EQ(askTogether({"2022", "2022"}, feed.read()), (std::vector<std::string>{"Race of 2022", "Race of 2022"}));
    EXPECT_EQ(feed.reads, (std::vector<std::string>{"2023", "2022", "2022"}));
}

TEST(SeasonIndex, aFailedReadAnswersItsWaitersAndIsNotKept) {
    CountingFeed feed;
    GlobalStruct::beginSeasonLoad("broken");
    EXPECT_EQ(askTogether({"broken", "broken"}, feed.read()), (std::vector<std::string>{"error", "error"}));
    EXPECT_EQ(askTogether({"broken"}, feed.read()), (std::vector<std::string>{"error"}));
    EXPECT_EQ(feed.reads, (std::vector<std::string>{"broken", "broken"}));
}

TEST(SeasonIndex, aReadOvertakenByANewerLoadStillAnswersItsOwnWaiters) {
    CountingFeed feed;
    GlobalStruct::beginSeasonLoad("2021");
    std::string first;
    bool done = false;
    dispatch::spawn(dispatch::Queue::main(), [&]() -> dispatch::Task<void> {
        auto meetings = co_await SeasonIndex::meetings("2021", feed.read());
        first = meetings && !meetings->empty() ? meetings->front().name : "error";
        done = true;
    });
    // The newer load begins before the first read has run.
    dispatch::RunLoop::main()->runOnce();
    GlobalStruct::beginSeasonLoad("2021");
    EXPECT_EQ(askTogether({"2021"}, feed.read()), (std::vector<std::string>{"Race of 2021"}));
    dispatch::RunLoop::main()->runUntil([&] { return done; }, 10);
    EXPECT_EQ(first, "Race of 2021");
}

}  // namespace
