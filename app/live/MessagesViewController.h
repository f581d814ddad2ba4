#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "live/RaceSheet.h"
#include "livetiming/RaceControlMessageModel.h"
#include "ui/Button.h"

// The officials' race-control messages of one race: a header card, the title row and one row per
// message, flag messages with a coloured flag pill. Everything comes from the presenter; the sheet
// reads nothing and shows what it was handed.
class MessagesViewController : public RaceSheet {
public:
    // Handed over by the presenter (besides `races`).
    std::vector<livetiming::Message> raceMessages;  // shown in this order
    std::string path;                               // not read
    std::string year;                               // not read
    int raceRound = 1;                              // not read

    std::shared_ptr<ui::TableView> tableView = std::make_shared<ui::TableView>();

    void viewDidLoad() override;
    void viewDidLayoutSubviews() override;

    std::shared_ptr<ui::TableViewCell> cellForRow(ui::TableView& table, ui::IndexPath indexPath) override;

    // "DRS ENABLED" reads "DRS enabled"; "FIA", "DNF" and "DRS" keep their capitals.
    static std::string messageText(const std::string& message);
    // The flag's colour, decided by the words of the flag text: GREEN, YELLOW, RED, BLUE (the last of
    // these, in that order, wins), CLEAR gray, anything else green.
    static gfx::Color flagColor(const std::optional<std::string>& flag);
    // " Double Yellow Flag in Sector 4", " Clear in Sector 2"; a message without a sector names none
    // (" Blue Flag", " Clear").
    static std::string flagText(const std::optional<std::string>& flag, std::optional<std::int64_t> sector);
    // The local clock time of a message's UTC instant.
    static std::string timeStampText(const std::string& utc);

protected:
    int numberOfItems(ui::TableView&) override { return static_cast<int>(raceMessages.size()); }
    std::string emptyListText(ui::TableView&) const override { return "No race control messages were recorded."; }
    std::string listName(ui::TableView&) const override { return "The race control messages"; }

private:
    void fillMessage(ui::Button& lap, ui::Label& timeStamp, ui::Label& message, ui::TableViewCell& cell, int row);
    void fillFlag(ui::Button& status, const livetiming::Message& message);
};
