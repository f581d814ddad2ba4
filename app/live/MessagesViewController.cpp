#include "live/MessagesViewController.h"

#include "cells/MessageCell.h"
#include "foundation/DateFormatter.h"
#include "foundation/Locale.h"
#include "foundation/Strings.h"
#include "foundation/TimeZone.h"
#include "gfx/Font.h"
#include "gfx/SymbolImages.h"

namespace {

// The byte length of the UTF-8 character that starts `text`.
std::size_t firstCharacterLength(std::string_view text) {
    if (text.empty()) return 0;
    auto lead = static_cast<unsigned char>(text[0]);
    std::size_t length = lead < 0x80 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
    return std::min(length, text.size());
}

bool hasWord(const std::vector<std::string>& words, std::string_view word) {
    return std::find(words.begin(), words.end(), word) != words.end();
}

gfx::AttributedString pillTitle(const std::string& text, double size, gfx::Color colour) {
    gfx::TextAttributes attributes;
    attributes.font = gfx::Font::systemFont(size, gfx::FontWeight::semibold);
    attributes.foregroundColor = colour;
    return gfx::AttributedString(text, attributes);
}

}  // namespace

void MessagesViewController::viewDidLoad() {
    RaceSheet::viewDidLoad();
    tableView->registerClass<MessageCell>(MessageCell::reuseIdentifier);
    tableView->registerClass<MessageWithFlagCell>(MessageWithFlagCell::reuseIdentifier);
    setUpTable(*tableView);
    view()->addSubview(tableView);
}

void MessagesViewController::viewDidLayoutSubviews() {
    RaceSheet::viewDidLayoutSubviews();
    tableView->setFrame({0, 0, view()->bounds().width(), view()->bounds().height()});
}

std::shared_ptr<ui::TableViewCell> MessagesViewController::cellForRow(ui::TableView& table, ui::IndexPath indexPath) {
    if (indexPath.section == 0) return headerRow(table, indexPath, gfx::Color::systemBlue());
    if (indexPath.section == 1) {
        return titleRow(table, indexPath, "Race Control Messages", gfx::Color::systemBlue().withAlphaComponent(0.75));
    }
    if (raceMessages.empty()) return emptyListRow(table, indexPath);
    if (indexPath.row < 0 || indexPath.row >= static_cast<int>(raceMessages.size())) return nullptr;
    const livetiming::Message& message = raceMessages[indexPath.row];
    if (message.category == "Flag") {
        auto cell = table.dequeueReusableCell<MessageWithFlagCell>(MessageWithFlagCell::reuseIdentifier, indexPath);
        if (!cell) return cell;
        fillMessage(*cell->lap, *cell->timeStamp, *cell->message, *cell, indexPath.row);
        fillFlag(*cell->status, message);
        return cell;
    }
    auto cell = table.dequeueReusableCell<MessageCell>(MessageCell::reuseIdentifier, indexPath);
    if (!cell) return cell;
    fillMessage(*cell->lap, *cell->timeStamp, *cell->message, *cell, indexPath.row);
    return cell;
}

void MessagesViewController::fillMessage(ui::Button& lap, ui::Label& timeStamp, ui::Label& text,
                                         ui::TableViewCell& cell, int row) {
    const livetiming::Message& message = raceMessages[row];
    timeStamp.setText(timeStampText(message.utc));

    double titleSize = gfx::Font::preferredFont(gfx::TextStyle::title2).pointSize() - 2;
    // Practice and qualifying messages of older seasons carry no lap: their pill stays hidden.
    std::string lapText = message.lap ? " " + std::to_string(*message.lap) : "";
    lap.setAttributedTitle(pillTitle(lapText, titleSize, gfx::Color::systemBlue()), ui::ControlState::normal);
    lap.setBackgroundColor(gfx::Color::systemBlue().withAlphaComponent(0.18));
    // Only the first message of each lap shows the lap; the hidden pill keeps its place.
    bool sameLapAsBefore = row > 0 && raceMessages[row - 1].lap == message.lap;
    lap.setAlpha(sameLapAsBefore || !message.lap ? 0 : 1);

    text.setText(messageText(message.message));

    bool sameLapAfter = row + 1 < static_cast<int>(raceMessages.size()) && raceMessages[row + 1].lap == message.lap;
    cell.setSeparatorInset(sameLapAfter ? ui::EdgeInsets{0, 59, 0, 0} : ui::EdgeInsets{});
    styleItemRow(cell);
}

void MessagesViewController::fillFlag(ui::Button& status, const livetiming::Message& message) {
    gfx::Color colour = flagColor(message.flag);
    bool clear = message.flag && message.flag->find("CLEAR") != std::string::npos;
    double size = gfx::Font::preferredFont(gfx::TextStyle::body).pointSize() - 4;
    gfx::AttributedString title;
    if (auto symbol = gfx::symbolImage(clear ? "rays" : "flag.fill", {size, gfx::FontWeight::semibold}, colour, 2)) {
        auto attachment = std::make_shared<gfx::TextAttachment>();
        attachment->image = std::move(symbol->bitmap);
        attachment->imageScale = symbol->scale;
        title.appendAttachment(std::move(attachment));
    }
    title.append(pillTitle(flagText(message.flag, message.sector), size, colour));
    status.setAttributedTitle(std::move(title), ui::ControlState::normal);
    status.setBackgroundColor(colour.withAlphaComponent(0.18));
}

std::string MessagesViewController::messageText(const std::string& message) {
    std::string text = foundation::lowercased(message);
    text = foundation::replacingOccurrences(text, "drs", "DRS");
    text = foundation::replacingOccurrences(text, "dnf", "DNF");
    text = foundation::replacingOccurrences(text, "fia", "FIA");
    std::size_t first = firstCharacterLength(text);
    return foundation::uppercased(std::string_view(text).substr(0, first)) + text.substr(first);
}

gfx::Color MessagesViewController::flagColor(const std::optional<std::string>& flag) {
    if (!flag) return gfx::Color::systemGreen();
    // Whole words: "CHEQUERED" holds the letters of RED without being a red flag.
    auto words = foundation::split(*flag, " ");
    if (flag->find("CLEAR") != std::string::npos) return gfx::Color::systemGray();
    gfx::Color colour = gfx::Color::systemGreen();
    if (hasWord(words, "GREEN")) colour = gfx::Color::systemGreen();
    if (hasWord(words, "YELLOW")) colour = gfx::Color::systemYellow();
    if (hasWord(words, "RED")) colour = gfx::Color::systemRed();
    if (hasWord(words, "BLUE")) colour = gfx::Color::systemBlue();
    return colour;
}

std::string MessagesViewController::flagText(const std::optional<std::string>& flag, std::optional<std::int64_t> sector) {
    std::string name = flag ? foundation::capitalized(*flag) : std::string();
    // A message for the whole track names no sector; it is not given one.
    std::string where = sector ? " in Sector " + std::to_string(*sector) : std::string();
    if (flag && flag->find("CLEAR") != std::string::npos) return " " + name + where;
    return " " + name + " Flag" + where;
}

std::string MessagesViewController::timeStampText(const std::string& utc) {
    // Read as the UTC instant it is, with its own date, so the local clock gets the offset of that
    // day (summer time included), not the one of a fixed winter day.
    foundation::DateFormatter formatter;
    formatter.setLocale(foundation::Locale("en_US_POSIX"));
    formatter.setTimeZone(foundation::TimeZone::utc());
    formatter.setDateFormat("yyyy-MM-dd'T'HH:mm:ss");
    foundation::Date instant = formatter.date(utc).value_or(foundation::Date::now());
    formatter.setTimeZone(foundation::TimeZone::current());
    formatter.setDateFormat("HH:mm:ss");
    return formatter.string(instant);
}
