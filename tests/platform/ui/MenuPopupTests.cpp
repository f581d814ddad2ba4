#include <gtest/gtest.h>

#include "ControllerTestSupport.h"
#include "ui/Button.h"
#include "ui/MenuPopup.h"

namespace ui {
namespace {

class MenuPopups : public ::testing::Test, protected testing::ControllerTest {
protected:
    void SetUp() override {
        button->setFrame({20, 100, 80, 40});
        button->setShowsMenuAsPrimaryAction(true);
        host.window()->addSubview(button);
        host.renderIfNeeded();
    }

    std::shared_ptr<Menu> yearMenu(int count, const std::string& chosen) {
        auto menu = std::make_shared<Menu>();
        for (int year = 2005; year < 2005 + count; ++year) {
            std::string title = std::to_string(year);
            menu->children.push_back({title, nullptr, title == chosen ? MenuElementState::on : MenuElementState::off,
                                      [this](const MenuAction& action) { picked.push_back(action.title); }});
        }
        return menu;
    }

    Point onScreen(const MenuPopup& popup, std::size_t row) {
        Rect frame = popup.list()->convertRectTo(popup.rowFrame(row), nullptr);
        return {frame.midX(), frame.midY()};
    }

    std::shared_ptr<Button> button = Button::make(ButtonType::system);
    std::vector<std::string> picked;
};

TEST_F(MenuPopups, aLongMenuScrollsAndAPickedRowRunsItsHandlerAndCloses) {
    button->setMenu(yearMenu(70, "2026"));
    host.tap({60, 120});
    auto popup = MenuPopup::shown(*host.window());
    ASSERT_TRUE(popup);
    Rect visible = popup->list()->frame();
    EXPECT_LT(visible.size.height, 70 * MenuPopup::rowHeight);
    EXPECT_GE(popup->list()->convertRectTo(popup->list()->bounds(), nullptr).minY(), 140);  // below the button
    EXPECT_LE(popup->list()->convertRectTo(popup->list()->bounds(), nullptr).maxY(), 844 - 34);

    drag({150, 700}, {150, 250}, 10, 0.05);
    settle(3);
    EXPECT_GT(popup->list()->contentOffset().y, 300);
    EXPECT_FALSE(popup->list()->isDecelerating());
    std::size_t row = static_cast<std::size_t>(popup->list()->contentOffset().y / MenuPopup::rowHeight) + 2;
    host.tap(onScreen(*popup, row));
    EXPECT_EQ(picked, (std::vector<std::string>{std::to_string(2005 + row)}));
    EXPECT_FALSE(MenuPopup::shown(*host.window()));
}

TEST_F(MenuPopups, aLongMenuOpensWithItsCheckedRowInView) {
    auto rowIsVisible = [](const MenuPopup& popup, std::size_t row) {
        Rect shown = popup.list()->bounds();
        Rect frame = popup.rowFrame(row);
        return frame.minY() >= shown.minY() && frame.maxY() <= shown.maxY();
    };
    for (auto [chosen, row] : {std::pair{"2074", 69}, std::pair{"2026", 21}, std::pair{"2005", 0}}) {
        button->setMenu(yearMenu(70, chosen));
        host.tap({60, 120});
        auto popup = MenuPopup::shown(*host.window());
        ASSERT_TRUE(popup);
        EXPECT_TRUE(rowIsVisible(*popup, static_cast<std::size_t>(row))) << chosen << " opened at offset "
                                                                         << popup->list()->contentOffset().y;
        EXPECT_LE(popup->list()->contentOffset().y, popup->list()->contentSize().height - popup->list()->bounds().height());
        popup->close();
    }
}

TEST_F(MenuPopups, aTouchOutsideClosesWithNothingPicked) {
    button->setMenu(yearMenu(3, "2006"));
    host.tap({60, 120});
    auto popup = MenuPopup::shown(*host.window());
    ASSERT_TRUE(popup);
    EXPECT_DOUBLE_EQ(popup->list()->frame().size.height, 3 * MenuPopup::rowHeight);
    host.tap({380, 800});
    EXPECT_FALSE(MenuPopup::shown(*host.window()));
    EXPECT_TRUE(picked.empty());
}

}  // namespace
}  // namespace ui
