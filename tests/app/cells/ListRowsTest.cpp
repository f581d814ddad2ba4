#include <cmath>
#include <limits>

#include <gtest/gtest.h>

#include "CellLayoutSupport.h"
#include "cells/AudioCell.h"
#include "cells/MessageCell.h"
#include "cells/NewsCell.h"

namespace {

using ui::Rect;

class ListRows : public ::testing::Test {
protected:
    FixedTextSizes sizes;
};

TEST_F(ListRows, aLongMessageWrapsInItsOwnColumnBesideThePillThatKeepsItsWidth) {
    auto row = std::make_shared<MessageCell>();
    row->lap->setTitle(" 12", ui::ControlState::normal);
    row->timeStamp->setText("14:03:27");
    row->message->setText("CAR 44 (HAM) TIME DELETED - TRACK LIMITS");  // 40 characters in a 29-character column
    layOut(*row);
    // The pill: 3 characters plus insets 5 and 8 wide, a line plus 5 and 5 high, 2 under the time.
    EXPECT_EQ(row->lap->frame(), (Rect{20, 36, 43, 30}));
    EXPECT_EQ(row->timeStamp->frame(), (Rect{78, 14, 80, 20}));
    EXPECT_EQ(row->message->frame(), (Rect{78, 36, 292, 40}));
    EXPECT_EQ(row->bgView->frame().height(), 36 + 40 + 14);
    EXPECT_EQ(row->message->font(), gfx::Font::systemFont(20));
    EXPECT_EQ(row->lap->titleLabel()->font(), gfx::Font::systemFont(20, gfx::FontWeight::semibold));
    EXPECT_EQ(row->lap->titleColor(ui::ControlState::normal), gfx::Color::systemGreen());
}

TEST_F(ListRows, theFlagPillSitsFivePointsUnderTheMessageAsWideAsItsTitle) {
    auto row = std::make_shared<MessageWithFlagCell>();
    row->lap->setTitle(" 1", ui::ControlState::normal);
    row->timeStamp->setText("15:02:11");
    row->message->setText("GREEN LIGHT - PIT EXIT OPEN");
    row->status->setTitle("Yellow Flag in Sector 2", ui::ControlState::normal);
    layOut(*row);
    EXPECT_EQ(row->lap->frame(), (Rect{20, 36, 33, 30}));
    EXPECT_EQ(row->message->frame(), (Rect{68, 36, 270, 20}));
    EXPECT_EQ(row->status->frame(), (Rect{68, 61, 246, 30}));
    EXPECT_EQ(row->bgView->frame().height(), 61 + 30 + 14);
    EXPECT_EQ(row->status->titleLabel()->font(), gfx::Font::systemFont(13, gfx::FontWeight::semibold));
    EXPECT_EQ(row->status->backgroundColor(), std::nullopt);
}

TEST_F(ListRows, aNewsRowWrapsItsTitleAndCutsTheDescriptionAfterTwoLines) {
    auto row = std::make_shared<NewsCell>();
    row->time->setText("5 March 2023, 17:42");
    row->titleText->setText("Verstappen leads Red Bull one-two in Bahrain opener");  // 51 characters
    row->message->setText(std::string(120, 'x'));
    layOut(*row);
    EXPECT_EQ(row->time->frame(), (Rect{20, 14, 190, 20}));
    EXPECT_EQ(row->titleText->frame(), (Rect{20, 39, 350, 40}));
    EXPECT_EQ(row->message->frame(), (Rect{20, 84, 350, 40}));
    EXPECT_EQ(row->bgView->frame().height(), 84 + 40 + 14);
    EXPECT_EQ(row->message->font(), gfx::Font::systemFont(17));
}

TEST_F(ListRows, theRadioPhotoAndButtonAreCentredAndTheFillFollowsTheTrack) {
    auto row = std::make_shared<AudioCell>();
    row->status->setText("14:03:27");
    row->driver->setText("Max Verstappen");
    row->setProgress(0.5);
    layOut(*row);
    EXPECT_EQ(row->bgView->frame().height(), 84);
    EXPECT_EQ(row->driverImage->frame(), (Rect{20, 17, 50, 50}));
    EXPECT_EQ(row->playStop->frame(), (Rect{85, 17, 50, 50}));
    EXPECT_EQ(row->status->frame(), (Rect{150, 14, 80, 20}));
    EXPECT_EQ(row->driver->frame(), (Rect{150, 36, 140, 20}));
    EXPECT_EQ(row->progressBG->frame(), (Rect{150, 64, 220, 6}));
    EXPECT_EQ(row->progressOverlay->frame(), (Rect{0, 0, 110, 6}));

    // The fill follows a track that gets wider.
    row->setFrame({0, 0, 490, 84});
    row->layoutIfNeeded();
    EXPECT_EQ(row->progressOverlay->frame(), (Rect{0, 0, 160, 6}));
}

TEST_F(ListRows, radioProgressIsClampedAndAClipOfNoLengthDrawsNothing) {
    auto row = std::make_shared<AudioCell>();
    layOut(*row);
    auto fillWidth = [&](double progress) {
        row->setProgress(progress);
        row->layoutIfNeeded();
        return row->progressOverlay->frame().width();
    };
    EXPECT_EQ(fillWidth(1.7), 220);
    EXPECT_EQ(fillWidth(-0.3), 0);
    EXPECT_EQ(fillWidth(std::numeric_limits<double>::quiet_NaN()), 0);
    EXPECT_EQ(fillWidth(std::numeric_limits<double>::infinity()), 0);
    row->setPlayback(3, 0);
    row->layoutIfNeeded();
    EXPECT_EQ(row->progressOverlay->frame().width(), 0);
    row->setPlayback(9, 12);
    row->layoutIfNeeded();
    EXPECT_EQ(row->progressOverlay->frame().width(), 165);
    row->prepareForReuse();
    row->layoutIfNeeded();
    EXPECT_EQ(row->progressOverlay->frame().width(), 0);
}

}  // namespace
