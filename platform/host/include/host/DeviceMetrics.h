#pragma once

#include "gfx/Geometry.h"

namespace host {

enum class Idiom { phone, pad };

// The device the window stands in for: its screen in points, pixels per point and the bars the system
// draws over the app. The UI lays out in points and reads its safe area from here.
struct DeviceMetrics {
    Idiom idiom = Idiom::phone;
    double widthPoints = 390;
    double heightPoints = 844;
    double scale = 2;
    double statusBarHeight = 47;
    double homeIndicatorInset = 34;

    static constexpr DeviceMetrics phone() { return {}; }

    int pixelWidth() const { return static_cast<int>(widthPoints * scale + 0.5); }
    int pixelHeight() const { return static_cast<int>(heightPoints * scale + 0.5); }
    gfx::Size sizeInPoints() const { return {widthPoints, heightPoints}; }
    gfx::EdgeInsets safeAreaInsets() const { return {statusBarHeight, 0, homeIndicatorInset, 0}; }
};

}  // namespace host
