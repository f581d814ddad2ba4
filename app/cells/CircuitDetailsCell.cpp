#include "cells/CircuitDetailsCell.h"

#include "cells/CardLayout.h"

CircuitDetailsCell::CircuitDetailsCell(std::string identifier) : ui::TableViewCell(std::move(identifier)) {
    auto bases = FontBases::current();
    addCardView(*this, bgView);
    addToCard(*bgView, infoTitle, infoTitleStyle(bases));
    addToCard(*bgView, infoDescription, infoDescriptionStyle(bases));
    for (const auto& title : {trackLengthTitle, trackDistanceTitle, lapCountTitle, cornerCountTitle, firstOpenedTitle,
                              firstGrandPrixTitle})
        addToCard(*bgView, title, gridTitleStyle(bases));
    for (const auto& value : {trackLength, trackDistance, lapCount, cornerCount, firstOpened, firstGrandPrix})
        addToCard(*bgView, value, gridValueStyle(bases));
    addToCard(*bgView, circuitImage, [](ui::ImageView& image) { image.setContentMode(ui::ContentMode::scaleAspectFit); });
    addToCard(*bgView, recordTitle, gridTitleStyle(bases));
    addToCard(*bgView, record, gridValueStyle(bases));

    addVisualFormats(
        *contentView(),
        {
            "V:|-0-[bgView]-0-|",
            "H:|-0-[bgView]-0-|",
            "H:|-20-[infoTitle]-20-|",
            "H:|-20-[infoDescription]-20-|",
            "H:|-20-[trackLengthTitle]-4-[lapCountTitle]-4-[firstOpenedTitle]-20-|",
            "H:|-20-[trackDistanceTitle]-4-[cornerCountTitle]-4-[firstGrandPrixTitle]-20-|",
            "H:|-20-[trackLength]-4-[lapCount]-4-[firstOpened]-20-|",
            "H:|-20-[trackDistance]-4-[cornerCount]-4-[firstGrandPrix]-20-|",
            "V:|-14-[infoTitle]-2-[infoDescription]-14-[trackLengthTitle]-3-[trackLength]-14-[trackDistanceTitle]-3-"
            "[trackDistance]-5-[circuitImage(250)]-5-[recordTitle]-3-[record]-14-|",
            "V:|-14-[infoTitle]-2-[infoDescription]-14-[lapCountTitle]-3-[lapCount]-14-[cornerCountTitle]-3-"
            "[cornerCount]-5-[circuitImage(250)]-5-[recordTitle]-3-[record]-14-|",
            "V:|-14-[infoTitle]-2-[infoDescription]-14-[firstOpenedTitle]-3-[firstOpened]-14-[firstGrandPrixTitle]-3-"
            "[firstGrandPrix]-5-[circuitImage(250)]-5-[recordTitle]-3-[record]-14-|",
            "H:|-20-[circuitImage]-20-|",
            "H:|-20-[recordTitle]-20-|",
            "H:|-20-[record]-20-|",
        },
        {{"bgView", bgView},
         {"infoTitle", infoTitle},
         {"infoDescription", infoDescription},
         {"trackLengthTitle", trackLengthTitle},
         {"trackDistanceTitle", trackDistanceTitle},
         {"lapCountTitle", lapCountTitle},
         {"cornerCountTitle", cornerCountTitle},
         {"firstOpenedTitle", firstOpenedTitle},
         {"firstGrandPrixTitle", firstGrandPrixTitle},
         {"trackLength", trackLength},
         {"trackDistance", trackDistance},
         {"lapCount", lapCount},
         {"cornerCount", cornerCount},
         {"firstOpened", firstOpened},
         {"firstGrandPrix", firstGrandPrix},
         {"circuitImage", circuitImage},
         {"recordTitle", recordTitle},
         {"record", record}});
    activateEach({
        lapCountTitle->widthAnchor().constraintEqualTo(trackLengthTitle->widthAnchor()),
        trackLengthTitle->widthAnchor().constraintEqualTo(firstOpenedTitle->widthAnchor()),
        cornerCountTitle->widthAnchor().constraintEqualTo(trackDistanceTitle->widthAnchor()),
        trackDistanceTitle->widthAnchor().constraintEqualTo(firstGrandPrixTitle->widthAnchor()),
        lapCount->widthAnchor().constraintEqualTo(trackLength->widthAnchor()),
        trackLength->widthAnchor().constraintEqualTo(firstOpened->widthAnchor()),
        cornerCount->widthAnchor().constraintEqualTo(trackDistance->widthAnchor()),
        trackDistance->widthAnchor().constraintEqualTo(firstGrandPrix->widthAnchor()),
    });
}
