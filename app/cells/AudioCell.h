#pragma once

#include <memory>
#include <string>

#include "ui/Button.h"
#include "ui/ImageView.h"
#include "ui/Label.h"
#include "ui/TableViewCell.h"

// One team-radio clip: the driver's photo, a round play/stop button, the time over the driver's
// name, and a thin track that fills as the clip plays.
class AudioCell : public ui::TableViewCell {
public:
    // The track of the playback: it keeps the fill's frame at the played share of its own width,
    // whenever its width changes.
    class ProgressTrack : public ui::View {
    public:
        double progress() const { return progress_; }
        // Clamped to 0...1; anything not a number is 0.
        void setProgress(double fraction);
        void setFill(std::shared_ptr<ui::View> fill);
        void layoutSubviews() override;

    private:
        std::shared_ptr<ui::View> fill_;
        double progress_ = 0;
    };

    static constexpr const char* reuseIdentifier = "AudioCell";

    explicit AudioCell(std::string identifier = reuseIdentifier);

    std::shared_ptr<ui::View> bgView = std::make_shared<ui::View>();
    std::shared_ptr<ui::ImageView> driverImage = std::make_shared<ui::ImageView>();
    std::shared_ptr<ui::Label> status = std::make_shared<ui::Label>();
    std::shared_ptr<ui::Label> driver = std::make_shared<ui::Label>();
    std::shared_ptr<ui::Button> playStop = std::make_shared<ui::Button>();
    std::shared_ptr<ProgressTrack> progressBG = std::make_shared<ProgressTrack>();
    std::shared_ptr<ui::View> progressOverlay = std::make_shared<ui::View>();

    // The share of the clip played, clamped to 0...1.
    double progress() const { return progressBG->progress(); }
    void setProgress(double fraction) { progressBG->setProgress(fraction); }
    // `elapsed` of `duration` seconds; a clip of no length shows an empty track.
    void setPlayback(double elapsed, double duration);

    void prepareForReuse() override;
};
