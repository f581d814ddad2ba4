#include "SheetTestSupport.h"
#include "cells/StateCell.h"
#include "cells/DetailHeaderCell.h"
#include "cells/LapPickerCell.h"
#include "cells/MessageCell.h"
#include "live/MessagesViewController.h"
#include "livetiming/RaceControlMessageModel.h"

namespace {

using livetiming::Message;

Message message(std::int64_t lap, std::string category = "Other", std::string text = "m",
                std::optional<std::string> flag = std::nullopt) {
    Message made;
    made.utc = "2023-03-05T15:00:00";
    made.lap = lap;
    made.category = std::move(category);
    made.message = std::move(text);
    made.flag = std::move(flag);
    return made;
}

class MessagesSheet : public sheettest::OfflineSheet {
protected:
    std::shared_ptr<MessagesViewController> open(RacesDetailsModel race, std::vector<Message> messages) {
        auto sheet = std::make_shared<MessagesViewController>();
        sheet->races = {std::move(race)};
        sheet->raceMessages = std::move(messages);
        present(sheet);
        return sheet;
    }
    template <class Cell>
    std::shared_ptr<Cell> row(MessagesViewController& sheet, int section, int index) {
        return rowOf<Cell>(sheet, *sheet.tableView, section, index);
    }
};

TEST_F(MessagesSheet, aFinishedRaceListsEveryMessageUnderItsHeaderAndTitle) {
    auto messages = read<livetiming::RaceControlMessageModel>(LiveTiming::raceControlMessages(sheettest::bahrainRace)).messages;
    ASSERT_EQ(messages.size(), 73u);
    auto sheet = open(race(1), messages);
    ASSERT_EQ(sheet->tableView->numberOfRows(2), 73);

    auto header = row<DetailHeaderCell>(*sheet, 0, 0);
    ASSERT_TRUE(header);
    EXPECT_EQ(header->race->text(), "Bahrain Grand Prix");
    EXPECT_EQ(header->circuit->text(), "Bahrain International Circuit");
    EXPECT_EQ(header->location->text(), "Sakhir, Bahrain");
    EXPECT_EQ(header->time->text(), "Started at 16:00, on 05 Mar");
    EXPECT_EQ(header->backgroundColor(), gfx::Color::systemBlue());
    auto title = row<LapPickerCell>(*sheet, 1, 0);
    ASSERT_TRUE(title);
    EXPECT_EQ(title->event->text(), "Race Control Messages");
    EXPECT_TRUE(title->lap->isHidden());
    EXPECT_TRUE(title->title->isHidden());

    // "PINK HEAD PADDING MATERIAL MUST BE USED", lap 1, 14:04:34 UTC.
    auto first = row<MessageCell>(*sheet, 2, 0);
    ASSERT_TRUE(first);
    EXPECT_EQ(first->message->text(), "Pink head padding material must be used");
    EXPECT_EQ(first->timeStamp->text(), "15:04:34");
    EXPECT_EQ(first->lap->attributedTitle(ui::ControlState::normal)->string(), " 1");
    EXPECT_EQ(first->lap->alpha(), 1);
    // Flag messages: GREEN (track), YELLOW in sector 10, then CLEAR in sector 10, all on lap 1.
    auto green = row<MessageWithFlagCell>(*sheet, 2, 1);
    ASSERT_TRUE(green);
    EXPECT_EQ(green->lap->alpha(), 0) << "only the first message of a lap shows it";
    EXPECT_EQ(green->separatorInset().left, 59);
    EXPECT_EQ(green->status->attributedTitle(ui::ControlState::normal)->string().substr(3), " Green Flag")
        << "a track-wide flag names no sector";
    auto yellow = row<MessageWithFlagCell>(*sheet, 2, 2);
    ASSERT_TRUE(yellow);
    EXPECT_TRUE(yellow->status->attributedTitle(ui::ControlState::normal)->string().ends_with(" Yellow Flag in Sector 10"));
    EXPECT_EQ(yellow->status->backgroundColor(), gfx::Color::systemYellow().withAlphaComponent(0.18));
    auto clear = row<MessageWithFlagCell>(*sheet, 2, 3);
    ASSERT_TRUE(clear);
    EXPECT_TRUE(clear->status->attributedTitle(ui::ControlState::normal)->string().ends_with(" Clear in Sector 10"));
    EXPECT_EQ(clear->status->backgroundColor(), gfx::Color::systemGray().withAlphaComponent(0.18));

    // The last row and the last message of a lap end with a full-width line.
    auto last = sheet->cellForRow(*sheet->tableView, {2, 72});
    ASSERT_TRUE(last);
    EXPECT_EQ(last->separatorInset().left, 0);
}

TEST_F(MessagesSheet, theLiveSprintShowsTheMessagesReplayedSoFar) {
    // At now (lap 10 of 17) the safety car has come and gone; the chequered flag is still ahead.
    auto messages = read<livetiming::RaceControlMessageModel>(LiveTiming::raceControlMessages(sheettest::bakuSprint)).messages;
    ASSERT_EQ(messages.size(), 12u);
    auto sheet = open(race(4), messages);
    ASSERT_EQ(sheet->tableView->numberOfRows(2), 12);
    // The sprint is the session under way: the sheet opens on its day and tells its start.
    EXPECT_EQ(row<DetailHeaderCell>(*sheet, 0, 0)->time->text(), "Started at 15:30, on 29 Apr");
    auto safetyCar = row<MessageCell>(*sheet, 2, 10);
    ASSERT_TRUE(safetyCar) << "a safety-car message has no flag pill";
    EXPECT_EQ(safetyCar->message->text(), "Safety car deployed");
    EXPECT_EQ(safetyCar->timeStamp->text(), "15:36:07");
    EXPECT_EQ(safetyCar->lap->attributedTitle(ui::ControlState::normal)->string(), " 3");
    auto clear = row<MessageWithFlagCell>(*sheet, 2, 11);
    ASSERT_TRUE(clear);
    // "TRACK CLEAR" is for the whole track: no sector is named.
    EXPECT_TRUE(clear->status->attributedTitle(ui::ControlState::normal)->string().ends_with(" Clear"));
    EXPECT_EQ(clear->status->attributedTitle(ui::ControlState::normal)->string().find("Sector"), std::string::npos);

    // An empty list says so in one row under the title row.
    root->dismiss(false);
    settle();
    auto empty = open(race(4), {});
    EXPECT_EQ(empty->tableView->numberOfRows(1), 1);
    ASSERT_EQ(empty->tableView->numberOfRows(2), 1);
    auto state = rowOf<StateCell>(*empty, *empty->tableView, 2, 0);
    ASSERT_TRUE(state);
    EXPECT_EQ(state->title->text(), "No race control messages were recorded.");
}

TEST_F(MessagesSheet, beforeTheRaceDayOnlyTheHeaderShows) {
    auto sheet = open(race(5), {message(1)});
    EXPECT_EQ(sheet->tableView->numberOfRows(1), 0);
    EXPECT_EQ(sheet->tableView->numberOfRows(2), 0);
    EXPECT_TRUE(row<DetailHeaderCell>(*sheet, 0, 0)->time->text().starts_with("Starting at "));
    // From local midnight of the race day on, every row shows.
    clock->set(*instantFromISO8601("2023-05-06T22:00:00Z"));
    sheet->tableView->reloadData();
    EXPECT_EQ(sheet->tableView->numberOfRows(2), 1);
}

TEST_F(MessagesSheet, lapsShowOnTheirFirstMessageAndAreDividedByFullLines) {
    auto sheet = open(race(1), {message(12), message(12), message(12), message(11), message(11)});
    std::vector<double> alphas, insets;
    for (int index = 0; index < 5; ++index) {
        auto cell = row<MessageCell>(*sheet, 2, index);
        alphas.push_back(cell->lap->alpha());
        insets.push_back(cell->separatorInset().left);
    }
    EXPECT_EQ(alphas, (std::vector<double>{1, 0, 0, 1, 0}));
    EXPECT_EQ(insets, (std::vector<double>{59, 59, 0, 59, 0}));
}

TEST_F(MessagesSheet, flagPillsFollowTheWordsOfTheFlag) {
    EXPECT_EQ(MessagesViewController::flagColor("DOUBLE YELLOW"), gfx::Color::systemYellow());
    EXPECT_EQ(MessagesViewController::flagColor("RED"), gfx::Color::systemRed());
    EXPECT_EQ(MessagesViewController::flagColor("RED AND BLUE"), gfx::Color::systemBlue());
    // The chequered flag holds the letters R, E, D but is no red flag.
    EXPECT_EQ(MessagesViewController::flagColor("CHEQUERED"), gfx::Color::systemGreen());
    EXPECT_EQ(MessagesViewController::flagColor("BLACK AND WHITE"), gfx::Color::systemGreen());
    EXPECT_EQ(MessagesViewController::flagColor(std::nullopt), gfx::Color::systemGreen());
    EXPECT_EQ(MessagesViewController::flagColor("CLEAR"), gfx::Color::systemGray());

    EXPECT_EQ(MessagesViewController::flagText("DOUBLE YELLOW", 4), " Double Yellow Flag in Sector 4");
    EXPECT_EQ(MessagesViewController::flagText("CLEAR", std::nullopt), " Clear");
    EXPECT_EQ(MessagesViewController::flagText("BLUE", std::nullopt), " Blue Flag");
    EXPECT_EQ(MessagesViewController::flagText("CLEAR", 0), " Clear in Sector 0");
    EXPECT_EQ(MessagesViewController::flagText(std::nullopt, 2), "  Flag in Sector 2");

    // A category spelt otherwise is no flag message.
    auto sheet = open(race(1), {message(3, "flag", "m", "RED")});
    EXPECT_TRUE(row<MessageCell>(*sheet, 2, 0));
}

TEST_F(MessagesSheet, messagesReadAsSentencesAndTimesInTheLocalClockOfTheirDay) {
    EXPECT_EQ(MessagesViewController::messageText("DRS ENABLED"), "DRS enabled");
    EXPECT_EQ(MessagesViewController::messageText("FIA STEWARDS: CAR 2 DNF"), "FIA stewards: car 2 DNF");
    EXPECT_EQ(MessagesViewController::messageText("1ST LAP"), "1st lap");
    EXPECT_EQ(MessagesViewController::messageText(""), "");
    EXPECT_EQ(MessagesViewController::messageText("ÉTAPE"), "Étape");

    // Baku in April: Amsterdam is on summer time (UTC+2), not its winter offset.
    EXPECT_EQ(MessagesViewController::timeStampText("2023-04-29T13:32:08"), "15:32:08");
    EXPECT_EQ(MessagesViewController::timeStampText("2023-03-05T14:04:34"), "15:04:34");
    // An unreadable instant shows the current local time.
    clock->set(*instantFromISO8601("2023-04-30T11:20:00Z"));
    EXPECT_EQ(MessagesViewController::timeStampText("yesterday"), "13:20:00");
}

}  // namespace
