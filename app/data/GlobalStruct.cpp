#include "data/GlobalStruct.h"

namespace {

struct SeasonState {
    std::uint64_t newestGeneration = 0;
    std::string racesSeason;
    std::string meetingsSeason;
};

SeasonState& state() {
    static SeasonState seasons;
    return seasons;
}

}  // namespace

std::vector<RacesDetailsModel>& GlobalStruct::races() {
    static std::vector<RacesDetailsModel> list;
    return list;
}

std::vector<livetiming::Meeting>& GlobalStruct::meetings() {
    static std::vector<livetiming::Meeting> list;
    return list;
}

SeasonLoad GlobalStruct::beginSeasonLoad(std::string year) { return {++state().newestGeneration, std::move(year)}; }

bool GlobalStruct::isCurrent(const SeasonLoad& load) { return load.generation == state().newestGeneration; }

std::uint64_t GlobalStruct::newestLoadGeneration() { return state().newestGeneration; }

bool GlobalStruct::storeRaces(const SeasonLoad& load, std::vector<RacesDetailsModel> newRaces) {
    if (!isCurrent(load)) return false;
    // The races name their own season; an empty season keeps the year asked for.
    std::string season = newRaces.empty() ? load.year : newRaces.front().season;
    races() = std::move(newRaces);
    state().racesSeason = season;
    if (state().meetingsSeason != season) {
        meetings().clear();
        state().meetingsSeason.clear();
    }
    return true;
}

bool GlobalStruct::storeMeetings(const SeasonLoad& load, std::string indexYear,
                                 std::vector<livetiming::Meeting> newMeetings) {
    if (!isCurrent(load)) return false;
    meetings() = std::move(newMeetings);
    state().meetingsSeason = std::move(indexYear);
    return true;
}

void GlobalStruct::indexFailed(const SeasonLoad& load) {
    if (!isCurrent(load) || state().meetingsSeason == state().racesSeason) return;
    meetings().clear();
    state().meetingsSeason.clear();
}

const std::string& GlobalStruct::racesSeason() { return state().racesSeason; }

const std::string& GlobalStruct::meetingsSeason() { return state().meetingsSeason; }

bool& GlobalStruct::detailsOnScreen() {
    static bool onScreen = false;
    return onScreen;
}

bool& GlobalStruct::sheetIsLarge() {
    static bool large = false;
    return large;
}

std::optional<std::vector<std::string>>& GlobalStruct::offlineSeasons() {
    static std::optional<std::vector<std::string>> seasons;
    return seasons;
}

std::vector<std::string>& GlobalStruct::offlineReplayedSessions() {
    static std::vector<std::string> sessions;
    return sessions;
}
