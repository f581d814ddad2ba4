// News feeds through the RSS reader, and each item's link as the news screen opens it.
#include <cstddef>
#include <cstdint>

#include "foundation/URL.h"
#include "standings-news/RSSParser.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    for (const Article& article : RSSParser::articles(foundation::Data(bytes, size)))
        (void)foundation::URL::fromString(article.link);
    return 0;
}
