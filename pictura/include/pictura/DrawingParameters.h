#pragma once

#include "gfx/Color.h"
#include "gfx/Geometry.h"

namespace pictura {

// Which corners of a rectangle are rounded; the values are the platform's corner flags.
struct RectCorner {
    int rawValue = 0;

    static constexpr RectCorner topLeft() { return {1}; }
    static constexpr RectCorner topRight() { return {2}; }
    static constexpr RectCorner bottomLeft() { return {4}; }
    static constexpr RectCorner bottomRight() { return {8}; }
    static constexpr RectCorner all() { return {15}; }

    constexpr bool operator==(const RectCorner&) const = default;
    constexpr RectCorner operator|(RectCorner other) const { return {rawValue | other.rawValue}; }
    constexpr bool contains(RectCorner other) const { return (rawValue & other.rawValue) == other.rawValue; }
};

// A corner radius as a fraction of the rounded rectangle's width or height, or in points.
class Radius {
public:
    enum class Kind { widthFraction, heightFraction, point };

    static constexpr Radius widthFraction(double fraction) { return {Kind::widthFraction, fraction}; }
    static constexpr Radius heightFraction(double fraction) { return {Kind::heightFraction, fraction}; }
    static constexpr Radius point(double radius) { return {Kind::point, radius}; }

    constexpr Kind kind() const { return kind_; }
    constexpr double value() const { return value_; }
    double compute(gfx::Size size) const;
    constexpr bool operator==(const Radius&) const = default;

private:
    constexpr Radius(Kind kind, double value) : kind_(kind), value_(value) {}
    Kind kind_;
    double value_;
};

struct Border {
    gfx::Color color = gfx::Color::black();
    double lineWidth = 4;
    Radius radius = Radius::point(0);
    RectCorner roundingCorners = RectCorner::all();
};

}  // namespace pictura
