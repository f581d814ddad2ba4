#include "ui/VisualFormat.h"

#include <cctype>
#include <charconv>
#include <optional>

#include "ui/LayoutItem.h"

namespace ui {

namespace {

constexpr double standardSpacing = 8;

struct Predicate {
    LayoutRelation relation = LayoutRelation::equal;
    double constant = 0;
    std::shared_ptr<LayoutItem> view;  // set when the predicate relates to another view's size
    LayoutPriority priority = layoutPriority::required;
};

// A connection between two elements; no predicates means the standard gap.
struct Connection {
    std::vector<Predicate> predicates;
    bool standard = false;
};

class Parser {
public:
    Parser(std::string_view format, const VisualFormatMetrics& metrics, const VisualFormatViews& views)
        : format_(format), metrics_(metrics), views_(views) {}

    std::expected<std::vector<std::shared_ptr<LayoutConstraint>>, VisualFormatError> parse() {
        if (format_.starts_with("H:") || format_.starts_with("V:")) {
            vertical_ = format_[0] == 'V';
            position_ = 2;
        } else if (format_.size() >= 2 && format_[1] == ':') {
            return fail("orientation must be H or V");
        }
        std::optional<Connection> pending;  // the connection waiting for the element after it
        std::shared_ptr<LayoutItem> previous;
        std::size_t leadingBar = std::string_view::npos;
        if (consume('|')) {
            leadingBar = position_ - 1;
            auto connection = parseConnection();
            if (!connection) return std::unexpected(connection.error());
            pending = *connection;
        }
        for (;;) {
            if (peek() != '[') return fail("expected '[' to begin a view");
            auto view = parseView();
            if (!view) return std::unexpected(view.error());
            if (leadingBar != std::string_view::npos) {
                auto superview = superviewOf(*view, leadingBar);
                if (!superview) return std::unexpected(superview.error());
                connect(*superview, true, *view, false, *pending);
                leadingBar = std::string_view::npos;
            } else if (previous) {
                connect(previous, false, *view, false, *pending);
            }
            previous = *view;
            if (atEnd()) break;
            auto connection = parseConnection();
            if (!connection) return std::unexpected(connection.error());
            pending = *connection;
            if (peek() == '|') {
                std::size_t bar = position_++;
                auto superview = superviewOf(previous, bar);
                if (!superview) return std::unexpected(superview.error());
                connect(previous, false, *superview, true, *pending);
                if (!atEnd()) return fail("unexpected text after the closing '|'");
                break;
            }
        }
        return std::move(constraints_);
    }

private:
    bool atEnd() const { return position_ >= format_.size(); }
    char peek() const { return atEnd() ? '\0' : format_[position_]; }
    bool consume(char character) {
        if (peek() != character) return false;
        ++position_;
        return true;
    }

    std::unexpected<VisualFormatError> fail(const std::string& message) const { return failAt(message, position_); }
    std::unexpected<VisualFormatError> failAt(const std::string& message, std::size_t position) const {
        return std::unexpected(VisualFormatError{
            message + " at position " + std::to_string(position) + " in \"" + std::string(format_) + "\"",
            position});
    }

    std::string parseIdentifier() {
        std::size_t start = position_;
        if (!atEnd() && (std::isalpha(static_cast<unsigned char>(peek())) || peek() == '_')) {
            while (!atEnd() && (std::isalnum(static_cast<unsigned char>(peek())) || peek() == '_')) ++position_;
        }
        return std::string(format_.substr(start, position_ - start));
    }

    std::optional<double> parseNumber() {
        std::size_t start = position_;
        if (peek() == '-' || peek() == '+') ++position_;
        while (!atEnd() && (std::isdigit(static_cast<unsigned char>(peek())) || peek() == '.')) ++position_;
        double value = 0;
        // The format need not end in a NUL, so the sign is looked at only while inside it.
        const char* first = format_.data() + start + (position_ > start && format_[start] == '+' ? 1 : 0);
        const char* last = format_.data() + position_;
        auto [end, error] = std::from_chars(first, last, value);
        if (first == last || error != std::errc{} || end != last) {
            position_ = start;
            return std::nullopt;
        }
        return value;
    }

    // A number or a metric's value.
    std::expected<double, VisualFormatError> parseConstant(const char* what) {
        std::size_t start = position_;
        if (auto number = parseNumber()) return *number;
        std::string name = parseIdentifier();
        if (name.empty()) return fail(std::string("expected a number or metric name for the ") + what);
        auto metric = metrics_.find(name);
        if (metric == metrics_.end()) return failAt("unknown metric '" + name + "'", start);
        return metric->second;
    }

    std::expected<std::shared_ptr<LayoutItem>, VisualFormatError> parseView() {
        ++position_;  // '['
        std::size_t nameStart = position_;
        std::string name = parseIdentifier();
        if (name.empty()) return fail("expected a view name");
        auto found = views_.find(name);
        if (found == views_.end() || !found->second) return failAt("unknown view '" + name + "'", nameStart);
        std::shared_ptr<LayoutItem> view = found->second;
        if (consume('(')) {
            auto predicates = parsePredicates(true);
            if (!predicates) return std::unexpected(predicates.error());
            LayoutAttribute dimension = vertical_ ? LayoutAttribute::height : LayoutAttribute::width;
            for (const Predicate& predicate : *predicates) {
                auto constraint = LayoutConstraint::make(view, dimension, predicate.relation, predicate.view,
                                                         dimension, 1, predicate.view ? 0 : predicate.constant);
                constraint->setPriority(predicate.priority);
                constraints_.push_back(std::move(constraint));
            }
        }
        if (!consume(']')) return fail("expected ']' to close view '" + name + "'");
        return view;
    }

    // After '(': predicates separated by ',' up to ')'.
    std::expected<std::vector<Predicate>, VisualFormatError> parsePredicates(bool allowViews) {
        std::vector<Predicate> predicates;
        do {
            Predicate predicate;
            std::string_view rest = format_.substr(position_);
            if (rest.starts_with("==")) {
                position_ += 2;
            } else if (rest.starts_with("<=")) {
                predicate.relation = LayoutRelation::lessThanOrEqual;
                position_ += 2;
            } else if (rest.starts_with(">=")) {
                predicate.relation = LayoutRelation::greaterThanOrEqual;
                position_ += 2;
            }
            std::size_t objectStart = position_;
            if (auto number = parseNumber()) {
                predicate.constant = *number;
            } else {
                std::string name = parseIdentifier();
                if (name.empty()) return fail("expected a number, metric or view name");
                if (auto metric = metrics_.find(name); metric != metrics_.end()) {
                    predicate.constant = metric->second;
                } else if (auto view = views_.find(name); allowViews && view != views_.end() && view->second) {
                    predicate.view = view->second;
                } else {
                    return failAt("unknown " + std::string(allowViews ? "metric or view" : "metric") + " '" + name +
                                      "'",
                                  objectStart);
                }
            }
            if (consume('@')) {
                auto priority = parseConstant("priority");
                if (!priority) return std::unexpected(priority.error());
                if (*priority < 1 || *priority > layoutPriority::required) {
                    return fail("priority must lie between 1 and 1000");
                }
                predicate.priority = static_cast<LayoutPriority>(*priority);
            }
            predicates.push_back(std::move(predicate));
        } while (consume(','));
        if (!consume(')')) return fail("expected ')' to close the predicate list");
        return predicates;
    }

    // What follows a view or a leading '|': nothing (flush), "-", or "-predicates-".
    std::expected<Connection, VisualFormatError> parseConnection() {
        if (peek() == '[' || peek() == '|') return Connection{{Predicate{}}, false};
        if (!consume('-')) {
            return atEnd() ? fail("expected '-', '[' or '|' before the end") : fail("expected '-', '[' or '|'");
        }
        if (peek() == '[' || peek() == '|') return Connection{{}, true};
        Connection connection;
        if (consume('(')) {
            auto predicates = parsePredicates(false);
            if (!predicates) return std::unexpected(predicates.error());
            connection.predicates = std::move(*predicates);
        } else {
            auto constant = parseConstant("gap");
            if (!constant) return std::unexpected(constant.error());
            connection.predicates.push_back(Predicate{LayoutRelation::equal, *constant, nullptr});
        }
        if (!consume('-')) return fail("expected '-' after the gap");
        return connection;
    }

    std::expected<std::shared_ptr<LayoutItem>, VisualFormatError> superviewOf(const std::shared_ptr<LayoutItem>& view,
                                                                             std::size_t barPosition) const {
        auto superview = view->superitem();
        if (!superview) return failAt("'|' stands for the superview, but '" + view->layoutName() + "' has none",
                                      barPosition);
        return superview;
    }

    // after (relation) before + gap, along the orientation; a superview contributes its near edge.
    void connect(const std::shared_ptr<LayoutItem>& before, bool beforeIsSuperview,
                 const std::shared_ptr<LayoutItem>& after, bool afterIsSuperview, const Connection& connection) {
        LayoutAttribute start = vertical_ ? LayoutAttribute::top : LayoutAttribute::leading;
        LayoutAttribute end = vertical_ ? LayoutAttribute::bottom : LayoutAttribute::trailing;
        LayoutAttribute afterAttribute = afterIsSuperview ? end : start;
        LayoutAttribute beforeAttribute = beforeIsSuperview ? start : end;
        if (connection.standard) {
            // At a superview edge the standard gap is the superview's layout margin.
            if (beforeIsSuperview) beforeAttribute = vertical_ ? LayoutAttribute::topMargin : LayoutAttribute::leadingMargin;
            if (afterIsSuperview) afterAttribute = vertical_ ? LayoutAttribute::bottomMargin : LayoutAttribute::trailingMargin;
            double gap = beforeIsSuperview || afterIsSuperview ? 0 : standardSpacing;
            constraints_.push_back(LayoutConstraint::make(after, afterAttribute, LayoutRelation::equal, before,
                                                          beforeAttribute, 1, gap));
            return;
        }
        for (const Predicate& predicate : connection.predicates) {
            auto constraint = LayoutConstraint::make(after, afterAttribute, predicate.relation, before,
                                                     beforeAttribute, 1, predicate.constant);
            constraint->setPriority(predicate.priority);
            constraints_.push_back(std::move(constraint));
        }
    }

    std::string_view format_;
    const VisualFormatMetrics& metrics_;
    const VisualFormatViews& views_;
    std::size_t position_ = 0;
    bool vertical_ = false;
    std::vector<std::shared_ptr<LayoutConstraint>> constraints_;
};

}  // namespace

std::expected<std::vector<std::shared_ptr<LayoutConstraint>>, VisualFormatError> constraintsWithVisualFormat(
    std::string_view format, const VisualFormatMetrics& metrics, const VisualFormatViews& views) {
    return Parser(format, metrics, views).parse();
}

}  // namespace ui
