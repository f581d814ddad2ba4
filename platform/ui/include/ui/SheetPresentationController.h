#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "ui/PresentationController.h"

namespace ui {

class SheetPresentationController;
class SheetView;

// What a detent's resolver is given. Values are heights above the bottom safe area.
struct SheetDetentResolutionContext {
    // The largest value a detent may have (the large detent's).
    double maximumDetentValue = 0;
    Size containerSize;
    double bottomSafeAreaInset = 0;
};

// A height a sheet rests at: a name and a resolver of its value.
class SheetDetent {
public:
    using Identifier = std::string;
    using Resolver = std::function<std::optional<double>(const SheetDetentResolutionContext&)>;

    static inline const Identifier mediumIdentifier = "medium";
    static inline const Identifier largeIdentifier = "large";

    // Half the container's height.
    static SheetDetent medium();
    // The full height below the status bar, less 10 points.
    static SheetDetent large();
    // A resolver answering nothing leaves the detent out.
    static SheetDetent custom(Identifier identifier, Resolver resolver);

    const Identifier& identifier() const { return identifier_; }
    std::optional<double> resolvedValue(const SheetDetentResolutionContext& context) const;

private:
    SheetDetent(Identifier identifier, Resolver resolver)
        : identifier_(std::move(identifier)), resolver_(std::move(resolver)) {}

    Identifier identifier_;
    Resolver resolver_;
};

class SheetPresentationControllerDelegate {
public:
    virtual ~SheetPresentationControllerDelegate() = default;
    // After the user dragged the sheet to another detent.
    virtual void sheetPresentationControllerDidChangeSelectedDetentIdentifier(SheetPresentationController&) {}
    // After the user dragged or tapped the sheet away.
    virtual void presentationControllerDidDismiss(SheetPresentationController&) {}
};

// A page sheet: a card from the bottom resting at one of its detents (the smallest unless one is
// selected), dragged between them by the user, dimming what lies beneath above its largest
// undimmed detent. A sheet presented from a sheet stacks above it and pushes it back.
class SheetPresentationController : public PresentationController {
public:
    SheetPresentationController(const std::shared_ptr<ViewController>& presented,
                                const std::shared_ptr<ViewController>& presenting);

    const std::vector<SheetDetent>& detents() const { return detents_; }
    void setDetents(std::vector<SheetDetent> detents);
    // None means the smallest detent.
    const std::optional<SheetDetent::Identifier>& selectedDetentIdentifier() const { return selected_; }
    void setSelectedDetentIdentifier(std::optional<SheetDetent::Identifier> identifier);
    // Changes made inside `changes` (the selected detent, the detents) move the sheet animated.
    void animateChanges(const std::function<void()>& changes);
    // None dims beneath at every detent.
    const std::optional<SheetDetent::Identifier>& largestUndimmedDetentIdentifier() const { return largestUndimmed_; }
    void setLargestUndimmedDetentIdentifier(std::optional<SheetDetent::Identifier> identifier);
    bool prefersGrabberVisible() const { return prefersGrabberVisible_; }
    void setPrefersGrabberVisible(bool visible);
    std::optional<double> preferredCornerRadius() const { return preferredCornerRadius_; }
    void setPreferredCornerRadius(std::optional<double> radius);
    std::shared_ptr<SheetPresentationControllerDelegate> delegate() const { return delegate_.lock(); }
    void setDelegate(std::weak_ptr<SheetPresentationControllerDelegate> delegate) { delegate_ = std::move(delegate); }

    // The detent the sheet rests at now, and its sheet height (with the bottom safe area).
    SheetDetent::Identifier currentDetentIdentifier() const;
    double sheetHeight(const SheetDetent::Identifier& identifier) const;
    bool isDimming() const;

    std::shared_ptr<View> presentedView() const override;
    Rect frameOfPresentedViewInContainerView() const override;

protected:
    std::shared_ptr<View> hitTestContainer(Point point, const Event& event) override;
    void containerViewDidLayoutSubviews() override;
    void presentationTransitionWillBegin() override;
    void presentationTransitionDidEnd(bool completed) override;
    void dismissalTransitionWillBegin() override;
    void userDidDismiss() override;

private:
    friend class SheetView;

    struct Resolved {
        SheetDetent::Identifier identifier;
        double height;
    };
    // The detents with their sheet heights, smallest first.
    std::vector<Resolved> resolvedDetents() const;
    double bottomInset() const;
    Size containerSize() const;
    void placeSheet(bool animated);
    void updateDimming();
    void updateStacking();
    // The sheet this one was presented from, if the presenter is a sheet.
    std::shared_ptr<SheetPresentationController> sheetBeneath() const;

    // Whether the sheet rests below its highest detent: content pushed up at its top grows it first.
    bool canGrow() const;
    void dragBegan();
    void dragMoved(double translation);
    void dragEnded(double velocity);

    std::vector<SheetDetent> detents_{SheetDetent::large()};
    std::optional<SheetDetent::Identifier> selected_;
    std::optional<SheetDetent::Identifier> largestUndimmed_;
    bool prefersGrabberVisible_ = false;
    std::optional<double> preferredCornerRadius_;
    std::weak_ptr<SheetPresentationControllerDelegate> delegate_;
    std::shared_ptr<SheetView> sheetView_;
    std::shared_ptr<View> dimmingView_;
    bool animatingChanges_ = false;
    // The sheet's top while a drag moves it.
    std::optional<double> dragTop_;
    double dragStartTop_ = 0;
};

}  // namespace ui
