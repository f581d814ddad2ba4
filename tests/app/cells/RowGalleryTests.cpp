#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "cells/AudioCell.h"
#include "cells/MessageCell.h"
#include "cells/NewsCell.h"
#include "cells/RaceBreakdownCell.h"
#include "cells/RaceMessagesCell.h"
#include "cells/RaceStandingsCell.h"
#include "cells/RemindersCell.h"
#include "cells/TicketsCell.h"
#include "cells/TyresCell.h"
#include "cells/VoteCell.h"
#include "gfx/SymbolImages.h"
#include "gfx/TextMeasurer.h"
#include "ui/AssetCatalog.h"
#include "ui/HeadlessHost.h"

// The action cards and list rows filled as their screens fill them (2023 content), rendered with the
// real fonts into the build's gallery/ folder, and probed where the layout puts ink and colour.

namespace {

using gfx::Color;
using Titles = std::vector<std::pair<std::shared_ptr<ui::Button>, std::string>>;

bool near(Color a, Color b, double tolerance = 0.04) {
    return std::abs(a.red - b.red) <= tolerance && std::abs(a.green - b.green) <= tolerance &&
           std::abs(a.blue - b.blue) <= tolerance;
}

Color over(Color color, double alpha, Color under = Color::white()) {
    auto mix = [&](double top, double bottom) { return top * alpha + bottom * (1 - alpha); };
    return {mix(color.red, under.red), mix(color.green, under.green), mix(color.blue, under.blue), 1};
}

std::shared_ptr<gfx::Image> symbol(std::string_view name, double size, Color tint) {
    auto rendered = gfx::symbolImage(name, {size, gfx::FontWeight::semibold}, tint, 2);
    return gfx::Image::fromBitmap(rendered->bitmap, rendered->scale);
}

class RowGallery : public ::testing::Test {
protected:
    void SetUp() override { gfx::setTextMeasurer(nullptr); }  // the real fonts

    template <class Card>
    std::shared_ptr<Card> card(std::shared_ptr<Card> cell, const char* title, const char* description, const Titles& titles) {
        cell->infoTitle->setText(title);
        cell->infoDescription->setText(description);
        for (const auto& [button, text] : titles) button->setTitle(text, ui::ControlState::normal);
        rows.push_back(cell);
        return cell;
    }
    // White rows over the grouped grey with a hairline between them, on a page as tall as they are.
    void save(const std::string& name) {
        double total = 0;
        for (const auto& cell : rows) {
            cell->setBackgroundColor(Color::systemBackground());
            cell->setFrame({0, 0, 390, cell->contentView()->systemLayoutSizeFitting({390, 0}).height});
            total += cell->frame().height() + 1;
        }
        page = std::make_unique<ui::HeadlessHost>(ui::HeadlessHost::Options{{390, total}, 2, Color::systemGray6()});
        double y = 0;
        for (const auto& cell : rows) {
            cell->setFrame({0, y, 390, cell->frame().height()});
            page->window()->addSubview(cell);
            y += cell->frame().height() + 1;
        }
        page->snapshot();
        std::filesystem::create_directories(SORVANE_GALLERY_DIR);
        EXPECT_TRUE(page->writePng(std::string(SORVANE_GALLERY_DIR) + "/" + name + ".png"));
    }
    Color at(const ui::View& view, ui::Point point) { return *page->pixel(view.convertPointTo(point, nullptr)); }
    // Some pixel of the view is ink: clearly darker than the card, or near a given colour.
    bool hasInk(const ui::View& view, std::optional<Color> color = std::nullopt) {
        for (double y = 0.25; y < view.bounds().height(); y += 0.5)
            for (double x = 0.25; x < view.bounds().width(); x += 0.5) {
                Color pixel = at(view, {x, y});
                if (color ? near(pixel, *color, 0.12) : pixel.red + pixel.green + pixel.blue < 2.2) return true;
            }
        return false;
    }
    void expectTintedButton(const ui::Button& button, Color color) {
        EXPECT_TRUE(near(at(button, {button.bounds().width() / 2, 4}), over(color, 0.2)));
        EXPECT_TRUE(hasInk(*button.titleLabel(), color));
    }

    std::vector<std::shared_ptr<ui::TableViewCell>> rows;
    std::unique_ptr<ui::HeadlessHost> page;
};

TEST_F(RowGallery, actionCards) {
    auto links = card(std::make_shared<ExternalLinksCell>(), "Extras", "More options to enhance your race experience", {});
    links->watch->setTitle("Where to Watch", ui::ControlState::normal);
    links->tickets->setTitle("Book Tickets", ui::ControlState::normal);
    const char* alerts = "Add this session to your calendar or be reminded via push notifications";
    auto reminders = std::make_shared<RemindersCell>();
    card(reminders, "Race Alerts", alerts,
         {{reminders->calendar, "Add to Calendar"}, {reminders->notifications1, "30 Mins Alert"}, {reminders->notifications2, "1 Hour Alert"}});
    auto remove = std::make_shared<RemoveRemindersCell>();
    card(remove, "Qualifying Alerts", alerts, {{remove->calendar, "Add to Calendar"}, {remove->notifications1, "Remove Reminder"}});
    auto breakdown = std::make_shared<RaceBreakdownCell>();
    card(breakdown, "Race Breakdown", "Information about lap times, pit stop times, and tyres",
         {{breakdown->lap, "Laps"}, {breakdown->pitStop, "Pit Stops"}, {breakdown->tyres, "Tyres and Compounds"}});
    auto standings = std::make_shared<RaceStandingsCell>();
    card(standings, "Current Standings", "View season standings after this race", {{standings->drivers, "Drivers"}, {standings->teams, "Teams"}});
    auto predictions = std::make_shared<RaceStandingsCell>(RaceStandingsCell::predictionsReuseIdentifier);
    card(predictions, "Predictions", "View predictions for who is on track to win the championship after this race",
         {{predictions->drivers, "Drivers"}, {predictions->teams, "Teams"}});
    for (auto [button, name] : {std::pair{predictions->drivers, "darkGreen"}, std::pair{predictions->teams, "tealGreen"}}) {
        button->setTitleColor(ui::namedColor(name), ui::ControlState::normal);
        button->setBackgroundColor(ui::namedColor(name)->withAlphaComponent(0.2));
    }
    auto messages = std::make_shared<RaceMessagesCell>();
    card(messages, "Sorvane", "Listen in to race control messages and audio", {{messages->messages, "Messages"}, {messages->audio, "Radio"}});
    auto vote = std::make_shared<VoteCell>();
    card(vote, "Driver of the Day", "Vote for who you think should be the driver of the day", {{vote->vote, "Vote Now"}});
    save("action-cards");

    EXPECT_TRUE(hasInk(*links->infoTitle));
    EXPECT_TRUE(hasInk(*vote->infoDescription));
    expectTintedButton(*links->watch, Color::systemOrange());
    expectTintedButton(*reminders->notifications2, Color::systemPurple());
    expectTintedButton(*remove->notifications1, Color::systemRed());
    expectTintedButton(*breakdown->lap, *ui::namedColor("dirtyBrown"));
    expectTintedButton(*standings->teams, *ui::namedColor("dullPink"));
    expectTintedButton(*predictions->drivers, *ui::namedColor("darkGreen"));
    expectTintedButton(*messages->audio, Color::systemIndigo());
    expectTintedButton(*vote->vote, Color::systemPink());
}

TEST_F(RowGallery, messagesRadioAndNews) {
    auto message = [&]<class Row>(std::shared_ptr<Row> row, int lap, bool firstOfLap, const char* time, const char* text) {
        gfx::TextAttributes pill{gfx::Font::systemFont(20, gfx::FontWeight::semibold), Color::systemBlue()};
        row->lap->setAttributedTitle(gfx::AttributedString(" " + std::to_string(lap), pill), ui::ControlState::normal);
        row->lap->setBackgroundColor(Color::systemBlue().withAlphaComponent(0.18));
        row->lap->setAlpha(firstOfLap ? 1 : 0);
        row->timeStamp->setText(time);
        row->message->setText(text);
        rows.push_back(row);
        return row;
    };
    auto first = message(std::make_shared<MessageCell>(), 12, true, "15:32:07",
                         "CAR 55 (SAI) TIME 1:36.740 DELETED - TRACK LIMITS AT TURN 4 LAP 11 15:31:52");
    auto sameLap = message(std::make_shared<MessageCell>(), 12, false, "15:32:40", "DRS ENABLED");
    auto flag = message(std::make_shared<MessageWithFlagCell>(), 14, true, "15:35:18", "YELLOW IN TRACK SECTOR 7");
    Color yellow = Color::systemYellow();
    gfx::TextAttributes flagText{gfx::Font::systemFont(13, gfx::FontWeight::semibold), yellow};
    auto icon = std::make_shared<gfx::TextAttachment>(*symbol("flag.fill", 13, yellow)->bitmap(), 2);
    gfx::AttributedString flagTitle;
    flagTitle.appendAttachment(icon, flagText);
    flagTitle.append(" Yellow Flag in Sector 7", flagText);
    flag->status->setAttributedTitle(flagTitle, ui::ControlState::normal);
    flag->status->setBackgroundColor(yellow.withAlphaComponent(0.18));

    std::vector<std::shared_ptr<AudioCell>> clips;
    for (auto [team, driver, time, progress] : {std::tuple{"TeamRB", "Max Verstappen", "15:41:02", 0.4},
                                                std::tuple{"TeamAM", "Fernando Alonso", "15:44:37", -1.0}}) {
        auto clip = std::make_shared<AudioCell>();
        clip->driverImage->setImage(ui::namedImage(team));
        clip->driverImage->setBackgroundColor(ui::namedColor(team));
        clip->driver->setText(driver);
        clip->status->setText(time);
        clip->status->setTextColor(Color::secondaryLabel());
        Color tint = progress >= 0 ? Color::systemRed() : Color::systemIndigo();
        clip->playStop->setImage(symbol(progress >= 0 ? "stop.fill" : "play.fill", 17, tint), ui::ControlState::normal);
        clip->playStop->setBackgroundColor(tint.withAlphaComponent(0.2));
        clip->progressBG->setBackgroundColor(Color::label().withAlphaComponent(0.1));
        clip->setProgress(progress);
        clips.push_back(clip);
        rows.push_back(clip);
    }
    auto news = std::make_shared<NewsCell>();
    news->time->setText("5 March 2023 at 17:42");
    news->titleText->setText("Verstappen leads Perez to Red Bull one-two as Alonso takes podium on Aston Martin debut");
    news->message->setText("Max Verstappen opened his title defence with a dominant win in Bahrain, while Fernando Alonso "
                           "charged through the field to claim a first podium for Aston Martin since 2021.");
    rows.push_back(news);
    save("messages-radio-news");

    EXPECT_TRUE(hasInk(*first->message));
    EXPECT_TRUE(hasInk(*first->lap->titleLabel(), Color::systemBlue()));
    EXPECT_TRUE(near(at(*sameLap->lap, {4, 4}), Color::white()));  // in its place, not drawn
    EXPECT_TRUE(near(at(*flag->status, {4, flag->status->bounds().height() / 2}), over(yellow, 0.18)));
    EXPECT_TRUE(hasInk(*flag->status, yellow));
    // The playing clip: indigo over 40 % of its track, the faint track after it; the other empty.
    double track = clips[0]->progressBG->bounds().width();
    Color faint = over(Color::label(), 0.1);
    EXPECT_TRUE(near(at(*clips[0]->progressBG, {track * 0.2, 3}), Color::systemIndigo()));
    EXPECT_TRUE(near(at(*clips[0]->progressBG, {track * 0.7, 3}), faint));
    EXPECT_TRUE(near(at(*clips[1]->progressBG, {track * 0.2, 3}), faint));
    EXPECT_TRUE(hasInk(*clips[0]->playStop, Color::systemRed()));
    EXPECT_TRUE(hasInk(*news->titleText));
    EXPECT_LE(news->titleText->frame().maxX(), news->bgView->bounds().width() - 20);  // wrapped, not run off
}

TEST_F(RowGallery, tyreStints) {
    using livetiming::StintModel;
    std::vector<std::shared_ptr<TyresCell>> cells;
    for (auto [team, driver, stints] :
         {std::tuple{"TeamRB", "Max Verstappen",
                     std::vector<StintModel>{{"SOFT", true, "", 14, 0}, {"SOFT", false, "", 25, 3}, {"HARD", true, "", 21, 0}}},
          std::tuple{"TeamML", "Lando Norris",
                     std::vector<StintModel>{{"MEDIUM", true, "", 18, 0}, {"INTERMEDIATE", true, "", 9, 0}, {"WET", false, "", 30, 0}}}}) {
        auto cell = std::make_shared<TyresCell>();
        cell->driverImage->setImage(ui::namedImage(team));
        cell->driverImage->setBackgroundColor(ui::namedColor(team));
        cell->driver->setText(driver);
        cell->showStints(stints, 57);
        cells.push_back(cell);
        rows.push_back(cell);
    }
    save("tyre-stints");

    auto bar = [&](std::size_t driver, std::size_t stint) -> const TyresCell::StintRow& {
        return static_cast<const TyresCell::StintRow&>(*cells[driver]->tyreStack->arrangedSubviews().at(stint));
    };
    // New soft full red, used soft half red over the grey track, hard in the label's colour.
    EXPECT_TRUE(near(at(*bar(0, 0).bar, {10, 4}), Color::systemRed()));
    EXPECT_TRUE(near(at(*bar(0, 1).bar, {10, 4}), over(Color::systemRed(), 0.5, Color::systemGray5())));
    EXPECT_TRUE(near(at(*bar(0, 2).bar, {10, 4}), Color::black()));
    EXPECT_TRUE(near(at(*bar(1, 1).bar, {4, 4}), Color::systemGreen()));
    // The track shows after the first stint, and its caption has ink.
    EXPECT_TRUE(near(at(bar(0, 0), {bar(0, 0).bounds().width() - 10, 4}), Color::systemGray5()));
    EXPECT_TRUE(hasInk(*bar(0, 0).caption));
}

}  // namespace
