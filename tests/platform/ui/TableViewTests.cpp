#include <gtest/gtest.h>

#include <map>
#include <set>
#include <vector>

#include "foundation/Clock.h"
#include "gfx/TextMeasurer.h"
#include "ui/Button.h"
#include "ui/ContextMenuInteraction.h"
#include "ui/HeadlessHost.h"
#include "ui/LayoutEngine.h"
#include "ui/TableView.h"
#include "ui/ViewController.h"
#include "ui/VisualFormat.h"
#include "ui/Window.h"

namespace ui {
namespace {

int cellsAlive = 0;

// A self-sizing cell: a wrapping label 10 points inside the content view.
class NoteCell : public TableViewCell {
public:
    explicit NoteCell(std::string identifier) : TableViewCell(std::move(identifier)) {
        ++cellsAlive;
        note->setNumberOfLines(0);
        note->setTranslatesAutoresizingMaskIntoConstraints(false);
        contentView()->addSubview(note);
        for (const char* format : {"H:|-10-[note]-10-|", "V:|-10-[note]-10-|"})
            contentView()->addConstraints(*constraintsWithVisualFormat(format, {}, {{"note", note}}));
    }
    ~NoteCell() override { --cellsAlive; }
    void prepareForReuse() override {
        TableViewCell::prepareForReuse();
        ++reuses;
        note->setText("");
    }
    std::shared_ptr<Label> note = std::make_shared<Label>();
    int reuses = 0;
};

class Rows : public TableViewDataSource, public TableViewDelegate {
public:
    int numberOfRows(TableView&, int section) override { return section == 0 ? count : 3; }
    int numberOfSections(TableView&) override { return sections; }
    std::shared_ptr<TableViewCell> cellForRow(TableView& table, IndexPath indexPath) override {
        auto cell = table.dequeueReusableCell<NoteCell>("Note", indexPath);
        cell->note->setText(texts.contains(indexPath.row) ? texts[indexPath.row] : "row " + std::to_string(indexPath.row));
        cell->note->setNumberOfLines(singleLine.contains(indexPath.row) ? 1 : 0);
        cell->setSeparatorInset(insets.contains(indexPath.row) ? insets[indexPath.row] : EdgeInsets{});
        return cell;
    }
    void didSelectRow(TableView&, IndexPath indexPath) override { selections.push_back(indexPath); }
    bool canFocusRow(TableView&, IndexPath indexPath) override { return !unfocusable.contains(indexPath.row); }
    std::shared_ptr<ContextMenuConfiguration> contextMenuConfigurationForRow(TableView&, IndexPath indexPath, Point) override {
        if (indexPath.row % 2) return nullptr;
        auto configuration = std::make_shared<ContextMenuConfiguration>();
        configuration->identifier = indexPath;
        configuration->actionProvider = [](const std::vector<MenuAction>&) {
            return std::make_shared<Menu>(Menu{"", {MenuAction{"Live Session Test"}}});
        };
        return configuration;
    }

    int count = 100;
    int sections = 1;
    std::map<int, std::string> texts;
    std::map<int, EdgeInsets> insets;
    std::set<int> singleLine;
    std::set<int> unfocusable;
    std::vector<IndexPath> selections;
};

class Tables : public ::testing::Test {
protected:
    void SetUp() override {
        gfx::setTextMeasurer(std::make_shared<gfx::FixedAdvanceMeasurer>(10, 20));
        foundation::Clock::setCurrent(clock);
        table->registerClass<NoteCell>("Note");
        table->setDataSource(rows);
        table->setDelegate(rows);
        host.window()->addSubview(table);
        host.renderIfNeeded();
    }
    void TearDown() override {
        setContextMenuPresenter(nullptr);
        setMenuPresenter(nullptr);
        foundation::Clock::setCurrent(nullptr);
        gfx::setTextMeasurer(nullptr);
    }
    std::shared_ptr<NoteCell> note(int row) { return std::dynamic_pointer_cast<NoteCell>(table->cellForRow({0, row})); }

    std::shared_ptr<foundation::ManualClock> clock = std::make_shared<foundation::ManualClock>(foundation::Date{}, 10);
    HeadlessHost host{{{200, 400}, 1}};
    std::shared_ptr<Rows> rows = std::make_shared<Rows>();
    std::shared_ptr<TableView> table = std::make_shared<TableView>(Rect{0, 0, 200, 400});
};

TEST_F(Tables, rowsSizeThemselvesFromTheirConstraintsAndAWrappingLabelMakesATallerRow) {
    rows->texts[1] = "aaaa bbbb cccc dddd eeee";  // 180 points of text in 160: two lines
    table->reloadData();
    EXPECT_EQ(table->rectForRow({0, 0}), (Rect{0, 0, 200, 40}));
    EXPECT_EQ(table->rectForRow({0, 1}), (Rect{0, 40, 200, 60}));
    EXPECT_EQ(table->rectForRow({0, 2}).origin.y, 100);
    host.renderIfNeeded();
    EXPECT_EQ(note(1)->note->frame(), (Rect{10, 10, 180, 40}));
    // Rows not shown yet keep the estimate.
    EXPECT_EQ(table->rectForRow({0, 50}).height(), 44);
}

// The same row with the same content has the same height however it was reached: a cell that
// wrapped its label for one row and is reused for a row whose label keeps to one line is not left
// at the wrapped height.
TEST_F(Tables, aRowsHeightDoesNotDependOnWhichCellShowedItBefore) {
    for (int row = 0; row < 100; ++row) {
        rows->texts[row] = "aaaa bbbb cccc dddd eeee";  // two lines in 160 points when it may wrap
        if (row % 5 != 0) rows->singleLine.insert(row);
    }
    table->reloadData();
    auto expected = [&](int row) { return row % 5 == 0 ? 60.0 : 40.0; };
    auto check = [&](const char* when) {
        host.renderIfNeeded();
        for (IndexPath shown : table->indexPathsForVisibleRows()) {
            EXPECT_EQ(table->rectForRow(shown).height(), expected(shown.row)) << when << ", row " << shown.row;
            EXPECT_EQ(note(shown.row)->note->frame().height(), expected(shown.row) - 20) << when << ", row " << shown.row;
        }
    };
    check("first shown");
    for (int step = 0; step < 40; ++step) {
        host.wheel({100, 200}, 0, 60);
        check("scrolling down");
    }
    for (int step = 0; step < 40; ++step) {
        host.wheel({100, 200}, 0, -60);
        check("scrolling up");
    }
}

TEST_F(Tables, scrollingReusesCellsFromThePoolAndAReusedCellShowsOnlyItsNewRow) {
    std::size_t shown = table->indexPathsForVisibleRows().size();
    EXPECT_EQ(shown, 10u);
    int made = cellsAlive;
    for (int step = 0; step < 60; ++step) host.wheel({100, 200}, 0, 60);
    EXPECT_LE(cellsAlive, static_cast<int>(shown) + 2);
    EXPECT_GE(cellsAlive, made);
    auto visible = table->indexPathsForVisibleRows();
    ASSERT_FALSE(visible.empty());
    EXPECT_GT(visible.front().row, 50);
    auto cell = note(visible.front().row);
    EXPECT_GT(cell->reuses, 0);
    EXPECT_EQ(cell->note->text(), "row " + std::to_string(visible.front().row));
    EXPECT_EQ(table->cellForRow({0, 0}), nullptr);
    EXPECT_EQ(table->cellForRow({0, 1000}), nullptr);
}

TEST_F(Tables, reloadingSectionsOrRowsKeepsTheOffsetAndForgetsTheHeights) {
    rows->sections = 2;
    table->reloadData();
    table->setContentOffset({0, 600});
    double before = table->contentOffset().y;
    rows->texts[16] = "aaaa bbbb cccc dddd eeee";
    table->reloadSections({0});
    EXPECT_EQ(table->contentOffset().y, before);
    table->reloadRows({{0, 16}});
    EXPECT_EQ(table->contentOffset().y, before);
    EXPECT_EQ(table->rectForRow({0, 16}).height(), 60);
    EXPECT_EQ(note(16)->note->text(), "aaaa bbbb cccc dddd eeee");
    EXPECT_EQ(table->numberOfRows(1), 3);
}

TEST_F(Tables, scrollToRowPutsTheRowAtTheTopMiddleOrBottom) {
    table->scrollToRow({0, 30}, TableViewScrollPosition::top, false);
    Rect row = table->rectForRow({0, 30});
    EXPECT_EQ(table->contentOffset().y, row.minY());
    EXPECT_NE(table->cellForRow({0, 30}), nullptr);
    table->scrollToRow({0, 60}, TableViewScrollPosition::bottom, false);
    EXPECT_EQ(table->contentOffset().y, table->rectForRow({0, 60}).maxY() - 400);
    table->scrollToRow({0, 45}, TableViewScrollPosition::middle, false);
    EXPECT_EQ(table->contentOffset().y, table->rectForRow({0, 45}).midY() - 200);
    table->scrollToRow({0, 99}, TableViewScrollPosition::top, true);
    for (int i = 0; i < 90; ++i) {
        clock->advance(1.0 / 60);
        host.renderIfNeeded();
    }
    EXPECT_EQ(table->contentOffset().y, table->maximumContentOffset().y);
    EXPECT_NE(table->cellForRow({0, 99}), nullptr);
}

// An animated scroll to a row far away, over rows taller than the estimate, ends with the row at
// the top and wholly in view, in either direction.
TEST_F(Tables, anAnimatedScrollToADistantRowLandsOnItDespiteUnmeasuredRows) {
    for (int row = 0; row < 100; ++row) rows->texts[row] = "aaaa bbbb cccc dddd eeee ffff gggg";  // three lines
    table->reloadData();
    auto scrollTo = [&](int row) {
        table->scrollToRow({0, row}, TableViewScrollPosition::top, true);
        for (int i = 0; i < 120; ++i) {
            clock->advance(1.0 / 60);
            host.renderIfNeeded();
        }
        Rect shown = table->rectForRow({0, row});
        EXPECT_EQ(shown.height(), 80) << "row " << row;
        EXPECT_DOUBLE_EQ(table->contentOffset().y, shown.minY()) << "row " << row;
        EXPECT_NE(table->cellForRow({0, row}), nullptr);
    };
    scrollTo(70);
    scrollTo(20);
    table->setContentOffset({0, 0});
    table->reloadData();
    scrollTo(40);
}

TEST_F(Tables, aTapSelectsTheRowUnlessADragScrolledAndDeselectingClearsTheSelectedBackground) {
    auto selectedBackground = std::make_shared<View>();
    selectedBackground->setBackgroundColor(gfx::Color::systemRed());
    note(2)->setSelectedBackgroundView(selectedBackground);
    host.tap({100, 100});
    ASSERT_EQ(rows->selections.size(), 1u);
    EXPECT_EQ(rows->selections[0], (IndexPath{0, 2}));
    EXPECT_EQ(table->indexPathForSelectedRow(), (IndexPath{0, 2}));
    EXPECT_TRUE(note(2)->isSelected());
    host.renderIfNeeded();
    EXPECT_EQ(host.pixel({100, 81}), gfx::Color::systemRed());

    table->deselectRow({0, 2}, true);
    clock->advance(1);
    host.renderIfNeeded();
    EXPECT_FALSE(note(2)->isSelected());
    EXPECT_EQ(table->indexPathForSelectedRow(), std::nullopt);
    EXPECT_EQ(host.pixel({100, 81}), gfx::Color::white());

    host.drag({100, 300}, {100, 100});
    EXPECT_EQ(rows->selections.size(), 1u);
    table->setAllowsSelection(false);
    host.tap({100, 100});
    EXPECT_EQ(rows->selections.size(), 1u);
}

TEST_F(Tables, separatorsFollowTheInsetAndAnInsetOf5000HidesOne) {
    rows->insets[1] = {0, 5000, 0, 0};
    rows->insets[2] = {0, 50, 0, 0};
    table->reloadData();
    host.renderIfNeeded();
    auto isLine = [&](Point p) { return *host.pixel(p) != gfx::Color::white(); };
    EXPECT_TRUE(isLine({5, 39.5}));     // row 0, no inset
    EXPECT_FALSE(isLine({100, 79.5}));  // row 1, pushed out of sight
    EXPECT_FALSE(isLine({40, 119.5}));  // row 2 starts at 50
    EXPECT_TRUE(isLine({60, 119.5}));
    table->setSeparatorStyle(TableViewSeparatorStyle::none);
    host.renderIfNeeded();
    EXPECT_FALSE(isLine({5, 39.5}));
}

TEST_F(Tables, theFooterFollowsTheLastRowAndTheHeaderPrecedesTheFirst) {
    rows->count = 3;
    auto header = std::make_shared<View>(Rect{0, 0, 0, 30});
    auto footer = std::make_shared<View>(Rect{0, 0, 0, 20});
    table->setTableHeaderView(header);
    table->setTableFooterView(footer);
    table->reloadData();
    EXPECT_EQ(header->frame(), (Rect{0, 0, 200, 30}));
    EXPECT_EQ(table->rectForRow({0, 0}).origin.y, 30);
    EXPECT_EQ(footer->frame(), (Rect{0, 150, 200, 20}));
    EXPECT_EQ(table->contentSize().height, 170);
    table->setTableFooterView(std::make_shared<View>(Rect{}));
    EXPECT_EQ(table->contentSize().height, 150);
}

TEST_F(Tables, longPressAndSecondaryClickOpenTheRowsContextMenuThroughThePresenter) {
    std::vector<IndexPath> identifiers;
    std::vector<std::string> titles;
    View* source = nullptr;
    setContextMenuPresenter([&](View& from, const ContextMenuConfiguration& configuration, const std::shared_ptr<Menu>& menu) {
        identifiers.push_back(std::any_cast<IndexPath>(configuration.identifier));
        titles.push_back(menu->children.at(0).title);
        source = &from;
    });
    host.touchDown({100, 90});
    clock->advance(0.6);
    host.renderIfNeeded();
    host.touchUp({100, 90});
    ASSERT_EQ(identifiers.size(), 1u);
    EXPECT_EQ(identifiers[0], (IndexPath{0, 2}));
    EXPECT_EQ(titles[0], "Live Session Test");
    EXPECT_EQ(source, note(2).get());
    EXPECT_TRUE(rows->selections.empty());

    host.secondaryClick({100, 170});
    ASSERT_EQ(identifiers.size(), 2u);
    EXPECT_EQ(identifiers[1], (IndexPath{0, 4}));
    host.secondaryClick({100, 130});  // row 3 has no menu
    EXPECT_EQ(identifiers.size(), 2u);

    // Without a context-menu presenter the menu goes to the plain one.
    setContextMenuPresenter(nullptr);
    std::shared_ptr<Menu> plain;
    setMenuPresenter([&](View&, const std::shared_ptr<Menu>& menu) { plain = menu; });
    host.secondaryClick({100, 10});
    ASSERT_NE(plain, nullptr);
    EXPECT_EQ(plain->children.at(0).title, "Live Session Test");
}

TEST_F(Tables, aFlickScrollsTheTableOnAfterReleaseWithoutSelecting) {
    host.touchDown({100, 350});
    for (int i = 1; i <= 6; ++i) {
        clock->advance(0.01);
        host.touchMove({100, 350.0 - 40 * i});
    }
    host.touchUp({100, 110});
    double released = table->contentOffset().y;
    for (int i = 0; i < 240; ++i) {
        clock->advance(1.0 / 60);
        host.renderIfNeeded();
    }
    EXPECT_FALSE(table->isDecelerating());
    EXPECT_GT(table->contentOffset().y, released + 500);
    EXPECT_TRUE(rows->selections.empty());
    table->setShowsVerticalScrollIndicator(false);
    host.wheel({100, 200}, 0, 50);
    EXPECT_TRUE(table->verticalScrollIndicator()->isHidden());
}

// A refresh every few seconds reloads a list the user has scrolled: when no row changed size, the
// offset, the content height and every row on screen stay exactly where they were, and the screen
// never shows an empty sheet.
TEST_F(Tables, reloadingAScrolledTableWithRowsOfTheSameSizeMovesNothing) {
    for (int row = 0; row < 100; row += 3) rows->texts[row] = "aaaa bbbb cccc dddd eeee";  // two lines
    table->reloadData();
    for (int step = 0; step < 25; ++step) host.wheel({100, 200}, 0, 60);
    host.renderIfNeeded();
    double offset = table->contentOffset().y;
    double height = table->contentSize().height;
    std::vector<IndexPath> shown = table->indexPathsForVisibleRows();
    ASSERT_FALSE(shown.empty());
    std::map<IndexPath, Rect> frames;
    for (IndexPath row : shown) frames[row] = table->cellForRow(row)->frame();
    for (int refresh = 0; refresh < 10; ++refresh) {
        table->reloadData();
        host.renderIfNeeded();
        SCOPED_TRACE(refresh);
        EXPECT_EQ(table->contentOffset().y, offset);
        EXPECT_EQ(table->contentSize().height, height);
        EXPECT_EQ(table->indexPathsForVisibleRows(), shown);
        for (IndexPath row : shown) {
            ASSERT_TRUE(table->cellForRow(row)) << row.row;
            EXPECT_EQ(table->cellForRow(row)->frame(), frames[row]) << row.row;
        }
    }
}

// A live list reloads every few seconds: each row on screen gets back the cell it showed (no cell
// is made or moved between rows), and only a row whose content changed is laid out again.
TEST_F(Tables, aReloadGivesEachRowOnScreenItsOwnCellBackAndRelaysOutOnlyTheRowsThatChanged) {
    std::vector<IndexPath> shown = table->indexPathsForVisibleRows();
    ASSERT_EQ(shown.size(), 10u);
    auto framesSetIn = [&](IndexPath row) {
        return table->cellForRow(row)->contentView()->layoutEngine().statistics().framesSet;
    };
    std::map<IndexPath, std::shared_ptr<TableViewCell>> cells;
    std::map<IndexPath, std::size_t> framesSet;
    for (IndexPath row : shown) {
        cells[row] = table->cellForRow(row);
        framesSet[row] = framesSetIn(row);
    }
    int alive = cellsAlive;
    rows->texts[2] = "aaaa bbbb cccc dddd eeee";  // two lines now
    table->reloadData();
    host.renderIfNeeded();
    ASSERT_EQ(table->indexPathsForVisibleRows(), shown);
    EXPECT_EQ(cellsAlive, alive);
    for (IndexPath row : shown) {
        EXPECT_EQ(table->cellForRow(row), cells[row]) << row.row;
        if (row.row != 2) EXPECT_EQ(framesSetIn(row), framesSet[row]) << row.row;
    }
    EXPECT_EQ(table->rectForRow({0, 2}), (Rect{0, 80, 200, 60}));
    EXPECT_EQ(note(2)->note->frame(), (Rect{10, 10, 180, 40}));
    EXPECT_EQ(table->cellForRow({0, 3})->frame(), (Rect{0, 140, 200, 40}));
}

// A tap that reloads a list scrolled to its end, or a reload that leaves fewer rows, keeps the
// offset inside the content with rows on screen: no blank sheet until the next scroll, and no jump
// when it comes.
TEST_F(Tables, aReloadNeverLeavesTheOffsetPastTheEndOfTheContent) {
    for (int row = 0; row < 100; ++row) rows->texts[row] = "aaaa bbbb cccc dddd eeee";  // two lines, 60 points
    table->reloadData();
    for (int step = 0; step < 200; ++step) host.wheel({100, 200}, 0, 60);
    host.renderIfNeeded();
    double bottom = table->maximumContentOffset().y;
    ASSERT_EQ(table->contentOffset().y, bottom);
    // The same rows again: still at the end, the last row on screen.
    table->reloadData();
    host.renderIfNeeded();
    EXPECT_EQ(table->contentOffset().y, bottom);
    EXPECT_NE(table->cellForRow({0, 99}), nullptr);
    // Shorter rows and fewer of them: at the new end, with rows on screen.
    rows->texts.clear();
    rows->count = 30;
    table->reloadData();
    host.renderIfNeeded();
    EXPECT_LE(table->contentOffset().y, table->maximumContentOffset().y);
    EXPECT_EQ(table->contentOffset().y, table->maximumContentOffset().y);
    EXPECT_NE(table->cellForRow({0, 29}), nullptr);
    EXPECT_FALSE(table->indexPathsForVisibleRows().empty());
    // The next scroll moves what is on screen by its own distance, from where it was shown.
    auto onScreen = [&] { return table->rectForRow({0, 28}).minY() - table->contentOffset().y; };
    double before = onScreen();
    host.wheel({100, 200}, 0, -40);
    EXPECT_EQ(onScreen(), before + 40);
}

// The desktop's list keys act on the frontmost list: the one shown, not a transparent one above it.
// Lines, pages a screen less a line, Home and End to the ends; the row keys (the arrows) move the
// selection row by row and keep it in view, and Return opens the selected row as a tap does.
TEST_F(Tables, desktopKeysScrollTheFrontmostListAndTabAndReturnSelectAndOpenRows) {
    using Key = Window::KeyCommand;
    auto controller = std::make_shared<ViewController>();
    host.window()->setRootViewController(controller);
    auto hidden = std::make_shared<TableView>(Rect{0, 0, 200, 400});
    hidden->registerClass<NoteCell>("Note");
    hidden->setDataSource(rows);
    hidden->setAlpha(0);
    table->removeFromSuperview();
    controller->view()->addSubview(hidden);
    controller->view()->addSubview(table);  // beneath the transparent one would be the same: shown wins
    host.renderIfNeeded();
    Window& window = *host.window();

    EXPECT_TRUE(window.sendKeyCommand(Key::lineDown));
    EXPECT_EQ(table->contentOffset().y, 40);
    EXPECT_EQ(hidden->contentOffset().y, 0);
    EXPECT_TRUE(window.sendKeyCommand(Key::pageDown));
    EXPECT_EQ(table->contentOffset().y, 40 + 360);
    window.sendKeyCommand(Key::lineUp);
    window.sendKeyCommand(Key::pageUp);
    EXPECT_EQ(table->contentOffset().y, 0);
    EXPECT_FALSE(window.sendKeyCommand(Key::lineUp)) << "already at the top";
    EXPECT_TRUE(window.sendKeyCommand(Key::end));
    EXPECT_EQ(table->contentOffset().y, table->maximumContentOffset().y);
    EXPECT_NE(table->cellForRow({0, 99}), nullptr);
    EXPECT_TRUE(window.sendKeyCommand(Key::home));
    EXPECT_EQ(table->contentOffset().y, 0);

    EXPECT_FALSE(window.sendKeyCommand(Key::open)) << "nothing selected yet";
    EXPECT_TRUE(window.sendKeyCommand(Key::nextRow));
    EXPECT_EQ(table->indexPathForSelectedRow(), (IndexPath{0, 0}));
    for (int row = 1; row <= 12; ++row) window.sendKeyCommand(Key::nextRow);
    EXPECT_EQ(table->indexPathForSelectedRow(), (IndexPath{0, 12}));
    Rect selected = table->rectForRow({0, 12});
    EXPECT_LE(selected.maxY(), table->bounds().maxY()) << "the selection is kept in view";
    EXPECT_TRUE(table->cellForRow({0, 12})->isSelected());
    window.sendKeyCommand(Key::previousRow);
    EXPECT_EQ(table->indexPathForSelectedRow(), (IndexPath{0, 11}));
    EXPECT_TRUE(window.sendKeyCommand(Key::open));
    EXPECT_EQ(rows->selections, (std::vector<IndexPath>{{0, 11}}));
    EXPECT_FALSE(hidden->indexPathForSelectedRow());
    host.window()->setRootViewController(nullptr);
}

// The arrows pass over the rows that take no focus (a title card, a row of pickers), and Return opens
// the ringed row, also one the keyboard was put back on without a selection.
TEST_F(Tables, theArrowsPassOverRowsThatTakeNoFocusAndReturnOpensTheRingedRow) {
    using Key = Window::KeyCommand;
    auto controller = std::make_shared<ViewController>();
    host.window()->setRootViewController(controller);
    table->removeFromSuperview();
    controller->view()->addSubview(table);
    host.renderIfNeeded();
    Window& window = *host.window();
    rows->unfocusable = {0, 1, 3};
    EXPECT_TRUE(window.sendKeyCommand(Key::nextRow));
    EXPECT_EQ(table->focusedRow(), (IndexPath{0, 2}));
    window.sendKeyCommand(Key::nextRow);
    EXPECT_EQ(table->focusedRow(), (IndexPath{0, 4}));
    window.sendKeyCommand(Key::previousRow);
    window.sendKeyCommand(Key::previousRow);
    EXPECT_EQ(table->focusedRow(), (IndexPath{0, 2})) << "the arrows went up onto a row that does nothing";

    table->deselectRow({0, 2}, false);
    table->setFocusedRow(IndexPath{0, 7});
    EXPECT_TRUE(window.sendKeyCommand(Key::open));
    EXPECT_EQ(rows->selections, (std::vector<IndexPath>{{0, 7}}));
    host.window()->setRootViewController(nullptr);
}

// The selection a screen may draw clear, so the row the arrows moved to carries a ring of its own,
// which a touch takes away.
TEST_F(Tables, theRowTheKeyboardMovedToIsRingedUntilATouch) {
    auto controller = std::make_shared<ViewController>();
    host.window()->setRootViewController(controller);
    table->removeFromSuperview();
    controller->view()->addSubview(table);
    host.renderIfNeeded();
    Rect row = table->rectForRow({0, 1});
    auto ringed = [&] {
        host.snapshot();
        auto colour = host.pixel({row.minX() + 3.5, row.midY()});
        return colour && colour->blue > 0.8 && colour->red < 0.3;
    };
    EXPECT_FALSE(ringed());
    host.window()->sendKeyCommand(Window::KeyCommand::nextRow);
    host.window()->sendKeyCommand(Window::KeyCommand::nextRow);
    EXPECT_TRUE(ringed()) << "the row the keyboard is on does not show it";
    host.tap({100, table->rectForRow({0, 5}).midY()});
    EXPECT_FALSE(ringed());
    host.window()->setRootViewController(nullptr);
}

// Two buttons a row, named "<row>a" and "<row>b" by their titles; row 3 has none, row 5's second is
// disabled.
class ButtonRows : public TableViewDataSource {
public:
    int numberOfRows(TableView&, int) override { return 12; }
    std::shared_ptr<TableViewCell> cellForRow(TableView& table, IndexPath indexPath) override {
        auto cell = table.dequeueReusableCell("Buttons", indexPath);
        for (const auto& old : std::vector<std::shared_ptr<View>>(cell->contentView()->subviews())) old->removeFromSuperview();
        if (indexPath.row == 3) return cell;
        for (const char* side : {"a", "b"}) {
            auto button = Button::make(ButtonType::system);
            std::string name = std::to_string(indexPath.row) + side;
            button->setTitle(name, ControlState::normal);
            button->setFrame({*side == 'a' ? 10.0 : 110.0, 10, 80, 40});
            button->setEnabled(name != "5b");
            button->addAction([this, name](Control&) { pressed.push_back(name); }, ControlEvent::touchUpInside);
            cell->contentView()->addSubview(button);
        }
        return cell;
    }
    std::vector<std::string> pressed;
};

// Tab goes round every enabled button in reading order, those above the list and those in its rows
// (rows off screen scrolled in), and Shift+Tab back; the focused button is ringed and Return and the
// space bar press it. The arrows then move the list's selection and take the focus.
TEST_F(Tables, tabGoesRoundTheButtonsInReadingOrderAndReturnAndSpacePressTheFocusedOne) {
    using Key = Window::KeyCommand;
    auto controller = std::make_shared<ViewController>();
    host.window()->setRootViewController(controller);
    auto buttons = std::make_shared<ButtonRows>();
    table->removeFromSuperview();
    table->registerClass<TableViewCell>("Buttons");
    table->setDataSource(buttons);
    table->setRowHeight(60);
    table->setFrame({0, 100, 200, 300});
    auto header = Button::make(ButtonType::system);
    header->setTitle("header", ControlState::normal);
    header->setFrame({110, 30, 80, 40});
    auto hidden = Button::make(ButtonType::system);
    hidden->setTitle("hidden", ControlState::normal);
    hidden->setFrame({10, 30, 80, 40});
    hidden->setHidden(true);
    controller->view()->addSubview(table);
    controller->view()->addSubview(hidden);
    controller->view()->addSubview(header);
    host.renderIfNeeded();
    Window& window = *host.window();
    auto focusedName = [&] {
        auto control = std::dynamic_pointer_cast<Button>(window.focusedControl());
        return control ? control->title(ControlState::normal).value_or("") : std::string("none");
    };
    auto ringed = [&](const Control& control) {
        host.snapshot();
        Rect frame = control.convertRectTo(control.bounds(), nullptr);
        auto colour = host.pixel({frame.midX(), frame.minY() - 1.5});
        return colour && colour->blue > 0.8 && colour->red < 0.3;
    };

    std::vector<std::string> order;
    for (int step = 0; step < 23; ++step) {
        ASSERT_TRUE(window.sendKeyCommand(Key::nextControl));
        host.renderIfNeeded();
        order.push_back(focusedName());
        auto focused = window.focusedControl();
        Rect shown = focused->convertRectTo(focused->bounds(), nullptr);
        EXPECT_GE(shown.minY(), focused == header ? 0 : 100) << order.back() << " is not in view";
        EXPECT_LE(shown.maxY(), 400) << order.back() << " is not in view";
    }
    EXPECT_EQ(order, (std::vector<std::string>{"header", "0a", "0b", "1a", "1b", "2a", "2b", "4a", "4b", "5a", "6a",
                                               "6b", "7a", "7b", "8a", "8b", "9a", "9b", "10a", "10b", "11a", "11b",
                                               "header"}));
    EXPECT_TRUE(ringed(*header));
    ASSERT_TRUE(window.sendKeyCommand(Key::previousControl));
    EXPECT_EQ(focusedName(), "11b") << "Shift+Tab goes back round the ring";
    for (int step = 0; step < 12; ++step) window.sendKeyCommand(Key::previousControl);
    EXPECT_EQ(focusedName(), "5a");
    host.renderIfNeeded();
    EXPECT_TRUE(ringed(*window.focusedControl()));
    EXPECT_TRUE(window.sendKeyCommand(Key::open));
    window.sendKeyCommand(Key::previousControl);
    EXPECT_TRUE(window.sendKeyCommand(Key::activate));
    EXPECT_EQ(buttons->pressed, (std::vector<std::string>{"5a", "4b"}));

    auto pressedButton = window.focusedControl();
    EXPECT_TRUE(window.sendKeyCommand(Key::nextRow));
    EXPECT_FALSE(window.focusedControl()) << "the arrows took the keyboard into the list";
    host.renderIfNeeded();
    EXPECT_FALSE(ringed(*pressedButton));
    EXPECT_FALSE(window.sendKeyCommand(Key::activate)) << "nothing to press: the space bar pages";
    host.window()->setRootViewController(nullptr);
}

}  // namespace
}  // namespace ui
