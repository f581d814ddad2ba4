#include <gtest/gtest.h>

#include "ui/View.h"
#include "ui/VisualFormat.h"

namespace ui {
namespace {


class SizedView : public View {
public:
    Size intrinsic{noIntrinsicMetric, noIntrinsicMetric};
    Size intrinsicContentSize() const override { return intrinsic; }
};

std::shared_ptr<SizedView> sized(double width, double height) {
    auto view = std::make_shared<SizedView>();
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

}  // namespace
}  // namespace ui
