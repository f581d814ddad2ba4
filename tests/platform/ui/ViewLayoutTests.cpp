#include <gtest/gtest.h>

#include "foundation/Print.h"
#include "ui/LayoutEngine.h"
#include "ui/View.h"
#include "ui/VisualFormat.h"

namespace ui {
namespace {

class IntrinsicView : public View {
public:
    Size intrinsic{noIntrinsicMetric, noIntrinsicMetric};
    Size intrinsicContentSize() const override { return intrinsic; }
};

// Counts how often layout reads its size: a pass over it that reads nothing was skipped.
class CountingView : public IntrinsicView {
public:
    mutable int reads = 0;
    Size intrinsicContentSize() const override {
        ++reads;
        return IntrinsicView::intrinsicContentSize();
    }
};

std::shared_ptr<IntrinsicView> sized(double width, double height) {
    auto view = std::make_shared<IntrinsicView>();
    view->intrinsic = {width, height};
    view->setTranslatesAutoresizingMaskIntoConstraints(false);
    return view;
}

void install(const std::shared_ptr<View>& on, const std::vector<std::string>& formats, const VisualFormatViews& views) {
    for (const auto& format : formats) {
        auto constraints = constraintsWithVisualFormat(format, {}, views);
        ASSERT_TRUE(constraints) << constraints.error().message;
        on->addConstraints(*constraints);
    }
}

TEST(ViewLayout, visualFormatChainsLayOutARealHierarchy) {
    auto root = std::make_shared<View>(Rect{0, 0, 390, 200});
    auto card = std::make_shared<View>();
    card->setTranslatesAutoresizingMaskIntoConstraints(false);
    root->addSubview(card);
    auto icon = sized(10, 10), title = sized(120, 22), detail = sized(80, 13);
    for (auto& view : {std::static_pointer_cast<View>(icon), std::static_pointer_cast<View>(title),
                       std::static_pointer_cast<View>(detail)})
        card->addSubview(view);
    VisualFormatViews views{{"card", card}, {"icon", icon}, {"title", title}, {"detail", detail}};
    install(root, {"H:|-0-[card]-0-|", "V:|-0-[card]-0-|"}, views);
    install(card, {"H:|-20-[icon(50)]-15-[title]-20-|", "H:[icon]-15-[detail]-(>=20)-|", "V:|-14-[icon(50)]",
                   "V:|-14-[title]-2-[detail]-(>=14)-|"},
            views);
    root->layoutIfNeeded();
    EXPECT_EQ(card->frame(), (Rect{0, 0, 390, 200}));
    EXPECT_EQ(icon->frame(), (Rect{20, 14, 50, 50}));
    EXPECT_EQ(title->frame(), (Rect{85, 14, 285, 22}));
    EXPECT_EQ(detail->frame(), (Rect{85, 38, 80, 13}));

    root->setFrame({0, 0, 300, 200});
    root->layoutIfNeeded();
    EXPECT_EQ(title->frame(), (Rect{85, 14, 195, 22}));
}

TEST(ViewLayout, hiddenViewsKeepTheirPlaceInChains) {
    auto root = std::make_shared<View>(Rect{0, 0, 200, 200});
    auto a = sized(50, 20), b = sized(50, 20), c = sized(50, 20);
    root->addSubview(a);
    root->addSubview(b);
    root->addSubview(c);
    install(root, {"V:|-10-[a]-5-[b]-5-[c]"}, {{"a", a}, {"b", b}, {"c", c}});
    b->setHidden(true);
    root->layoutIfNeeded();
    EXPECT_EQ(c->frame().origin.y, 60);
}

TEST(ViewLayout, equalWidthsShareTheRow) {
    auto root = std::make_shared<View>(Rect{0, 0, 310, 50});
    auto a = sized(-1, 20), b = sized(-1, 20);
    root->addSubview(a);
    root->addSubview(b);
    install(root, {"H:|-0-[a]-10-[b(==a)]-0-|"}, {{"a", a}, {"b", b}});
    root->layoutIfNeeded();
    EXPECT_EQ(a->frame().size.width, 150);
    EXPECT_EQ(b->frame(), (Rect{160, 0, 150, 20}));
}

TEST(ViewLayout, systemLayoutSizeFittingMeasuresWithoutMovingAnything) {
    auto cell = std::make_shared<View>(Rect{0, 0, 390, 44});
    auto a = sized(50, 30), b = sized(50, 40);
    cell->addSubview(a);
    cell->addSubview(b);
    install(cell, {"V:|-14-[a]-2-[b]-14-|", "H:|-20-[a]", "H:|-20-[b]"}, {{"a", a}, {"b", b}});
    Size fitting = cell->systemLayoutSizeFitting({390, 0});
    EXPECT_EQ(fitting, (Size{390, 100}));
    EXPECT_EQ(cell->frame().size, (Size{390, 44}));
}

// A row's content lays out apart from the window: after the window's own frames, at the frame it
// was given, skipped while nothing inside changed, and laid out again after any change inside.
TEST(ViewLayout, aSubtreeLaidOutApartFollowsEveryChangeInsideAndIsSkippedWithoutOne) {
    auto root = std::make_shared<View>(Rect{0, 0, 300, 200});
    auto box = std::make_shared<View>(Rect{10, 10, 200, 100});
    box->setLaysOutApart(true);
    root->addSubview(box);
    auto title = std::make_shared<CountingView>();
    title->intrinsic = {120, 20};
    title->setTranslatesAutoresizingMaskIntoConstraints(false);
    auto detail = sized(80, 10);
    box->addSubview(title);
    box->addSubview(detail);
    install(box, {"H:|-10-[title]-(>=10)-|", "V:|-10-[title]", "H:|-10-[detail]"}, {{"title", title}, {"detail", detail}});
    auto gap = detail->topAnchor().constraintEqualTo(title->bottomAnchor(), 5);
    gap->setActive(true);
    root->layoutIfNeeded();
    EXPECT_EQ(title->frame(), (Rect{10, 10, 120, 20}));
    EXPECT_EQ(detail->frame(), (Rect{10, 35, 80, 10}));
    // The window's system holds its own frame alone, none of the box's constraints.
    EXPECT_EQ(root->layoutEngine().statistics().solverAdditions, 4u);

    int reads = title->reads;
    root->setNeedsLayout();
    root->layoutIfNeeded();
    EXPECT_EQ(title->reads, reads) << "a pass with nothing changed inside reads nothing";

    title->intrinsic = {150, 20};
    title->invalidateIntrinsicContentSize();
    root->layoutIfNeeded();
    EXPECT_EQ(title->frame().width(), 150);

    gap->setConstant(15);
    root->layoutIfNeeded();
    EXPECT_EQ(detail->frame().minY(), 45);

    box->setFrame({10, 10, 100, 100});
    root->layoutIfNeeded();
    EXPECT_EQ(title->frame().width(), 80);

    title->setContentCompressionResistancePriority(100, LayoutAxis::horizontal);
    title->widthAnchor().constraintEqualToConstant(40)->setActive(true);
    root->layoutIfNeeded();
    EXPECT_EQ(title->frame().width(), 40);

    auto extra = sized(30, 30);
    box->addSubview(extra);
    install(box, {"H:|-5-[extra]", "V:[extra]-5-|"}, {{"extra", extra}});
    root->layoutIfNeeded();
    EXPECT_EQ(extra->frame(), (Rect{5, 65, 30, 30}));

    // Measuring at a width, then again with nothing changed, solves once.
    install(box, {"V:[detail]-(>=10)-|"}, {{"detail", detail}});
    Size fitting = box->systemLayoutSizeFitting({100, 0});
    std::size_t additions = box->layoutEngine().statistics().solverAdditions;
    EXPECT_EQ(box->systemLayoutSizeFitting({100, 0}), fitting);
    EXPECT_EQ(box->layoutEngine().statistics().solverAdditions, additions);
    detail->intrinsic = {80, 30};
    detail->invalidateIntrinsicContentSize();
    EXPECT_EQ(box->systemLayoutSizeFitting({100, 0}).height, fitting.height + 20);
}

// Nothing crosses the edge of a subtree laid out apart: a constraint from outside to an item inside
// is refused with a printed line, and both sides keep the rest of their layout.
TEST(ViewLayout, aConstraintIntoASubtreeLaidOutApartIsIgnoredWithAWarning) {
    auto root = std::make_shared<View>(Rect{0, 0, 300, 200});
    auto box = std::make_shared<View>(Rect{0, 0, 300, 100});
    box->setLaysOutApart(true);
    auto inside = sized(50, 20), outside = sized(60, 20);
    root->addSubview(box);
    root->addSubview(outside);
    box->addSubview(inside);
    install(box, {"H:|-10-[inside]", "V:|-10-[inside]"}, {{"inside", inside}});
    install(root, {"H:|-20-[outside]", "V:[outside]-20-|"}, {{"outside", outside}});
    foundation::ConsoleCapture console;
    outside->leadingAnchor().constraintEqualTo(inside->trailingAnchor(), 5)->setActive(true);
    root->layoutIfNeeded();
    EXPECT_NE(console.text().find("outside the tree"), std::string::npos);
    EXPECT_EQ(inside->frame(), (Rect{10, 10, 50, 20}));
    EXPECT_EQ(outside->frame(), (Rect{20, 160, 60, 20}));
}

}  // namespace
}  // namespace ui
