#pragma once

#include "quartz/Layer.h"

namespace ui::detail {

// Called by view setters before they change a layer's model value: inside an animation block the
// old value is kept so the block's end can animate from it.
void willChange(quartz::Layer& layer, const char* keyPath);

}  // namespace ui::detail
