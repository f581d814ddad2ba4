#include <gtest/gtest.h>

#include <limits>

#include "CellLayoutSupport.h"
#include "cells/AudioCell.h"
#include "cells/MessageCell.h"
#include "cells/NewsCell.h"
#include "foundation/Print.h"

namespace {

using ui::Rect;

TEST(ListRows, messagesWrapInTheirOwnColumnBesideAPillThatKeepsItsWidthAndTheFlagSitsUnderThem) {
    FixedTextSizes sizes;
    auto row = std::make_shared<MessageCell>();
    row->lap->setTitle(" 12", ui::ControlState::normal);
    row->timeStamp->setText("14:03:27");
    row->message->setText("CAR 44 (HAM) TIME DELETED - TRACK LIMITS");  // 40 characters in a 29-character column
    EXPECT_EQ(layOut(*row), 36 + 40 + 14);
    // 3 characters plus insets 5 and 8 wide, a line plus 5 and 5 high, 2 under the time.
    EXPECT_EQ(row->lap->frame(), (Rect{20, 36, 43, 30}));
    EXPECT_EQ(row->timeStamp->frame(), (Rect{78, 14, 80, 20}));
    EXPECT_EQ(row->message->frame(), (Rect{78, 36, 292, 40}));

    auto flag = std::make_shared<MessageWithFlagCell>();
    flag->lap->setTitle(" 1", ui::ControlState::normal);
    flag->timeStamp->setText("15:02:11");
    flag->message->setText("GREEN LIGHT - PIT EXIT OPEN");
    flag->status->setTitle("Yellow Flag in Sector 2", ui::ControlState::normal);
    EXPECT_EQ(layOut(*flag), 61 + 30 + 14);
    EXPECT_EQ(flag->message->frame(), (Rect{68, 36, 270, 20}));
    EXPECT_EQ(flag->status->frame(), (Rect{68, 61, 246, 30}));
}

TEST(ListRows, aNewsTitleWrapsAtTheMarginAndTheDescriptionStopsAfterTwoLines) {
    FixedTextSizes sizes;
    foundation::ConsoleCapture console;
    auto row = std::make_shared<NewsCell>();
    row->time->setText("5 March 2023, 17:42");
    row->titleText->setText("Verstappen leads Red Bull one-two in Bahrain opener");  // 51 characters
    row->message->setText(std::string(120, 'x'));
    EXPECT_EQ(layOut(*row), 84 + 40 + 14);
    EXPECT_EQ(row->time->frame(), (Rect{20, 14, 190, 20}));
    // Its compression resistance is required, yet it wraps within the margin without a conflict.
    EXPECT_EQ(row->titleText->frame(), (Rect{20, 39, 350, 40}));
    EXPECT_EQ(row->message->frame(), (Rect{20, 84, 350, 40}));

    row->titleText->setText("Bahrain opener");
    EXPECT_EQ(layOut(*row), 84 + 40 + 14 - 20);
    EXPECT_EQ(row->titleText->frame(), (Rect{20, 39, 140, 20}));
    EXPECT_EQ(console.text().find("Unable to simultaneously satisfy constraints"), std::string::npos);
}

TEST(ListRows, theRadioPhotoAndButtonAreCentredAndTheFillFollowsTheTrack) {
    FixedTextSizes sizes;
    auto row = std::make_shared<AudioCell>();
    row->status->setText("14:03:27");
    row->driver->setText("Max Verstappen");
    row->setProgress(0.5);
    EXPECT_EQ(layOut(*row), 84);
    EXPECT_EQ(row->driverImage->frame(), (Rect{20, 17, 50, 50}));
    EXPECT_EQ(row->playStop->frame(), (Rect{85, 17, 50, 50}));
    EXPECT_EQ(row->driver->frame(), (Rect{150, 36, 140, 20}));
    EXPECT_EQ(row->progressBG->frame(), (Rect{150, 64, 220, 6}));
    EXPECT_EQ(row->progressOverlay->frame(), (Rect{0, 0, 110, 6}));
    layOut(*row, 490);
    EXPECT_EQ(row->progressOverlay->frame(), (Rect{0, 0, 160, 6}));
}

TEST(ListRows, radioProgressIsClampedAndAClipOfNoLengthDrawsNothing) {
    FixedTextSizes sizes;
    auto row = std::make_shared<AudioCell>();
    layOut(*row);
    auto fillWidth = [&](auto setting) {
        setting();
        row->layoutIfNeeded();
        return row->progressOverlay->frame().width();
    };
    EXPECT_EQ(fillWidth([&] { row->setProgress(1.7); }), 220);
    EXPECT_EQ(fillWidth([&] { row->setProgress(-0.3); }), 0);
    EXPECT_EQ(fillWidth([&] { row->setProgress(std::numeric_limits<double>::quiet_NaN()); }), 0);
    EXPECT_EQ(fillWidth([&] { row->setPlayback(9, 12); }), 165);
    EXPECT_EQ(fillWidth([&] { row->setPlayback(3, 0); }), 0);
    row->setProgress(1);
    EXPECT_EQ(fillWidth([&] { row->prepareForReuse(); }), 0);
}

}  // namespace
