#include "quartz/TextLayer.h"

#include <atomic>

namespace quartz {

namespace {
// Written once by whoever links the text library, read by any rendering thread.
std::atomic<TextLayerDrawer> installedDrawer{nullptr};
}  // namespace

void setTextLayerDrawer(TextLayerDrawer drawer) { installedDrawer.store(drawer, std::memory_order_release); }
TextLayerDrawer textLayerDrawer() { return installedDrawer.load(std::memory_order_acquire); }

std::shared_ptr<Layer> TextLayer::copyLayer() const { return std::shared_ptr<Layer>(new TextLayer(*this)); }

void TextLayer::draw(gfx::Context& context) const {
    Layer::draw(context);
    if (TextLayerDrawer drawer = textLayerDrawer()) {
        context.save();
        drawer(*this, context);
        context.restore();
    }
}

}  // namespace quartz
