#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <type_traits>

#include "declarative/AnyView.h"
#include "declarative/ZStack.h"
#include "foundation/Data.h"
#include "foundation/URL.h"
#include "pictura/ImageDataProviders.h"
#include "pictura/ImageTransition.h"
#include "pictura/PCImageContext.h"
#include "pictura/PCImageRenderer.h"
#include "pictura/Source.h"

namespace pictura {

// The builders and body every declarative image view shares (`Self` is the view type, `HoldingView`
// what shows the image). Static builders and constructors make a view with a new context; every
// other builder writes into the shared context and returns the view with the same context.
template <class Self, class HoldingView>
class PCImageProtocol {
public:
    using Context = PCImageContext<HoldingView>;
    using Placeholder = typename Context::Placeholder;

    explicit PCImageProtocol(std::shared_ptr<Context> context) : context(std::move(context)) {}
    explicit PCImageProtocol(std::optional<Source> source) : context(std::make_shared<Context>(std::move(source))) {}
    explicit PCImageProtocol(const std::optional<foundation::URL>& url)
        : PCImageProtocol(url ? std::optional<Source>(convertToSource(*url)) : std::nullopt) {}

    static Self source(std::optional<Source> source) { return Self(std::move(source)); }
    static Self resource(const std::optional<ImageResource>& resource) {
        return Self(resource ? std::optional<Source>(resource->convertToSource()) : std::nullopt);
    }
    static Self url(const std::optional<foundation::URL>& url, std::optional<std::string> cacheKey = std::nullopt) {
        return Self(url ? std::optional<Source>(convertToSource(*url, std::move(cacheKey))) : std::nullopt);
    }
    static Self dataProvider(const std::shared_ptr<const ImageDataProvider>& provider) {
        return Self(provider ? std::optional<Source>(provider->convertToSource()) : std::nullopt);
    }
    static Self data(const std::optional<foundation::Data>& data, std::string cacheKey) {
        if (!data) return dataProvider(nullptr);
        return dataProvider(std::make_shared<RawImageDataProvider>(*data, std::move(cacheKey)));
    }

    Self placeholder(std::function<declarative::AnyView(const std::shared_ptr<foundation::Progress>&)> make) const {
        context->placeholder = std::move(make);
        return self();
    }
    Self placeholder(std::function<declarative::AnyView()> make) const {
        context->placeholder = [make = std::move(make)](const std::shared_ptr<foundation::Progress>&) { return make(); };
        return self();
    }
    Self cancelOnDisappear(bool flag) const {
        context->cancelOnDisappear = flag;
        return self();
    }
    Self fade(double duration) const {
        context->options.transition = ImageTransition::fade(duration);
        return self();
    }
    Self startLoadingBeforeViewAppear(bool flag = true) const {
        context->startLoadingBeforeViewAppear = flag;
        return self();
    }
    Self configure(std::function<HoldingView(HoldingView)> configuration) const {
        context->configurations.push_back(std::move(configuration));
        return self();
    }
    template <class Configure>
        requires std::is_invocable_v<Configure, HoldingView>
    Self contentConfigure(Configure configure) const {
        context->contentConfiguration = [configure = std::move(configure)](HoldingView view) {
            return declarative::AnyView(configure(std::move(view)));
        };
        return self();
    }

    // What the option setters write through.
    PicturaParsedOptionsInfo& options() const { return context->options; }
    Delegate<PicturaError, void>& onFailureDelegate() const { return context->onFailureDelegate; }
    Delegate<RetrieveImageResult, void>& onSuccessDelegate() const { return context->onSuccessDelegate; }
    Delegate<PCImageContextBase::ProgressPair, void>& onProgressDelegate() const { return context->onProgressDelegate; }
    // The target the delegates hold weakly: callbacks stop when the last copy of the view is gone.
    std::shared_ptr<PCImageContextBase> delegateObserver() const { return context; }
    // What a setter returns: the view, with the same context.
    Self receiver() const { return self(); }

    declarative::AnyView body(declarative::ViewContext&) const {
        return declarative::ZStack{{declarative::AnyView(PCImageRenderer<HoldingView>{context})
                                        .id(PCImageContextIdentity{context})}};
    }

    std::shared_ptr<Context> context;

private:
    Self self() const { return static_cast<const Self&>(*this); }
};

}  // namespace pictura
