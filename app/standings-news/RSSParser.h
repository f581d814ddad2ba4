#pragma once

#include <optional>
#include <vector>

#include "dispatch/Task.h"
#include "foundation/Data.h"
#include "foundation/URL.h"
#include "standings-news/Article.h"

// Reads one RSS 2.0 feed into its items: "title", "description", "link" and "pubDate" of every
// "item", in document order. Make a new reader for every feed.
class RSSParser {
public:
    // Nothing when the feed cannot be read ("Error: Failed to load data from URL: <url>" is printed);
    // otherwise every item completed before the end of the document or its first fatal error. The
    // read and the parse run off the main thread.
    dispatch::Task<std::optional<std::vector<Article>>> parse(foundation::URL url);

    // The items of a feed already in memory. A body that is not XML prints "XMLParser error: ..." and
    // gives the items completed before the error.
    static std::vector<Article> articles(const foundation::Data& feed);
};
