#include <gtest/gtest.h>

#include <set>

#include "cells/DriverCell.h"
#include "cells/DriverOfTheDayCell.h"
#include "ui/HeadlessHost.h"
#include "ui/TableView.h"

namespace {

class Standings : public ui::TableViewDataSource, public ui::TableViewDelegate {
public:
    int numberOfRows(ui::TableView&, int) override { return 40; }
    std::shared_ptr<ui::TableViewCell> cellForRow(ui::TableView& table, ui::IndexPath indexPath) override {
        auto cell = table.dequeueReusableCell<DriverCell>(DriverCell::reuseIdentifier, indexPath);
        cell->position->setText(std::to_string(indexPath.row + 1));
        cell->driver->setText("Driver " + std::to_string(indexPath.row + 1));
        made.insert(cell.get());
        return cell;
    }
    std::optional<double> heightForRow(ui::TableView&, ui::IndexPath) override { return ui::TableView::automaticDimension; }

    std::set<ui::TableViewCell*> made;
};

TEST(CellReuseTest, reusedRowsKeepTheSubviewsAndConstraintsTheyWereBuiltWith) {
    ui::HeadlessHost host({.size = {390, 400}});
    auto table = std::make_shared<ui::TableView>(ui::Rect{0, 0, 390, 400});
    auto standings = std::make_shared<Standings>();
    table->registerClass<DriverCell>(DriverCell::reuseIdentifier);
    table->setDataSource(standings);
    table->setDelegate(standings);
    host.window()->addSubview(table);
    host.snapshot();

    auto first = std::dynamic_pointer_cast<DriverCell>(table->cellForRow({0, 0}));
    ASSERT_NE(first, nullptr);
    auto subviews = first->bgView->subviews();
    auto constraints = first->contentView()->constraints().size();
    EXPECT_EQ(subviews, (std::vector<std::shared_ptr<ui::View>>{first->position, first->fromGridPosition,
                                                                first->driverImage, first->status, first->driver,
                                                                first->constructor, first->fastestLap}));

    for (int row : {39, 0, 20}) {
        table->scrollToRow({0, row}, ui::TableViewScrollPosition::top, false);
        host.snapshot();
    }
    EXPECT_LT(standings->made.size(), 40u);
    auto reused = std::dynamic_pointer_cast<DriverCell>(table->cellForRow({0, 20}));
    ASSERT_NE(reused, nullptr);
    EXPECT_EQ(reused->driver->text(), "Driver 21");
    EXPECT_EQ(reused->bgView->subviews().size(), subviews.size());
    EXPECT_EQ(reused->contentView()->constraints().size(), constraints);
    EXPECT_EQ(first->bgView->subviews(), subviews);
    EXPECT_EQ(first->contentView()->constraints().size(), constraints);
}

TEST(CellReuseTest, secondIdentifierBuildsTheSameCard) {
    ui::TableView table;
    table.registerClass<DriverOfTheDayCell>(DriverOfTheDayCell::reuseIdentifier);
    table.registerClass<DriverOfTheDayCell>("DriverOfTheDayCell2");
    auto driverOfTheDay = table.dequeueReusableCell<DriverOfTheDayCell>(DriverOfTheDayCell::reuseIdentifier, {0, 0});
    auto fastestLap = table.dequeueReusableCell<DriverOfTheDayCell>("DriverOfTheDayCell2", {0, 1});
    ASSERT_NE(fastestLap, nullptr);
    EXPECT_EQ(static_cast<ui::TableViewCell&>(*fastestLap).reuseIdentifier(), "DriverOfTheDayCell2");
    EXPECT_EQ(fastestLap->bgView->subviews().size(), driverOfTheDay->bgView->subviews().size());
    EXPECT_EQ(fastestLap->contentView()->constraints().size(), driverOfTheDay->contentView()->constraints().size());
}

}  // namespace
