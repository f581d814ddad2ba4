#pragma once

#include <cstddef>
#include <expected>
#include <string_view>
#include <vector>

#include "data/Client.h"
#include "dispatch/Task.h"
#include "foundation/Data.h"
#include "foundation/URL.h"
#include "standings-news/Article.h"

// What a news feed can hold. The five sources publish their latest articles, the podcast every episode:
// a few hundred items in a few MB. A feed past either limit is no feed of theirs but a bad response,
// refused as it arrives: the bytes as the transfer gathers them, the items as they are parsed, before
// the rest is built. What the articles hold is never more than the bytes read, as the reader only
// decodes text (no entity of the document's own is expanded), plus one article record an item.
struct FeedLimits {
    std::size_t maximumArticles;
    std::size_t maximumBytes;
};
inline constexpr FeedLimits feedLimits{.maximumArticles = 5'000, .maximumBytes = std::size_t(16) << 20};

// Reads one RSS 2.0 feed into its items: "title", "description", "link" and "pubDate" of every
// "item", in document order. Make a new reader for every feed.
//
// A field keeps the feed's text whole: its pieces are joined as the XML parser hands them over (CDATA
// included, and the text of elements nested in the field) and trimmed once at the ends. Entities are
// decoded once, by the XML parser. Prefixed names ("dc:title") are no field.
class RSSParser {
public:
    // A feed that has not answered in full after this long counts as unreadable, so one slow host
    // never holds the screens back.
    static constexpr double defaultTimeoutInterval = 15;

    // Every item completed before the end of the document or its first fatal error; or, when the feed
    // cannot be read, why: no answer (the transport's words), no whole body within the time-out, an
    // answer outside 200...299 (its status), a body past feedLimits, or one that is no RSS feed (no XML,
    // another kind of document, or broken before its first item). "Error: Failed to load data from
    // URL: <url>" is printed with the reason. The read and the parse run off the main thread.
    dispatch::Task<std::expected<std::vector<Article>, LoadFailure>> parse(foundation::URL url);

    // A body already read, by the rules of parse().
    static std::expected<std::vector<Article>, LoadFailure> feed(const foundation::Data& body, std::string_view source = {});

    // The items of a feed already in memory, however the document ends: a body that is not XML prints
    // "XMLParser error: ..." and gives the items completed before the error; one past feedLimits gives
    // those before the limit. A date is read in RFC 822 form or the common forms feeds use instead (no
    // weekday, no seconds, ISO 8601); items whose date is none of them keep the moment they were read
    // and are counted in one printed line. An Atom feed prints "Error: not an RSS feed". `source` names
    // the feed in those lines.
    static std::vector<Article> articles(const foundation::Data& feed, std::string_view source = {});

    // Process-wide; tests shorten it.
    static double timeoutInterval();
    static void setTimeoutInterval(double seconds);
};
