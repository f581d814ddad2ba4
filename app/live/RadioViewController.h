#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "audio/AudioPlayer.h"
#include "audio/AudioSession.h"
#include "dispatch/Timer.h"
#include "live/RaceSheet.h"
#include "livetiming/TeamRadioModel.h"
#include "net/SessionTask.h"

// One session's team-radio clips, one row each, played one at a time: a row's button downloads its
// clip from the live-timing tree and plays it, a bar shows how far it has played (advanced by a
// 1-second timer), and a second tap or the clip's end stops it.
//
// Only the newest choice plays: choosing another row or stopping cancels the download in flight and
// drops whatever it would have played. A download that fails (transport, HTTP status, unplayable
// data) puts the row back to "play". The player is made from the downloaded file on the download's
// queue (the file goes once the completion returns) and handed to the main thread, where it is played,
// read and released.
class RadioViewController : public RaceSheet, public audio::AudioPlayerDelegate {
public:
    static constexpr int noSelection = -1;

    // Handed over by the presenter (besides `races`).
    std::vector<livetiming::Capture> driverRadio;  // one row each, in this order
    DriverDictionary driverImageDictionary;
    DriverDictionary driverColDictionary;
    DriverDictionary driverNumDictionary;
    std::string path;  // the session's folder in the live-timing tree; the clips lie under it
    std::string year;  // not read
    int raceRound = 1;  // not read

    std::shared_ptr<ui::TableView> tableView = std::make_shared<ui::TableView>();
    // The row whose clip is chosen (downloading or playing), or noSelection.
    int selectedPlayIndex = noSelection;
    // The player of the last clip that arrived.
    std::shared_ptr<audio::AudioPlayer> player;
    std::shared_ptr<dispatch::Timer> timer = std::make_shared<dispatch::Timer>();
    // The share of the chosen clip played, 0 to 1.
    double currentProgress = 0;
    // Whether a clip played now is heard (the audio session's answer by default).
    std::function<bool()> playsSound = [] { return audio::AudioSession::shared().playsSound(); };
    // Why a row's clip could not be played, by row ("no sound output"); the row says so until it is
    // tapped again.
    std::map<int, std::string> clipFailures;

    ~RadioViewController() override;

    void viewDidLoad() override;
    void viewDidLayoutSubviews() override;
    void viewDidDisappear(bool animated) override;

    std::shared_ptr<ui::TableViewCell> cellForRow(ui::TableView& table, ui::IndexPath indexPath) override;

    // The action of row `row`'s button: plays its clip, or stops it when it is the chosen one.
    void playStop(int row);
    // The clip's address under the static tree; empty when the feed's path would leave the session.
    std::string clipURL(int row) const;
    void updateProgress();
    void audioPlayerDidFinishPlaying(audio::AudioPlayer& finished, bool successfully) override;

    // Whether a clip download is in flight.
    bool isDownloading() const { return download_ != nullptr; }

protected:
    int numberOfItems(ui::TableView&) override { return static_cast<int>(driverRadio.size()); }
    std::string emptyListText(ui::TableView&) const override { return "No team radio was recorded."; }
    std::string listName(ui::TableView&) const override { return "The team radio"; }

private:
    void downloadClip(const std::string& url, int row);
    void clipArrived(std::uint64_t request, int row, std::shared_ptr<audio::AudioPlayer> arrived, std::string failure);
    void cancelDownload();

    std::shared_ptr<net::SessionTask> download_;
    // Numbers every choice and stop; a download whose number is no longer the newest plays nothing.
    std::uint64_t request_ = 0;
    // The row whose clip `player` holds.
    int playerRow_ = noSelection;
};
