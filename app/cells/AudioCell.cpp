#include "cells/AudioCell.h"

#include <algorithm>
#include <cmath>

#include "cells/CardLayout.h"

AudioCell::AudioCell(std::string identifier) : ui::TableViewCell(std::move(identifier)) {
    FontBases bases = FontBases::current();
    addCardView(*this, bgView);
    addToCard(*bgView, driverImage, driverImageStyle);
    addToCard(*bgView, status, alertStyle(bases));
    addToCard(*bgView, driver, nameStyle(bases));
    addToCard(*bgView, playStop, [&](ui::Button& button) {
        button.setTitleColor(gfx::Color::systemIndigo(), ui::ControlState::normal);
        button.titleLabel()->setFont(gfx::Font::systemFont(bases.titleSize - 2, gfx::FontWeight::bold));
        button.titleLabel()->setTextAlignment(gfx::TextAlignment::left);
        button.setContentEdgeInsets({8, 12, 8, 12});
        button.setBackgroundColor(gfx::Color::systemIndigo().withAlphaComponent(0.2));
        // A circle at its fixed 50 x 50.
        button.layer()->setCornerRadius(25);
    });
    addToCard(*bgView, progressBG, [](ui::View& track) { track.layer()->setCornerRadius(3); });
    // On the track, placed by frame (no constraints), so the fill never takes part in the row's layout.
    progressOverlay->setTranslatesAutoresizingMaskIntoConstraints(false);
    progressOverlay->layer()->setCornerRadius(3);
    progressOverlay->setBackgroundColor(gfx::Color::systemIndigo());
    progressBG->setFill(progressOverlay);

    addVisualFormats(*contentView(),
                     {"V:|-0-[bgView]-0-|", "H:|-0-[bgView]-0-|", "V:|-14-[status]-2-[driver]-8-[progressBG(6)]-14-|",
                      "H:|-20-[driverImage(50)]-15-[playStop(50)]-15-[status]-(>=20)-|",
                      "H:|-20-[driverImage(50)]-15-[playStop(50)]-15-[driver]-(>=20)-|",
                      "H:|-20-[driverImage(50)]-15-[playStop(50)]-15-[progressBG]-20-|", "V:[driverImage(50)]"},
                     {{"bgView", bgView}, {"driverImage", driverImage}, {"status", status}, {"driver", driver},
                      {"playStop", playStop}, {"progressBG", progressBG}});
    activateEach({driverImage->centerYAnchor().constraintEqualTo(bgView->centerYAnchor())});
    addVisualFormats(*contentView(), {"V:[playStop(50)]"}, {{"playStop", playStop}});
    activateEach({playStop->centerYAnchor().constraintEqualTo(bgView->centerYAnchor())});
}

void AudioCell::ProgressTrack::setProgress(double fraction) {
    double clamped = std::isfinite(fraction) ? std::clamp(fraction, 0.0, 1.0) : 0.0;
    if (clamped == progress_) return;
    progress_ = clamped;
    setNeedsLayout();
}

void AudioCell::ProgressTrack::setFill(std::shared_ptr<ui::View> fill) {
    if (fill_) fill_->removeFromSuperview();
    fill_ = std::move(fill);
    if (fill_) addSubview(fill_);
    setNeedsLayout();
}

void AudioCell::ProgressTrack::layoutSubviews() {
    if (fill_) fill_->setFrame({0, 0, bounds().width() * progress_, bounds().height()});
}

void AudioCell::setPlayback(double elapsed, double duration) { setProgress(duration > 0 ? elapsed / duration : 0); }

void AudioCell::prepareForReuse() {
    ui::TableViewCell::prepareForReuse();
    setProgress(0);
}
