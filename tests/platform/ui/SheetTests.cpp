#include <gtest/gtest.h>

#include "ControllerTestSupport.h"
#include "ui/Label.h"
#include "ui/LayoutConstraint.h"
#include "ui/ScrollView.h"
#include "ui/SheetPresentationController.h"

namespace ui {
namespace {

using testing::ControllerTest;

struct DetentWatcher : SheetPresentationControllerDelegate {
    std::vector<std::string> changes;
    int dismissals = 0;
    void sheetPresentationControllerDidChangeSelectedDetentIdentifier(SheetPresentationController& sheet) override {
        changes.push_back(sheet.selectedDetentIdentifier().value_or("none"));
    }
    void presentationControllerDidDismiss(SheetPresentationController&) override { ++dismissals; }
};

// Counts the touches that reach it, as the map beneath the season sheet would.
struct TouchCounter : View {
    int touches = 0;
    void touchesEnded(const std::vector<Touch>&, const Event&) override { ++touches; }
};

class Sheets : public ::testing::Test, protected ControllerTest {
protected:
    void SetUp() override {
        root = showRoot("map");
        root->view()->addSubview(map);
        map->setFrame(root->view()->bounds());
    }

    std::shared_ptr<testing::LoggingController> seasonSheet(bool modal, bool undimmed) {
        auto sheet = controller("season");
        sheet->setModalPresentationStyle(ModalPresentationStyle::pageSheet);
        sheet->setModalInPresentation(modal);
        auto presentation = sheet->sheetPresentationController();
        presentation->setDetents({SheetDetent::custom("small", [](const SheetDetentResolutionContext&) { return 220.0; }),
                                  SheetDetent::medium(), SheetDetent::large()});
        if (undimmed) presentation->setLargestUndimmedDetentIdentifier(SheetDetent::largeIdentifier);
        presentation->setPreferredCornerRadius(18);
        presentation->setDelegate(watcher);
        return sheet;
    }

    double sheetTop(ViewController& sheet) { return sheet.sheetPresentationController()->presentedView()->frame().minY(); }

    std::shared_ptr<testing::LoggingController> root;
    std::shared_ptr<TouchCounter> map = std::make_shared<TouchCounter>();
    std::shared_ptr<DetentWatcher> watcher = std::make_shared<DetentWatcher>();
};

TEST_F(Sheets, aSheetOpensAtItsSmallestDetentAndResolvesTheSystemDetents) {
    auto sheet = seasonSheet(true, true);
    root->present(sheet, true);
    settle();
    auto presentation = sheet->sheetPresentationController();
    EXPECT_EQ(presentation->currentDetentIdentifier(), "small");
    EXPECT_EQ(presentation->selectedDetentIdentifier(), std::nullopt);
    EXPECT_DOUBLE_EQ(presentation->sheetHeight("small"), 220 + 34);
    EXPECT_DOUBLE_EQ(presentation->sheetHeight("medium"), 422);
    EXPECT_DOUBLE_EQ(presentation->sheetHeight("large"), 844 - 47 - 10);
    EXPECT_DOUBLE_EQ(sheetTop(*sheet), 844 - 254);
    EXPECT_DOUBLE_EQ(presentation->presentedView()->layer()->cornerRadius(), 18);
    EXPECT_EQ(sheet->view()->frame().size.height, 254);
}

TEST_F(Sheets, draggingToAnotherDetentTellsTheDelegateTheNewIdentifier) {
    auto sheet = seasonSheet(true, true);
    root->present(sheet, true);
    settle();
    drag({195, 600}, {195, 420}, 10, 0.1);
    settle();
    EXPECT_EQ(watcher->changes, (std::vector<std::string>{"medium"}));
    EXPECT_DOUBLE_EQ(sheetTop(*sheet), 422);
    // A quick flick upwards carries it on to large.
    drag({195, 430}, {195, 330}, 5, 0.016);
    settle();
    EXPECT_EQ(watcher->changes.back(), "large");
    EXPECT_DOUBLE_EQ(sheetTop(*sheet), 57);
}

TEST_F(Sheets, aModalSheetRubberBandsBackInsteadOfLeaving) {
    auto sheet = seasonSheet(true, true);
    root->present(sheet, true);
    settle();
    host.touchDown({195, 600});
    host.touchMove({195, 840});
    EXPECT_LT(sheetTop(*sheet), 590 + 240);  // resisting
    host.touchUp({195, 840});
    settle();
    EXPECT_EQ(root->presentedViewController(), sheet);
    EXPECT_DOUBLE_EQ(sheetTop(*sheet), 590);
    EXPECT_TRUE(watcher->changes.empty());
}

TEST_F(Sheets, dragDownDismissesANonModalSheet) {
    auto sheet = seasonSheet(false, true);
    root->present(sheet, true);
    settle();
    log->clear();
    drag({195, 600}, {195, 840}, 10, 0.1);
    settle();
    EXPECT_EQ(root->presentedViewController(), nullptr);
    EXPECT_EQ(watcher->dismissals, 1);
    EXPECT_EQ(*log, (std::vector<std::string>{"season.willDisappear", "season.didDisappear"}));
}

// A list filling the sheet: pulled down at its top the sheet follows and goes; pushed up at its top
// the sheet grows to its highest detent first, and only there does the list scroll.
TEST_F(Sheets, aListAtItsTopHandsADownwardDragAndAGrowingOneToItsSheet) {
    auto sheet = seasonSheet(false, true);
    auto list = std::make_shared<ScrollView>();
    list->setContentSize({390, 3000});
    sheet->view()->addSubview(list);
    root->present(sheet, true);
    settle();
    list->setFrame(sheet->view()->bounds());
    settle();

    drag({195, 700}, {195, 300}, 10, 0.1);
    settle();
    EXPECT_EQ(list->contentOffset().y, 0) << "below its highest detent the sheet grows, the list stays";
    EXPECT_EQ(sheet->sheetPresentationController()->currentDetentIdentifier(), SheetDetent::largeIdentifier);
    list->setFrame(sheet->view()->bounds());
    settle();
    drag({195, 700}, {195, 640}, 10, 0.1);
    settle();
    EXPECT_GT(list->contentOffset().y, 0) << "at its highest detent, pushed up, the list scrolls";
    EXPECT_EQ(root->presentedViewController(), sheet);

    list->setContentOffset({0, 0});
    settle();
    double top = sheetTop(*sheet);
    drag({195, top + 40}, {195, 840}, 10, 0.1);
    settle();
    EXPECT_EQ(list->contentOffset().y, 0) << "pulled down at its top, the list stays put";
    EXPECT_EQ(root->presentedViewController(), nullptr);
    EXPECT_EQ(watcher->dismissals, 1);
}

TEST_F(Sheets, theLargestUndimmedDetentLeavesTheMapBehindTouchable) {
    auto sheet = seasonSheet(true, true);
    root->present(sheet, true);
    settle();
    EXPECT_FALSE(sheet->sheetPresentationController()->isDimming());
    host.tap({195, 300});
    EXPECT_EQ(map->touches, 1);
}

TEST_F(Sheets, aDimmedSheetTakesTouchesBesideItAndATapDismissesItUnlessModal) {
    auto modal = seasonSheet(true, false);
    root->present(modal, true);
    settle();
    EXPECT_TRUE(modal->sheetPresentationController()->isDimming());
    host.tap({195, 300});
    settle();
    EXPECT_EQ(map->touches, 0);
    EXPECT_EQ(root->presentedViewController(), modal);
    modal->dismiss(false);
    settle();

    auto loose = seasonSheet(false, false);
    root->present(loose, true);
    settle();
    host.tap({195, 300});
    settle();
    EXPECT_EQ(root->presentedViewController(), nullptr);
}

TEST_F(Sheets, aSheetFromASheetStacksAboveAndPushesItBack) {
    auto season = seasonSheet(true, true);
    root->present(season, true);
    settle();
    auto race = controller("race");
    race->sheetPresentationController()->setDetents({SheetDetent::large()});
    log->clear();
    season->present(race, true);
    settle();
    EXPECT_EQ(*log, (std::vector<std::string>{"race.load", "race.willAppear", "race.didAppear"}));
    auto seasonCard = season->sheetPresentationController()->presentedView();
    EXPECT_EQ(seasonCard->transform(), gfx::AffineTransform::scale(0.92, 0.92));
    EXPECT_TRUE(race->view()->isDescendant(*host.window()->subviews().back()));
    race->dismiss(true);
    settle();
    EXPECT_EQ(seasonCard->transform(), gfx::AffineTransform::identity());
    EXPECT_EQ(season->presentedViewController(), nullptr);
    EXPECT_EQ(root->presentedViewController(), season);
}

// However the sheet above goes (dismissed by code as Escape does, swiped down, or first dragged to
// full height), the sheet beneath is back at its detent with its frame and contents as they were,
// through layout passes made while it was pushed back.
TEST_F(Sheets, theSheetBeneathComesBackWholeHoweverTheSheetAboveWent) {
    auto season = seasonSheet(true, true);
    auto title = std::make_shared<Label>();
    title->setText("2023 Races");
    title->setTranslatesAutoresizingMaskIntoConstraints(false);
    season->view()->addSubview(title);
    LayoutConstraint::activate({title->leadingAnchor().constraintEqualTo(season->view()->leadingAnchor(), 18),
                                title->topAnchor().constraintEqualTo(season->view()->topAnchor(), 17),
                                title->trailingAnchor().constraintEqualTo(season->view()->trailingAnchor(), -18)});
    root->present(season, true);
    settle();
    auto card = season->sheetPresentationController()->presentedView();
    const Rect cardFrame = card->frame();
    const Rect contentFrame = season->view()->frame();
    const Rect titleFrame = title->frame();
    ASSERT_EQ(cardFrame, (Rect{0, 844 - 254, 390, 254}));

    auto presentOver = [&](std::vector<SheetDetent> detents) {
        auto above = controller("above");
        above->sheetPresentationController()->setDetents(std::move(detents));
        season->present(above, true);
        settle();
        EXPECT_EQ(card->transform(), gfx::AffineTransform::scale(0.92, 0.92));
        for (int pass = 0; pass < 5; ++pass) {
            season->view()->setNeedsLayout();
            host.window()->setNeedsLayout();
            settle(0.1);
        }
        return above;
    };
    auto expectWhole = [&](const char* how) {
        SCOPED_TRACE(how);
        EXPECT_EQ(season->presentedViewController(), nullptr);
        EXPECT_EQ(card->transform(), gfx::AffineTransform::identity());
        EXPECT_EQ(card->frame(), cardFrame);
        EXPECT_EQ(season->view()->frame(), contentFrame);
        EXPECT_EQ(title->frame(), titleFrame);
        EXPECT_EQ(season->sheetPresentationController()->currentDetentIdentifier(), "small");
    };

    auto above = presentOver({SheetDetent::large()});
    above->dismiss(true);
    settle();
    expectWhole("dismissed as Escape does");

    presentOver({SheetDetent::large()});
    drag({195, 300}, {195, 840}, 10, 0.016);
    settle();
    expectWhole("swiped down");

    above = presentOver({SheetDetent::medium(), SheetDetent::large()});
    drag({195, 500}, {195, 60}, 10, 0.05);
    settle();
    ASSERT_EQ(above->sheetPresentationController()->currentDetentIdentifier(), "large");
    above->dismiss(true);
    settle();
    expectWhole("dragged to full height first");
}

}  // namespace
}  // namespace ui
