#include "ui/ContextMenuConfiguration.h"
#include "ui/ContextMenuInteraction.h"
#include "ui/Window.h"

namespace ui {

namespace {

ContextMenuPresenter& installedPresenter() {
    static ContextMenuPresenter presenter;
    return presenter;
}

// The long press of an interaction; it keeps the interaction alive and lets a secondary click find it.
class ContextMenuLongPress : public LongPressGestureRecognizer {
public:
    explicit ContextMenuLongPress(std::shared_ptr<ContextMenuInteraction> interaction)
        : interaction(std::move(interaction)) {}
    std::shared_ptr<ContextMenuInteraction> interaction;
};

}  // namespace

std::shared_ptr<Menu> ContextMenuConfiguration::makeMenu() const {
    std::shared_ptr<Menu> menu = actionProvider ? actionProvider({}) : nullptr;
    return menu ? menu : std::make_shared<Menu>();
}

void setContextMenuPresenter(ContextMenuPresenter presenter) { installedPresenter() = std::move(presenter); }

void presentContextMenu(View& source, const ContextMenuConfiguration& configuration) {
    std::shared_ptr<Menu> menu = configuration.makeMenu();
    if (installedPresenter()) installedPresenter()(source, configuration, menu);
    else presentMenu(source, menu);
}

std::shared_ptr<View> ContextMenuInteraction::view() const {
    auto longPress = longPress_.lock();
    return longPress ? longPress->view() : nullptr;
}

bool ContextMenuInteraction::presentMenu(Point location) {
    std::shared_ptr<View> view = this->view();
    if (!view || !provider_) return false;
    std::shared_ptr<ContextMenuConfiguration> configuration = provider_(*this, location);
    if (!configuration) return false;
    std::shared_ptr<View> source = sourceProvider_ ? sourceProvider_(*this, *configuration) : nullptr;
    presentContextMenu(source ? *source : *view, *configuration);
    return true;
}

bool ContextMenuInteraction::secondaryClick(Window& window, Point point) {
    for (auto view = window.hitTest(window.convertPointFrom(point, nullptr), Event{}); view; view = view->superview()) {
        for (const auto& recognizer : gestureRecognizers(*view)) {
            auto longPress = std::dynamic_pointer_cast<ContextMenuLongPress>(recognizer);
            if (longPress && longPress->isEnabled())
                return longPress->interaction->presentMenu(view->convertPointFrom(point, nullptr));
        }
    }
    return false;
}

void addContextMenuInteraction(View& view, const std::shared_ptr<ContextMenuInteraction>& interaction) {
    if (!interaction) return;
    auto longPress = std::make_shared<ContextMenuLongPress>(interaction);
    longPress->addAction([](GestureRecognizer& recognizer) {
        if (recognizer.state() != GestureRecognizerState::began) return;
        auto view = recognizer.view();
        if (!view) return;
        auto& press = static_cast<ContextMenuLongPress&>(recognizer);
        press.interaction->presentMenu(recognizer.location(view.get()));
    });
    interaction->longPress_ = longPress;
    addGestureRecognizer(view, longPress);
}

}  // namespace ui
