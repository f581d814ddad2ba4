#pragma once

#include <memory>

#include "foundation/Data.h"
#include "gfx/Image.h"
#include "pictura/PicturaWrapper.h"
#include "ui/Button.h"
#include "ui/ImageView.h"

namespace pictura {

// The platform types with a `pc` namespace. Images, views and buttons are objects (the wrapper holds
// the very object); data is a value (the wrapper holds a copy). The imaging and set-image operations
// are added to these wrappers by the code that needs them.
template <>
inline constexpr bool isPicturaCompatible<gfx::Image> = true;
template <>
inline constexpr bool isPicturaCompatible<ui::ImageView> = true;
template <>
inline constexpr bool isPicturaCompatible<ui::Button> = true;
template <>
inline constexpr bool isPicturaCompatibleValue<foundation::Data> = true;

template <>
struct PicturaWrapper<std::shared_ptr<gfx::Image>> : PicturaWrapperBase<std::shared_ptr<gfx::Image>> {
    using PicturaWrapperBase::PicturaWrapperBase;
};

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
};

}  // namespace pictura
