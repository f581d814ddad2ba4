#include <algorithm>
#include <cmath>
#include <deque>
#include <map>

#include "ui/Control.h"
#include "ui/MenuPopup.h"
#include "ui/TableView.h"
#include "ui/TableViewCell.h"
#include "ui/ViewController.h"
#include "ui/Window.h"

namespace ui {

namespace {

constexpr double lineHeight = View::pointsPerWheelStep;
constexpr double farAway = 1e9;
constexpr double focusRingWidth = 3;
constexpr double focusRingOutset = 3;

bool isShown(const View& view) {
    for (const View* shown = &view; shown; shown = shown->superview().get())
        if (shown->isHidden() || shown->alpha() <= 0.01) return false;
    return true;
}

std::shared_ptr<View> topView(const Window& window) {
    auto root = window.rootViewController();
    return root ? topPresentedController(root)->view() : nullptr;
}

// The views the focus goes round, the top-most presented controller's first. A presentation that
// stays (modal in presentation) is a panel of the screen it is over rather than a task of its own, so
// the screen beneath follows it, as far down as that holds; its controls count where the pointer
// reaches them beside the panel.
std::vector<std::shared_ptr<View>> focusScopes(const Window& window) {
    std::vector<std::shared_ptr<View>> scopes;
    auto root = window.rootViewController();
    for (auto controller = root ? topPresentedController(root) : nullptr; controller;) {
        if (auto view = controller->viewIfLoaded()) scopes.push_back(std::move(view));
        if (!controller->isModalInPresentation()) break;
        controller = controller->presentingViewController();
    }
    return scopes;
}

// A control of a screen beneath a panel counts where a touch at its centre would reach it.
bool reachable(Window& window, const View& view) {
    Rect frame = view.convertRectTo(view.bounds(), nullptr);
    auto hit = window.hitTest({frame.midX(), frame.midY()}, Event{});
    return hit && hit->isDescendant(view);
}

std::shared_ptr<ScrollView> frontmostScrollView(Window& window) {
    auto top = topView(window);
    if (!top) return nullptr;
    std::deque<std::shared_ptr<View>> waiting{top};
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

std::vector<IndexPath> allRows(const TableView& table) {
    std::vector<IndexPath> rows;
    for (int section = 0; section < table.numberOfSections(); ++section)
        for (int row = 0; row < table.numberOfRows(section); ++row) rows.push_back({section, row});
    return rows;
}

// Whether the arrows stop on the row (its delegate's say).
bool canFocusRow(TableView& table, IndexPath row) {
    auto delegate = table.tableDelegate().lock();
    return !delegate || delegate->canFocusRow(table, row);
}

// The row the arrows stop on after (or before) `from` across sections, passing over the rows that take
// no focus; `from` itself at the end; the first (or last) such row without `from`.
std::optional<IndexPath> neighbour(TableView& table, std::optional<IndexPath> from, int step) {
    std::vector<IndexPath> rows = allRows(table);
    std::erase_if(rows, [&](IndexPath row) { return row != from && !canFocusRow(table, row); });
    if (rows.empty()) return std::nullopt;
    if (!from) return step > 0 ? rows.front() : rows.back();
    auto at = std::lower_bound(rows.begin(), rows.end(), *from);
    if (at == rows.end() || *at != *from) return step > 0 ? rows.front() : rows.back();
    if (step > 0) return std::next(at) == rows.end() ? *at : *std::next(at);
    return at == rows.begin() ? *at : *std::prev(at);
}

// Shows the whole row, or its top when it is taller than the list.
void keepRowInView(TableView& table, IndexPath indexPath) {
    EdgeInsets inset = table.contentInset();
    double height = table.bounds().height() - inset.top - inset.bottom;
    bool tall = table.rectForRow(indexPath).height() > height;
    table.scrollToRow(indexPath, tall ? TableViewScrollPosition::top : TableViewScrollPosition::none, false);
}

bool moveSelection(TableView& table, int step) {
    if (!table.allowsSelection()) return false;
    std::optional<IndexPath> selected = table.focusedRow() ? table.focusedRow() : table.indexPathForSelectedRow();
    auto shown = table.indexPathsForVisibleRows();
    std::erase_if(shown, [&](IndexPath row) { return !canFocusRow(table, row); });
    // The first key picks up where the user is looking.
    std::optional<IndexPath> next = !selected && !shown.empty() ? (step > 0 ? shown.front() : shown.back())
                                                                : neighbour(table, selected, step);
    if (!next) return false;
    table.selectRow(*next, false);
    table.setFocusedRow(*next);
    keepRowInView(table, *next);
    return true;
}

// --- Focus: the enabled controls of a view in reading order -------------------------------------

bool canTakeFocus(const Control& control) {
    if (!control.isEnabled() || control.bounds().isEmpty() || !isShown(control)) return false;
    for (const View* view = &control; view; view = view->superview().get())
        if (!view->isUserInteractionEnabled()) return false;
    return true;
}

Rect inWindow(const View& view) { return view.convertRectTo(view.bounds(), nullptr); }

// Top to bottom, then leading to trailing; tops within a point of each other share a line.
bool readsBefore(const Rect& a, const Rect& b) {
    if (std::abs(a.minY() - b.minY()) > 1) return a.minY() < b.minY();
    return a.minX() < b.minX();
}

// A stop of the focus ring: a control, or a table whose rows hold controls of their own.
struct Slot {
    std::shared_ptr<Control> control;
    std::shared_ptr<TableView> table;
    Rect place;
};

void gather(const std::shared_ptr<View>& view, std::vector<Slot>& slots) {
    if (view->isHidden() || view->alpha() <= 0.01 || !view->isUserInteractionEnabled()) return;
    if (auto table = std::dynamic_pointer_cast<TableView>(view)) {
        if (!table->bounds().isEmpty()) slots.push_back({nullptr, table, inWindow(*table)});
        return;
    }
    if (auto control = std::dynamic_pointer_cast<Control>(view)) {
        if (canTakeFocus(*control)) slots.push_back({control, nullptr, inWindow(*control)});
        return;
    }
    for (const auto& subview : view->subviews()) gather(subview, slots);
}

std::vector<Slot> slotsIn(const std::shared_ptr<View>& root) {
    std::vector<Slot> slots;
    for (const auto& subview : root->subviews()) gather(subview, slots);
    std::stable_sort(slots.begin(), slots.end(), [](const Slot& a, const Slot& b) { return readsBefore(a.place, b.place); });
    return slots;
}

// The stops of every focus scope: the top-most one's in reading order, then the reachable controls
// of each screen beneath it.
std::vector<Slot> slotsIn(Window& window, const std::vector<std::shared_ptr<View>>& scopes) {
    std::vector<Slot> slots;
    for (std::size_t index = 0; index < scopes.size(); ++index)
        for (Slot& slot : slotsIn(scopes[index]))
            if (index == 0 || (slot.control && reachable(window, *slot.control))) slots.push_back(std::move(slot));
    return slots;
}

// The controls of one row, in reading order; the row is scrolled on screen first when it is not.
std::vector<std::shared_ptr<Control>> rowControls(TableView& table, IndexPath indexPath) {
    auto cell = table.cellForRow(indexPath);
    if (!cell) {
        keepRowInView(table, indexPath);
        cell = table.cellForRow(indexPath);
    }
    std::vector<std::shared_ptr<Control>> controls;
    if (!cell) return controls;
    cell->layoutIfNeeded();  // a row just brought in has not placed its buttons yet
    std::vector<Slot> slots = slotsIn(cell);
    for (const auto& slot : slots)
        if (slot.control) controls.push_back(slot.control);
    return controls;
}

std::optional<IndexPath> rowHolding(const TableView& table, const View& view) {
    for (const View* at = &view; at; at = at->superview().get())
        if (auto cell = dynamic_cast<const TableViewCell*>(at); cell && at->superview().get() == &table)
            return table.indexPathForCell(*cell);
    return std::nullopt;
}

// One place of the walk round the ring: a slot, and for a table slot one of its rows.
struct Place {
    std::size_t slot;
    IndexPath row;
};

// The next control after `from` (before it when `step` is negative), round the ring of `scopes`; with
// no `from`, the first (or last) one on screen, or the first (or last) of the ring.
std::shared_ptr<Control> nextInRing(Window& window, const std::vector<std::shared_ptr<View>>& scopes,
                                    const std::shared_ptr<Control>& from, int step) {
    std::vector<Slot> slots = slotsIn(window, scopes);
    std::vector<Place> places;
    std::optional<std::size_t> start;
    for (std::size_t index = 0; index < slots.size(); ++index) {
        const Slot& slot = slots[index];
        if (slot.control) {
            if (slot.control == from) start = places.size();
            places.push_back({index, {}});
            continue;
        }
        auto holding = from ? rowHolding(*slot.table, *from) : std::nullopt;
        for (IndexPath row : allRows(*slot.table)) {
            if (holding && *holding == row) start = places.size();
            places.push_back({index, row});
        }
    }
    if (places.empty()) return nullptr;
    auto controlsAt = [&](const Place& place) -> std::vector<std::shared_ptr<Control>> {
        const Slot& slot = slots[place.slot];
        if (slot.control) return {slot.control};
        return rowControls(*slot.table, place.row);
    };
    if (!start) {
        // Nothing focused yet: the first control on screen in reading order.
        std::vector<std::shared_ptr<Control>> shown;
        for (const Place& place : places) {
            const Slot& slot = slots[place.slot];
            if (!slot.control && !slot.table->cellForRow(place.row)) continue;
            for (const auto& control : controlsAt(place)) {
                Rect frame = inWindow(*control);
                if (frame.intersection(slot.place).size == frame.size) shown.push_back(control);
            }
        }
        if (!shown.empty()) return step > 0 ? shown.front() : shown.back();
    }
    std::map<TableView*, Point> offsets;
    for (const Slot& slot : slots)
        if (slot.table) offsets[slot.table.get()] = slot.table->contentOffset();
    std::size_t count = places.size();
    std::size_t first = start ? *start : (step > 0 ? count - 1 : 0);
    std::shared_ptr<Control> found;
    // Round the ring once, coming back to where it began for the controls beside `from` in its row.
    for (std::size_t moved = start ? 0 : 1; moved <= count && !found; ++moved) {
        std::size_t at = step > 0 ? (first + moved) % count : (first + count - moved % count) % count;
        std::vector<std::shared_ptr<Control>> controls = controlsAt(places[at]);
        if (step < 0) std::reverse(controls.begin(), controls.end());
        auto candidate = controls.begin();
        if (moved == 0) {
            // The row `from` is in: only what lies after it.
            candidate = std::find(controls.begin(), controls.end(), from);
            if (candidate != controls.end()) ++candidate;
        }
        if (candidate != controls.end()) found = *candidate;
    }
    // Tables looked through without a find go back to where they were.
    for (const Slot& slot : slots)
        if (slot.table && !(found && found->isDescendant(*slot.table))) slot.table->setContentOffset(offsets[slot.table.get()]);
    return found;
}

// Scrolls the scroll views holding `view` so that all of it shows.
void scrollIntoView(View& view) {
    for (auto ancestor = view.superview(); ancestor; ancestor = ancestor->superview()) {
        auto scrollView = std::dynamic_pointer_cast<ScrollView>(ancestor);
        if (!scrollView) continue;
        Rect rect = view.convertRectTo(view.bounds(), scrollView.get());
        Rect shown = scrollView->bounds();
        double y = shown.minY();
        if (rect.height() > shown.height() || rect.minY() < shown.minY()) y = rect.minY();
        else if (rect.maxY() > shown.maxY()) y = rect.maxY() - shown.height();
        double lowest = scrollView->minimumContentOffset().y, highest = scrollView->maximumContentOffset().y;
        y = std::clamp(y, lowest, std::max(lowest, highest));
        if (y != shown.minY()) scrollView->setContentOffset({scrollView->contentOffset().x, y});
    }
}

}  // namespace

std::shared_ptr<Control> Window::focusedControl() const {
    auto control = focused_.lock();
    return control && canFocus(*control) ? control : nullptr;
}

bool Window::canFocus(const Control& control) const {
    if (control.window().get() != this || !canTakeFocus(control)) return false;
    auto scopes = focusScopes(*this);
    for (std::size_t index = 0; index < scopes.size(); ++index)
        if (control.isDescendant(*scopes[index])) return index == 0 || reachable(const_cast<Window&>(*this), control);
    return false;
}

Window::KeyboardPlace Window::keyboardPlace() {
    if (auto control = focusedControl()) return {control, {}, std::nullopt};
    auto table = std::dynamic_pointer_cast<TableView>(frontmostScrollView(*this));
    if (table && table->focusedRow()) return {{}, table, table->focusedRow()};
    return {};
}

std::optional<Window::KeyboardPlace> Window::placeOfTap(const std::shared_ptr<View>& view) {
    for (auto at = view; at; at = at->superview()) {
        if (auto control = std::dynamic_pointer_cast<Control>(at); control && canTakeFocus(*control))
            return KeyboardPlace{control, {}, std::nullopt};
        auto table = std::dynamic_pointer_cast<TableView>(at->superview());
        if (auto cell = std::dynamic_pointer_cast<TableViewCell>(at); cell && table)
            if (auto row = table->indexPathForCell(*cell)) return KeyboardPlace{{}, table, row};
    }
    return std::nullopt;
}

Window::KeyboardPlace Window::placeOpenedFrom() {
    if (tapped_) return *tapped_;
    return keyboardPlace();
}

void Window::restoreKeyboardPlace(const KeyboardPlace& place) {
    if (KeyboardPlace now = keyboardPlace(); !now.control.expired() || now.row) return;
    if (auto control = place.control.lock(); control && canFocus(*control)) {
        setFocusedControl(control);
        return;
    }
    auto table = place.table.lock();
    auto top = topView(*this);
    if (!table || !place.row || !top || !table->isDescendant(*top)) return;
    if (place.row->section >= table->numberOfSections() || place.row->row >= table->numberOfRows(place.row->section)) return;
    table->setFocusedRow(place.row);
    keepRowInView(*table, *place.row);
    setNeedsRender();
}

void Window::setFocusedControl(const std::shared_ptr<Control>& control) {
    focused_ = control;
    setNeedsRender();
}

void Window::placeFocusRing() {
    auto control = focusedControl();
    Rect frame;
    if (control) {
        frame = inWindow(*control);
        // Not while a clipping view hides part of it (scrolled away, under a header).
        for (auto clip = control->superview(); clip; clip = clip->superview())
            if (clip->clipsToBounds() && inWindow(*clip).intersection(frame).size != frame.size) control = nullptr;
    }
    if (!control) {
        if (focusRing_ && !focusRing_->isHidden()) focusRing_->setHidden(true);
        return;
    }
    if (!focusRing_) {
        focusRing_ = std::make_shared<View>();
        focusRing_->setUserInteractionEnabled(false);
        focusRing_->layer()->setBorderWidth(focusRingWidth);
        focusRing_->layer()->setBorderColor(gfx::Color::systemBlue());
    }
    // Above the sheets, below an open menu.
    auto popup = MenuPopup::shown(*this);
    const auto& siblings = subviews();
    std::size_t ringAt = static_cast<std::size_t>(std::find(siblings.begin(), siblings.end(), focusRing_) - siblings.begin());
    if (popup) {
        if (ringAt + 1 >= siblings.size() || siblings[ringAt + 1] != popup) insertSubviewBelow(focusRing_, popup);
    } else if (ringAt + 1 != siblings.size()) {
        addSubview(focusRing_);
    }
    Rect ring = frame.insetBy(-focusRingOutset, -focusRingOutset);
    if (focusRing_->frame() != ring) focusRing_->setFrame(ring);
    focusRing_->layer()->setCornerRadius(control->layer()->cornerRadius() + focusRingOutset);
    if (focusRing_->isHidden()) focusRing_->setHidden(false);
}

bool Window::sendKeyCommand(KeyCommand command) {
    if (auto popup = MenuPopup::shown(*this)) {
        switch (command) {
            case KeyCommand::nextRow: popup->moveHighlight(1); break;
            case KeyCommand::previousRow: popup->moveHighlight(-1); break;
            case KeyCommand::open:
            case KeyCommand::activate: popup->pickHighlighted(); break;
            case KeyCommand::cancel: popup->close(); break;
            default: break;
        }
        return true;  // the rest is the menu's too: nothing beneath moves while it is open
    }
    if (command == KeyCommand::cancel) return false;
    if (command == KeyCommand::nextControl || command == KeyCommand::previousControl) {
        auto scopes = focusScopes(*this);
        auto next = scopes.empty() ? nullptr
                                   : nextInRing(*this, scopes, focusedControl(), command == KeyCommand::nextControl ? 1 : -1);
        if (!next) return false;
        if (auto table = std::dynamic_pointer_cast<TableView>(frontmostScrollView(*this))) table->setFocusedRow(std::nullopt);
        // The card the button is on shows whole where it fits, then the button itself.
        for (auto up = next->superview(); up; up = up->superview())
            if (auto table = std::dynamic_pointer_cast<TableView>(up)) {
                if (auto row = rowHolding(*table, *next)) keepRowInView(*table, *row);
                break;
            }
        scrollIntoView(*next);
        setFocusedControl(next);
        return true;
    }
    if (command == KeyCommand::open || command == KeyCommand::activate) {
        if (auto control = focusedControl()) {
            control->activate();
            // A menu opened from the keyboard shows where its choice is.
            if (auto popup = MenuPopup::shown(*this); popup && popup->source() == control) popup->moveHighlight(0);
            return true;
        }
        if (command == KeyCommand::activate) return false;
    }
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
        case KeyCommand::nextRow:
        case KeyCommand::previousRow: {
            if (!table || !moveSelection(*table, command == KeyCommand::nextRow ? 1 : -1)) return false;
            if (!focused_.expired()) setFocusedControl(nullptr);  // the keyboard is in the list now
            return true;
        }
        case KeyCommand::open: {
            // The ringed row (where Escape gave the keyboard back, or the arrows moved), else the selected one.
            auto selected = table ? (table->focusedRow() ? table->focusedRow() : table->indexPathForSelectedRow()) : std::nullopt;
            auto delegate = table ? table->tableDelegate().lock() : nullptr;
            if (!selected || !delegate) return false;
            delegate->didSelectRow(*table, *selected);
            return true;
        }
        default: return false;
    }
}

}  // namespace ui
