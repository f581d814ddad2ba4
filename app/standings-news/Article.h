#pragma once

#include <string>

#include "foundation/Date.h"

// One news item of an RSS feed.
struct Article {
    std::string title;
    std::string description;
    std::string link;
    foundation::Date pubDate;
};
