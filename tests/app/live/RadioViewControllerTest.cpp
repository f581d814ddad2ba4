#include <cstdlib>
#include <fstream>
#include <iterator>

#include "SheetTestSupport.h"
#include "cells/AudioCell.h"
#include "cells/DetailHeaderCell.h"
#include "cells/LapPickerCell.h"
#include "foundation/Print.h"
#include "live/RadioViewController.h"
#include "livetiming/TeamRadioModel.h"

namespace {

// Plays through SDL's silent device, which consumes samples in real time like a sound card.
class RadioSheet : public sheettest::OfflineSheet {
protected:
    static void SetUpTestSuite() {
        setenv("SDL_AUDIODRIVER", "dummy", 1);
        OfflineSheet::SetUpTestSuite();
    }
    void TearDown() override {
        if (sheet) {
            // Let a download in flight end while the offline hosts still answer.
            waitFor([&] { return !sheet->isDownloading(); }, 5);
            sheet->player.reset();
        }
        sheet.reset();
        OfflineSheet::TearDown();
    }

    std::shared_ptr<RadioViewController> open(const RacesDetailsModel& race, const std::string& session,
                                              std::vector<livetiming::Capture> clips) {
        sheet = std::make_shared<RadioViewController>();
        auto drivers = dictionaries(session);
        sheet->driverImageDictionary = drivers.images;
        sheet->driverColDictionary = drivers.colours;
        sheet->driverNumDictionary = drivers.numbers;
        sheet->races = {race};
        sheet->year = "2023";
        sheet->path = session;
        sheet->driverRadio = std::move(clips);
        present(sheet);
        return sheet;
    }
    std::shared_ptr<RadioViewController> openBahrain() {
        return open(race(1), sheettest::bahrainRace,
                    read<livetiming::TeamRadioModel>(LiveTiming::teamRadio(sheettest::bahrainRace)).captures);
    }
    std::shared_ptr<AudioCell> clipRow(int index) { return rowOf<AudioCell>(*sheet, *sheet->tableView, 2, index); }
    // The row on screen, as the table last filled it.
    std::shared_ptr<AudioCell> shownRow(int index) {
        return std::dynamic_pointer_cast<AudioCell>(sheet->tableView->cellForRow({2, index}));
    }
    void tap(int index) { shownRow(index)->playStop->sendActions(ui::ControlEvent::touchUpInside); }
    bool showsStop(int index) { return shownRow(index)->playStop->backgroundColor() == gfx::Color::systemRed().withAlphaComponent(0.2); }
    bool playing() { return sheet->player && sheet->player->isPlaying(); }
    // One tick of the progress timer.
    void tick() {
        clock->advance(1.0);
        dispatch::RunLoop::main()->runUntil([] { return false; }, 0.05);
    }
    static double clipDuration(const std::string& session, const std::string& clip) {
        std::ifstream file(std::string(SORVANE_SOURCE_DIR) + "/data/offline-season/livetiming/" + session + clip, std::ios::binary);
        foundation::Data data(std::vector<std::uint8_t>(std::istreambuf_iterator<char>(file), {}));
        auto player = audio::AudioPlayer::make(data);
        return player ? (*player)->duration() : -1;
    }

    std::shared_ptr<RadioViewController> sheet;
};

TEST_F(RadioSheet, aFinishedRaceListsItsClipsWithTimeDriverAndPlayButton) {
    openBahrain();
    ASSERT_EQ(sheet->tableView->numberOfRows(2), 8);
    auto header = rowOf<DetailHeaderCell>(*sheet, *sheet->tableView, 0, 0);
    EXPECT_EQ(header->time->text(), "Started at 16:00, on 05 Mar");
    EXPECT_EQ(header->backgroundColor(), gfx::Color::systemIndigo());
    auto title = rowOf<LapPickerCell>(*sheet, *sheet->tableView, 1, 0);
    EXPECT_EQ(title->event->text(), "Driver Team Radio");
    EXPECT_EQ(title->backgroundColor(), gfx::Color::systemIndigo().withAlphaComponent(0.75));

    auto first = clipRow(0);  // car 63 at 15:17:20 UTC
    EXPECT_EQ(first->driver->text(), "George Russell");
    EXPECT_EQ(first->status->text(), "16:17:20");
    EXPECT_TRUE(first->playStop->image(ui::ControlState::normal));
    EXPECT_EQ(first->playStop->backgroundColor(), gfx::Color::systemIndigo().withAlphaComponent(0.2));
    EXPECT_EQ(first->progress(), 0);
    EXPECT_EQ(clipRow(3)->driver->text(), "Nyck De Vries");
}

TEST_F(RadioSheet, theLiveSprintListsTheClipsReplayedSoFar) {
    auto clips = read<livetiming::TeamRadioModel>(LiveTiming::teamRadio(sheettest::bakuSprint)).captures;
    ASSERT_FALSE(clips.empty());
    open(race(4), sheettest::bakuSprint, clips);
    ASSERT_EQ(sheet->tableView->numberOfRows(2), static_cast<int>(clips.size()));
    EXPECT_EQ(clipRow(0)->driver->text(), "Charles Leclerc");
    EXPECT_EQ(clipRow(0)->status->text(), "15:32:08");
}

TEST_F(RadioSheet, aClipPlaysAdvancesItsBarStopsAndEnds) {
    openBahrain();
    tap(2);
    EXPECT_EQ(sheet->selectedPlayIndex, 2);
    EXPECT_TRUE(showsStop(2)) << "the row turns to stop at once";
    EXPECT_FALSE(showsStop(1));
    ASSERT_TRUE(waitFor([&] { return playing(); }));
    EXPECT_EQ(sheet->player->volume(), 1.0f);
    ASSERT_TRUE(waitFor([&] { return sheet->player->currentTime() > 0.2; }));
    tick();
    EXPECT_GT(sheet->currentProgress, 0);
    EXPECT_GT(shownRow(2)->progress(), 0);
    EXPECT_EQ(shownRow(1)->progress(), 0);

    tap(2);
    EXPECT_EQ(sheet->selectedPlayIndex, RadioViewController::noSelection);
    EXPECT_FALSE(playing());
    EXPECT_FALSE(showsStop(2));
    EXPECT_EQ(shownRow(2)->progress(), 0);

    tap(5);
    ASSERT_TRUE(waitFor([&] { return playing(); }));
    sheet->player->setCurrentTime(sheet->player->duration() - 0.1);
    ASSERT_TRUE(waitFor([&] { return sheet->selectedPlayIndex == RadioViewController::noSelection; }))
        << "the end of the clip sets every row back to play";
    EXPECT_FALSE(showsStop(5));
    tick();
    EXPECT_EQ(sheet->currentProgress, 0);
}

TEST_F(RadioSheet, theNewestChoicePlaysAndAStopDuringTheDownloadPlaysNothing) {
    openBahrain();
    tap(1);
    tap(4);
    ASSERT_TRUE(waitFor([&] { return playing() && !sheet->isDownloading(); }));
    dispatch::RunLoop::main()->runUntil([] { return false; }, 0.2);
    EXPECT_EQ(sheet->selectedPlayIndex, 4);
    EXPECT_DOUBLE_EQ(sheet->player->duration(), clipDuration(sheettest::bahrainRace, sheet->driverRadio[4].path));
    EXPECT_NE(clipDuration(sheettest::bahrainRace, sheet->driverRadio[1].path), sheet->player->duration());

    auto before = sheet->player;
    tap(6);
    tap(6);
    dispatch::RunLoop::main()->runUntil([] { return false; }, 0.3);
    EXPECT_EQ(sheet->player, before) << "the stopped download must not replace the player";
    EXPECT_FALSE(sheet->isDownloading());
    EXPECT_EQ(sheet->selectedPlayIndex, RadioViewController::noSelection);
}

TEST_F(RadioSheet, aClipThatCannotBeFetchedOrPlayedPutsItsRowBackToPlay) {
    std::vector<livetiming::Capture> clips{
        {"2023-03-05T15:17:20.000Z", "63", "TeamRadio/MISSING_63.mp3"},  // 404
        {"2023-03-05T15:17:20.000Z", "63", "../../../Index.json"},         // leaves the session's folder
        {"2023-03-05T15:17:20.000Z", "63", "TeamRadio.json"},             // there, but no audio
    };
    open(race(1), sheettest::bahrainRace, clips);
    foundation::ConsoleCapture console;

    tap(0);
    EXPECT_EQ(sheet->selectedPlayIndex, 0);
    ASSERT_TRUE(waitFor([&] { return sheet->selectedPlayIndex == RadioViewController::noSelection; }));
    EXPECT_NE(console.text().find("error playing audio - HTTP status 404"), std::string::npos) << console.text();
    EXPECT_FALSE(showsStop(0));

    EXPECT_EQ(sheet->clipURL(1), "");
    tap(1);
    EXPECT_EQ(sheet->selectedPlayIndex, RadioViewController::noSelection) << "nothing to fetch";
    EXPECT_FALSE(sheet->isDownloading());

    tap(2);
    ASSERT_TRUE(waitFor([&] { return sheet->selectedPlayIndex == RadioViewController::noSelection; }));
    EXPECT_NE(console.text().find("error playing audio - no MPEG audio frames"), std::string::npos) << console.text();
    EXPECT_FALSE(sheet->player);
}

// With nothing to hear it on, Play neither fetches nor runs the bar: the row says why.
TEST_F(RadioSheet, withoutASoundOutputTheRowSaysItsClipCannotBePlayed) {
    openBahrain();
    sheet->playsSound = [] { return false; };
    tap(0);
    EXPECT_FALSE(sheet->isDownloading());
    EXPECT_FALSE(showsStop(0));
    EXPECT_EQ(shownRow(0)->status->text(), "Cannot play: no sound output");
    EXPECT_EQ(shownRow(0)->status->textColor(), gfx::Color::systemRed());
}

TEST_F(RadioSheet, beforeTheRaceDayOnlyTheHeaderShowsAndTheTimerStopsWithTheSheet) {
    open(race(5), sheettest::bahrainRace, {{"2023-05-07T19:00:00.000Z", "1", "TeamRadio/x.mp3"}});
    EXPECT_EQ(sheet->tableView->numberOfRows(2), 0);
    EXPECT_TRUE(rowOf<DetailHeaderCell>(*sheet, *sheet->tableView, 0, 0)->time->text().starts_with("Starting at "));
    EXPECT_TRUE(sheet->timer->isValid());
    root->dismiss(false);
    settle();
    EXPECT_FALSE(sheet->timer->isValid());

    // A sheet released without ever disappearing takes its timer with it.
    auto unshown = std::make_shared<RadioViewController>();
    unshown->loadViewIfNeeded();
    auto running = unshown->timer;
    ASSERT_TRUE(running->isValid());
    unshown.reset();
    EXPECT_FALSE(running->isValid());
}

}  // namespace
