#include "standings-news/RSSParser.h"

#include <atomic>
#include <chrono>
#include <future>
#include <memory>
#include <string>

#include "foundation/DateFormatter.h"
#include "foundation/Print.h"
#include "foundation/Strings.h"
#include "foundation/XMLParser.h"
#include "net/Session.h"

namespace {

std::atomic<double> feedTimeout{RSSParser::defaultTimeoutInterval};

// RFC 822 first, then the forms feeds write instead: without the weekday or the seconds, and ISO 8601.
std::optional<foundation::Date> feedDate(const std::string& text) {
    static constexpr const char* patterns[] = {
        "E, dd MMM yyyy HH:mm:ss Z", "dd MMM yyyy HH:mm:ss Z",      "E, dd MMM yyyy HH:mm Z",
        "yyyy-MM-dd'T'HH:mm:ssXXX",  "yyyy-MM-dd'T'HH:mm:ss.SSSXXX", "yyyy-MM-dd HH:mm:ss Z",
    };
    for (const char* pattern : patterns) {
        foundation::DateFormatter formatter;
        formatter.setLocale(foundation::Locale("en_US_POSIX"));
        formatter.setDateFormat(pattern);
        if (auto date = formatter.date(text)) return date;
    }
    return std::nullopt;
}

// The XML parser's delegate for one parse. Text is collected only inside a field, so the channel's own
// texts never reach an article; elements nested in a field add their text to it.
class FeedReader final : public foundation::XMLParserDelegate {
public:
    std::vector<Article> articles;
    std::string rootElement;
    std::size_t unreadableDates = 0;  // items left with the moment they were read

    void didStartElement(foundation::XMLParser&, const std::string& name,
                         const std::map<std::string, std::string>&) override {
        if (rootElement.empty()) rootElement = name;
        if (name == "item") {
            current_.emplace();
            current_->pubDate = foundation::Date::now();
            leaveField();
            return;
        }
        if (!current_) return;
        if (!field_.empty()) {
            ++nested_;
        } else if (isField(name)) {
            field_ = name;
            text_.clear();
        }
    }

    void foundCharacters(foundation::XMLParser&, std::string_view characters) override { collect(characters); }
    void foundCDATA(foundation::XMLParser&, std::string_view block) override { collect(block); }

    void didEndElement(foundation::XMLParser&, const std::string& name) override {
        if (name == "item") {
            if (current_) articles.push_back(std::move(*current_));
            current_.reset();
            leaveField();
            return;
        }
        if (!current_ || field_.empty()) return;
        if (nested_ > 0) {
            --nested_;
            return;
        }
        store(foundation::trimmingWhitespaceAndNewlines(text_));
        leaveField();
    }

    void parseErrorOccurred(foundation::XMLParser&, const foundation::XMLParseError& error) override {
        foundation::print("XMLParser error: " + error.description());
    }

private:
    static bool isField(const std::string& name) {
        return name == "title" || name == "description" || name == "link" || name == "pubDate";
    }

    void collect(std::string_view piece) {
        if (!field_.empty()) text_ += piece;
    }

    void leaveField() {
        field_.clear();
        nested_ = 0;
        text_.clear();
    }

    void store(std::string text) {
        Article& article = *current_;
        if (field_ == "title") article.title = std::move(text);
        else if (field_ == "description") article.description = std::move(text);
        else if (field_ == "link") article.link = std::move(text);
        else if (field_ == "pubDate") {
            if (auto date = feedDate(text)) article.pubDate = *date;
            else ++unreadableDates;
        }
    }

    std::optional<Article> current_;
    std::string field_;  // empty: no field selected
    int nested_ = 0;     // elements open inside the selected field
    std::string text_;
};

// The whole body, or nothing when the feed did not answer in full and with success within `timeout`.
// Runs on the pool and blocks it, as a plain whole read would.
std::optional<foundation::Data> readFeed(const foundation::URL& url, double timeout) {
    auto answer = std::make_shared<std::promise<std::optional<foundation::Data>>>();
    auto body = answer->get_future();
    auto task = net::Session::shared()->dataTask(
        net::Request(url, timeout),
        [answer](foundation::Data data, std::optional<net::Response> response, std::optional<net::URLError> error) {
            int status = response ? response->statusCode : 0;
            bool succeeded = !error && (status == 0 || (status >= 200 && status < 300));
            answer->set_value(succeeded ? std::optional(std::move(data)) : std::nullopt);
        });
    task->resume();
    if (body.wait_for(std::chrono::duration<double>(timeout)) != std::future_status::ready) {
        task->cancel();
        return std::nullopt;
    }
    return body.get();
}

}  // namespace

double RSSParser::timeoutInterval() { return feedTimeout.load(); }

void RSSParser::setTimeoutInterval(double seconds) { feedTimeout.store(seconds); }

std::vector<Article> RSSParser::articles(const foundation::Data& feed, std::string_view source) {
    auto reader = std::make_shared<FeedReader>();
    foundation::XMLParser parser(feed);
    parser.setDelegate(reader);
    parser.parse();
    const std::string from = source.empty() ? std::string() : " (" + std::string(source) + ")";
    // An Atom feed parses as XML but holds no RSS item: say so rather than show an empty list.
    if (reader->rootElement == "feed")
        foundation::print("Error: not an RSS feed" + from + ": an Atom feed, whose entries are not read");
    if (reader->unreadableDates > 0)
        foundation::print("RSS: " + std::to_string(reader->unreadableDates) + " item date" +
                          (reader->unreadableDates == 1 ? "" : "s") + " unreadable" + from +
                          "; those items carry the moment they were read");
    return std::move(reader->articles);
}

dispatch::Task<std::optional<std::vector<Article>>> RSSParser::parse(foundation::URL url) {
    auto readAndParse = [url, timeout = timeoutInterval()]() -> std::optional<std::vector<Article>> {
        auto body = readFeed(url, timeout);
        if (!body) {
            foundation::print("Error: Failed to load data from URL: " + url.absoluteString());
            return std::nullopt;
        }
        return articles(*body, url.absoluteString());
    };
    co_return co_await dispatch::onPool(std::move(readAndParse));
}
