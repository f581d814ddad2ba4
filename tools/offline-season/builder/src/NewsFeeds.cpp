// The five news feeds, written as RSS 2.0 from recorded facts of the season's rounds. The app serves
// each feed without the items dated after its clock, so every round's stories are written.
#include <algorithm>
#include <cctype>

#include "SnapshotSupport.h"
#include "offline_season/SnapshotBuilder.h"

namespace offline_season {
namespace {

using std::chrono::sys_seconds;

struct Feed {
  const char* folder;     // under rss/
  const char* path;       // the feed's path on its host; a trailing "/" is served from "index.xml"
  const char* title;
  const char* linkHost;   // where the items' links point (pages that need not exist)
};

constexpr Feed feeds[] = {
    {"fia", "rss/press-release", "FIA press releases", "fia.news.sorvane.test"},
    {"autosport", "rss/f1/news/index.xml", "AutoSport F1 news", "autosport.news.sorvane.test"},
    {"gpblog", "en/rss", "GPBlog", "gpblog.news.sorvane.test"},
    {"bbc", "sport/formula1/rss.xml", "BBC Sport - Formula 1", "bbc.news.sorvane.test"},
    {"shiftf1", "rss", "ShiftF1 podcast", "shiftf1.news.sorvane.test"},
};

struct Story {
  sys_seconds published;
  std::string title, description, slug, source;
};

std::string nameOf(const Json& driver) { return driver.value("givenName", "") + " " + driver.value("familyName", ""); }

std::string slugOf(std::string text) {
  std::string slug;
  for (unsigned char letter : text) {
    if (std::isalnum(letter)) slug += static_cast<char>(std::tolower(letter));
    else if (!slug.empty() && slug.back() != '-') slug += '-';
  }
  while (!slug.empty() && slug.back() == '-') slug.pop_back();
  return slug;
}

std::string escaped(const std::string& text) {
  std::string out;
  for (char letter : text) {
    switch (letter) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      default: out += letter;
    }
  }
  return out;
}

std::string rssDate(sys_seconds instant) { return instantText(instant, "%a, %d %b %Y %H:%M:%S +0000"); }

std::optional<sys_seconds> sessionStart(const Json& race, const char* session) {
  if (!race.contains(session)) return std::nullopt;
  return readInstant(race[session].value("date", "") + "T" + race[session].value("time", "00:00:00Z"));
}

const Json* rowAt(const Json& rows, const std::string& position) {
  for (const Json& row : rows)
    if (row.value("position", "") == position) return &row;
  return nullptr;
}

// Stories of one round: pole, sprint, race, fastest lap and the standings after it, each dated an
// hour or two after its session began.
void storiesOfRound(const SeasonSnapshot& snapshot, const std::string& season, const Json& race,
                    std::vector<Story>& stories) {
  int round = roundOf(race);
  std::string raceName = race.value("raceName", "");
  auto add = [&](std::optional<sys_seconds> start, std::chrono::minutes after, std::string title,
                 std::string description, const std::string& source) {
    if (!start) return;
    std::string slug = season + "/" + slugOf(title);
    stories.push_back({*start + after, std::move(title), std::move(description), std::move(slug), source});
  };
  using std::chrono::minutes;
  if (auto qualifying = recordedRoundRows(snapshot, season, round, "qualifying"))
    if (const Json* pole = rowAt(qualifying->rows, "1"))
      add(sessionStart(race, "Qualifying"), minutes{90}, nameOf((*pole)["Driver"]) + " takes pole for the " + raceName,
          nameOf((*pole)["Driver"]) + " (" + (*pole)["Constructor"].value("name", "") + ") qualified first for round " +
              std::to_string(round) + " with " + pole->value("Q3", pole->value("Q1", "")) + ".",
          qualifying->source);
  if (auto sprint = recordedRoundRows(snapshot, season, round, "sprint"))
    if (const Json* winner = rowAt(sprint->rows, "1"))
      add(sessionStart(race, "Sprint"), minutes{60}, nameOf((*winner)["Driver"]) + " wins the " + raceName + " sprint",
          nameOf((*winner)["Driver"]) + " (" + (*winner)["Constructor"].value("name", "") + ") won the sprint from grid " +
              winner->value("grid", "") + ".",
          sprint->source);
  if (auto result = recordedRoundRows(snapshot, season, round, "results")) {
    auto start = raceStart(race);
    if (const Json* winner = rowAt(result->rows, "1")) {
      std::string description = nameOf((*winner)["Driver"]) + " (" + (*winner)["Constructor"].value("name", "") +
                                ") won round " + std::to_string(round) + " in " +
                                (*winner).value("Time", Json::object()).value("time", "") + ".";
      const Json* second = rowAt(result->rows, "2");
      const Json* third = rowAt(result->rows, "3");
      if (second && third)
        description += " " + nameOf((*second)["Driver"]) + " and " + nameOf((*third)["Driver"]) + " completed the podium.";
      add(start, minutes{120}, nameOf((*winner)["Driver"]) + " wins the " + raceName, description, result->source);
    }
    for (const Json& row : result->rows)
      if (row.value("FastestLap", Json::object()).value("rank", "") == "1")
        add(start, minutes{150}, nameOf(row["Driver"]) + " sets the fastest lap of the " + raceName,
            nameOf(row["Driver"]) + " lapped in " + row["FastestLap"].value("Time", Json::object()).value("time", "") +
                " on lap " + row["FastestLap"].value("lap", "") + ".",
            result->source);
  }
  for (auto [file, list, kind] : {std::tuple{"driverStandings", "DriverStandings", "drivers'"},
                                  std::tuple{"constructorStandings", "ConstructorStandings", "constructors'"}}) {
    std::string path = "results-api/" + season + "/" + std::to_string(round) + "/" + file + ".json";
    auto document = snapshotDocument(snapshot, path);
    if (!document) continue;
    Json lists = (*document)["MRData"].value("StandingsTable", Json::object()).value("StandingsLists", Json::array());
    if (lists.empty() || !lists[0].contains(list) || lists[0][list].empty()) continue;
    const Json& leader = lists[0][list][0];
    std::string name = leader.contains("Driver") ? nameOf(leader["Driver"]) : leader["Constructor"].value("name", "");
    add(raceStart(race), minutes{180}, name + " leads the " + kind + " championship after the " + raceName,
        name + " has " + leader.value("points", "") + " points after round " + std::to_string(round) + ".", path);
  }
}

// Every fifth story, from the feed's index on: a story is told by one feed only.
std::string feedDocument(const Feed& feed, const std::vector<Story>& stories, std::size_t feedIndex, std::size_t feedCount) {
  std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<rss version=\"2.0\">\n<channel>\n";
  xml += "<title>" + escaped(feed.title) + "</title>\n<link>https://" + feed.linkHost + "/</link>\n";
  xml += "<description>Offline season news, written from recorded results</description>\n<language>en</language>\n";
  for (std::size_t index = feedIndex; index < stories.size(); index += feedCount) {
    const Story& story = stories[index];
    auto published = story.published;
    xml += "<item>\n<title>" + escaped(story.title) + "</title>\n<link>https://" + feed.linkHost + "/" +
           story.slug + "</link>\n<description>" + escaped(story.description) + "</description>\n<pubDate>" +
           rssDate(published) + "</pubDate>\n<guid isPermaLink=\"false\">" + feed.folder + "-" + story.slug +
           "</guid>\n</item>\n";
  }
  return xml + "</channel>\n</rss>\n";
}

}  // namespace

std::expected<void, std::string> produceNewsFeeds(const BuildContext& context, SeasonSnapshot& snapshot) {
  std::vector<Story> stories;
  for (const Json& race : calendarRaces(snapshot, context.options.season))
    storiesOfRound(snapshot, context.options.season, race, stories);
  // Newest first, as feeds list them.
  std::ranges::stable_sort(stories, std::greater{}, &Story::published);
  constexpr std::size_t feedCount = std::size(feeds);
  for (std::size_t index = 0; index < feedCount; ++index) {
    std::vector<std::string> sources;
    std::size_t told = 0;
    for (std::size_t story = index; story < stories.size(); story += feedCount, ++told)
      if (std::ranges::find(sources, stories[story].source) == sources.end()) sources.push_back(stories[story].source);
    std::ranges::sort(sources);
    const Feed& feed = feeds[index];
    snapshot.add(std::string("rss/") + feed.folder + "/" + feed.path,
                 {feedDocument(feed, stories, index, feedCount), Origin::generated, sources,
                  "RSS 2.0 written by the tool: " + std::to_string(told) +
                      " items from recorded results (poles, sprint and race winners, fastest laps, standings "
                      "leaders), every fifth of the season's stories, newest first; the app serves those dated "
                      "by its clock; links point to pages that need not exist"});
  }
  return {};
}

}  // namespace offline_season
