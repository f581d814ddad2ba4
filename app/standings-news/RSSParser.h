#pragma once

#include <optional>
#include <string_view>
#include <vector>

#include "dispatch/Task.h"
#include "foundation/Data.h"
#include "foundation/URL.h"
#include "standings-news/Article.h"

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

    // Nothing when the feed cannot be read: no answer, an answer outside 200...299, or no whole body
    // within the time-out ("Error: Failed to load data from URL: <url>" is printed). Otherwise every
    // item completed before the end of the document or its first fatal error. The read and the parse
    // run off the main thread.
    dispatch::Task<std::optional<std::vector<Article>>> parse(foundation::URL url);

    // The items of a feed already in memory. A body that is not XML prints "XMLParser error: ..." and
    // gives the items completed before the error. A date is read in RFC 822 form or the common forms
    // feeds use instead (no weekday, no seconds, ISO 8601); items whose date is none of them keep the
    // moment they were read and are counted in one printed line. An Atom feed prints "Error: not an
    // RSS feed". `source` names the feed in those lines.
    static std::vector<Article> articles(const foundation::Data& feed, std::string_view source = {});

    // Process-wide; tests shorten it.
    static double timeoutInterval();
    static void setTimeoutInterval(double seconds);
};
