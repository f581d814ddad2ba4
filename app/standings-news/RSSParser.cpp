#include "standings-news/RSSParser.h"

#include <memory>
#include <string>

#include "foundation/DateFormatter.h"
#include "foundation/Print.h"
#include "foundation/Strings.h"
#include "foundation/XMLParser.h"
#include "net/Session.h"

namespace {

// The XML parser's delegate for one parse. Texts inside an item collect into the field being read;
// a field that holds a child element keeps nothing (the child's start and end clear it).
class FeedReader final : public foundation::XMLParserDelegate {
public:
    std::vector<Article> articles;

    void didStartElement(foundation::XMLParser&, const std::string& name,
                         const std::map<std::string, std::string>&) override {
        if (name == "item") {
            // The channel's own texts before this item belong to no field of it.
            current_.emplace();
            current_->pubDate = foundation::Date::now();
            field_.clear();
            text_.clear();
            return;
        }
        if (!current_) return;
        field_ = isField(name) ? name : std::string();
    }

    void foundCharacters(foundation::XMLParser&, std::string_view characters) override {
        text_ += foundation::trimmingWhitespaceAndNewlines(characters);
    }

    void didEndElement(foundation::XMLParser&, const std::string& name) override {
        if (name == "item") {
            if (current_) articles.push_back(std::move(*current_));
            current_.reset();
            return;
        }
        if (!current_) return;
        store();
        field_.clear();
        text_.clear();
    }

    void parseErrorOccurred(foundation::XMLParser&, const foundation::XMLParseError& error) override {
        foundation::print("XMLParser error: " + error.description());
    }

private:
    static bool isField(const std::string& name) {
        return name == "title" || name == "description" || name == "link" || name == "pubDate";
    }

    void store() {
        Article& article = *current_;
        if (field_ == "title") article.title = text_;
        else if (field_ == "description") article.description = text_;
        else if (field_ == "link") article.link = text_;
        else if (field_ == "pubDate") {
            foundation::DateFormatter formatter;
            formatter.setLocale(foundation::Locale("en_US_POSIX"));
            formatter.setDateFormat("E, dd MMM yyyy HH:mm:ss Z");
            if (auto date = formatter.date(text_)) article.pubDate = *date;
        }
    }

    std::optional<Article> current_;
    std::string field_;  // empty: no field selected
    std::string text_;
};

}  // namespace

std::vector<Article> RSSParser::articles(const foundation::Data& feed) {
    auto reader = std::make_shared<FeedReader>();
    foundation::XMLParser parser(feed);
    parser.setDelegate(reader);
    parser.parse();
    return std::move(reader->articles);
}

dispatch::Task<std::optional<std::vector<Article>>> RSSParser::parse(foundation::URL url) {
    auto readAndParse = [url]() -> std::optional<std::vector<Article>> {
        auto body = net::readContents(url);
        if (!body) {
            foundation::print("Error: Failed to load data from URL: " + url.absoluteString());
            return std::nullopt;
        }
        return articles(*body);
    };
    co_return co_await dispatch::onPool(std::move(readAndParse));
}
