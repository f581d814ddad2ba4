#pragma once

#include <memory>

#include "quartz/Layer.h"

namespace vellum {

// Elements that draw: `newLayer` makes the element's own layer (owned by the caller); once the
// layers of its children are its sublayers, `layoutLayer` fits the layer around them.
class ConverterSVGToCALayer {
public:
    virtual ~ConverterSVGToCALayer() = default;
    virtual std::shared_ptr<quartz::Layer> newLayer() = 0;
    virtual void layoutLayer(quartz::Layer&) {}
};

}  // namespace vellum
