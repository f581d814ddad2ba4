#include <gtest/gtest.h>

#include "ui/View.h"
#include "ui/Window.h"

namespace ui {
namespace {

std::shared_ptr<View> box(double x, double y, double width, double height) {
    return std::make_shared<View>(Rect{x, y, width, height});
}

class RecordingView : public View {
public:
    using View::View;
    int windowMoves = 0;
    int superviewMoves = 0;
    int layouts = 0;
    int tintChanges = 0;

protected:
    void didMoveToWindow() override { ++windowMoves; }
    void didMoveToSuperview() override { ++superviewMoves; }
    void layoutSubviews() override { ++layouts; }
    void tintColorDidChange() override { ++tintChanges; }
};

TEST(ViewTree, subviewOrderFollowsInsertionsAndLayersMatch) {
    auto root = box(0, 0, 100, 100);
    auto a = box(0, 0, 1, 1), b = box(0, 0, 1, 1), c = box(0, 0, 1, 1), d = box(0, 0, 1, 1);
    root->addSubview(a);
    root->addSubview(c);
    root->insertSubviewBelow(b, c);
    root->insertSubviewAbove(d, c);
    EXPECT_EQ(root->subviews(), (std::vector<std::shared_ptr<View>>{a, b, c, d}));
    root->bringSubviewToFront(a);
    root->insertSubview(d, 0);
    EXPECT_EQ(root->subviews(), (std::vector<std::shared_ptr<View>>{d, b, c, a}));
    std::vector<std::shared_ptr<quartz::Layer>> layers;
    for (const auto& view : root->subviews()) layers.push_back(view->layer());
    EXPECT_EQ(root->layer()->sublayers(), layers);
    EXPECT_EQ(a->superview(), root);

    c->removeFromSuperview();
    EXPECT_EQ(c->superview(), nullptr);
    EXPECT_EQ(root->subviews().size(), 3u);
    EXPECT_EQ(c->layer()->superlayer(), nullptr);
}

TEST(ViewTree, addingAnAncestorAsSubviewIsRefused) {
    auto root = box(0, 0, 10, 10);
    auto child = box(0, 0, 5, 5);
    root->addSubview(child);
    child->addSubview(root);
    EXPECT_TRUE(child->subviews().empty());
    EXPECT_EQ(root->superview(), nullptr);
}

TEST(ViewTree, geometryLivesInTheLayer) {
    auto view = box(10, 20, 100, 50);
    EXPECT_EQ(view->center(), (Point{60, 45}));
    EXPECT_EQ(view->bounds(), (Rect{0, 0, 100, 50}));
    view->setCenter({100, 100});
    EXPECT_EQ(view->frame(), (Rect{50, 75, 100, 50}));
    EXPECT_EQ(view->layer()->position(), (Point{100, 100}));
    view->setTransform(gfx::AffineTransform::scale(2, 2));
    EXPECT_EQ(view->frame(), (Rect{0, 50, 200, 100}));
    EXPECT_EQ(view->bounds().size, (Size{100, 50}));
}

TEST(ViewTree, windowAndSuperviewHooksRunOnMoves) {
    auto window = std::make_shared<Window>();
    auto container = box(0, 0, 100, 100);
    auto child = std::make_shared<RecordingView>(Rect{0, 0, 10, 10});
    container->addSubview(child);
    EXPECT_EQ(child->superviewMoves, 1);
    EXPECT_EQ(child->windowMoves, 0);
    window->addSubview(container);
    EXPECT_EQ(child->window(), window);
    EXPECT_EQ(child->windowMoves, 1);
    container->removeFromSuperview();
    EXPECT_EQ(child->window(), nullptr);
    EXPECT_EQ(child->windowMoves, 2);
}

TEST(ViewTree, viewWithTagSearchesDepthFirstIncludingItself) {
    auto root = box(0, 0, 10, 10);
    auto first = box(0, 0, 1, 1), nested = box(0, 0, 1, 1), second = box(0, 0, 1, 1);
    root->addSubview(first);
    first->addSubview(nested);
    root->addSubview(second);
    nested->setTag(7);
    second->setTag(7);
    root->setTag(3);
    EXPECT_EQ(root->viewWithTag(7), nested);
    EXPECT_EQ(root->viewWithTag(3), root);
    EXPECT_EQ(root->viewWithTag(9), nullptr);
}

TEST(ViewTree, tintIsInheritedUntilAViewSetsItsOwn) {
    auto window = std::make_shared<Window>();
    auto parent = box(0, 0, 10, 10);
    auto child = std::make_shared<RecordingView>(Rect{0, 0, 5, 5});
    parent->addSubview(child);
    window->addSubview(parent);
    EXPECT_EQ(child->tintColor(), gfx::Color::systemBlue());
    int before = child->tintChanges;
    window->setTintColor(gfx::Color::systemPink());
    EXPECT_EQ(child->tintColor(), gfx::Color::systemPink());
    EXPECT_GT(child->tintChanges, before);
    parent->setTintColor(gfx::Color::systemGreen());
    EXPECT_EQ(child->tintColor(), gfx::Color::systemGreen());
    child->setTintColor(gfx::Color::systemRed());
    before = child->tintChanges;
    parent->setTintColor(gfx::Color::systemOrange());
    EXPECT_EQ(child->tintColor(), gfx::Color::systemRed());
    EXPECT_EQ(child->tintChanges, before);
}

TEST(ViewTree, conversionFollowsOffsetsAndTransforms) {
    auto root = box(0, 0, 400, 400);
    auto a = box(100, 50, 200, 200);
    auto b = box(10, 10, 50, 50);
    root->addSubview(a);
    a->addSubview(b);
    EXPECT_EQ(b->convertPointTo({0, 0}, root.get()), (Point{110, 60}));
    EXPECT_EQ(root->convertPointTo({110, 60}, b.get()), (Point{0, 0}));
    EXPECT_EQ(b->convertRectTo({0, 0, 5, 5}, a.get()), (Rect{10, 10, 5, 5}));
    a->setTransform(gfx::AffineTransform::scale(2, 2));  // about a's centre (200, 150)
    Point p = b->convertPointTo({0, 0}, root.get());
    EXPECT_DOUBLE_EQ(p.x, 20);
    EXPECT_DOUBLE_EQ(p.y, -30);
}

TEST(ViewTree, safeAreaInsetsComeFromTheWindowWhereTheViewOverlapsThem) {
    auto window = std::make_shared<Window>();
    EXPECT_EQ(window->windowSafeAreaInsets(), (EdgeInsets{47, 0, 34, 0}));
    auto full = box(0, 0, 390, 844);
    auto inside = box(0, 100, 390, 200);
    auto top = box(0, 20, 390, 100);
    window->addSubview(full);
    window->addSubview(inside);
    window->addSubview(top);
    EXPECT_EQ(full->safeAreaInsets(), (EdgeInsets{47, 0, 34, 0}));
    EXPECT_EQ(inside->safeAreaInsets(), (EdgeInsets{}));
    EXPECT_EQ(top->safeAreaInsets(), (EdgeInsets{27, 0, 0, 0}));
}

TEST(ViewTree, layoutSubviewsRunsOnlyForViewsMarkedOrResized) {
    auto root = box(0, 0, 100, 100);
    auto child = std::make_shared<RecordingView>(Rect{0, 0, 10, 10});
    root->addSubview(child);
    root->layoutIfNeeded();
    EXPECT_EQ(child->layouts, 1);
    root->layoutIfNeeded();
    EXPECT_EQ(child->layouts, 1);
    child->setFrame({5, 5, 10, 10});  // moved, same size
    root->layoutIfNeeded();
    EXPECT_EQ(child->layouts, 1);
    child->setFrame({5, 5, 20, 10});
    root->layoutIfNeeded();
    EXPECT_EQ(child->layouts, 2);
    child->setNeedsLayout();
    child->layoutIfNeeded();
    EXPECT_EQ(child->layouts, 3);
}

}  // namespace
}  // namespace ui
