#include <algorithm>
#include <deque>

#include "ui/TableView.h"
#include "ui/ViewController.h"
#include "ui/Window.h"

namespace ui {

namespace {

constexpr double lineHeight = View::pointsPerWheelStep;
constexpr double farAway = 1e9;

bool isShown(const View& view) {
    for (const View* shown = &view; shown; shown = shown->superview().get())
        if (shown->isHidden() || shown->alpha() <= 0.01) return false;
    return true;
}

std::shared_ptr<ScrollView> frontmostScrollView(Window& window) {
    auto root = window.rootViewController();
    if (!root) return nullptr;
    auto top = topPresentedController(root);
    std::deque<std::shared_ptr<View>> waiting{top->view()};
    while (!waiting.empty()) {
        auto view = std::move(waiting.front());
        waiting.pop_front();
        auto scrollView = std::dynamic_pointer_cast<ScrollView>(view);
        if (scrollView && scrollView->isScrollEnabled() && !scrollView->bounds().isEmpty() && isShown(*scrollView))
            return scrollView;
        for (const auto& subview : view->subviews()) waiting.push_back(subview);
    }
    return nullptr;
}

// Rows measured on the way in can move the end: go again until it stays.
bool scrollToEnd(ScrollView& scrollView, double distance) {
    bool moved = false;
    for (int round = 0; round < 8 && scrollView.scroll(0, distance); ++round) moved = true;
    return moved;
}

// The row after (or before) `from` across sections; the first (or last) row without one.
std::optional<IndexPath> neighbour(const TableView& table, std::optional<IndexPath> from, int step) {
    std::vector<IndexPath> rows;
    for (int section = 0; section < table.numberOfSections(); ++section)
        for (int row = 0; row < table.numberOfRows(section); ++row) rows.push_back({section, row});
    if (rows.empty()) return std::nullopt;
    if (!from) return step > 0 ? rows.front() : rows.back();
    auto at = std::lower_bound(rows.begin(), rows.end(), *from);
    if (at == rows.end() || *at != *from) return step > 0 ? rows.front() : rows.back();
    if (step > 0) return std::next(at) == rows.end() ? *at : *std::next(at);
    return at == rows.begin() ? *at : *std::prev(at);
}

bool moveSelection(TableView& table, int step) {
    if (!table.allowsSelection()) return false;
    std::optional<IndexPath> selected = table.focusedRow() ? table.focusedRow() : table.indexPathForSelectedRow();
    auto shown = table.indexPathsForVisibleRows();
    // The first Tab picks up where the user is looking.
    std::optional<IndexPath> next = !selected && !shown.empty() ? (step > 0 ? shown.front() : shown.back())
                                                                : neighbour(table, selected, step);
    if (!next) return false;
    table.selectRow(*next, false);
    table.setFocusedRow(*next);
    table.scrollToRow(*next, TableViewScrollPosition::none, false);
    return true;
}

}  // namespace

bool Window::sendKeyCommand(KeyCommand command) {
    auto scrollView = frontmostScrollView(*this);
    if (!scrollView) return false;
    auto table = std::dynamic_pointer_cast<TableView>(scrollView);
    EdgeInsets inset = scrollView->contentInset();
    double page = std::max(lineHeight, scrollView->bounds().height() - inset.top - inset.bottom - lineHeight);
    switch (command) {
        case KeyCommand::lineUp: return scrollView->scroll(0, -lineHeight);
        case KeyCommand::lineDown: return scrollView->scroll(0, lineHeight);
        case KeyCommand::pageUp: return scrollView->scroll(0, -page);
        case KeyCommand::pageDown: return scrollView->scroll(0, page);
        case KeyCommand::home: return scrollToEnd(*scrollView, -farAway);
        case KeyCommand::end: return scrollToEnd(*scrollView, farAway);
        case KeyCommand::nextRow: return table && moveSelection(*table, 1);
        case KeyCommand::previousRow: return table && moveSelection(*table, -1);
        case KeyCommand::open: {
            auto selected = table ? table->indexPathForSelectedRow() : std::nullopt;
            auto delegate = table ? table->tableDelegate().lock() : nullptr;
            if (!selected || !delegate) return false;
            delegate->didSelectRow(*table, *selected);
            return true;
        }
    }
    return false;
}

}  // namespace ui
