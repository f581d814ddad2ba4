#pragma once

#include <functional>
#include <memory>
#include <string>

#include "gfx/Context.h"
#include "map/BaseMap.h"
#include "map/MapState.h"

namespace map {

// Text in callouts is drawn by whoever has fonts: `measure` gives the size the title and detail text
// need, `draw` draws them into the bubble's content rectangle. Without them the bubble is sized by an
// estimate and left empty.
struct CalloutText {
    std::function<gfx::Size(const std::string& title, const AnnotationView& view)> measure;
    std::function<void(gfx::Context& context, const gfx::Rect& content, const std::string& title,
                       const AnnotationView& view)>
        draw;
};

struct MapRenderOptions {
    BaseMapStyle style;
    // Null uses LandShapes::shared().
    std::shared_ptr<const LandShapes> land;
    CalloutText calloutText;
};

// Where the selected annotation's callout bubble goes: its rectangle (without the pointer) above the
// annotation's image, kept within the view horizontally, and its content rectangle inside.
struct CalloutLayout {
    gfx::Rect bubble;
    gfx::Rect content;
    gfx::Point tip;  // where the pointer touches the annotation's image
};
std::optional<CalloutLayout> calloutLayout(MapState& state, const CalloutText& text = {});

// One frame of the map into a context whose points are the map's screen points (its bounds from
// (0, 0)): base map, overlays, annotation images, and the selected annotation's callout.
void renderMap(gfx::Context& context, MapState& state, const MapRenderOptions& options = {});

}  // namespace map
