#pragma once

#include <functional>
#include <memory>

#include "ui/ContextMenuConfiguration.h"
#include "ui/LongPressGestureRecognizer.h"

namespace ui {

class Window;

// Opens a context menu for a view on a long press or a secondary click. The configuration provider
// is asked with the location in the view's space each time; returning none means no menu there.
class ContextMenuInteraction : public std::enable_shared_from_this<ContextMenuInteraction> {
public:
    using ConfigurationProvider =
        std::function<std::shared_ptr<ContextMenuConfiguration>(ContextMenuInteraction&, Point location)>;
    // The view the menu is for and that previews it (default: the interaction's view).
    using SourceProvider = std::function<std::shared_ptr<View>(ContextMenuInteraction&, const ContextMenuConfiguration&)>;

    explicit ContextMenuInteraction(ConfigurationProvider provider) : provider_(std::move(provider)) {}

    void setSourceProvider(SourceProvider provider) { sourceProvider_ = std::move(provider); }
    std::shared_ptr<View> view() const;
    std::shared_ptr<LongPressGestureRecognizer> longPressGestureRecognizer() const { return longPress_.lock(); }

    // Asks the provider for the configuration at `location` (view space) and presents it. True
    // when a menu was shown.
    bool presentMenu(Point location);

    // Hosts call this for a right click at a window point: the innermost view there with an
    // interaction opens its menu. True when one did.
    static bool secondaryClick(Window& window, Point point);

private:
    friend void addContextMenuInteraction(View& view, const std::shared_ptr<ContextMenuInteraction>& interaction);

    ConfigurationProvider provider_;
    SourceProvider sourceProvider_;
    // The recogniser owns the interaction, not the other way round.
    std::weak_ptr<LongPressGestureRecognizer> longPress_;
};

// The view keeps the interaction (through its long-press recogniser).
void addContextMenuInteraction(View& view, const std::shared_ptr<ContextMenuInteraction>& interaction);

}  // namespace ui
