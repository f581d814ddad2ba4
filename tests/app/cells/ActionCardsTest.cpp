#include <gtest/gtest.h>

#include "CellLayoutSupport.h"
#include "cells/ActionCard.h"
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
    Rect full{20, 70, 350, 44}, secondFull{20, 126, 350, 44};
    Rect left{20, 70, 169, 44}, right{201, 70, 169, 44}, secondLeft{20, 126, 169, 44}, secondRight{201, 126, 169, 44};

    auto links = std::make_shared<ExternalLinksCell>();
    expectCard(*links, {{links->watch, Color::systemOrange(), full}, {links->tickets, Color::systemRed(), secondFull}}, 184);
    auto remove = std::make_shared<RemoveRemindersCell>();
    expectCard(*remove, {{remove->calendar, Color::systemBlue(), full}, {remove->notifications1, Color::systemRed(), secondFull}},
               184);
    auto vote = std::make_shared<VoteCell>();
    expectCard(*vote, {{vote->vote, Color::systemPink(), full}}, 128);

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
               {{reminders->calendar, Color::systemBlue(), full}, {reminders->notifications1, Color::systemIndigo(), secondLeft},
                {reminders->notifications2, Color::systemPurple(), secondRight}},
               184);
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

TEST(ActionCards, aCatalogueColourThatIsMissingLeavesTheDefaultTitleColourAndAClearBackground) {
    ui::View card;
    auto button = std::make_shared<ui::Button>();
    addActionButton(card, button, "noSuchColour", FontBases{});
    EXPECT_EQ(button->titleColor(ui::ControlState::normal), std::nullopt);
    EXPECT_EQ(button->backgroundColor(), std::nullopt);
    EXPECT_EQ(button->contentEdgeInsets(), (ui::EdgeInsets{12, 8, 12, 8}));
}

}  // namespace
