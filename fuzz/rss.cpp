// News feeds through the RSS reader, by the rules a read feed meets (limits, what is no feed), and each
// item's link as the news screen opens it.
#include <cstddef>
#include <cstdint>

#include "foundation/URL.h"
#include "standings-news/RSSParser.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    auto feed = RSSParser::feed(foundation::Data(bytes, size));
    if (!feed) return 0;
    for (const Article& article : *feed) (void)foundation::URL::fromString(article.link);
    return 0;
}
