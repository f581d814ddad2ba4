#include "declarative/AnyView.h"

#include <algorithm>

namespace declarative {
namespace {

class OpacityElement final : public Element {
public:
    OpacityElement(AnyView content, double value) : content_(std::move(content)), value_(std::clamp(value, 0.0, 1.0)) {}
    std::type_index kind() const override { return typeid(OpacityElement); }
    std::shared_ptr<ui::View> makeView() const override { return makeContainerView(false); }
    void update(NodeUpdate& update) const override {
        ui::View& view = update.view();
        if (view.alpha() != value_) update.animate([&] { view.setAlpha(value_); });
        update.setChildren({content_});
    }

private:
    AnyView content_;
    double value_;
};

class AppearActionsElement final : public Element {
public:
    AppearActionsElement(AnyView content, std::function<void()> appear, std::function<void()> disappear)
        : content_(std::move(content)), appear_(std::move(appear)), disappear_(std::move(disappear)) {}
    std::type_index kind() const override { return typeid(AppearActionsElement); }
    std::shared_ptr<ui::View> makeView() const override { return makeContainerView(false); }
    void update(NodeUpdate& update) const override {
        update.setAppearActions(appear_, disappear_);
        update.setChildren({content_});
    }

private:
    AnyView content_;
    std::function<void()> appear_;
    std::function<void()> disappear_;
};

class IdentifiedElement final : public Element {
public:
    IdentifiedElement(AnyView content, Identity identity) : content_(std::move(content)), identity_(std::move(identity)) {}
    std::type_index kind() const override { return typeid(IdentifiedElement); }
    const Identity* identity() const override { return &identity_; }
    std::shared_ptr<ui::View> makeView() const override { return makeContainerView(false); }
    void update(NodeUpdate& update) const override { update.setChildren({content_}); }

private:
    AnyView content_;
    Identity identity_;
};

}  // namespace

AnyView AnyView::opacity(double value) const { return AnyView(std::make_shared<OpacityElement>(*this, value)); }

AnyView AnyView::onAppear(std::function<void()> action) const {
    return AnyView(std::make_shared<AppearActionsElement>(*this, std::move(action), nullptr));
}

AnyView AnyView::onDisappear(std::function<void()> action) const {
    return AnyView(std::make_shared<AppearActionsElement>(*this, nullptr, std::move(action)));
}

AnyView AnyView::id(Identity identity) const {
    return AnyView(std::make_shared<IdentifiedElement>(*this, std::move(identity)));
}

}  // namespace declarative
