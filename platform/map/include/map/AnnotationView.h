#pragma once

#include <memory>
#include <optional>
#include <string>

#include "gfx/Color.h"
#include "gfx/Geometry.h"
#include "gfx/Image.h"
#include "map/Annotation.h"
#include "ui/View.h"

namespace map {

// The label shown under the title in a callout.
struct DetailLabel {
    std::string text;
    double fontSize = 12;
    gfx::Color textColor = gfx::Color::secondaryLabel();
    int numberOfLines = 0;  // unlimited
};

// How one annotation looks on the map: its image centred on the coordinate (moved by centerOffset)
// and what its callout shows. The map draws it (it is not a view of its own); only the callout's
// right accessory is a real view, which the map view places in the bubble so it can be tapped.
// Views are reused: the map keeps views of removed annotations by reuse identifier
// (MapState::dequeueReusableView). Subclasses may add state of their own.
class AnnotationView {
public:
    AnnotationView(std::shared_ptr<Annotation> annotation, std::string reuseIdentifier)
        : annotation_(std::move(annotation)), reuseIdentifier_(std::move(reuseIdentifier)) {}
    virtual ~AnnotationView() = default;

    const std::shared_ptr<Annotation>& annotation() const { return annotation_; }
    void setAnnotation(std::shared_ptr<Annotation> annotation) { annotation_ = std::move(annotation); }
    const std::string& reuseIdentifier() const { return reuseIdentifier_; }

    // Null draws nothing and cannot be hit.
    std::shared_ptr<gfx::Image> image;
    // Moves the image from being centred on the coordinate, in points.
    gfx::Point centerOffset;
    bool canShowCallout = false;
    // Shown at the callout's right edge at its own size (its frame's, or sizeThatFits when empty); a
    // button's actions fire when it is tapped there.
    std::shared_ptr<ui::View> rightCalloutAccessoryView;
    std::optional<DetailLabel> detailCalloutAccessory;

    bool isSelected() const { return selected_; }

    // The image's rectangle in view points when the annotation's coordinate is at `anchor`.
    gfx::Rect frame(gfx::Point anchor) const;

private:
    friend class MapState;

    std::shared_ptr<Annotation> annotation_;
    std::string reuseIdentifier_;
    bool selected_ = false;
};

}  // namespace map
