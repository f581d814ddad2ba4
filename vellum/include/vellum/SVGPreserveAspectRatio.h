#pragma once

#include <cstdint>
#include <memory>

namespace vellum {

// How a view box is fitted into its viewport, as the SVG 1.1 interface numbers the settings.
enum class SVGPreserveAspectRatioAlign : std::int32_t {
    unknown = 0,
    none = 1,
    xMinYMin = 2,
    xMidYMin = 3,
    xMaxYMin = 4,
    xMinYMid = 5,
    xMidYMid = 6,
    xMaxYMid = 7,
    xMinYMax = 8,
    xMidYMax = 9,
    xMaxYMax = 10,
};

enum class SVGPreserveAspectRatioMeetOrSlice : std::int32_t { unknown = 0, meet = 1, slice = 2 };

class SVGPreserveAspectRatio {
public:
    SVGPreserveAspectRatioAlign align() const { return align_; }
    void setAlign(SVGPreserveAspectRatioAlign align) { align_ = align; }
    SVGPreserveAspectRatioMeetOrSlice meetOrSlice() const { return meetOrSlice_; }
    void setMeetOrSlice(SVGPreserveAspectRatioMeetOrSlice meetOrSlice) { meetOrSlice_ = meetOrSlice; }

private:
    SVGPreserveAspectRatioAlign align_ = SVGPreserveAspectRatioAlign::xMidYMid;
    SVGPreserveAspectRatioMeetOrSlice meetOrSlice_ = SVGPreserveAspectRatioMeetOrSlice::meet;
};

// The element's setting; `animVal` hands out a fresh copy on each call.
class SVGAnimatedPreserveAspectRatio {
public:
    const std::shared_ptr<SVGPreserveAspectRatio>& baseVal() const { return baseVal_; }
    void setBaseVal(std::shared_ptr<SVGPreserveAspectRatio> value) { baseVal_ = std::move(value); }
    std::shared_ptr<SVGPreserveAspectRatio> animVal() const { return std::make_shared<SVGPreserveAspectRatio>(*baseVal_); }

private:
    std::shared_ptr<SVGPreserveAspectRatio> baseVal_ = std::make_shared<SVGPreserveAspectRatio>();
};

}  // namespace vellum
