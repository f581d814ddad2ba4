#pragma once

#include <memory>

#include <gtest/gtest.h>

#include "gfx/TextMeasurer.h"
#include "ui/HeadlessHost.h"
#include "ui/TableViewCell.h"

namespace cellharness {

constexpr double phoneWidth = 390;

// Cells laid out as a table lays out self-sizing rows: the content view's constraints decide the
// height at the phone's width, and the rows stack from the top of the window.
class CellHarness : public ::testing::Test {
protected:
    void SetUp() override { gfx::setTextMeasurer(measurer()); }
    void TearDown() override { gfx::setTextMeasurer(nullptr); }
    // Every character 10 points wide, every line 20 high, whatever the font.
    virtual std::shared_ptr<const gfx::TextMeasurer> measurer() { return std::make_shared<gfx::FixedAdvanceMeasurer>(10, 20); }

    template <class Cell>
    std::shared_ptr<Cell> show(std::shared_ptr<Cell> cell) {
        place(*cell);
        return cell;
    }
    void place(ui::TableViewCell& cell, double width = phoneWidth) {
        double height = cell.contentView()->systemLayoutSizeFitting({width, 0}).height;
        cell.setFrame({0, nextY, width, height});
        // As the platform's autoresizing content view would at once; the toolkit's cell only sizes
        // it in its own layout pass, after a first constraint pass at the old size.
        cell.contentView()->setFrame(cell.bounds());
        nextY += height;
        host.window()->addSubview(cell.shared());
        host.window()->layoutIfNeeded();
    }

    ui::HeadlessHost host{{{phoneWidth, 844}, 1}};
    double nextY = 0;
};

}  // namespace cellharness
