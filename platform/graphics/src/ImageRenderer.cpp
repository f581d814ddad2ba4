#include "gfx/ImageRenderer.h"

#include <algorithm>
#include <vector>

namespace gfx {

namespace {

struct CurrentContextEntry {
    std::shared_ptr<Context> context;
    bool isImageContext = false;
};

std::vector<CurrentContextEntry>& currentContexts() {
    thread_local std::vector<CurrentContextEntry> stack;
    return stack;
}

std::shared_ptr<Context> makeImageContext(Size size, bool opaque, double scale) {
    return Context::create(size, {.scale = scale,
                                  .format = opaque ? PixelFormat::rgb24 : PixelFormat::argb32,
                                  .origin = Origin::topLeft});
}

}  // namespace

RenderedImage ImageRenderer::image(const std::function<void(Context&)>& drawing) const {
    auto context = makeImageContext(size_, format_.opaque, format_.scale);
    if (!context) return {{}, format_.scale};
    pushCurrentContext(context);
    drawing(*context);
    popCurrentContext();
    // Unless the block kept the context, its pixels are the result as they stand.
    return {context.use_count() == 1 ? context->takeImage() : context->makeImage(), format_.scale};
}

void pushCurrentContext(std::shared_ptr<Context> context) { currentContexts().push_back({std::move(context), false}); }

void popCurrentContext() {
    if (!currentContexts().empty()) currentContexts().pop_back();
}

std::shared_ptr<Context> currentContext() {
    return currentContexts().empty() ? nullptr : currentContexts().back().context;
}

bool beginImageContext(Size size, bool opaque, double scale) {
    auto context = makeImageContext(size, opaque, scale);
    if (!context) return false;
    currentContexts().push_back({std::move(context), true});
    return true;
}

std::optional<RenderedImage> imageFromCurrentImageContext() {
    if (currentContexts().empty() || !currentContexts().back().isImageContext) return std::nullopt;
    const auto& context = currentContexts().back().context;
    return RenderedImage{context->makeImage(), context->scale()};
}

void endImageContext() {
    auto& stack = currentContexts();
    auto innermost = std::find_if(stack.rbegin(), stack.rend(), [](const auto& entry) { return entry.isImageContext; });
    if (innermost != stack.rend()) stack.erase(std::next(innermost).base());
}

}  // namespace gfx
