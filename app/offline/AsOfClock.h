#pragma once

#include <filesystem>
#include <memory>
#include <set>
#include <string>
#include <string_view>

#include "foundation/Date.h"
#include "net/ProtocolRegistry.h"

// The snapshot is one set of files, but some documents answer "as of now" on the real services: a
// season's latest standings, the news and the driver-of-the-day polls. Offline they answer as of the
// app's clock, so no screen shows what happens after it.

// What a standings request ("<season>/driverStandings.json", "current/constructorStandings.json")
// is answered with as of `now`, from the results folder `results`.
struct StandingsAsOf {
    enum class Kind { asRecorded, otherFile, noneYet, notHeld } kind = Kind::asRecorded;
    std::string path;    // otherFile: the folder-relative file that answers ("2023/4/driverStandings.json")
    std::string season;  // noneYet: the season that has no finished round yet
};
// A round's table counts as held when the folder has it or `listed` (the results folder's files that
// SOURCES.tsv lists, relative to it) names it: a listed file the folder lost answers as damaged, never
// as an earlier round's table.
StandingsAsOf standingsAsOf(const std::filesystem::path& results, std::string_view requestPath, foundation::Date now,
                            const std::set<std::string>* listed = nullptr);

// A feed's RSS text without the items dated after `now` (an item whose date does not read stays).
std::string feedAsOf(std::string_view rss, foundation::Date now);

// The polls document without the polls whose race is not over by `now` (three hours after its start),
// the races read from `calendar`, the season the polls belong to; at a clock in another season none
// is left, the service answering that season's polls. A document that does not read stays as it is.
std::string pollsAsOf(std::string_view polls, const std::filesystem::path& calendar, foundation::Date now);

// The handlers of the results folder, of a feed folder and of the polls folder (its season's calendar
// `calendar`), answering as of the current clock.
net::ProtocolHandler resultsAsOfClock(net::ProtocolHandler recorded, std::filesystem::path results,
                                      std::shared_ptr<const std::set<std::string>> listed = nullptr);
net::ProtocolHandler feedAsOfClock(net::ProtocolHandler recorded);
net::ProtocolHandler pollsAsOfClock(net::ProtocolHandler recorded, std::filesystem::path calendar);
