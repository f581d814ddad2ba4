#include "ui/ViewController.h"

#include <algorithm>
#include <cstdio>
#include <typeinfo>

#include "foundation/TypeName.h"
#include "ui/NavigationController.h"
#include "ui/SheetPresentationController.h"

namespace ui {

ViewController::ViewController() = default;

ViewController::~ViewController() {
    if (view_) view_->viewController_.reset();
}

std::shared_ptr<View> ViewController::view() {
    if (!view_ && !loading_) loadViewNow();
    return view_;
}

void ViewController::loadViewNow() {
    loading_ = true;
    loadView();
    if (!view_) setView(std::make_shared<View>(Screen::main().bounds));
    loading_ = false;
    viewDidLoad();
}

void ViewController::loadView() { setView(std::make_shared<View>(Screen::main().bounds)); }

void ViewController::setView(std::shared_ptr<View> view) {
    if (view_) view_->viewController_.reset();
    view_ = std::move(view);
    if (view_) view_->viewController_ = weak_from_this();
}

TraitCollection ViewController::traitCollection() const {
    Screen screen = Screen::main();
    if (auto shown = window()) screen = shown->screen();
    return {screen.idiom, screen.scale};
}

std::string ViewController::description() const {
    char address[32];
    std::snprintf(address, sizeof address, "%p", static_cast<const void*>(this));
    return "<" + foundation::typeName(typeid(*this)) + ": " + address + ">";
}

std::shared_ptr<Window> ViewController::window() const { return view_ ? view_->window() : nullptr; }

void ViewController::addChild(const std::shared_ptr<ViewController>& child) {
    if (!child || child.get() == this) return;
    if (child->parent().get() == this) return;
    child->removeFromParent();
    child->willMoveToParent(shared_from_this());
    children_.push_back(child);
    child->parent_ = weak_from_this();
}

void ViewController::removeFromParent() {
    auto parent = parent_.lock();
    if (!parent) return;
    auto self = shared_from_this();
    std::erase(parent->children_, self);
    parent_.reset();
    didMoveToParent(nullptr);
}

std::shared_ptr<NavigationController> ViewController::navigationController() const {
    for (auto ancestor = parent(); ancestor; ancestor = ancestor->parent())
        if (auto navigation = std::dynamic_pointer_cast<NavigationController>(ancestor)) return navigation;
    return nullptr;
}

bool ViewController::isSheetStyle() const {
    switch (modalPresentationStyle_) {
        case ModalPresentationStyle::automatic:
        case ModalPresentationStyle::pageSheet:
        case ModalPresentationStyle::formSheet: return true;
        case ModalPresentationStyle::fullScreen:
        case ModalPresentationStyle::overFullScreen: return false;
    }
    return true;
}

void ViewController::setModalPresentationStyle(ModalPresentationStyle style) {
    modalPresentationStyle_ = style;
    if (!isSheetStyle() && !presentation_) sheet_.reset();
}

std::shared_ptr<SheetPresentationController> ViewController::sheetPresentationController() {
    if (!isSheetStyle()) return nullptr;
    if (!sheet_) sheet_ = std::make_shared<SheetPresentationController>(shared_from_this(), nullptr);
    return sheet_;
}

void ViewController::beginAppearanceTransition(bool appearing, bool animated) {
    Appearance target = appearing ? Appearance::appearing : Appearance::disappearing;
    if (appearance_ == target) return;
    if (appearing && appearance_ == Appearance::appeared) return;
    if (!appearing && appearance_ == Appearance::disappeared) return;
    appearance_ = target;
    appearanceAnimated_ = animated;
    if (appearing)
        viewWillAppear(animated);
    else
        viewWillDisappear(animated);
    for (const auto& child : childrenReceivingAppearance()) child->beginAppearanceTransition(appearing, animated);
}

void ViewController::endAppearanceTransition() {
    if (appearance_ == Appearance::appearing) {
        appearance_ = Appearance::appeared;
        viewDidAppear(appearanceAnimated_);
    } else if (appearance_ == Appearance::disappearing) {
        appearance_ = Appearance::disappeared;
        viewDidDisappear(appearanceAnimated_);
    } else {
        return;
    }
    for (const auto& child : childrenReceivingAppearance()) child->endAppearanceTransition();
}

std::shared_ptr<ViewController> topPresentedController(std::shared_ptr<ViewController> controller) {
    while (controller && controller->presentedViewController()) controller = controller->presentedViewController();
    return controller;
}

}  // namespace ui
