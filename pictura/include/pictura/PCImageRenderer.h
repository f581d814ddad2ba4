#pragma once

#include <memory>
#include <vector>

#include "declarative/AnyView.h"
#include "declarative/Color.h"
#include "declarative/ZStack.h"
#include "pictura/PCImageBinder.h"
#include "pictura/PCImageContext.h"

namespace pictura {

// Draws one declarative image view from its context: the image (hidden until loaded, faded in when the
// load says so) under the placeholder, whose appearance starts the load and whose disappearance may
// cancel it. Its binder is made once per view identity.
template <class HoldingView>
struct PCImageRenderer {
    std::shared_ptr<PCImageContext<HoldingView>> context;

    declarative::AnyView body(declarative::ViewContext& viewContext) const {
        auto binder = viewContext.stateObject<PCImageBinder>([] { return std::make_shared<PCImageBinder>(); });
        // Only from a binder that has not finished: a failed one would otherwise start again on every
        // evaluation its own failure causes.
        if (context->startLoadingBeforeViewAppear && !binder->loading() && !binder->loadedImage() &&
            !binder->animating() && !binder->loaded())
            binder->startLoadingLater(context);

        std::vector<declarative::AnyView> layers{renderedImage(*binder).opacity(binder->loaded() ? 1.0 : 0.0)};
        if (!binder->loadedImage()) {
            declarative::AnyView inside = context->placeholder ? context->placeholder(binder->progress())
                                                               : declarative::AnyView(declarative::Color::clear());
            std::weak_ptr<PCImageBinder> weak = binder;
            layers.push_back(declarative::AnyView(declarative::ZStack{{inside}})
                                 .onAppear([weak, context = context] {
                                     auto strong = weak.lock();
                                     if (strong && !strong->loading() && !strong->loadedImage()) strong->startLoading(context);
                                 })
                                 .onDisappear([weak, context = context] {
                                     auto strong = weak.lock();
                                     if (strong && context->cancelOnDisappear) strong->cancelLoading();
                                 }));
        }
        return declarative::AnyView(declarative::ZStack{std::move(layers)}).onAppear([] {});
    }

    declarative::AnyView renderedImage(const PCImageBinder& binder) const {
        HoldingView view = PCImageHoldingView<HoldingView>::created(binder.loadedImage(), context);
        for (const auto& configuration : context->configurations) view = configuration(std::move(view));
        if (context->contentConfiguration) return context->contentConfiguration(std::move(view));
        return declarative::AnyView(std::move(view));
    }
};

}  // namespace pictura
