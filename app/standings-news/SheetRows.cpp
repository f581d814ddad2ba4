#include "standings-news/SheetRows.h"

#include <array>
#include <charconv>
#include <utility>

#include "foundation/DateFormatter.h"
#include "foundation/NumberFormatter.h"
#include "foundation/Strings.h"
#include "gfx/Font.h"
#include "gfx/SymbolImages.h"
#include "shell/PosixFormatter.h"
#include "shell/RaceTiming.h"
#include "ui/View.h"

namespace {

constexpr double symbolScale = 2;

}  // namespace

gfx::AttributedString pickerTitle(std::string_view name) {
    double titleSize = gfx::Font::preferredFont(gfx::TextStyle::title2).pointSize() - 2;
    double symbolSize = gfx::Font::preferredFont(gfx::TextStyle::body).pointSize() - 4;
    gfx::TextAttributes attributes{.font = gfx::Font::systemFont(titleSize, gfx::FontWeight::semibold),
                                   .foregroundColor = gfx::Color::white()};
    gfx::AttributedString title;
    title.append(std::string(name) + " ", attributes);

    auto chevron = std::make_shared<gfx::TextAttachment>();
    gfx::SymbolConfiguration configuration{.pointSize = symbolSize, .weight = gfx::FontWeight::bold};
    if (auto symbol = gfx::symbolImage("chevron.down", configuration, gfx::Color::white(0.3), symbolScale)) {
        chevron->image = std::move(symbol->bitmap);
        chevron->imageScale = symbol->scale;
    }
    title.appendAttachment(chevron, attributes);
    return title;
}

std::shared_ptr<ui::Menu> choiceMenu(const std::vector<std::string>& titles, int chosen, std::function<void(int)> pick) {
    auto menu = std::make_shared<ui::Menu>();
    for (std::size_t index = 0; index < titles.size(); ++index) {
        ui::MenuAction action;
        action.title = titles[index];
        action.state = static_cast<int>(index) == chosen ? ui::MenuElementState::on : ui::MenuElementState::off;
        action.handler = [pick, index](const ui::MenuAction&) { pick(static_cast<int>(index)); };
        menu->children.push_back(std::move(action));
    }
    return menu;
}

std::optional<std::string> teamImageName(std::string_view teamName) {
    static constexpr std::array<std::pair<std::string_view, std::string_view>, 12> rows{{
        {"red bull", "TeamRB"},
        {"red bull racing", "TeamRB"},
        {"aston martin", "TeamAM"},
        {"mercedes", "TeamM"},
        {"ferrari", "TeamF"},
        {"mclaren", "TeamML"},
        {"alpine f1 team", "TeamA"},
        {"alpine", "TeamA"},
        {"haas f1 team", "TeamH"},
        {"alfa romeo", "TeamAR"},
        {"alphatauri", "TeamAT"},
        {"williams", "TeamW"},
    }};
    std::string lowered = foundation::lowercased(teamName);
    for (const auto& [name, image] : rows) {
        if (lowered == name) return std::string(image);
    }
    return std::nullopt;
}

std::string ordinalText(long long number) {
    foundation::NumberFormatter formatter;
    formatter.setNumberStyle(foundation::NumberFormatter::Style::ordinal);
    return formatter.string(number).value_or("");
}

std::optional<long long> decimalInteger(std::string_view text) {
    long long value = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return value;
}

foundation::Date raceDay(const RacesDetailsModel& race, foundation::Date now) {
    return posixFormatter("yyyy-MM-dd").date(race.date).value_or(now);
}

std::string raceStartText(const RacesDetailsModel& race, foundation::Date day, foundation::Date now) {
    // The clock is read with the race's own date: a clock alone lands on 1 January 2000 and would
    // take that winter day's offset all year round.
    foundation::Date start = now;
    if (posixFormatter("HH:mm:ssZ").date(race.time)) start = RaceTiming::startInstant(race).value_or(now);

    std::string text = day > now ? "Starting at " : "Started at ";
    text += posixFormatter("HH:mm").string(start);
    text += ", on " + posixFormatter("dd").string(day) + " " + posixFormatter("LLL").string(day);
    return text;
}

void styleRow(ui::TableViewCell& cell, std::optional<gfx::Color> background, gfx::Color selected) {
    cell.setSeparatorInset({});
    auto selectedView = std::make_shared<ui::View>();
    selectedView->setBackgroundColor(selected);
    cell.setSelectedBackgroundView(selectedView);
    cell.setBackgroundColor(background);
}

void setUpSheetTable(ui::TableView& table, std::weak_ptr<ui::TableViewDataSource> source,
                     std::weak_ptr<ui::TableViewDelegate> delegate) {
    table.setDataSource(std::move(source));
    table.setDelegate(std::move(delegate));
    table.setBackgroundColor(gfx::Color::clear());
    table.setClipsToBounds(true);
    table.setRowHeight(ui::TableView::automaticDimension);
    table.setTableFooterView(std::make_shared<ui::View>(ui::Rect{}));
    table.setShowsVerticalScrollIndicator(false);
}
