#include <gtest/gtest.h>

#include "foundation/Print.h"
#include "ui/TableViewCell.h"
#include "ui/VisualFormat.h"

namespace ui {
namespace {

TEST(TableViewCellFrameTest, contentViewTakesTheCellSizeBeforeTheFirstConstraintPass) {
    auto cell = std::make_shared<TableViewCell>("Tall");
    auto block = std::make_shared<View>();
    block->setTranslatesAutoresizingMaskIntoConstraints(false);
    cell->contentView()->addSubview(block);
    for (const char* format : {"V:|-14-[block(100)]-14-|", "H:|-(>=20)-[block(80)]-20-|"})
        cell->contentView()->addConstraints(*constraintsWithVisualFormat(format, {}, {{"block", block}}));

    foundation::ConsoleCapture console;
    cell->setFrame({0, 0, 390, 128});
    EXPECT_EQ(cell->contentView()->frame(), (Rect{0, 0, 390, 128}));
    cell->layoutIfNeeded();
    EXPECT_EQ(block->frame(), (Rect{290, 14, 80, 100}));
    EXPECT_EQ(console.text(), "");
}

}  // namespace
}  // namespace ui
