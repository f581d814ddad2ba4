#pragma once

#include <memory>
#include <optional>
#include <string>

#include "gfx/Color.h"
#include "gfx/Geometry.h"
#include "gfx/Image.h"
#include "map/Annotation.h"

namespace map {

enum class CalloutAccessory { none, detailDisclosure, infoButton };

// The label shown under the title in a callout.
struct DetailLabel {
    std::string text;
    double fontSize = 12;
    gfx::Color textColor = gfx::Color::secondaryLabel();
    int numberOfLines = 0;  // unlimited
};

// How one annotation looks on the map: its image centred on the coordinate (moved by centerOffset)
// and what its callout shows. The map draws it; a view toolkit can wrap it later. Views are reused:
// the map keeps views of removed annotations by reuse identifier (MapState::dequeueReusableView).
class AnnotationView {
public:
    AnnotationView(std::shared_ptr<Annotation> annotation, std::string reuseIdentifier)
        : annotation_(std::move(annotation)), reuseIdentifier_(std::move(reuseIdentifier)) {}

    const std::shared_ptr<Annotation>& annotation() const { return annotation_; }
    void setAnnotation(std::shared_ptr<Annotation> annotation) { annotation_ = std::move(annotation); }
    const std::string& reuseIdentifier() const { return reuseIdentifier_; }

    // Null draws nothing and cannot be hit.
    std::shared_ptr<gfx::Image> image;
    // Moves the image from being centred on the coordinate, in points.
    gfx::Point centerOffset;
    bool canShowCallout = false;
    CalloutAccessory rightCalloutAccessory = CalloutAccessory::none;
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
