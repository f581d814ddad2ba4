#include <gtest/gtest.h>

#include "ControllerTestSupport.h"
#include "foundation/Print.h"

namespace ui {
namespace {

using testing::ControllerTest;

class Presentation : public ::testing::Test, protected ControllerTest {};

TEST_F(Presentation, aSecondPresentationIsRefusedWithTheConsoleLineAndItsViewStaysUnloaded) {
    auto root = showRoot("root");
    auto first = controller("first");
    auto second = controller("second");
    root->present(first, true);
    foundation::ConsoleCapture console;
    root->present(second, true);
    EXPECT_EQ(console.text(), "Attempt to present " + second->description() + " on " + root->description() +
                                  " which is already presenting " + first->description() + "\n");
    EXPECT_FALSE(second->isViewLoaded());
    EXPECT_EQ(root->presentedViewController(), first);
    EXPECT_EQ(first->presentingViewController(), root);
    EXPECT_NE(root->description().find("LoggingController"), std::string::npos);
}

TEST_F(Presentation, aChildPresentsThroughTheRootOfItsContainment) {
    auto root = showRoot("root");
    auto child = controller("child");
    root->addChild(child);
    auto sheet = controller("sheet");
    child->present(sheet, false);
    EXPECT_EQ(root->presentedViewController(), sheet);
    EXPECT_EQ(sheet->presentingViewController(), root);
    EXPECT_EQ(child->presentedViewController(), nullptr);
}

TEST_F(Presentation, completionsFollowTheAnimationOnTheRunLoopClock) {
    auto root = showRoot("root");
    auto sheet = controller("sheet");
    int presented = 0, dismissed = 0;
    root->present(sheet, true, [&] { ++presented; });
    EXPECT_TRUE(sheet->isViewLoaded());  // loaded before present returns
    clock->advance(0.2);
    host.renderIfNeeded();
    EXPECT_EQ(presented, 0);
    clock->advance(0.11);
    host.renderIfNeeded();
    EXPECT_EQ(presented, 1);
    sheet->dismiss(true, [&] { ++dismissed; });
    EXPECT_EQ(root->presentedViewController(), sheet);  // still presenting while it slides away
    settle();
    EXPECT_EQ(dismissed, 1);
    EXPECT_EQ(root->presentedViewController(), nullptr);
    EXPECT_EQ(sheet->presentingViewController(), nullptr);
}

// A dismissal asked for while one runs is not lost: its completion follows that one's end, and the
// presenter can present from there.
TEST_F(Presentation, aDismissalAskedForDuringOneCompletesWithItAndThePresenterPresentsAgain) {
    auto root = showRoot("root");
    auto first = controller("first");
    root->present(first, true);
    settle();
    std::vector<std::string> order;
    first->dismiss(true, [&] { order.push_back("first ends"); });
    host.renderIfNeeded();
    auto next = controller("next");
    root->dismiss(true, [&] {
        order.push_back("second asked");
        root->present(next, true);
    });
    EXPECT_TRUE(order.empty());
    settle();
    EXPECT_EQ(order, (std::vector<std::string>{"first ends", "second asked"}));
    EXPECT_EQ(root->presentedViewController(), next);
}

TEST_F(Presentation, aSheetLeavesItsPresenterAppearedWhileFullScreenMakesItDisappear) {
    auto root = showRoot("root");
    log->clear();
    root->present(controller("sheet"), true);
    settle();
    EXPECT_EQ(*log, (std::vector<std::string>{"sheet.load", "sheet.willAppear", "sheet.didAppear"}));
    root->dismiss(true);
    settle();
    log->clear();

    auto cover = controller("cover");
    cover->setModalPresentationStyle(ModalPresentationStyle::fullScreen);
    root->present(cover, true);
    settle();
    EXPECT_EQ(*log, (std::vector<std::string>{"cover.load", "cover.willAppear", "root.willDisappear",
                                              "cover.didAppear", "root.didDisappear"}));
    EXPECT_TRUE(root->view()->isHidden());
    log->clear();
    cover->dismiss(true);
    settle();
    EXPECT_EQ(*log, (std::vector<std::string>{"cover.willDisappear", "root.willAppear", "cover.didDisappear",
                                              "root.didAppear"}));
    EXPECT_FALSE(root->view()->isHidden());
}

TEST_F(Presentation, dismissingFromBeneathTakesTheWholeChainAway) {
    auto root = showRoot("root");
    auto race = controller("race");
    auto laps = controller("laps");
    root->present(race, false);
    settle();
    race->present(laps, false);
    settle();
    EXPECT_EQ(topPresentedController(root), laps);
    root->dismiss(false);
    settle();
    EXPECT_EQ(root->presentedViewController(), nullptr);
    EXPECT_EQ(race->presentedViewController(), nullptr);
    EXPECT_EQ(host.window()->subviews().size(), 1u);
}

TEST_F(Presentation, layoutCallbacksSurroundTheViewsLayoutPass) {
    struct Measuring : ViewController {
        std::vector<Size> seen;
        void viewDidLayoutSubviews() override { seen.push_back(view()->bounds().size); }
    };
    auto root = std::make_shared<Measuring>();
    host.window()->setRootViewController(root);
    settle();
    ASSERT_FALSE(root->seen.empty());
    EXPECT_EQ(root->seen.back(), (Size{390, 844}));
    EXPECT_EQ(root->traitCollection().userInterfaceIdiom, UserInterfaceIdiom::phone);
}

}  // namespace
}  // namespace ui
