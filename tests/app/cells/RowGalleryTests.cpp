#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "gfx/TextMeasurer.h"
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
#include "ui/AssetCatalog.h"
#include "ui/HeadlessHost.h"

// Every cell of these screens filled as the screens fill them (2023 season content), rendered with the
// real fonts into the build folder's gallery/, and probed where the layout puts ink and colour.

namespace {

using gfx::Color;
using livetiming::StintModel;

std::filesystem::path galleryFolder() {
    std::filesystem::path folder = SORVANE_GALLERY_DIR;
    std::filesystem::create_directories(folder);
    return folder;
}

bool near(Color a, Color b, double tolerance = 0.03) {
    return std::abs(a.red - b.red) <= tolerance && std::abs(a.green - b.green) <= tolerance &&
           std::abs(a.blue - b.blue) <= tolerance;
}

// `color` at `alpha` over white, as the card shows a tinted background.
Color overWhite(Color color, double alpha) {
    auto mix = [&](double component) { return component * alpha + (1 - alpha); };
    return {mix(color.red), mix(color.green), mix(color.blue), 1};
}

std::shared_ptr<gfx::Image> symbol(std::string_view name, double size, Color tint) {
    auto rendered = gfx::symbolImage(name, {size, gfx::FontWeight::semibold}, tint, 2);
    return rendered ? gfx::Image::fromBitmap(rendered->bitmap, rendered->scale) : nullptr;
}

void setTitles(const std::vector<std::pair<std::shared_ptr<ui::Button>, std::string>>& titles) {
    for (const auto& [button, title] : titles) button->setTitle(title, ui::ControlState::normal);
}

class RowGallery : public ::testing::Test {
protected:
    // The real fonts, whatever an earlier test installed.
    void SetUp() override { gfx::setTextMeasurer(nullptr); }

    template <class Cell>
    std::shared_ptr<Cell> row(std::shared_ptr<Cell> cell) {
        rows.push_back(cell);
        return cell;
    }
    // The rows as the table shows them once filled: white cells over the grouped grey, a hairline
    // between them, on a page as tall as they are.
    void save(const std::string& name) {
        std::vector<double> heights;
        double total = 0;
        for (const auto& cell : rows) {
            cell->setBackgroundColor(Color::systemBackground());
            heights.push_back(cell->contentView()->systemLayoutSizeFitting({390.0, 0}).height);
            total += heights.back() + 1;
        }
        page = std::make_unique<ui::HeadlessHost>(
            ui::HeadlessHost::Options{{390.0, total}, 2, Color::systemGray6()});
        double y = 0;
        for (std::size_t index = 0; index < rows.size(); ++index) {
            rows[index]->setFrame({0, y, 390.0, heights[index]});
            page->window()->addSubview(rows[index]);
            y += heights[index] + 1;
        }
        page->snapshot();
        EXPECT_TRUE(page->writePng((galleryFolder() / name).string()));
    }

    std::vector<std::shared_ptr<ui::TableViewCell>> rows;
    std::unique_ptr<ui::HeadlessHost> page;

    ui::Point inWindow(const ui::View& view, ui::Point point) { return view.convertPointTo(point, nullptr); }
    Color at(const ui::View& view, ui::Point point) { return *page->pixel(inWindow(view, point)); }
    // Some pixel of the view's frame is clearly darker than the white card: text was drawn there.
    bool hasInk(const ui::View& view, std::function<bool(Color)> isInk = nullptr) {
        if (!isInk) isInk = [](Color c) { return c.red + c.green + c.blue < 2.2; };
        ui::Rect bounds = view.bounds();
        for (double y = 0.25; y < bounds.height(); y += 0.5)
            for (double x = 0.25; x < bounds.width(); x += 0.5)
                if (isInk(at(view, {x, y}))) return true;
        return false;
    }
};

TEST_F(RowGallery, actionCards) {
    auto links = row(std::make_shared<ExternalLinksCell>());
    links->infoTitle->setText("Extras");
    links->infoDescription->setText("More options to enhance your race experience");
    setTitles({{links->watch, "Where to Watch"}, {links->tickets, "Book Tickets"}});

    auto reminders = std::make_shared<RemindersCell>();
    reminders->infoTitle->setText("Race Alerts");
    reminders->infoDescription->setText("Add this session to your calendar or be reminded via push notifications");
    setTitles({{reminders->calendar, "Add to Calendar"}, {reminders->notifications1, "30 Mins Alert"},
               {reminders->notifications2, "1 Hour Alert"}});
    row(reminders);

    auto remove = std::make_shared<RemoveRemindersCell>();
    remove->infoTitle->setText("Qualifying Alerts");
    remove->infoDescription->setText("Add this session to your calendar or be reminded via push notifications");
    setTitles({{remove->calendar, "Add to Calendar"}, {remove->notifications1, "Remove Reminder"}});
    row(remove);

    auto breakdown = std::make_shared<RaceBreakdownCell>();
    breakdown->infoTitle->setText("Race Breakdown");
    breakdown->infoDescription->setText("Information about lap times, pit stop times, and tyres");
    setTitles({{breakdown->lap, "Laps"}, {breakdown->pitStop, "Pit Stops"}, {breakdown->tyres, "Tyres and Compounds"}});
    row(breakdown);

    auto standings = std::make_shared<RaceStandingsCell>();
    standings->infoTitle->setText("Current Standings");
    standings->infoDescription->setText("View season standings after this race");
    setTitles({{standings->drivers, "Drivers"}, {standings->teams, "Teams"}});
    row(standings);

    auto predictions = std::make_shared<RaceStandingsCell>(RaceStandingsCell::predictionsReuseIdentifier);
    predictions->infoTitle->setText("Predictions");
    predictions->infoDescription->setText("View predictions for who is on track to win the championship after this race");
    setTitles({{predictions->drivers, "Drivers"}, {predictions->teams, "Teams"}});
    for (auto [button, name] : {std::pair{predictions->drivers, "darkGreen"}, std::pair{predictions->teams, "tealGreen"}}) {
        button->setTitleColor(ui::namedColor(name), ui::ControlState::normal);
        button->setBackgroundColor(ui::namedColor(name)->withAlphaComponent(0.2));
    }
    row(predictions);

    auto messages = std::make_shared<RaceMessagesCell>();
    messages->infoTitle->setText("Sorvane");
    messages->infoDescription->setText("Listen in to race control messages and audio");
    setTitles({{messages->messages, "Messages"}, {messages->audio, "Radio"}});
    row(messages);

    auto vote = std::make_shared<VoteCell>();
    vote->infoTitle->setText("Driver of the Day");
    vote->infoDescription->setText("Vote for who you think should be the driver of the day");
    setTitles({{vote->vote, "Vote Now"}});
    row(vote);
    save("action-cards.png");

    EXPECT_TRUE(hasInk(*links->infoTitle));
    EXPECT_TRUE(hasInk(*vote->infoDescription));
    // Each button: its tint at a fifth in a corner of the title's inset, its colour in the title.
    auto expectButton = [&](const ui::Button& button, Color color) {
        EXPECT_TRUE(near(at(button, {button.bounds().width() / 2, 4}), overWhite(color, 0.2)));
        EXPECT_TRUE(hasInk(*button.titleLabel(), [&](Color c) { return near(c, color, 0.12); }));
    };
    expectButton(*links->watch, Color::systemOrange());
    expectButton(*reminders->notifications2, Color::systemPurple());
    expectButton(*remove->notifications1, Color::systemRed());
    expectButton(*breakdown->lap, *ui::namedColor("dirtyBrown"));
    expectButton(*standings->teams, *ui::namedColor("dullPink"));
    expectButton(*predictions->drivers, *ui::namedColor("darkGreen"));
    expectButton(*messages->audio, Color::systemIndigo());
    expectButton(*vote->vote, Color::systemPink());
}

TEST_F(RowGallery, messagesRadioAndNews) {
    auto lapPill = [](ui::Button& lap, int number, double alpha) {
        gfx::TextAttributes attributes{gfx::Font::systemFont(20, gfx::FontWeight::semibold), Color::systemBlue()};
        lap.setAttributedTitle(gfx::AttributedString(" " + std::to_string(number), attributes), ui::ControlState::normal);
        lap.setBackgroundColor(Color::systemBlue().withAlphaComponent(0.18));
        lap.setAlpha(alpha);
    };
    auto first = std::make_shared<MessageCell>();
    lapPill(*first->lap, 12, 1);
    first->timeStamp->setText("15:32:07");
    first->message->setText("CAR 55 (SAI) TIME 1:36.740 DELETED - TRACK LIMITS AT TURN 4 LAP 11 15:31:52");
    row(first);
    auto sameLap = std::make_shared<MessageCell>();
    lapPill(*sameLap->lap, 12, 0);
    sameLap->timeStamp->setText("15:32:40");
    sameLap->message->setText("DRS ENABLED");
    row(sameLap);

    auto flag = std::make_shared<MessageWithFlagCell>();
    lapPill(*flag->lap, 14, 1);
    flag->timeStamp->setText("15:35:18");
    flag->message->setText("YELLOW IN TRACK SECTOR 7");
    Color yellow = Color::systemYellow();
    gfx::AttributedString flagTitle;
    auto icon = std::make_shared<gfx::TextAttachment>();
    auto flagImage = symbol("flag.fill", 13, yellow);
    icon->image = *flagImage->bitmap();
    icon->imageScale = 2;
    flagTitle.appendAttachment(icon, {gfx::Font::systemFont(13, gfx::FontWeight::semibold), yellow});
    flagTitle.append(" Yellow Flag in Sector 7", {gfx::Font::systemFont(13, gfx::FontWeight::semibold), yellow});
    flag->status->setAttributedTitle(flagTitle, ui::ControlState::normal);
    flag->status->setBackgroundColor(yellow.withAlphaComponent(0.18));
    row(flag);

    struct Clip {
        const char* team;
        const char* driver;
        const char* time;
        double progress;  // negative: not playing
    };
    std::vector<std::shared_ptr<AudioCell>> clips;
    for (const Clip& clip : {Clip{"TeamRB", "Max Verstappen", "15:41:02", 0.4}, Clip{"TeamAM", "Fernando Alonso", "15:44:37", -1},
                             Clip{"TeamM", "Lewis Hamilton", "15:47:15", -1}}) {
        auto radio = std::make_shared<AudioCell>();
        radio->driverImage->setImage(ui::namedImage(clip.team));
        radio->driverImage->setBackgroundColor(ui::namedColor(clip.team));
        radio->driver->setText(clip.driver);
        radio->status->setText(clip.time);
        radio->status->setTextColor(Color::secondaryLabel());
        bool playing = clip.progress >= 0;
        Color tint = playing ? Color::systemRed() : Color::systemIndigo();
        radio->playStop->setImage(symbol(playing ? "stop.fill" : "play.fill", 17, tint), ui::ControlState::normal);
        radio->playStop->setBackgroundColor(tint.withAlphaComponent(0.2));
        radio->progressBG->setBackgroundColor(Color::label().withAlphaComponent(0.1));
        radio->setProgress(playing ? clip.progress : 0);
        clips.push_back(row(radio));
    }

    auto news = std::make_shared<NewsCell>();
    news->time->setText("5 March 2023 at 17:42");
    news->titleText->setText("Verstappen leads Perez to Red Bull one-two as Alonso takes podium on Aston Martin debut");
    news->message->setText("Max Verstappen opened his title defence with a dominant win in Bahrain, while Fernando Alonso "
                           "charged through the field to claim a first podium for Aston Martin since 2021.");
    row(news);
    auto secondNews = std::make_shared<NewsCell>();
    secondNews->time->setText("4 March 2023 at 16:05");
    secondNews->titleText->setText("Verstappen beats Perez to Bahrain pole");
    secondNews->message->setText("The world champion topped all three parts of qualifying.");
    row(secondNews);
    save("messages-radio-news.png");

    EXPECT_TRUE(hasInk(*first->message));
    EXPECT_TRUE(hasInk(*first->lap->titleLabel(), [](Color c) { return near(c, Color::systemBlue(), 0.15); }));
    // The pill of a repeated lap keeps its place but is not drawn.
    EXPECT_EQ(sameLap->lap->frame().width(), first->lap->frame().width());
    EXPECT_TRUE(near(at(*sameLap->lap, {4, 4}), Color::white()));
    EXPECT_TRUE(near(at(*flag->status, {4, flag->status->bounds().height() / 2}), overWhite(yellow, 0.18)));
    EXPECT_TRUE(hasInk(*flag->status, [&](Color c) { return near(c, yellow, 0.12); }));

    // The playing clip: indigo over 40 % of its track, the faint track after it; the others empty.
    const AudioCell& playing = *clips[0];
    double trackWidth = playing.progressBG->bounds().width();
    EXPECT_TRUE(near(at(*playing.progressBG, {trackWidth * 0.2, 3}), Color::systemIndigo()));
    EXPECT_TRUE(near(at(*playing.progressBG, {trackWidth * 0.7, 3}), overWhite(Color::label(), 0.1)));
    EXPECT_TRUE(near(at(*clips[1]->progressBG, {trackWidth * 0.2, 3}), overWhite(Color::label(), 0.1)));
    EXPECT_TRUE(hasInk(*playing.playStop, [](Color c) { return near(c, Color::systemRed(), 0.1); }));
    EXPECT_TRUE(near(at(*clips[1]->driverImage, {25, 2}), *ui::namedColor("TeamAM"), 0.2));
    EXPECT_TRUE(hasInk(*news->titleText));
    EXPECT_GT(news->titleText->frame().height(), 30);  // two lines
}

TEST_F(RowGallery, tyreStints) {
    struct Driver {
        const char* team;
        const char* name;
        std::vector<StintModel> stints;
    };
    std::vector<Driver> drivers{
        {"TeamRB", "Max Verstappen", {{"SOFT", true, "false", 14, 0}, {"SOFT", false, "false", 25, 3}, {"HARD", true, "false", 21, 0}}},
        {"TeamAM", "Fernando Alonso", {{"SOFT", true, "false", 13, 0}, {"HARD", true, "false", 17, 0}, {"HARD", false, "false", 30, 3}}},
        {"TeamML", "Lando Norris", {{"MEDIUM", true, "false", 18, 0}, {"INTERMEDIATE", true, "false", 9, 0}, {"WET", false, "false", 30, 0}}},
    };
    std::vector<std::shared_ptr<TyresCell>> cells;
    for (const auto& driver : drivers) {
        auto cell = std::make_shared<TyresCell>();
        cell->driverImage->setImage(ui::namedImage(driver.team));
        cell->driverImage->setBackgroundColor(ui::namedColor(driver.team));
        cell->driver->setText(driver.name);
        cell->showStints(driver.stints, 57);
        cells.push_back(row(cell));
    }
    save("tyre-stints.png");

    auto& verstappen = *cells[0];
    auto stintRow = [](const TyresCell& cell, std::size_t index) -> TyresCell::StintRow& {
        return static_cast<TyresCell::StintRow&>(*cell.tyreStack->arrangedSubviews().at(index));
    };
    // A new soft at full red, the used soft at half red over the grey track, the hard in the label's colour.
    EXPECT_TRUE(near(at(*stintRow(verstappen, 0).bar, {10, 4}), Color::systemRed()));
    Color gray5 = Color::systemGray5();
    Color red = Color::systemRed();
    Color halfRed{(red.red + gray5.red) / 2, (red.green + gray5.green) / 2, (red.blue + gray5.blue) / 2, 1};
    EXPECT_TRUE(near(at(*stintRow(verstappen, 1).bar, {10, 4}), halfRed, 0.04));
    EXPECT_TRUE(near(at(*stintRow(verstappen, 2).bar, {10, 4}), Color::black()));
    // The track shows where the first stint ends, and the caption has ink under it.
    auto& first = stintRow(verstappen, 0);
    EXPECT_TRUE(near(at(first, {first.bounds().width() - 10, 4}), gray5));
    EXPECT_TRUE(hasInk(*first.caption));
    EXPECT_TRUE(near(at(*stintRow(*cells[2], 1).bar, {4, 4}), Color::systemGreen(), 0.04));
    EXPECT_TRUE(hasInk(verstappen.driver.operator*()));
}

}  // namespace
