#pragma once

#include <memory>

#include "foundation/Data.h"
#include "gfx/Image.h"
#include "pictura/ImageFormat.h"
#include "pictura/ImageWrapper.h"
#include "pictura/PicturaWrapper.h"
#include "ui/Button.h"
#include "ui/ImageView.h"

namespace pictura {

// The platform types with a `pc` namespace. Images, views and buttons are objects (the wrapper holds
// the very object); data is a value (the wrapper holds a copy). The imaging operations live in
// ImageWrapper.h; the set-image operations are added to these wrappers by the code that needs them.
template <>
inline constexpr bool isPicturaCompatible<ui::ImageView> = true;
template <>
inline constexpr bool isPicturaCompatible<ui::Button> = true;
template <>
inline constexpr bool isPicturaCompatibleValue<foundation::Data> = true;

template <>
struct PicturaWrapper<std::shared_ptr<ui::ImageView>> : PicturaWrapperBase<std::shared_ptr<ui::ImageView>> {
    using PicturaWrapperBase::PicturaWrapperBase;
};

template <>
struct PicturaWrapper<std::shared_ptr<ui::Button>> : PicturaWrapperBase<std::shared_ptr<ui::Button>> {
    using PicturaWrapperBase::PicturaWrapperBase;
};

template <>
struct PicturaWrapper<foundation::Data> : PicturaWrapperBase<foundation::Data> {
    using PicturaWrapperBase::PicturaWrapperBase;

    ImageFormat imageFormat() const { return pictura::imageFormat(base.span()); }
    bool contains(JPEGMarker marker) const { return containsJPEGMarker(base.span(), marker); }
};

}  // namespace pictura
