#include <gtest/gtest.h>
#include <libxml/parser.h>
#include <libxml/tree.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>

#include "foundation/Print.h"
#include "foundation/Strings.h"
#include "foundation/XMLParser.h"
#include "standings-news/RSSParser.h"

// Every RSS 2.0 feed of the recorded fixtures, read by the app's reader and, independently, as a
// document tree by libxml2: the reader must give every item of the tree with each field's whole text.
namespace {

namespace fs = std::filesystem;

const fs::path corpus = fs::path(SORVANE_TEST_FIXTURES) / "rss";

std::string fileBytes(const fs::path& path) {
    std::ifstream file(path, std::ios::binary);
    std::stringstream bytes;
    bytes << file.rdbuf();
    return bytes.str();
}

bool isRSS2WithItems(const std::string& bytes) {
    return bytes.find("version=\"2.0\"") != std::string::npos && bytes.find("<item") != std::string::npos;
}

std::vector<fs::path> feeds() {
    std::vector<fs::path> found;
    for (const auto& entry : fs::recursive_directory_iterator(corpus)) {
        if (entry.path().extension() == ".xml" && isRSS2WithItems(fileBytes(entry.path()))) found.push_back(entry.path());
    }
    std::sort(found.begin(), found.end());
    return found;
}

// An element's name as the document writes it, prefix included.
std::string writtenName(const xmlNode* node) {
    std::string name = reinterpret_cast<const char*>(node->name);
    if (node->ns && node->ns->prefix) return reinterpret_cast<const char*>(node->ns->prefix) + (":" + name);
    return name;
}

std::string content(const xmlNode* node) {
    xmlChar* text = xmlNodeGetContent(node);
    std::string value = text ? reinterpret_cast<const char*>(text) : "";
    xmlFree(text);
    return foundation::trimmingWhitespaceAndNewlines(value);
}

struct ExpectedItem {
    std::string title, description, link;
};

// The fields of an item's tree: the last element of each field's name that is not inside another field.
void collectFields(const xmlNode* node, ExpectedItem& item) {
    for (const xmlNode* child = node->children; child; child = child->next) {
        if (child->type != XML_ELEMENT_NODE) continue;
        std::string name = writtenName(child);
        if (name == "title") item.title = content(child);
        else if (name == "description") item.description = content(child);
        else if (name == "link") item.link = content(child);
        else if (name != "pubDate") collectFields(child, item);
    }
}

void collectItems(const xmlNode* node, std::vector<ExpectedItem>& items) {
    for (const xmlNode* child = node->children; child; child = child->next) {
        if (child->type != XML_ELEMENT_NODE) continue;
        if (writtenName(child) == "item") {
            collectFields(child, items.emplace_back());
        } else {
            collectItems(child, items);
        }
    }
}

// Nothing when libxml2 does not read the document as well-formed.
std::optional<std::vector<ExpectedItem>> itemsOfTree(const std::string& bytes) {
    std::unique_ptr<xmlDoc, decltype(&xmlFreeDoc)> document(
        xmlReadMemory(bytes.data(), static_cast<int>(bytes.size()), nullptr, nullptr,
                      XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING),
        &xmlFreeDoc);
    if (!document) return std::nullopt;
    std::vector<ExpectedItem> items;
    collectItems(reinterpret_cast<const xmlNode*>(document.get()), items);
    return items;
}

bool wellFormedForTheApp(const std::string& bytes) {
    foundation::XMLParser parser(foundation::Data::fromString(bytes));
    return parser.parse();
}

TEST(RSSFeedCorpus, everyRSS2FeedGivesEveryItemWithItsWholeText) {
    auto paths = feeds();
    ASSERT_GT(paths.size(), 100u) << "the corpus is missing from " << corpus;
    foundation::ConsoleCapture console;  // the broken ones report their errors
    std::size_t compared = 0, titled = 0, described = 0;
    for (const auto& path : paths) {
        SCOPED_TRACE(path.lexically_relative(corpus).string());
        std::string bytes = fileBytes(path);
        auto articles = RSSParser::articles(foundation::Data::fromString(bytes));
        auto expected = itemsOfTree(bytes);
        if (!expected || !wellFormedForTheApp(bytes)) {
            // A broken feed gives the items completed before its error, never more than it holds.
            std::size_t written = 0;
            for (std::size_t at = bytes.find("<item"); at != std::string::npos; at = bytes.find("<item", at + 1)) ++written;
            EXPECT_LE(articles.size(), written);
            continue;
        }
        ASSERT_EQ(articles.size(), expected->size());
        for (std::size_t index = 0; index < articles.size(); ++index) {
            EXPECT_EQ(articles[index].title, (*expected)[index].title) << "item " << index;
            EXPECT_EQ(articles[index].description, (*expected)[index].description) << "item " << index;
            EXPECT_EQ(articles[index].link, (*expected)[index].link) << "item " << index;
            titled += !articles[index].title.empty();
            described += !articles[index].description.empty();
        }
        ++compared;
    }
    EXPECT_GT(compared, 90u);
    EXPECT_GT(titled, 25u);
    EXPECT_GT(described, 40u);
}

// What the comparison above rests on, seen in a few real feeds.
TEST(RSSFeedCorpus, realFeedsKeepCdataEntitiesAndEscapedMarkup) {
    auto one = [](const char* name) {
        auto articles = RSSParser::articles(foundation::Data::fromString(fileBytes(corpus / name)));
        EXPECT_FALSE(articles.empty()) << name;
        return articles.empty() ? Article{} : articles.front();
    };
    Article heated = one("rss_2.0_heated.xml");
    EXPECT_EQ(heated.title, "A conversation about Keystone XL");
    EXPECT_EQ(heated.description,
              "This past weekend, I was interviewed by Walt Hickey, the author and creator of Numlock News.");
    EXPECT_EQ(heated.pubDate, foundation::Date::fromUnix(1612353647)) << "GMT as the zone";

    Article giornale = one("rss_2.0_ilgiornale.xml");
    EXPECT_EQ(giornale.title, "Arrestato in Pakistan Shabbar Abbas. In Italia è accusato per l'omicidio di Saman");
    EXPECT_TRUE(giornale.description.starts_with("<figure><img src=")) << giornale.description;
    EXPECT_NE(giornale.description.find("l&#39;uomo"), std::string::npos) << "decoded once, by the XML parser";

    Article bbc = one("rss_2.0_bbc.xml");
    EXPECT_EQ(bbc.title, "Marcus Aurelius");
    EXPECT_EQ(bbc.description, "Melvyn Bragg and guests discuss...");
    EXPECT_EQ(bbc.pubDate, foundation::Date::fromUnix(1614248100));
}

}  // namespace
