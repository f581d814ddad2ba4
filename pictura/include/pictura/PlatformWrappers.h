#pragma once

#include <memory>

#include "foundation/Data.h"
#include "gfx/Image.h"
#include "pictura/ButtonWrapper.h"
#include "pictura/ImageFormat.h"
#include "pictura/ImageViewWrapper.h"
#include "pictura/ImageWrapper.h"
#include "pictura/ListItemWrapper.h"
#include "pictura/PicturaWrapper.h"
#include "pictura/TextAttachmentWrapper.h"

namespace pictura {

// The platform types with a `pc` namespace. Images, image views, buttons, list items and text
// attachments are objects (the wrapper holds the very object); data is a value (the wrapper holds a
// copy). The imaging operations live in ImageWrapper.h, set-image in the wrappers' own headers.
template <>
inline constexpr bool isPicturaCompatibleValue<foundation::Data> = true;

template <>
struct PicturaWrapper<foundation::Data> : PicturaWrapperBase<foundation::Data> {
    using PicturaWrapperBase::PicturaWrapperBase;

    ImageFormat imageFormat() const { return pictura::imageFormat(base.span()); }
    bool contains(JPEGMarker marker) const { return containsJPEGMarker(base.span(), marker); }
};

}  // namespace pictura
