#pragma once

#include <functional>
#include <memory>

#include "pictura/AnimatedImageView.h"
#include "pictura/PCImageProtocol.h"
#include "ui/LayoutPriority.h"

namespace pictura {

struct PCAnimatedImageViewRepresenter;

template <>
struct PCImageHoldingView<PCAnimatedImageViewRepresenter> {
    using RenderingView = AnimatedImageView;
    static PCAnimatedImageViewRepresenter created(std::shared_ptr<gfx::Image> image,
                                                  const std::shared_ptr<PCImageContext<PCAnimatedImageViewRepresenter>>& context);
};

// Hosts an animated image view for the declarative views: made once per view identity, then given the
// loaded image on every evaluation (the view restarts only for a different image object).
struct PCAnimatedImageViewRepresenter {
    using ViewType = AnimatedImageView;

    static PCAnimatedImageViewRepresenter created(std::shared_ptr<gfx::Image> image,
                                                  const std::shared_ptr<PCImageContext<PCAnimatedImageViewRepresenter>>& context) {
        return {std::move(image), context};
    }

    // The render configurations run before the image is set, on a view of zero size: unless one of them
    // sizes the view, its animator decodes frames at full size.
    std::shared_ptr<AnimatedImageView> makeView() const {
        auto view = std::make_shared<AnimatedImageView>();
        for (const auto& configuration : context->renderConfigurations) configuration(*view);
        view->setImage(image);
        view->setContentCompressionResistancePriority(ui::layoutPriority::defaultLow, ui::LayoutAxis::horizontal);
        view->setContentCompressionResistancePriority(ui::layoutPriority::defaultLow, ui::LayoutAxis::vertical);
        return view;
    }
    void updateView(AnimatedImageView& view) const { view.setImage(image); }

    std::shared_ptr<gfx::Image> image;
    std::shared_ptr<PCImageContext<PCAnimatedImageViewRepresenter>> context;
};

inline PCAnimatedImageViewRepresenter PCImageHoldingView<PCAnimatedImageViewRepresenter>::created(
    std::shared_ptr<gfx::Image> image, const std::shared_ptr<PCImageContext<PCAnimatedImageViewRepresenter>>& context) {
    return PCAnimatedImageViewRepresenter::created(std::move(image), context);
}

// The declarative view of animated images: loads as the declarative image view does and plays the
// result frame by frame in an animated image view.
class PCAnimatedImage : public PCImageProtocol<PCAnimatedImage, PCAnimatedImageViewRepresenter> {
public:
    using PCImageProtocol::PCImageProtocol;
    using PCImageProtocol::configure;

    // Runs on the animated image view when it is made, in the order given; later ones do not reach a
    // view already made.
    PCAnimatedImage configure(std::function<void(AnimatedImageView&)> configuration) const {
        context->renderConfigurations.push_back(std::move(configuration));
        return *this;
    }
};

}  // namespace pictura
