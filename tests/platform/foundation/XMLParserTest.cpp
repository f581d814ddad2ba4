#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "foundation/XMLParser.h"

using namespace foundation;

namespace {

// Records every event as a line; adjacent character pieces are joined into one "text:" line.
class RecordingDelegate : public XMLParserDelegate {
public:
    std::vector<std::string> events;
    std::vector<std::map<std::string, std::string>> attributes;
    std::vector<XMLParseError> errors;
    int characterPieces = 0;
    std::size_t characterBytes = 0;
    std::string abortAtElement;

    void parserDidStartDocument(XMLParser&) override { events.push_back("start document"); }
    void parserDidEndDocument(XMLParser&) override { events.push_back("end document"); }
    void didStartElement(XMLParser& parser, const std::string& name,
                         const std::map<std::string, std::string>& elementAttributes) override {
        events.push_back("<" + name + ">");
        attributes.push_back(elementAttributes);
        if (name == abortAtElement) parser.abortParsing();
    }
    void didEndElement(XMLParser&, const std::string& name) override { events.push_back("</" + name + ">"); }
    void foundCharacters(XMLParser&, std::string_view characters) override {
        ++characterPieces;
        characterBytes += characters.size();
        if (!events.empty() && events.back().starts_with("text:")) events.back() += characters;
        else events.push_back("text:" + std::string(characters));
    }
    void foundCDATA(XMLParser&, std::string_view block) override { events.push_back("cdata:" + std::string(block)); }
    void parseErrorOccurred(XMLParser&, const XMLParseError& error) override { errors.push_back(error); }

    bool contains(const std::string& event) const { return std::ranges::find(events, event) != events.end(); }
    // The events without the whitespace-only text between elements.
    std::vector<std::string> significantEvents() const {
        std::vector<std::string> result;
        for (const auto& event : events)
            if (!event.starts_with("text:") || event.find_first_not_of(" \t\r\n", 5) != std::string::npos)
                result.push_back(event);
        return result;
    }
};

Data rssFixture(const std::string& name) {
    std::ifstream file(std::string(SORVANE_TEST_FIXTURES) + "/rss/" + name, std::ios::binary);
    return Data(std::vector<std::uint8_t>(std::istreambuf_iterator<char>(file), {}));
}

struct ParseRun {
    bool succeeded = false;
    std::shared_ptr<RecordingDelegate> delegate = std::make_shared<RecordingDelegate>();
    std::optional<XMLParseError> error;
};

ParseRun parse(Data data, std::string abortAtElement = {}) {
    ParseRun run;
    run.delegate->abortAtElement = std::move(abortAtElement);
    XMLParser parser(std::move(data));
    parser.setDelegate(run.delegate);
    run.succeeded = parser.parse();
    run.error = parser.parserError();
    return run;
}

ParseRun parse(std::string_view xml) { return parse(Data::fromString(xml)); }

}  // namespace

TEST(XMLParser, ReportsElementsAttributesAndTextOfRealFeedInOrder) {
    auto run = parse(rssFixture("rss_2.0_example_1.xml"));
    ASSERT_TRUE(run.succeeded);
    auto events = run.delegate->significantEvents();
    ASSERT_GE(events.size(), 4u);
    EXPECT_EQ(events.front(), "start document");
    EXPECT_EQ(events[1], "<rss>");
    EXPECT_EQ(events.back(), "end document");
    EXPECT_EQ(run.delegate->attributes[0].at("version"), "2.0");
    auto title = std::ranges::find(events, "text:Example entry");
    ASSERT_NE(title, events.end());
    EXPECT_EQ(*(title - 1), "<title>");
    EXPECT_EQ(*(title + 1), "</title>");
    EXPECT_TRUE(run.delegate->contains("text:7bd204c6-1655-4c27-aeee-53f933c5395f"));
    bool guidIsPermaLink = std::ranges::any_of(run.delegate->attributes, [](const auto& attributes) {
        return attributes.contains("isPermaLink") && attributes.at("isPermaLink") == "true";
    });
    EXPECT_TRUE(guidIsPermaLink);
    EXPECT_TRUE(run.delegate->errors.empty());
}

TEST(XMLParser, DeliversCDATAOnlyToItsOwnCallback) {
    auto run = parse(rssFixture("rss_2.0_matrix.xml"));
    ASSERT_TRUE(run.succeeded);
    auto events = run.delegate->significantEvents();
    auto title = std::ranges::find(events, "<title>");
    ASSERT_NE(title, events.end());
    EXPECT_EQ(*(title + 1), "cdata:matrix.org");
    EXPECT_EQ(*(title + 2), "</title>");
    EXPECT_FALSE(run.delegate->contains("text:matrix.org"));
}

TEST(XMLParser, ConvertsDeclaredEncodingToUTF8) {
    auto run = parse(rssFixture("rss_2.0_encoding_1.xml"));
    ASSERT_TRUE(run.succeeded) << (run.error ? run.error->description() : "");
    EXPECT_TRUE(run.delegate->contains("text:RSS Feed do Site Inovação Tecnológica"));
}

TEST(XMLParser, KeepsPrefixesInNamesAndNamespaceDeclarationsAsAttributes) {
    auto run = parse(rssFixture("rss_2.0_vimeo_media.xml"));
    ASSERT_TRUE(run.succeeded);
    EXPECT_TRUE(run.delegate->contains("<media:content>"));
    EXPECT_TRUE(run.delegate->contains("</atom:link>"));
    EXPECT_EQ(run.delegate->attributes[0].at("xmlns:media"), "http://search.yahoo.com/mrss/");
    EXPECT_EQ(run.delegate->attributes[0].at("xml:lang"), "en-US");

    auto undeclared = parse("<item><dc:creator>someone</dc:creator></item>");
    EXPECT_TRUE(undeclared.succeeded);
    EXPECT_TRUE(undeclared.delegate->contains("<dc:creator>"));
}

TEST(XMLParser, DecodesPredefinedEntitiesAndCharacterReferencesInPieces) {
    auto run = parse("<title>Ferrari &amp; Mercedes &#169; &lt;b&gt;</title>");
    ASSERT_TRUE(run.succeeded);
    EXPECT_TRUE(run.delegate->contains("text:Ferrari & Mercedes © <b>"));
    EXPECT_GT(run.delegate->characterPieces, 1);
}

TEST(XMLParser, MalformedDocumentStopsAtFirstFatalErrorWithItsLine) {
    auto run = parse("<rss>\n<channel>\n<title>x</channel>\n<after/>\n</rss>");
    EXPECT_FALSE(run.succeeded);
    ASSERT_TRUE(run.error);
    EXPECT_EQ(run.error->line, 3);
    EXPECT_NE(run.error->message.find("mismatch"), std::string::npos);
    ASSERT_EQ(run.delegate->errors.size(), 1u);
    EXPECT_TRUE(run.delegate->contains("text:x"));
    EXPECT_FALSE(run.delegate->contains("<after>"));
    EXPECT_FALSE(run.delegate->contains("end document"));

    for (std::string_view body : {"", "not xml at all", "<a><b></a>", "<a>&undefined;</a>", "<a>\x01</a>", "<a"}) {
        auto bad = parse(body);
        EXPECT_FALSE(bad.succeeded) << body;
        EXPECT_TRUE(bad.error) << body;
    }
}

TEST(XMLParser, NeverReadsExternalEntitiesOrDTDs) {
    auto secret = std::filesystem::temp_directory_path() / ("sorvane-xml-secret-" + std::to_string(::getpid()));
    { std::ofstream(secret) << "SECRET-CONTENT"; }
    auto dtd = secret;
    dtd += ".dtd";
    { std::ofstream(dtd) << "<!ENTITY leak \"SECRET-CONTENT\">"; }
    std::string url = "file://" + secret.string();
    std::string dtdUrl = "file://" + dtd.string();

    for (const std::string& xml : {
             "<!DOCTYPE r [<!ENTITY x SYSTEM \"" + url + "\">]><r>&x;</r>",
             "<!DOCTYPE r [<!ENTITY % p SYSTEM \"" + dtdUrl + "\"> %p;]><r>&leak;</r>",
             "<!DOCTYPE r SYSTEM \"" + dtdUrl + "\"><r>&leak;</r>",
             std::string("<!DOCTYPE r [<!ENTITY x SYSTEM \"http://127.0.0.1:9/x\">]><r>&x;</r>"),
         }) {
        auto run = parse(xml);
        for (const auto& event : run.delegate->events) EXPECT_EQ(event.find("SECRET"), std::string::npos) << xml;
    }
    std::filesystem::remove(secret);
    std::filesystem::remove(dtd);
}

TEST(XMLParser, EntityExpansionBombDoesNotExpand) {
    std::string xml = "<?xml version=\"1.0\"?>\n<!DOCTYPE lolz [\n<!ENTITY lol \"lol\">\n";
    for (int level = 1; level <= 9; ++level) {
        xml += "<!ENTITY lol" + std::to_string(level) + " \"";
        std::string previous = level == 1 ? "&lol;" : "&lol" + std::to_string(level - 1) + ";";
        for (int copy = 0; copy < 10; ++copy) xml += previous;
        xml += "\">\n";
    }
    xml += "]>\n<lolz>&lol9;</lolz>";
    auto run = parse(xml);
    EXPECT_LT(run.delegate->characterBytes, 1000u);
}

TEST(XMLParser, AbortFromDelegateStopsTheParse) {
    auto run = parse(Data::fromString("<a><b>text</b><c/></a>"), "b");
    EXPECT_FALSE(run.succeeded);
    ASSERT_TRUE(run.error);
    EXPECT_EQ(run.error->code, XMLParseError::delegateAborted);
    EXPECT_EQ(run.delegate->events.back(), "<b>");
    EXPECT_EQ(run.delegate->errors.size(), 1u);
}

TEST(XMLParser, ParsesWithoutDelegateOrAfterItIsGone) {
    XMLParser parser(Data::fromString("<a>x</a>"));
    EXPECT_TRUE(parser.parse());
    {
        auto delegate = std::make_shared<RecordingDelegate>();
        parser.setDelegate(delegate);
    }
    EXPECT_TRUE(parser.parse());
    EXPECT_FALSE(parser.parserError());
}
