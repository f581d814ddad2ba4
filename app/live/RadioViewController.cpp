#include "live/RadioViewController.h"

#include "audio/AudioSession.h"
#include "cells/AudioCell.h"
#include "dispatch/Queue.h"
#include "foundation/DateFormatter.h"
#include "foundation/Locale.h"
#include "foundation/Print.h"
#include "livetiming/LiveTiming.h"
#include "net/Session.h"
#include "shell/SeasonSheetSupport.h"

namespace {

std::string clipTime(const std::string& utc) {
    foundation::DateFormatter formatter;
    formatter.setLocale(foundation::Locale("en_US_POSIX"));
    formatter.setDateFormat("yyyy-MM-dd'T'HH:mm:ss.SSSZ");
    foundation::Date instant = formatter.date(utc).value_or(foundation::Date::now());
    formatter.setDateFormat("HH:mm:ss");
    return formatter.string(instant);
}

}  // namespace

// A sheet released without disappearing (its presenter went first) stops its timer here.
RadioViewController::~RadioViewController() { timer->invalidate(); }

void RadioViewController::viewDidLoad() {
    RaceSheet::viewDidLoad();
    tableView->registerClass<AudioCell>(AudioCell::reuseIdentifier);
    setUpTable(*tableView);
    view()->addSubview(tableView);

    auto& session = audio::AudioSession::shared();
    auto configured = session.setCategory(audio::SessionCategory::playback, audio::SessionMode::defaultMode,
                                          audio::SessionOptions::mixWithOthers);
    if (!configured) foundation::print(configured.error().localizedDescription());
    else if (auto active = session.setActive(true); !active) foundation::print(active.error().localizedDescription());

    auto weak = std::weak_ptr<RadioViewController>(std::static_pointer_cast<RadioViewController>(shared_from_this()));
    timer = dispatch::Timer::scheduledTimer(1.0, true, [weak](dispatch::Timer&) {
        dispatch::Queue::main()->async([weak] {
            if (auto self = weak.lock()) self->updateProgress();
        });
    });
}

void RadioViewController::viewDidLayoutSubviews() {
    RaceSheet::viewDidLayoutSubviews();
    tableView->setFrame({0, 0, view()->bounds().width(), view()->bounds().height()});
}

void RadioViewController::viewDidDisappear(bool animated) {
    RaceSheet::viewDidDisappear(animated);
    timer->invalidate();
}

std::shared_ptr<ui::TableViewCell> RadioViewController::cellForRow(ui::TableView& table, ui::IndexPath indexPath) {
    if (indexPath.section == 0) return headerRow(table, indexPath, gfx::Color::systemIndigo());
    if (indexPath.section == 1) {
        return titleRow(table, indexPath, "Driver Team Radio", gfx::Color::systemIndigo().withAlphaComponent(0.75));
    }
    if (driverRadio.empty()) return emptyListRow(table, indexPath);
    auto cell = table.dequeueReusableCell<AudioCell>(AudioCell::reuseIdentifier, indexPath);
    if (!cell || indexPath.row < 0 || indexPath.row >= static_cast<int>(driverRadio.size())) return cell;
    const livetiming::Capture& clip = driverRadio[indexPath.row];

    if (auto failure = clipFailures.find(indexPath.row); failure != clipFailures.end()) {
        cell->status->setText("Cannot play: " + failure->second);
        cell->status->setTextColor(gfx::Color::systemRed());
    } else {
        cell->status->setText(clipTime(clip.utc));
        cell->status->setTextColor(gfx::Color::secondaryLabel());
    }
    showDriver(driverForNumber(clip.racingNumber, driverNumDictionary), driverImageDictionary, driverColDictionary,
               cell->driverImage, *cell->driver);

    bool selected = indexPath.row == selectedPlayIndex;
    gfx::Color tint = selected ? gfx::Color::systemRed() : gfx::Color::systemIndigo();
    cell->playStop->setImage(systemSymbol(selected ? "stop.fill" : "play.fill", {18, gfx::FontWeight::bold}, tint, 2),
                             ui::ControlState::normal);
    cell->playStop->setBackgroundColor(tint.withAlphaComponent(0.2));
    cell->playStop->setTag(indexPath.row);
    // A reused cell keeps its button: one action, reading the row from the tag.
    cell->playStop->removeAllActions();
    auto weak = std::weak_ptr<RadioViewController>(std::static_pointer_cast<RadioViewController>(shared_from_this()));
    cell->playStop->addTarget(weak, [weak](ui::Control& sender) {
        if (auto self = weak.lock()) self->playStop(sender.tag());
    }, ui::ControlEvent::touchUpInside);

    cell->progressBG->setBackgroundColor(gfx::Color::label().withAlphaComponent(0.1));
    cell->setProgress(selected ? currentProgress : 0);
    cell->setSeparatorInset({});
    styleItemRow(*cell);
    return cell;
}

std::string RadioViewController::clipURL(int row) const {
    if (row < 0 || row >= static_cast<int>(driverRadio.size())) return {};
    return LiveTiming::teamRadioClipURL(path, driverRadio[row].path);
}

void RadioViewController::playStop(int row) {
    playTapFeedback();
    if (row != selectedPlayIndex) {
        clipFailures.erase(row);
        // Nothing would be heard: the row says so rather than run a bar in silence.
        if (!playsSound()) {
            clipFailures[row] = "no sound output";
            tableView->reloadData();
            return;
        }
        // A clip already playing goes on until the new one is ready.
        selectedPlayIndex = row;
        currentProgress = 0;
        std::string url = clipURL(row);
        if (url.empty()) {
            cancelDownload();
            clipFailures[row] = "not in this session";
            selectedPlayIndex = noSelection;
        } else {
            downloadClip(url, row);
        }
    } else {
        cancelDownload();
        selectedPlayIndex = noSelection;
        currentProgress = 0;
        if (player) player->pause();
    }
    tableView->reloadData();
}

void RadioViewController::cancelDownload() {
    ++request_;
    if (download_) download_->cancel();
    download_.reset();
}

void RadioViewController::downloadClip(const std::string& url, int row) {
    cancelDownload();
    auto address = foundation::URL::fromString(url);
    if (!address) {
        selectedPlayIndex = noSelection;
        return;
    }
    std::uint64_t request = request_;
    auto weak = std::weak_ptr<RadioViewController>(std::static_pointer_cast<RadioViewController>(shared_from_this()));
    download_ = net::Session::shared()->downloadTask(
        net::Request(*address),
        [weak, request, row](std::optional<std::string> file, std::optional<net::Response> response,
                             std::optional<net::URLError> error) {
            // On the session's queue: the file is gone once this returns, so the clip is read here.
            std::shared_ptr<audio::AudioPlayer> arrived;
            std::string failure;
            if (error) failure = error->description();
            else if (!response || response->statusCode < 200 || response->statusCode > 299) {
                failure = "HTTP status " + std::to_string(response ? response->statusCode : 0);
            } else if (!file) failure = "no file";
            else if (auto made = audio::AudioPlayer::make(*file)) arrived = std::move(*made);
            else failure = made.error().localizedDescription();
            dispatch::Queue::main()->async([weak, request, row, arrived = std::move(arrived), failure]() mutable {
                if (auto self = weak.lock()) self->clipArrived(request, row, std::move(arrived), failure);
            });
        });
    download_->resume();
}

void RadioViewController::clipArrived(std::uint64_t request, int row, std::shared_ptr<audio::AudioPlayer> arrived,
                                      std::string failure) {
    if (request != request_) return;  // a later choice or a stop came first
    download_.reset();
    if (!arrived) {
        foundation::print("error playing audio - " + failure);
        clipFailures[row] = failure;
        selectedPlayIndex = noSelection;
        currentProgress = 0;
        tableView->reloadData();
        return;
    }
    player = std::move(arrived);
    playerRow_ = row;
    auto self = std::static_pointer_cast<RadioViewController>(shared_from_this());
    player->setDelegate(std::weak_ptr<audio::AudioPlayerDelegate>(self));
    player->prepareToPlay();
    player->setVolume(1.0);
    if (!player->play()) {
        foundation::print("error playing audio - no audio output");
        clipFailures[row] = "no sound output";
        selectedPlayIndex = noSelection;
        tableView->reloadData();
    }
}

void RadioViewController::updateProgress() {
    if (!player || !(player->duration() > 0)) return;
    // The bar of a chosen clip whose player has not arrived yet stays empty.
    bool playsChosenClip = selectedPlayIndex != noSelection && playerRow_ == selectedPlayIndex;
    currentProgress = playsChosenClip ? player->currentTime() / player->duration() : 0;
    tableView->reloadSections({2});
}

void RadioViewController::audioPlayerDidFinishPlaying(audio::AudioPlayer& finished, bool) {
    if (&finished != player.get()) return;
    finished.pause();
    // A row chosen since this clip began is still waiting for its own.
    if (playerRow_ == selectedPlayIndex) {
        selectedPlayIndex = noSelection;
        currentProgress = 0;
    }
    tableView->reloadData();
}
