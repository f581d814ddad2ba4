#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "shell/ShellTestSupport.h"
#include "data/GlobalStruct.h"
#include "data/RaceModels.h"
#include "data/ResultsEndpoints.h"
#include "dispatch/RunLoop.h"
#include "dispatch/Task.h"
#include "foundation/JSONDecoder.h"
#include "foundation/Locale.h"
#include "foundation/TimeZone.h"
#include "livetiming/DriverListPartModel.h"
#include "livetiming/LiveTiming.h"
#include "livetiming/SeasonIndex.h"
#include "offline/OfflineSeason.h"
#include "shell/DriverKey.h"
#include "ui/TableView.h"

namespace sheettest {

inline constexpr const char* bahrainRace = "2023/2023-03-05_Bahrain_Grand_Prix/2023-03-05_Race/";
inline constexpr const char* bakuSprint = "2023/2023-04-30_Azerbaijan_Grand_Prix/2023-04-29_Sprint/";

using shelltest::DriverDictionaries;

// A sheet presented over a plain root on a headless phone, on the offline 2023 season at its "now"
// (Bahrain finished, the Azerbaijan sprint replaying on lap 10), in Amsterdam with an English locale.
// The season is started once for a suite: starting it reads the whole snapshot.
class OfflineSheet : public shelltest::SheetPhone {
protected:
    static void SetUpTestSuite() { startSeasonFrom(OfflineSettings::defaultDataDirectory()); }
    // The season of a data folder: the checkout's, or a copy a suite has damaged.
    static void startSeasonFrom(const std::filesystem::path& dataDirectory) {
        ServiceHosts::setCurrent(ServiceHosts{});
        startFailure().clear();
        OfflineSettings settings;
        settings.dataDirectory = dataDirectory;
        auto started = OfflineSeason::start(settings);
        if (started) season() = std::move(*started);
        else startFailure() = started.error();
    }
    static void TearDownTestSuite() {
        season().stop();
        ServiceHosts::setCurrent(ServiceHosts::fromEnvironment());
    }
    void SetUp() override {
        ASSERT_TRUE(startFailure().empty()) << startFailure();
        foundation::Clock::setCurrent(clock);
        clock->set(season().startedAt());
        SheetPhone::SetUp();
    }

    static OfflineSeason& season() {
        static OfflineSeason started;
        return started;
    }
    static std::string& startFailure() {
        static std::string failure;
        return failure;
    }

    void present(const std::shared_ptr<ui::ViewController>& sheet) { SheetPhone::present(sheet, true); }

    template <class T>
    static T read(dispatch::Task<Loaded> task) {
        auto decoded = foundation::JSONDecoder().decode<T>(dispatch::syncWait(std::move(task)));
        EXPECT_TRUE(decoded) << (decoded ? "" : decoded.error().description());
        return decoded ? std::move(*decoded) : T{};
    }

    // Race `round` of the 2023 calendar.
    static RacesDetailsModel race(int round) {
        auto calendar = read<RaceModel>(RaceSchedules::specificSeason(2023));
        const auto& races = calendar.data.raceTable.races;
        EXPECT_GE(static_cast<int>(races.size()), round);
        return static_cast<int>(races.size()) >= round ? races[round - 1] : RacesDetailsModel{};
    }

    static DriverDictionaries dictionaries(const std::string& session) {
        using DriverList = std::map<std::string, livetiming::DriverListPartModel>;
        return shelltest::dictionariesOf(read<DriverList>(LiveTiming::driverList(session)));
    }

    // Row `row` of `section` as the sheet makes it, on screen or not.
    template <class Cell>
    static std::shared_ptr<Cell> rowOf(ui::TableViewDataSource& sheet, ui::TableView& table, int section, int row) {
        return std::dynamic_pointer_cast<Cell>(sheet.cellForRow(table, {section, row}));
    }

    // Turns the main loop, looking often, until `done` holds (at most `seconds` of real time).
    static bool waitFor(const std::function<bool()>& done, double seconds = 15) {
        for (double waited = 0; waited < seconds; waited += 0.01) {
            if (dispatch::RunLoop::main()->runUntil(done, 0.01)) return true;
        }
        return done();
    }

};

// The season's races stored and the map's read of their live-timing index under way, held back until
// `arrive`: a race opened meanwhile gets no session from the season sheet. Whatever season and index an
// earlier test left is gone first, and the lists hold no season again afterwards.
class HeldSeasonIndex {
public:
    explicit HeldSeasonIndex(std::vector<RacesDetailsModel> races) {
        GlobalStruct::storeRaces(GlobalStruct::beginSeasonLoad(""), {});
        std::string season = races.empty() ? std::string() : races.front().season;
        index_ = dispatch::syncWait(LiveTiming::all(season));
        auto load = GlobalStruct::beginSeasonLoad("");
        GlobalStruct::storeRaces(load, std::move(races));
        SeasonIndex::Read held = [this](std::string) -> dispatch::Task<Loaded> {
            co_return co_await dispatch::awaitCallback<Loaded>([this](std::function<void(Loaded)> resume) { answer_ = resume; });
        };
        dispatch::spawn(dispatch::Queue::main(), [load, season, held]() -> dispatch::Task<void> {
            if (auto meetings = co_await SeasonIndex::meetings(season, held)) GlobalStruct::storeMeetings(load, season, *meetings);
        });
        dispatch::RunLoop::main()->runUntil([this] { return answer_ != nullptr; }, 10);
        EXPECT_TRUE(answer_) << "the index was not asked for";
    }
    ~HeldSeasonIndex() {
        arrive();
        GlobalStruct::storeRaces(GlobalStruct::beginSeasonLoad(""), {});
    }
    HeldSeasonIndex(const HeldSeasonIndex&) = delete;
    HeldSeasonIndex& operator=(const HeldSeasonIndex&) = delete;

    void arrive() {
        if (auto answer = std::exchange(answer_, nullptr)) answer(std::move(index_));
    }
    // The read fails instead, as when the feed cannot be reached.
    void fail() {
        if (auto answer = std::exchange(answer_, nullptr)) answer(Loaded(foundation::Data{}, {}, LoadFailure{503, "Service Unavailable"}));
    }

private:
    Loaded index_;
    std::function<void(Loaded)> answer_;
};

// Whether `console` names a load of a file right under the live-timing static base: a session's files
// lie in its folder, so such a file is no session's (an address built without a session).
inline bool loadedAFileOfNoSession(const std::string& console) {
    const std::string base = LiveTiming::staticBase();
    for (auto at = console.find(base); at != std::string::npos; at = console.find(base, at + 1))
        if (at + base.size() < console.size() && std::isupper(static_cast<unsigned char>(console[at + base.size()]))) return true;
    return false;
}

}  // namespace sheettest
