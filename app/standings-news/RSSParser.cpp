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
#include "net/Response.h"
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
    bool pastLimit = false;           // more items than a feed may hold: the parse was stopped there

    void didStartElement(foundation::XMLParser& parser, const std::string& name,
                         const std::map<std::string, std::string>&) override {
        if (rootElement.empty()) rootElement = name;
        if (name == "item") {
            if (articles.size() >= feedLimits.maximumArticles) {
                pastLimit = true;
                current_.reset();
                parser.abortParsing();
                return;
            }
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
        if (!pastLimit) foundation::print("XMLParser error: " + error.description());
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

// 5000 as "5,000".
std::string grouped(std::size_t count) {
    std::string digits = std::to_string(count);
    for (int at = static_cast<int>(digits.size()) - 3; at > 0; at -= 3) digits.insert(static_cast<std::size_t>(at), ",");
    return digits;
}

// Why a feed past its bytes was refused.
LoadFailure pastBytesFailure() {
    return {0, "the feed is larger than " + std::to_string(feedLimits.maximumBytes >> 20) + " MiB"};
}

// Why no feed came: the transport's words, or the status of an answer outside 200...299.
LoadFailure transferFailure(std::optional<net::Response> response, std::optional<net::URLError> error) {
    if (error && error->code == net::URLError::dataLengthExceedsMaximum) return pastBytesFailure();
    if (error) return {0, error->description()};
    int status = response ? response->statusCode : 0;
    return {status, net::statusText(status)};
}

// Feeds are gathered by a session of their own, which stops a body past a feed's bytes as it arrives.
const std::shared_ptr<net::Session>& feedSession() {
    static const auto* session = new std::shared_ptr<net::Session>([] {
        net::SessionConfiguration configuration;
        configuration.maximumGatheredLength = static_cast<std::int64_t>(feedLimits.maximumBytes);
        return net::Session::make(std::move(configuration));
    }());
    return *session;
}

// The whole body, or why the feed did not answer in full and with success within `timeout`. Runs on
// the pool and blocks it, as a plain whole read would.
std::expected<foundation::Data, LoadFailure> readFeed(const foundation::URL& url, double timeout) {
    using Body = std::expected<foundation::Data, LoadFailure>;
    auto answer = std::make_shared<std::promise<Body>>();
    auto body = answer->get_future();
    auto task = feedSession()->dataTask(
        net::Request(url, timeout),
        [answer](foundation::Data data, std::optional<net::Response> response, std::optional<net::URLError> error) {
            int status = response ? response->statusCode : 0;
            bool succeeded = !error && (status == 0 || (status >= 200 && status < 300));
            answer->set_value(succeeded ? Body(std::move(data)) : std::unexpected(transferFailure(response, error)));
        });
    task->resume();
    if (body.wait_for(std::chrono::duration<double>(timeout)) != std::future_status::ready) {
        task->cancel();
        return std::unexpected(LoadFailure{0, net::URLError(net::URLError::timedOut).description()});
    }
    return body.get();
}

// Every item of `feed` the limits let through, with what the parse found of the document.
struct ReadItems {
    std::vector<Article> articles;
    std::string rootElement;  // empty when no element began
    bool wellFormed = false;
    bool pastBytes = false;     // not parsed at all
    bool pastArticles = false;  // parsed up to the item past the limit
};

ReadItems readItems(const foundation::Data& feed, std::string_view source) {
    if (feed.size() > feedLimits.maximumBytes) return {.pastBytes = true};
    auto reader = std::make_shared<FeedReader>();
    foundation::XMLParser parser(feed);
    parser.setDelegate(reader);
    bool wellFormed = parser.parse();
    const std::string from = source.empty() ? std::string() : " (" + std::string(source) + ")";
    // An Atom feed parses as XML but holds no RSS item: say so rather than show an empty list.
    if (reader->rootElement == "feed")
        foundation::print("Error: not an RSS feed" + from + ": an Atom feed, whose entries are not read");
    if (reader->unreadableDates > 0)
        foundation::print("RSS: " + std::to_string(reader->unreadableDates) + " item date" +
                          (reader->unreadableDates == 1 ? "" : "s") + " unreadable" + from +
                          "; those items carry the moment they were read");
    return {std::move(reader->articles), std::move(reader->rootElement), wellFormed, false, reader->pastLimit};
}

}  // namespace

double RSSParser::timeoutInterval() { return feedTimeout.load(); }

void RSSParser::setTimeoutInterval(double seconds) { feedTimeout.store(seconds); }

std::vector<Article> RSSParser::articles(const foundation::Data& feed, std::string_view source) {
    return readItems(feed, source).articles;
}

std::expected<std::vector<Article>, LoadFailure> RSSParser::feed(const foundation::Data& body, std::string_view source) {
    ReadItems read = readItems(body, source);
    if (read.pastBytes) return std::unexpected(pastBytesFailure());
    if (read.pastArticles)
        return std::unexpected(LoadFailure{0, "the feed holds more than " + grouped(feedLimits.maximumArticles) + " articles"});
    if (read.rootElement == "feed") return std::unexpected(LoadFailure{0, "the answer is an Atom feed, not an RSS feed"});
    // RSS 2.0, or RSS 1.0 under its RDF root; anything else (no XML at all, a web page) is no feed.
    if (read.rootElement != "rss" && read.rootElement != "rdf:RDF")
        return std::unexpected(LoadFailure{0, "the answer is not an RSS feed"});
    // A feed broken off gives the items before the break; one broken before any gave nothing to show.
    if (!read.wellFormed && read.articles.empty())
        return std::unexpected(LoadFailure{0, "the feed is damaged before its first article"});
    return std::move(read.articles);
}

dispatch::Task<std::expected<std::vector<Article>, LoadFailure>> RSSParser::parse(foundation::URL url) {
    auto readAndParse = [url, timeout = timeoutInterval()]() -> std::expected<std::vector<Article>, LoadFailure> {
        auto body = readFeed(url, timeout);
        std::expected<std::vector<Article>, LoadFailure> read = std::unexpected(LoadFailure{});
        if (body) read = feed(*body, url.absoluteString());
        else read = std::unexpected(std::move(body.error()));
        if (!read) {
            const LoadFailure& failure = read.error();
            foundation::print("Error: Failed to load data from URL: " + url.absoluteString() + ": " +
                              (failure.status ? std::to_string(failure.status) + " " : std::string()) + failure.reason);
        }
        return read;
    };
    co_return co_await dispatch::onPool(std::move(readAndParse));
}
