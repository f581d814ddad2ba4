#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "gfx/Color.h"
#include "livetiming/TyresModel.h"
#include "ui/Button.h"
#include "ui/ImageView.h"
#include "ui/Label.h"
#include "ui/StackView.h"
#include "ui/TableViewCell.h"

// A row of the tyres screen: the driver's photo and name over one bar per stint along the race.
class TyresCell : public ui::TableViewCell {
public:
    // One stint: a grey track with the stint's bar on it and a caption under both. The bar is placed
    // from the row's own width at every layout, so it follows the column the stack gives it.
    class StintRow : public ui::Button {
    public:
        static constexpr double trackHeight = 8;
        static constexpr double captionTop = 12;
        static constexpr double captionHeight = 20;

        StintRow(const livetiming::StintModel& stint, std::int64_t firstLap, std::int64_t raceLaps);

        std::shared_ptr<ui::View> track = std::make_shared<ui::View>();
        std::shared_ptr<ui::View> bar = std::make_shared<ui::View>();
        std::shared_ptr<ui::Label> caption = std::make_shared<ui::Label>();

        // As tall as the track and its caption, so the next row starts below the caption.
        ui::Size intrinsicContentSize() const override;
        void layoutSubviews() override;

    private:
        std::int64_t firstLap_;
        std::int64_t laps_;
        std::int64_t raceLaps_;
    };

    // The colour of a compound's bar; a compound the feed adds later draws red, like the soft.
    static gfx::Color compoundColor(std::string_view compound);

    // "Softs used in laps 0 to 18" for a new set, "Old hards used in laps 18 to 57" for a used one.
    static std::string stintCaption(const livetiming::StintModel& stint, std::int64_t firstLap);

    // A stint's bar on a track `trackWidth` wide: left edge and width in whole points, never past the
    // track's ends. A race of no laps has no bars (width 0).
    struct StintBar {
        double x = 0;
        double width = 0;
    };
    static StintBar stintBar(double trackWidth, std::int64_t firstLap, std::int64_t laps, std::int64_t raceLaps);

    static constexpr const char* reuseIdentifier = "TyresCell";

    explicit TyresCell(std::string identifier = reuseIdentifier);

    std::shared_ptr<ui::View> bgView = std::make_shared<ui::View>();
    std::shared_ptr<ui::ImageView> driverImage = std::make_shared<ui::ImageView>();
    std::shared_ptr<ui::Label> driver = std::make_shared<ui::Label>();
    std::shared_ptr<ui::StackView> tyreStack = std::make_shared<ui::StackView>();

    // Replaces the rows with the driver's stints, in the feed's order, over a race of `raceLaps`.
    // Called on every fill, so a reused cell never keeps the rows of the driver it showed before.
    void showStints(const std::vector<livetiming::StintModel>& stints, std::int64_t raceLaps);
    // Appends the stint that starts at `firstLap` and moves `firstLap` past it.
    void addStintRow(const livetiming::StintModel& stint, std::int64_t raceLaps, std::int64_t& firstLap);
    void removeStintRows();

    void prepareForReuse() override;
};
