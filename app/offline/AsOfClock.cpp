#include "offline/AsOfClock.h"

#include <algorithm>
#include <functional>
#include <optional>

#include "data/RaceModels.h"
#include "foundation/Clock.h"
#include "foundation/DateFormatter.h"
#include "foundation/JSONDecoder.h"
#include "foundation/JSONEncoder.h"
#include "foundation/Locale.h"
#include "livetiming/DriverOfTheDayModel.h"
#include "net/SnapshotProtocol.h"
#include "shell/RaceTiming.h"
#include "weekend/WeekendSessions.h"

namespace fs = std::filesystem;

namespace {

std::optional<std::vector<RacesDetailsModel>> calendarIn(const fs::path& file) {
    // Through the snapshot's own reader, so a damaged folder's huge file is refused unread here too.
    auto text = net::readSnapshotFile(file);
    if (!text) return std::nullopt;
    auto decoded = foundation::JSONDecoder().decode<RaceModel>(foundation::Data::fromString(*text));
    if (!decoded) return std::nullopt;
    return std::move(decoded->data.raceTable.races);
}

// What a results service answers for a season with no finished round: a table with no list.
std::string emptyStandings(const std::string& season) {
    return R"({"MRData":{"xmlns":"","series":"f1","limit":"30","offset":"0","total":"0","StandingsTable":{"season":")" +
           season + R"(","StandingsLists":[]}}})";
}

std::optional<foundation::Date> itemDate(std::string_view item, const foundation::DateFormatter& formatter) {
    auto open = item.find("<pubDate>");
    auto close = item.find("</pubDate>");
    if (open == std::string_view::npos || close == std::string_view::npos || close < open) return std::nullopt;
    return formatter.date(std::string(item.substr(open + 9, close - open - 9)));
}

net::ProtocolAnswer withBody(net::ProtocolAnswer answer, std::string body) {
    answer.response.expectedContentLength = static_cast<std::int64_t>(body.size());
    answer.response.headers.set("Content-Length", std::to_string(body.size()));
    answer.body = foundation::Data::fromString(body);
    return answer;
}

// A recorded answer whose body, when it is one (status 200), is rewritten as of the current clock.
net::ProtocolHandler bodyAsOfClock(net::ProtocolHandler recorded,
                                   std::function<std::string(std::string_view, foundation::Date)> asOf) {
    return [recorded = std::move(recorded), asOf = std::move(asOf)](
               const net::Request& request) -> std::expected<net::ProtocolAnswer, net::URLError> {
        auto answer = recorded(request);
        if (!answer || answer->response.statusCode != 200) return answer;
        std::string body(answer->body.view());
        return withBody(std::move(*answer), asOf(body, foundation::Clock::current()->now()));
    };
}

}  // namespace

StandingsAsOf standingsAsOf(const fs::path& results, std::string_view requestPath, foundation::Date now,
                            const std::set<std::string>* listed) {
    auto slash = requestPath.find('/');
    if (slash == std::string_view::npos) return {};
    std::string season(requestPath.substr(0, slash));
    std::string file(requestPath.substr(slash + 1));
    if (file != "driverStandings.json" && file != "constructorStandings.json") return {};
    auto races = calendarIn(results / (season + ".json"));
    if (!races || races->empty()) return {};
    season = races->front().season;  // "current" names the calendar's own season

    // The latest round finished by now whose table the snapshot holds; a season wholly run whose last
    // round is not held on its own keeps its recorded table.
    bool anyFinished = false, allFinished = true, lastHeld = false;
    std::optional<std::string> latestHeld;
    for (const auto& race : *races) {
        if (RaceTiming::phase(race, now) != RacePhase::finished) {
            allFinished = false;
            continue;
        }
        anyFinished = true;
        std::string path = season + "/" + race.round + "/" + file;
        std::error_code error;
        lastHeld = fs::is_regular_file(results / path, error) || (listed && listed->contains(path));
        if (lastHeld) latestHeld = path;
    }
    if (!anyFinished) return {StandingsAsOf::Kind::noneYet, {}, season};
    if (allFinished && !lastHeld) return {StandingsAsOf::Kind::otherFile, season + "/" + file, {}};
    if (latestHeld) return {StandingsAsOf::Kind::otherFile, *latestHeld, {}};
    return {StandingsAsOf::Kind::notHeld, {}, {}};
}

std::string feedAsOf(std::string_view rss, foundation::Date now) {
    // One formatter for the feed's items: making one is the costly part of reading a date.
    foundation::DateFormatter formatter;
    formatter.setLocale(foundation::Locale("en_US_POSIX"));
    formatter.setDateFormat("E, dd MMM yyyy HH:mm:ss Z");
    std::string kept;
    std::size_t from = 0;
    while (true) {
        auto open = rss.find("<item>", from);
        auto close = open == std::string_view::npos ? open : rss.find("</item>", open);
        if (close == std::string_view::npos) break;
        close += 7;
        kept += rss.substr(from, open - from);
        auto item = rss.substr(open, close - open);
        auto date = itemDate(item, formatter);
        if (!date || *date <= now) kept += item;
        else if (close < rss.size() && rss[close] == '\n') ++close;
        from = close;
    }
    kept += rss.substr(from);
    return kept;
}

std::string pollsAsOf(std::string_view polls, const fs::path& calendar, foundation::Date now) {
    auto decoded = foundation::JSONDecoder().decode<livetiming::DriverOfTheDayModel>(foundation::Data::fromString(std::string(polls)));
    if (!decoded) return std::string(polls);
    auto races = calendarIn(calendar).value_or(std::vector<RacesDetailsModel>{});
    std::erase_if(decoded->data, [&](const livetiming::DriverOfTheDayDataModel& poll) {
        auto race = std::ranges::find(races, poll.grandPrixName, &RacesDetailsModel::raceName);
        return race == races.end() || !weekend::pollsCover(*race, now) || RaceTiming::phase(*race, now) != RacePhase::finished;
    });
    auto encoded = foundation::JSONEncoder().encode(*decoded);
    return encoded ? std::string(encoded->view()) : std::string(polls);
}

net::ProtocolHandler resultsAsOfClock(net::ProtocolHandler recorded, fs::path results,
                                      std::shared_ptr<const std::set<std::string>> listed) {
    return [recorded = std::move(recorded), results = std::move(results), listed = std::move(listed)](
               const net::Request& request) -> std::expected<net::ProtocolAnswer, net::URLError> {
        constexpr std::string_view prefix = "/api/f1/";
        std::string path = request.url ? request.url->path() : std::string();
        if (!path.starts_with(prefix)) return recorded(request);
        auto asOf = standingsAsOf(results, std::string_view(path).substr(prefix.size()), foundation::Clock::current()->now(),
                                   listed.get());
        switch (asOf.kind) {
            case StandingsAsOf::Kind::asRecorded: return recorded(request);
            case StandingsAsOf::Kind::notHeld: return net::statusPage(request, 404);
            case StandingsAsOf::Kind::noneYet: {
                auto answer = recorded(request);
                if (!answer || answer->response.statusCode != 200) return answer;
                return withBody(std::move(*answer), emptyStandings(asOf.season));
            }
            case StandingsAsOf::Kind::otherFile: {
                auto url = foundation::URL::fromString(request.url->scheme().value_or("http") + "://" +
                                                       request.url->host().value_or("") + std::string(prefix) + asOf.path);
                if (!url) return net::statusPage(request, 404);
                net::Request held = request;
                held.url = std::move(url);
                auto answer = recorded(held);
                if (answer) answer->response.url = request.url;
                return answer;
            }
        }
        return recorded(request);
    };
}

net::ProtocolHandler feedAsOfClock(net::ProtocolHandler recorded) {
    return bodyAsOfClock(std::move(recorded), &feedAsOf);
}

net::ProtocolHandler pollsAsOfClock(net::ProtocolHandler recorded, fs::path calendar) {
    return bodyAsOfClock(std::move(recorded), [calendar = std::move(calendar)](std::string_view polls, foundation::Date now) {
        return pollsAsOf(polls, calendar, now);
    });
}
