#pragma once

#include <optional>
#include <string>

#include "map/Coordinate.h"

namespace map {

// Something placed on the map at a coordinate. Held in shared_ptr; identity is the object.
class Annotation {
public:
    virtual ~Annotation() = default;

    virtual Coordinate coordinate() const = 0;
    // The annotation's own texts, read where they are: a title of megabytes is never copied to be drawn.
    virtual const std::optional<std::string>& title() const { return none(); }
    virtual const std::optional<std::string>& subtitle() const { return none(); }
    // The map's own marker of the device's position; it never gets a view here (the app shows none).
    virtual bool isUserLocation() const { return false; }

protected:
    static const std::optional<std::string>& none() {
        static const std::optional<std::string> text;
        return text;
    }
};

// A plain annotation with settable coordinate, title and subtitle.
class PointAnnotation : public Annotation {
public:
    PointAnnotation() = default;
    PointAnnotation(Coordinate coordinate, std::optional<std::string> title = std::nullopt,
                    std::optional<std::string> subtitle = std::nullopt)
        : coordinate_(coordinate), title_(std::move(title)), subtitle_(std::move(subtitle)) {}

    Coordinate coordinate() const override { return coordinate_; }
    const std::optional<std::string>& title() const override { return title_; }
    const std::optional<std::string>& subtitle() const override { return subtitle_; }

    void setCoordinate(Coordinate coordinate) { coordinate_ = coordinate; }
    void setTitle(std::optional<std::string> title) { title_ = std::move(title); }
    void setSubtitle(std::optional<std::string> subtitle) { subtitle_ = std::move(subtitle); }

private:
    Coordinate coordinate_;
    std::optional<std::string> title_;
    std::optional<std::string> subtitle_;
};

class UserLocationAnnotation : public Annotation {
public:
    Coordinate coordinate() const override { return coordinate_; }
    const std::optional<std::string>& title() const override {
        static const std::optional<std::string> text = "My Location";
        return text;
    }
    bool isUserLocation() const override { return true; }
    void setCoordinate(Coordinate coordinate) { coordinate_ = coordinate; }

private:
    Coordinate coordinate_ = invalidCoordinate;
};

}  // namespace map
