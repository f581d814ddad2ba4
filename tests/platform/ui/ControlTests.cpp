#include <gtest/gtest.h>

#include "gfx/TextMeasurer.h"
#include "ui/Button.h"
#include "ui/HeadlessHost.h"
#include "ui/Label.h"
#include "ui/VisualFormat.h"

namespace ui {
namespace {

// Every character 10 points wide, lines 20 high.
class FixedTextMetrics : public ::testing::Test {
protected:
    void SetUp() override { gfx::setTextMeasurer(std::make_shared<gfx::FixedAdvanceMeasurer>(10, 20)); }
    void TearDown() override { gfx::setTextMeasurer(nullptr); }
};

using LabelLayout = FixedTextMetrics;
using ButtonTaps = FixedTextMetrics;

TEST_F(LabelLayout, oneLineLabelsMeasureTheirTextAndHugIt) {
    Label label;
    EXPECT_EQ(label.intrinsicContentSize(), (Size{0, 0}));
    label.setText("Verstappen");
    EXPECT_EQ(label.intrinsicContentSize(), (Size{100, 20}));
    EXPECT_EQ(label.intrinsicHeight(50), std::nullopt);
    EXPECT_EQ(label.contentHuggingPriority(LayoutAxis::horizontal), 251);
}

TEST_F(LabelLayout, unlimitedLinesWrapAtTheWidthLayoutGives) {
    auto root = std::make_shared<View>(Rect{0, 0, 140, 400});
    auto name = std::make_shared<Label>();
    auto detail = std::make_shared<Label>();
    name->setText("aaaa bbbb cccc dddd");
    name->setNumberOfLines(0);
    detail->setText("x");
    for (auto& label : {name, detail}) {
        label->setTranslatesAutoresizingMaskIntoConstraints(false);
        root->addSubview(label);
    }
    for (const char* format : {"H:|-20-[name]-20-|", "H:|-20-[detail]", "V:|-14-[name]-2-[detail]"})
        root->addConstraints(*constraintsWithVisualFormat(format, {}, {{"name", name}, {"detail", detail}}));
    root->layoutIfNeeded();
    EXPECT_EQ(name->frame(), (Rect{20, 14, 100, 40}));  // "aaaa bbbb" / "cccc dddd"
    EXPECT_EQ(detail->frame().origin.y, 56);

    root->setFrame({0, 0, 90, 400});
    root->layoutIfNeeded();
    EXPECT_EQ(name->frame().size, (Size{50, 80}));
}

// A label keeps what it can show of a text of megabytes, still cut where a screen text is, with its
// ellipsis: the rows that show a hostile race name do not each copy it whole.
TEST_F(LabelLayout, aLabelKeepsOnlyWhatItCanShowOfATextOfMegabytes) {
    std::string name;
    while (name.size() < (std::size_t(4) << 20)) name += "Grand Prix ";
    Label label;
    label.setNumberOfLines(0);
    label.setText(name);
    EXPECT_LE(label.text().size(), gfx::AttributedString::maximumLength + 4);
    EXPECT_TRUE(name.starts_with(label.text()));
    EXPECT_EQ(label.effectiveText().string(), gfx::AttributedString(name).string());
    EXPECT_TRUE(label.effectiveText().string().ends_with("\xE2\x80\xA6"));
}

TEST_F(LabelLayout, limitedLinesTruncateAndSizeThatFitsMeasuresAtAWidth) {
    Label label;
    label.setText("aaaa bbbb cccc dddd");
    label.setNumberOfLines(2);
    EXPECT_EQ(label.intrinsicHeight(50), 40);
    EXPECT_EQ(label.sizeThatFits({100, 0}), (Size{90, 40}));  // the widest line, "aaaa bbbb"
}

TEST_F(LabelLayout, adjustingFontSizeShrinksToTheWidthButNotBelowTheMinimumScale) {
    Label label;
    label.setFont(gfx::Font::systemFont(20));
    label.setText("0123456789");  // 100 points wide
    label.setFrame({0, 0, 50, 20});
    EXPECT_EQ(label.displayedFontSize(), 20);
    label.setAdjustsFontSizeToFitWidth(true);
    EXPECT_DOUBLE_EQ(label.displayedFontSize(), 10);
    label.setMinimumScaleFactor(0.8);
    EXPECT_DOUBLE_EQ(label.displayedFontSize(), 16);
}

struct TapCounter {
    int taps = 0;
    Control* sender = nullptr;
};

TEST_F(ButtonTaps, touchUpInsideFiresWhenReleasedInsideWithTheSender) {
    HeadlessHost host;
    auto button = Button::make(ButtonType::system);
    button->setFrame({100, 100, 120, 44});
    button->setTitle("Vote", ControlState::normal);
    host.window()->addSubview(button);
    auto counter = std::make_shared<TapCounter>();
    button->addAction([counter](Control& sender) { ++counter->taps, counter->sender = &sender; },
                      ControlEvent::touchUpInside);
    host.tap({150, 120});
    EXPECT_EQ(counter->taps, 1);
    EXPECT_EQ(counter->sender, button.get());

    host.drag({150, 120}, {400, 600});  // released far outside
    EXPECT_EQ(counter->taps, 1);
    host.drag({150, 120}, {240, 130});  // within the platform's touch slop
    EXPECT_EQ(counter->taps, 2);
    host.tap({50, 50});
    EXPECT_EQ(counter->taps, 2);
    button->setEnabled(false);
    host.tap({150, 120});
    EXPECT_EQ(counter->taps, 2);
}

TEST_F(ButtonTaps, pressedButtonsHighlightAndTargetsAreHeldWeakly) {
    HeadlessHost host;
    auto button = Button::make(ButtonType::custom);
    button->setFrame({0, 100, 100, 40});
    host.window()->addSubview(button);
    auto target = std::make_shared<int>(0);
    auto calls = std::make_shared<int>(0);
    button->addTarget(target, [calls](Control&) { ++*calls; }, ControlEvent::touchUpInside);
    host.touchDown({10, 110});
    EXPECT_TRUE(button->isHighlighted());
    EXPECT_EQ(button->state(), ControlState::highlighted);
    host.touchUp({10, 110});
    EXPECT_FALSE(button->isHighlighted());
    EXPECT_EQ(*calls, 1);
    target.reset();
    host.tap({10, 110});
    EXPECT_EQ(*calls, 1);
}

TEST_F(ButtonTaps, aMenuShownAsPrimaryActionIsPresentedInsteadOfTheActions) {
    HeadlessHost host;
    auto button = Button::make();
    button->setFrame({0, 100, 100, 40});
    host.window()->addSubview(button);
    auto menu = std::make_shared<Menu>(Menu{"Session", {{"Race", nullptr, MenuElementState::on, nullptr},
                                                       {"Qualifying", nullptr, MenuElementState::off, nullptr}}});
    button->setMenu(menu);
    button->setShowsMenuAsPrimaryAction(true);
    auto presented = std::make_shared<std::vector<std::shared_ptr<Menu>>>();
    setMenuPresenter([presented](View&, const std::shared_ptr<Menu>& shown) { presented->push_back(shown); });
    auto taps = std::make_shared<int>(0);
    button->addAction([taps](Control&) { ++*taps; }, ControlEvent::touchUpInside);
    host.tap({50, 120});
    setMenuPresenter(nullptr);
    ASSERT_EQ(presented->size(), 1u);
    EXPECT_EQ(presented->front(), menu);
    EXPECT_EQ(*taps, 0);
}

TEST_F(ButtonTaps, statesFallBackToNormalAndSizeFollowsContentInsets) {
    auto button = Button::make(ButtonType::system);
    button->setTitle("Race", ControlState::normal);
    button->setTitle("Selected", ControlState::selected);
    button->setTitleColor(gfx::Color::systemRed(), ControlState::disabled);
    button->setContentEdgeInsets({12, 8, 12, 8});
    EXPECT_EQ(button->currentTitle(), "Race");
    EXPECT_EQ(button->currentTitleColor(), gfx::Color::systemBlue());
    EXPECT_EQ(button->intrinsicContentSize(), (Size{56, 44}));
    button->setSelected(true);
    EXPECT_EQ(button->currentTitle(), "Selected");
    EXPECT_EQ(button->titleLabel()->text(), "Selected");
    button->setSelected(false);
    button->setEnabled(false);
    EXPECT_EQ(button->currentTitle(), "Race");
    EXPECT_EQ(button->titleLabel()->textColor(), gfx::Color::systemRed());

    button->setFrame({0, 0, 200, 44});
    button->setContentHorizontalAlignment(ContentHorizontalAlignment::left);
    button->layoutIfNeeded();
    EXPECT_EQ(button->titleLabel()->frame(), (Rect{8, 12, 40, 20}));
}

}  // namespace
}  // namespace ui
