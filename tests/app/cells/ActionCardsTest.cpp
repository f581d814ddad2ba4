#include <string>
#include <vector>

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

struct ExpectedButton {
    std::shared_ptr<ui::Button> button;
    std::string title;
    Color color;
    Rect frame;
};

class ActionCards : public ::testing::Test {
protected:
    FixedTextSizes sizes;

    // A one-line description (35 characters fit the 350-point column), so the buttons start at 70.
    template <class Card>
    void fill(Card& card, const std::vector<ExpectedButton>& buttons) {
        card.infoTitle->setText("Sorvane");
        card.infoDescription->setText("Listen in to race control");
        for (const auto& expected : buttons) expected.button->setTitle(expected.title, ui::ControlState::normal);
    }

    template <class Card>
    void expectCard(Card& card, const std::vector<ExpectedButton>& buttons, double height) {
        EXPECT_EQ(card.bgView->frame(), (Rect{0, 0, 390, height}));
        EXPECT_EQ(card.infoTitle->frame(), (Rect{20, 14, 350, 20}));
        EXPECT_EQ(card.infoDescription->frame(), (Rect{20, 36, 350, 20}));
        EXPECT_EQ(card.infoTitle->font(), gfx::Font::systemFont(22, gfx::FontWeight::semibold));
        EXPECT_EQ(card.infoDescription->font(), gfx::Font::systemFont(13));
        for (const auto& expected : buttons) {
            SCOPED_TRACE(expected.title);
            EXPECT_EQ(expected.button->superview(), card.bgView);
            EXPECT_EQ(expected.button->frame(), expected.frame);
            EXPECT_EQ(expected.button->titleColor(ui::ControlState::normal), expected.color);
            EXPECT_EQ(expected.button->backgroundColor(), expected.color.withAlphaComponent(0.2));
            EXPECT_EQ(expected.button->titleLabel()->font(), gfx::Font::systemFont(20, gfx::FontWeight::bold));
        }
    }
};

TEST_F(ActionCards, linksAndRemoveRemindersStackTwoFullWidthButtons12PointsApart) {
    auto links = std::make_shared<ExternalLinksCell>();
    std::vector<ExpectedButton> linkButtons{{links->watch, "Where to Watch", Color::systemOrange(), {20, 70, 350, 44}},
                                            {links->tickets, "Book Tickets", Color::systemRed(), {20, 126, 350, 44}}};
    fill(*links, linkButtons);
    layOut(*links);
    expectCard(*links, linkButtons, 184);
    EXPECT_EQ(links->ui::TableViewCell::reuseIdentifier(), "ExternalLinksCell");

    auto remove = std::make_shared<RemoveRemindersCell>();
    std::vector<ExpectedButton> removeButtons{
        {remove->calendar, "Add to Calendar", Color::systemBlue(), {20, 70, 350, 44}},
        {remove->notifications1, "Remove Reminder", Color::systemRed(), {20, 126, 350, 44}}};
    fill(*remove, removeButtons);
    layOut(*remove);
    expectCard(*remove, removeButtons, 184);
}

TEST_F(ActionCards, sideBySideButtonsShareTheRowEquallyWhateverTheirTitles) {
    auto breakdown = std::make_shared<RaceBreakdownCell>();
    std::vector<ExpectedButton> breakdownButtons{
        {breakdown->lap, "Laps", *ui::namedColor("dirtyBrown"), {20, 70, 169, 44}},
        {breakdown->pitStop, "Pit Stops", Color::systemOrange(), {201, 70, 169, 44}},
        {breakdown->tyres, "Tyres and Compounds", Color::systemPurple(), {20, 126, 350, 44}}};
    fill(*breakdown, breakdownButtons);
    layOut(*breakdown);
    expectCard(*breakdown, breakdownButtons, 184);

    auto standings = std::make_shared<RaceStandingsCell>(RaceStandingsCell::predictionsReuseIdentifier);
    std::vector<ExpectedButton> standingsButtons{
        {standings->drivers, "Drivers", Color::systemPink(), {20, 70, 169, 44}},
        {standings->teams, "Teams", *ui::namedColor("dullPink"), {201, 70, 169, 44}}};
    fill(*standings, standingsButtons);
    layOut(*standings);
    expectCard(*standings, standingsButtons, 128);
    EXPECT_EQ(standings->ui::TableViewCell::reuseIdentifier(), "RaceStandingsCell2");

    auto messages = std::make_shared<RaceMessagesCell>();
    std::vector<ExpectedButton> messageButtons{
        {messages->messages, "Messages", Color::systemBlue(), {20, 70, 169, 44}},
        {messages->audio, "Radio", Color::systemIndigo(), {201, 70, 169, 44}}};
    fill(*messages, messageButtons);
    layOut(*messages);
    expectCard(*messages, messageButtons, 128);

    auto reminders = std::make_shared<RemindersCell>();
    std::vector<ExpectedButton> reminderButtons{
        {reminders->calendar, "Add to Calendar", Color::systemBlue(), {20, 70, 350, 44}},
        {reminders->notifications1, "30 Mins Alert", Color::systemIndigo(), {20, 126, 169, 44}},
        {reminders->notifications2, "1 Hour Alert", Color::systemPurple(), {201, 126, 169, 44}}};
    fill(*reminders, reminderButtons);
    layOut(*reminders);
    expectCard(*reminders, reminderButtons, 184);

    auto vote = std::make_shared<VoteCell>();
    std::vector<ExpectedButton> voteButtons{{vote->vote, "Vote Now", Color::systemPink(), {20, 70, 350, 44}}};
    fill(*vote, voteButtons);
    layOut(*vote);
    expectCard(*vote, voteButtons, 128);
}

TEST_F(ActionCards, aLongDescriptionWrapsAndPushesTheButtonsDown) {
    auto vote = std::make_shared<VoteCell>();
    vote->infoTitle->setText("Driver of the Day");
    vote->infoDescription->setText("Vote for who you think should be the driver of the day");  // 55 characters: two lines
    vote->vote->setTitle("Vote Now", ui::ControlState::normal);
    layOut(*vote);
    EXPECT_EQ(vote->infoDescription->frame(), (Rect{20, 36, 350, 40}));
    EXPECT_EQ(vote->vote->frame().origin.y, 36 + 40 + 14);
    EXPECT_EQ(vote->bgView->frame().height(), 90 + 44 + 14);
}

TEST_F(ActionCards, aCatalogueColourThatIsMissingLeavesTheDefaultTitleColourAndAClearBackground) {
    ui::View card;
    auto button = std::make_shared<ui::Button>();
    addActionButton(card, button, "noSuchColour", FontBases{});
    EXPECT_EQ(button->titleColor(ui::ControlState::normal), std::nullopt);
    EXPECT_EQ(button->backgroundColor(), std::nullopt);
    EXPECT_EQ(button->contentEdgeInsets(), (ui::EdgeInsets{12, 8, 12, 8}));
    EXPECT_EQ(button->layer()->cornerRadius(), 12);
}

}  // namespace
