#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "gfx/Context.h"
#include "map/BaseMap.h"
#include "map/BaseMapTiles.h"
#include "map/MapState.h"

namespace map {

// Text in callouts is drawn by whoever has fonts: `measure` gives the size the title and detail text
// need within a width, `draw` draws them into the bubble's text rectangle. Without them the bubble
// is sized by an estimate and left empty.
struct CalloutText {
    std::function<gfx::Size(const std::string& title, const AnnotationView& view, double maximumWidth)> measure;
    std::function<void(gfx::Context& context, const gfx::Rect& text, const std::string& title,
                       const AnnotationView& view)>
        draw;
};

// The callout text set with gfx::TextLayout: the title on one line in the 17-point system font, the
// detail label under it in its own size, colour and line limit, wrapped to the width.
CalloutText typesetCalloutText();

struct MapRenderOptions {
    BaseMapStyle style;
    // Null uses LandShapes::shared().
    std::shared_ptr<const LandShapes> land;
    // When set, the base map is composed from these tiles instead of drawn.
    std::shared_ptr<BaseMapTiles> tiles;
    CalloutText calloutText;
};

// Where the selected annotation's callout bubble goes: its rectangle (without the pointer) above the
// annotation's image, kept within the view horizontally, and its content rectangle inside, split
// into the text on the left and the right accessory view's frame, both centred vertically.
struct CalloutLayout {
    gfx::Rect bubble;
    gfx::Rect content;
    gfx::Rect text;
    std::optional<gfx::Rect> rightAccessory;
    gfx::Point tip;  // where the pointer touches the annotation's image
};
std::optional<CalloutLayout> calloutLayout(MapState& state, const CalloutText& text = {});

// One frame of the map into a context whose points are the map's screen points (its bounds from
// (0, 0)): base map, overlays, annotation images, and the selected annotation's callout bubble with
// its text (an accessory view draws itself).
void renderMap(gfx::Context& context, MapState& state, const MapRenderOptions& options = {});

}  // namespace map
