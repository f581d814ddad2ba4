#include <gtest/gtest.h>

#include "CellLayoutSupport.h"
#include "cells/ActionCard.h"
#include "cells/DetailHeaderCell.h"
#include "cells/RaceBreakdownCell.h"
#include "cells/RaceMessagesCell.h"
#include "cells/RaceStandingsCell.h"
#include "cells/RemindersCell.h"
#include "cells/TicketsCell.h"
#include "cells/VoteCell.h"
#include "ui/AssetCatalog.h"

namespace {

using gfx::Color;
using ui::Rect;

struct Expected {
    std::shared_ptr<ui::Button> button;
    Color color;
    Rect frame;
};

// The header on one line (a 25-character description in the 35 that fit), so buttons start at 70 and
// are a 20-point line plus 12 above and below: 44 high.
template <class Card>
void expectCard(Card& card, const std::vector<Expected>& buttons, double height) {
    FixedTextSizes sizes;
    card.infoTitle->setText("Sorvane");
    card.infoDescription->setText("Listen in to race control");
    for (const auto& expected : buttons) expected.button->setTitle("Pit Stops", ui::ControlState::normal);
    buttons.front().button->setTitle("Laps", ui::ControlState::normal);  // equal halves whatever the titles
    EXPECT_EQ(layOut(card), height);
    EXPECT_EQ(card.infoTitle->frame(), (Rect{20, 14, 350, 20}));
    EXPECT_EQ(card.infoDescription->frame(), (Rect{20, 36, 350, 20}));
    for (const auto& expected : buttons) {
        EXPECT_EQ(expected.button->frame(), expected.frame);
        EXPECT_EQ(expected.button->titleColor(ui::ControlState::normal), expected.color);
        EXPECT_EQ(expected.button->backgroundColor(), expected.color.withAlphaComponent(0.2));
    }
}

TEST(ActionCards, fullWidthButtonsStack12ApartAndSideBySideButtonsShareTheRowEqually) {
    Rect secondFull{20, 126, 350, 44}, left{20, 70, 169, 44}, right{201, 70, 169, 44};
    // The cards whose description may say why a link, a reminder or a calendar entry failed keep the
    // room of two lines for it.
    Rect fullBelowStatus{20, 90, 350, 44}, secondFullBelowStatus{20, 146, 350, 44};

    auto links = std::make_shared<ExternalLinksCell>();
    expectCard(*links,
               {{links->watch, Color::systemOrange(), fullBelowStatus}, {links->tickets, Color::systemRed(), secondFullBelowStatus}},
               204);
    auto remove = std::make_shared<RemoveRemindersCell>();
    expectCard(*remove,
               {{remove->calendar, Color::systemBlue(), fullBelowStatus},
                {remove->notifications1, Color::systemRed(), secondFullBelowStatus}},
               204);
    auto vote = std::make_shared<VoteCell>();
    expectCard(*vote, {{vote->vote, Color::systemPink(), fullBelowStatus}}, 148);

    auto breakdown = std::make_shared<RaceBreakdownCell>();
    expectCard(*breakdown,
               {{breakdown->lap, *ui::namedColor("dirtyBrown"), left}, {breakdown->pitStop, Color::systemOrange(), right},
                {breakdown->tyres, Color::systemPurple(), secondFull}},
               184);
    auto standings = std::make_shared<RaceStandingsCell>(RaceStandingsCell::predictionsReuseIdentifier);
    EXPECT_EQ(standings->ui::TableViewCell::reuseIdentifier(), "RaceStandingsCell2");
    expectCard(*standings,
               {{standings->drivers, Color::systemPink(), left}, {standings->teams, *ui::namedColor("dullPink"), right}}, 128);
    auto messages = std::make_shared<RaceMessagesCell>();
    expectCard(*messages, {{messages->messages, Color::systemBlue(), left}, {messages->audio, Color::systemIndigo(), right}},
               128);
    auto reminders = std::make_shared<RemindersCell>();
    expectCard(*reminders,
               {{reminders->calendar, Color::systemBlue(), fullBelowStatus},
                {reminders->notifications1, Color::systemIndigo(), Rect{20, 146, 169, 44}},
                {reminders->notifications2, Color::systemPurple(), Rect{201, 146, 169, 44}}},
               204);
}

TEST(ActionCards, aLongDescriptionWrapsAndPushesTheButtonsDown) {
    FixedTextSizes sizes;
    auto cell = std::make_shared<VoteCell>();
    auto& vote = *cell;
    vote.infoTitle->setText("Driver of the Day");
    vote.infoDescription->setText("Vote for who you think should be the driver of the day");  // 55 characters
    vote.vote->setTitle("Vote Now", ui::ControlState::normal);
    EXPECT_EQ(layOut(vote), 90 + 44 + 14);
    EXPECT_EQ(vote.infoDescription->frame(), (Rect{20, 36, 350, 40}));
    EXPECT_EQ(vote.vote->frame().minY(), 36 + 40 + 14);
}

// A status in place of the description (a link that did not open) is read whole and moves no button,
// and so is the news header's in place of its motto.
TEST(ActionCards, aStatusLineShowsWholeAndLeavesTheButtonsWhereTheyWere) {
    FixedTextSizes sizes;
    auto links = std::make_shared<ExternalLinksCell>();
    links->infoTitle->setText("Extras");
    links->watch->setTitle("Where to Watch", ui::ControlState::normal);
    links->tickets->setTitle("Book Tickets", ui::ControlState::normal);
    links->infoDescription->setText("More options to enhance your race experience");
    double height = layOut(*links);
    Rect watch = links->watch->frame(), tickets = links->tickets->frame();
    links->infoDescription->setText("Could not open the ticket shop: no web browser answered.");  // 56 characters
    EXPECT_EQ(layOut(*links), height);
    EXPECT_EQ(links->infoDescription->frame(), (Rect{20, 36, 350, 40})) << "two whole lines";
    EXPECT_EQ(links->watch->frame(), watch);
    EXPECT_EQ(links->tickets->frame(), tickets);

    auto header = std::make_shared<DetailHeaderCell>(DetailHeaderCell::statusReuseIdentifier);
    header->time->setHidden(true);
    header->race->setText("News");
    header->circuit->setText("Stay up to date with the world of Formula 1");
    height = layOut(*header);
    header->circuit->setText("Could not open the article: no web browser answered.");  // 52 characters
    EXPECT_EQ(layOut(*header), height) << "the rows below would move";
    EXPECT_EQ(header->circuit->frame().height(), 40) << "cut to one line";
}

TEST(ActionCards, aCatalogueColourThatIsMissingLeavesTheDefaultTitleColourAndAClearBackground) {
    ui::View card;
    auto button = std::make_shared<ui::Button>();
    addActionButton(card, button, "noSuchColour", FontBases{});
    EXPECT_EQ(button->titleColor(ui::ControlState::normal), std::nullopt);
    EXPECT_EQ(button->backgroundColor(), std::nullopt);
    EXPECT_EQ(button->contentEdgeInsets(), (ui::EdgeInsets{12, 8, 12, 8}));
}

}  // namespace
