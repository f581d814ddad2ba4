#include <gtest/gtest.h>

#include "ControllerTestSupport.h"
#include "ui/Button.h"
#include "ui/MenuPopup.h"
#include "ui/ViewController.h"
#include "ui/Window.h"

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

// Escape closes the open menu and nothing beneath it, then has nothing left to close; in a menu opened
// with a tap the first arrow moves on from the checked row, and Return picks the row it moved to.
TEST_F(MenuPopups, escapeClosesOnlyTheMenuAndTheArrowsAndReturnPick) {
    using Key = Window::KeyCommand;
    Window& window = *host.window();
    button->setMenu(yearMenu(4, "2006"));
    host.tap({60, 120});
    ASSERT_TRUE(MenuPopup::shown(window));
    EXPECT_TRUE(window.sendKeyCommand(Key::cancel));
    EXPECT_FALSE(MenuPopup::shown(window));
    EXPECT_FALSE(window.sendKeyCommand(Key::cancel)) << "a second Escape is the sheet's";
    EXPECT_TRUE(button->superview()) << "the view beneath stays";

    host.tap({60, 120});
    auto popup = MenuPopup::shown(window);
    ASSERT_TRUE(popup);
    window.sendKeyCommand(Key::nextRow);
    EXPECT_EQ(popup->highlightedRow(), 2u) << "the first arrow moves on from the checked row, which was shown";
    window.sendKeyCommand(Key::nextRow);
    window.sendKeyCommand(Key::nextRow);
    window.sendKeyCommand(Key::nextRow);
    window.sendKeyCommand(Key::previousRow);
    EXPECT_EQ(popup->highlightedRow(), 2u);
    EXPECT_TRUE(window.sendKeyCommand(Key::open));
    EXPECT_EQ(picked, (std::vector<std::string>{"2007"}));
    EXPECT_FALSE(MenuPopup::shown(window));
}

// A menu goes with the sheet that opened it, at the start of the dismissal (Escape's second press,
// Ctrl+W, a swipe), and with a view that leaves the window.
TEST_F(MenuPopups, aMenuNeverOutlivesTheSheetOrViewThatOpenedIt) {
    auto root = std::make_shared<ViewController>();
    host.window()->setRootViewController(root);
    settle();
    auto sheet = std::make_shared<ViewController>();
    sheet->setModalPresentationStyle(ModalPresentationStyle::pageSheet);
    auto inSheet = Button::make(ButtonType::system);
    inSheet->setFrame({20, 100, 80, 40});
    inSheet->setShowsMenuAsPrimaryAction(true);
    inSheet->setMenu(yearMenu(3, "2006"));
    sheet->view()->addSubview(inSheet);
    root->present(sheet, false);
    settle();
    inSheet->activate();
    ASSERT_TRUE(MenuPopup::shown(*host.window()));
    sheet->dismiss(true);
    EXPECT_FALSE(MenuPopup::shown(*host.window())) << "the menu floats over what the sheet leaves";
    settle();

    button->setMenu(yearMenu(3, "2006"));
    button->activate();
    ASSERT_TRUE(MenuPopup::shown(*host.window()));
    button->removeFromSuperview();
    host.renderIfNeeded();
    EXPECT_FALSE(MenuPopup::shown(*host.window()));
    EXPECT_TRUE(picked.empty());
}

}  // namespace
}  // namespace ui
