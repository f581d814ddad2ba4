#include "ui/TableView.h"

#include <algorithm>
#include <cmath>

#include "ui/ContextMenuInteraction.h"
#include "ui/Window.h"

namespace ui {

TableView::TableView() { commonInit(); }

TableView::TableView(const Rect& frame) : ScrollView(frame) { commonInit(); }

void TableView::commonInit() {
    setBackgroundColor(gfx::Color::systemBackground());
    setAlwaysBounceVertical(true);
    setLayoutName("TableView");
    contextMenu_ = std::make_shared<ContextMenuInteraction>(
        [](ContextMenuInteraction& interaction, Point point) -> std::shared_ptr<ContextMenuConfiguration> {
            auto table = std::dynamic_pointer_cast<TableView>(interaction.view());
            auto delegate = table ? table->tableDelegate_.lock() : nullptr;
            std::optional<IndexPath> row = table ? table->indexPathForRow(point) : std::nullopt;
            if (!delegate || !row) return nullptr;
            return delegate->contextMenuConfigurationForRow(*table, *row, point);
        });
    contextMenu_->setSourceProvider(
        [](ContextMenuInteraction& interaction, const ContextMenuConfiguration& configuration) -> std::shared_ptr<View> {
            auto table = std::dynamic_pointer_cast<TableView>(interaction.view());
            const auto* row = std::any_cast<IndexPath>(&configuration.identifier);
            return table && row ? table->cellForRow(*row) : nullptr;
        });
    addContextMenuInteraction(*this, contextMenu_);
}

void TableView::setDataSource(std::weak_ptr<TableViewDataSource> dataSource) {
    dataSource_ = std::move(dataSource);
    reloadData();
}

void TableView::setDelegate(std::weak_ptr<TableViewDelegate> delegate) {
    ScrollView::setDelegate(delegate);
    tableDelegate_ = std::move(delegate);
    reloadData();
}

void TableView::registerFactory(const std::string& reuseIdentifier,
                                std::function<std::shared_ptr<TableViewCell>(const std::string&)> factory) {
    factories_[reuseIdentifier] = std::move(factory);
}

std::shared_ptr<TableViewCell> TableView::dequeueReusableCell(const std::string& reuseIdentifier,
                                                              IndexPath indexPath) {
    if (!parked_.empty() && isValid(indexPath)) {
        auto found = parked_.find(flatIndex(indexPath));
        if (found != parked_.end() && found->second->reuseIdentifier() == reuseIdentifier) {
            std::shared_ptr<TableViewCell> cell = std::move(found->second);
            parked_.erase(found);
            cell->prepareForReuse();
            return cell;
        }
    }
    auto& pool = pools_[reuseIdentifier];
    if (!pool.empty()) {
        std::shared_ptr<TableViewCell> cell = std::move(pool.back());
        pool.pop_back();
        cell->prepareForReuse();
        return cell;
    }
    auto factory = factories_.find(reuseIdentifier);
    if (factory == factories_.end()) return nullptr;
    std::shared_ptr<TableViewCell> cell = factory->second(reuseIdentifier);
    if (cell) cell->reuseIdentifier_ = reuseIdentifier;
    return cell;
}

void TableView::setRowHeight(double height) {
    rowHeight_ = height;
    reloadData();
}

void TableView::setEstimatedRowHeight(double height) {
    estimatedRowHeight_ = height;
    reloadData();
}

void TableView::setSeparatorStyle(TableViewSeparatorStyle style) {
    separatorStyle_ = style;
    placeDecorations();
}

void TableView::setSeparatorColor(gfx::Color color) {
    separatorColor_ = color;
    placeDecorations();
}

void TableView::setAllowsSelection(bool allows) {
    allowsSelection_ = allows;
    if (allows) return;
    for (IndexPath row : std::set<IndexPath>(selected_)) deselectRow(row, false);
}

void TableView::setTableHeaderView(std::shared_ptr<View> view) {
    if (headerView_) headerView_->removeFromSuperview();
    headerView_ = std::move(view);
    if (headerView_) insertSubview(headerView_, 0);
    tileRows();
}

void TableView::setTableFooterView(std::shared_ptr<View> view) {
    if (footerView_) footerView_->removeFromSuperview();
    footerView_ = std::move(view);
    if (footerView_) insertSubview(footerView_, 0);
    tileRows();
}

// Counts and heights from the data source and delegate, measured heights forgotten.
void TableView::loadCounts() {
    sections_.clear();
    rows_.clear();
    loaded_ = true;
    auto dataSource = dataSource_.lock();
    if (!dataSource) {
        recomputeTops();
        return;
    }
    int sectionCount = std::max(0, dataSource->numberOfSections(*this));
    for (int section = 0; section < sectionCount; ++section) {
        int count = std::max(0, dataSource->numberOfRows(*this, section));
        sections_.push_back({static_cast<int>(rows_.size()), count});
        rows_.resize(rows_.size() + count);
    }
    rowHeightsFromDelegate(0, static_cast<int>(rows_.size()));
    recomputeTops();
}

void TableView::ensureLoaded() {
    if (!loaded_) loadCounts();
}

void TableView::rowHeightsFromDelegate(int fromFlat, int toFlat) {
    auto delegate = tableDelegate_.lock();
    for (int flat = fromFlat; flat < toFlat; ++flat) {
        std::optional<double> asked = delegate ? delegate->heightForRow(*this, indexPathAt(flat)) : std::nullopt;
        double height = asked.value_or(rowHeight_);
        Row& row = rows_[flat];
        row.automatic = height < 0;
        row.measured = !row.automatic;
        row.height = row.automatic ? (estimatedRowHeight_ > 0 ? estimatedRowHeight_ : 44) : height;
    }
}

void TableView::recomputeTops() {
    tops_.assign(rows_.size() + 1, 0);
    for (std::size_t i = 0; i < rows_.size(); ++i) tops_[i + 1] = tops_[i] + rows_[i].height;
}

IndexPath TableView::indexPathAt(int flat) const {
    auto after = std::upper_bound(sections_.begin(), sections_.end(), flat,
                                  [](int value, const Section& section) { return value < section.firstRow; });
    // Empty sections share their firstRow with the next one: step back to the section holding the row.
    auto section = std::prev(after);
    while (section->count == 0 && section != sections_.begin()) --section;
    return {static_cast<int>(section - sections_.begin()), flat - section->firstRow};
}

bool TableView::isValid(IndexPath indexPath) const {
    return indexPath.section >= 0 && indexPath.section < numberOfSections() && indexPath.row >= 0 &&
           indexPath.row < sections_[indexPath.section].count;
}

int TableView::numberOfRows(int section) const {
    return section >= 0 && section < numberOfSections() ? sections_[section].count : 0;
}

double TableView::headerHeight() const { return headerView_ ? headerView_->frame().height() : 0; }

std::pair<int, int> TableView::rowsBetween(double top, double bottom) const {
    double header = headerHeight();
    int count = static_cast<int>(rows_.size());
    // tops_[i + 1] is row i's bottom: the first row whose bottom is below `top`.
    int first = static_cast<int>(std::upper_bound(tops_.begin() + 1, tops_.end(), top - header) - tops_.begin()) - 1;
    int last = static_cast<int>(std::lower_bound(tops_.begin(), tops_.end() - 1, bottom - header) - tops_.begin());
    return {std::clamp(first, 0, count), std::clamp(last, 0, count)};
}

void TableView::reloadData() {
    auto anchor = firstShownRow();
    std::vector<Row> previous = std::move(rows_);
    parkAll();
    loadCounts();
    keepHeightsAsEstimates(previous, 0, std::min(previous.size(), rows_.size()), 0);
    recomputeTops();
    settleAfterReload(anchor);
}

std::optional<std::pair<int, double>> TableView::firstShownRow() const {
    if (!loaded_ || rows_.empty()) return std::nullopt;
    int first = rowsBetween(bounds().minY(), bounds().maxY()).first;
    if (first >= static_cast<int>(rows_.size())) return std::nullopt;
    return std::pair{first, contentOffset().y - headerHeight() - tops_[first]};
}

// An automatic row shown before is as tall as it was until it is measured again, when it next shows:
// a refresh that changes nothing moves nothing, and rows off screen keep their real heights.
void TableView::keepHeightsAsEstimates(const std::vector<Row>& previous, std::size_t from, std::size_t to,
                                       std::ptrdiff_t shift) {
    for (std::size_t index = from; index < to; ++index) {
        Row& row = rows_[static_cast<std::size_t>(static_cast<std::ptrdiff_t>(index) + shift)];
        const Row& before = previous[index];
        if (row.automatic && before.automatic && (before.measured || before.remembered)) {
            row.height = before.height;
            row.remembered = true;
        }
    }
}

// Puts the row that was first on screen back where it was, tiles, and keeps the offset inside the
// content (rows may have gone or shrunk): a reload never leaves an empty sheet.
void TableView::settleAfterReload(std::optional<std::pair<int, double>> anchor) {
    if (anchor && anchor->first < static_cast<int>(rows_.size()) && !isDragging()) {
        double y = headerHeight() + tops_[anchor->first] + anchor->second;
        if (y != contentOffset().y) adjustContentOffset({contentOffset().x, y});
    }
    tileRows();
    recycleParked();
    if (isDragging() || isDecelerating()) return;  // the drag or the spring brings it back itself
    // Rows that come into view at the new end are measured, which may move the end again.
    for (int round = 0; round < 8; ++round) {
        double top = minimumContentOffset().y;
        double y = std::clamp(contentOffset().y, top, std::max(top, maximumContentOffset().y));
        if (y == contentOffset().y) break;
        adjustContentOffset({contentOffset().x, y});
    }
}

void TableView::reloadRows(const std::vector<IndexPath>& indexPaths) {
    ensureLoaded();
    auto anchor = firstShownRow();
    for (IndexPath indexPath : indexPaths) {
        if (!isValid(indexPath)) continue;
        int flat = flatIndex(indexPath);
        park(flat);
        std::vector<Row> previous{rows_[flat]};
        rowHeightsFromDelegate(flat, flat + 1);
        keepHeightsAsEstimates(previous, 0, 1, flat);
    }
    recomputeTops();
    settleAfterReload(anchor);
}

void TableView::reloadSections(const std::set<int>& sections) {
    // Row counts may change, which moves every later row: recount all, keep other sections' heights.
    ensureLoaded();
    auto anchor = firstShownRow();
    std::vector<Section> oldSections = sections_;
    std::vector<Row> oldRows = rows_;
    parkAll();
    loadCounts();
    for (int section = 0; section < numberOfSections() && section < static_cast<int>(oldSections.size()); ++section) {
        const Section& before = oldSections[section];
        const Section& now = sections_[section];
        if (!sections.contains(section) && before.count == now.count) {
            for (int row = 0; row < now.count; ++row) rows_[now.firstRow + row] = oldRows[before.firstRow + row];
            continue;
        }
        keepHeightsAsEstimates(oldRows, before.firstRow, before.firstRow + std::min(before.count, now.count),
                               now.firstRow - before.firstRow);
    }
    recomputeTops();
    settleAfterReload(anchor);
}

std::shared_ptr<TableViewCell> TableView::cellForRow(IndexPath indexPath) const {
    if (!isValid(indexPath)) return nullptr;
    auto found = visible_.find(flatIndex(indexPath));
    return found == visible_.end() ? nullptr : found->second;
}

std::vector<IndexPath> TableView::indexPathsForVisibleRows() const {
    std::vector<IndexPath> rows;
    for (const auto& [flat, cell] : visible_) rows.push_back(indexPathAt(flat));
    return rows;
}

std::vector<std::shared_ptr<TableViewCell>> TableView::visibleCells() const {
    std::vector<std::shared_ptr<TableViewCell>> cells;
    for (const auto& [flat, cell] : visible_) cells.push_back(cell);
    return cells;
}

std::optional<IndexPath> TableView::indexPathForRow(Point point) const {
    if (rows_.empty() || point.x < 0 || point.x >= bounds().width()) return std::nullopt;
    auto [first, last] = rowsBetween(point.y, point.y);
    if (first >= static_cast<int>(rows_.size())) return std::nullopt;
    double top = headerHeight() + tops_[first];
    if (point.y < top || point.y >= top + rows_[first].height) return std::nullopt;
    return indexPathAt(first);
}

std::optional<IndexPath> TableView::indexPathForCell(const TableViewCell& cell) const {
    for (const auto& [flat, shown] : visible_)
        if (shown.get() == &cell) return indexPathAt(flat);
    return std::nullopt;
}

Rect TableView::rectForRow(IndexPath indexPath) const {
    if (!isValid(indexPath)) return Rect::null();
    int flat = flatIndex(indexPath);
    return {0, headerHeight() + tops_[flat], bounds().width(), rows_[flat].height};
}

void TableView::scrollToRow(IndexPath indexPath, TableViewScrollPosition position, bool animated) {
    ensureLoaded();
    if (!isValid(indexPath)) return;
    auto target = [&] {
        Rect row = rectForRow(indexPath);
        Rect visible = bounds();
        EdgeInsets inset = contentInset();
        double height = visible.height() - inset.top - inset.bottom;
        double y = visible.minY();
        switch (position) {
            case TableViewScrollPosition::top: y = row.minY() - inset.top; break;
            case TableViewScrollPosition::middle: y = row.midY() - inset.top - height / 2; break;
            case TableViewScrollPosition::bottom: y = row.maxY() - inset.top - height; break;
            case TableViewScrollPosition::none:
                if (row.minY() < visible.minY() + inset.top) y = row.minY() - inset.top;
                else if (row.maxY() > visible.minY() + inset.top + height) y = row.maxY() - inset.top - height;
                break;
        }
        return Point{contentOffset().x, std::clamp(y, minimumContentOffset().y, maximumContentOffset().y)};
    };
    if (animated) {
        // The slide is aimed once, so the rows it passes over and lands on must have their real
        // heights first; with estimates it would stop where the row is not.
        ensureLoaded();
        tileRows();
        int flat = flatIndex(indexPath);
        auto [first, last] = rowsBetween(bounds().minY(), bounds().maxY());
        int from = std::min(first, flat);
        int to = std::max(last, flat + 1);
        double filled = 0;
        while (to < static_cast<int>(rows_.size()) && filled < bounds().height()) filled += rows_[to++].height;
        measureRows(from, to);
        setContentOffset(target(), true);
        return;
    }
    // Showing the row measures it (and maybe its neighbours): aim again once with what was learnt.
    setContentOffset(target());
    setContentOffset(target());
}

std::optional<IndexPath> TableView::indexPathForSelectedRow() const {
    if (selected_.empty()) return std::nullopt;
    return *selected_.begin();
}

void TableView::selectRow(IndexPath indexPath, bool animated, TableViewScrollPosition position) {
    ensureLoaded();
    if (!allowsSelection_ || !isValid(indexPath)) return;
    for (IndexPath other : std::set<IndexPath>(selected_))
        if (other != indexPath) deselectRow(other, animated);
    selected_.insert(indexPath);
    if (auto cell = cellForRow(indexPath)) cell->setSelected(true, animated);
    if (position != TableViewScrollPosition::none) scrollToRow(indexPath, position, animated);
}

void TableView::deselectRow(IndexPath indexPath, bool animated) {
    selected_.erase(indexPath);
    if (auto cell = cellForRow(indexPath)) cell->setSelected(false, animated);
}

void TableView::recycle(int flat) {
    auto found = visible_.find(flat);
    if (found == visible_.end()) return;
    std::shared_ptr<TableViewCell> cell = std::move(found->second);
    visible_.erase(found);
    cell->removeFromSuperview();
    cell->setHighlighted(false);
    pools_[cell->reuseIdentifier()].push_back(std::move(cell));
}

void TableView::recycleAll() {
    while (!visible_.empty()) recycle(visible_.begin()->first);
    highlighted_.reset();
}

void TableView::park(int flat) {
    auto found = visible_.find(flat);
    if (found == visible_.end()) return;
    found->second->setHighlighted(false);
    parked_[flat] = std::move(found->second);
    visible_.erase(found);
}

void TableView::parkAll() {
    while (!visible_.empty()) park(visible_.begin()->first);
    highlighted_.reset();
}

void TableView::recycleParked() {
    for (auto& [flat, cell] : parked_) {
        cell->removeFromSuperview();
        pools_[cell->reuseIdentifier()].push_back(std::move(cell));
    }
    parked_.clear();
}

std::shared_ptr<TableViewCell> TableView::makeCell(int flat) {
    auto dataSource = dataSource_.lock();
    IndexPath indexPath = indexPathAt(flat);
    std::shared_ptr<TableViewCell> cell = dataSource ? dataSource->cellForRow(*this, indexPath) : nullptr;
    // A data source that gives no cell gets an empty row rather than a hole.
    if (!cell) cell = std::make_shared<TableViewCell>();
    Row& row = rows_[flat];
    double width = bounds().width();
    if (row.automatic && !row.measured) {
        cell->setFrame({0, 0, width, row.height});
        cell->contentView()->setFrame({0, 0, width, row.height});
        row.height = cell->contentView()->systemLayoutSizeFitting({width, 0}).height;
        row.measured = true;
    }
    cell->setSelected(selected_.contains(indexPath), false);
    cell->setFocused(focused_ == indexPath);
    return cell;
}

void TableView::measureRows(int fromFlat, int toFlat) {
    int count = static_cast<int>(rows_.size());
    fromFlat = std::clamp(fromFlat, 0, count);
    toFlat = std::clamp(toFlat, fromFlat, count);
    int anchor = visible_.empty() ? -1 : visible_.begin()->first;
    double anchorTop = anchor >= 0 ? tops_[anchor] : 0;
    bool changed = false;
    for (int flat = fromFlat; flat < toFlat; ++flat) {
        if (!rows_[flat].automatic || rows_[flat].measured || visible_.contains(flat)) continue;
        double before = rows_[flat].height;
        auto cell = makeCell(flat);
        changed |= rows_[flat].height != before;
        cell->removeFromSuperview();
        pools_[cell->reuseIdentifier()].push_back(std::move(cell));
    }
    if (!changed) return;
    recomputeTops();
    placeDecorations();
    if (anchor >= 0 && tops_[anchor] != anchorTop)
        adjustContentOffset({contentOffset().x, contentOffset().y + tops_[anchor] - anchorTop});
}

// Puts cells on the rows that meet the visible part of the content, and takes them off the rest.
void TableView::tileRows() {
    if (tiling_) return;
    tiling_ = true;
    ensureLoaded();
    double width = bounds().width();
    if (width != measuredWidth_) {
        for (Row& row : rows_)
            if (row.automatic) row.measured = false;
        measuredWidth_ = width;
        recycleAll();
    }
    std::vector<int> added;
    for (int round = 0; round < 8; ++round) {
        Rect visible = bounds();
        auto [first, last] = rowsBetween(visible.minY(), visible.maxY());
        std::vector<int> leaving;
        for (const auto& [flat, cell] : visible_)
            if (flat < first || flat >= last) leaving.push_back(flat);
        for (int flat : leaving) recycle(flat);
        // The row that keeps its place while rows above it learn their heights.
        int anchor = visible_.empty() ? first : visible_.begin()->first;
        double anchorTop = tops_[std::min<int>(anchor, static_cast<int>(rows_.size()))];
        bool heightsChanged = false;
        for (int flat = first; flat < last; ++flat) {
            if (visible_.contains(flat)) continue;
            double before = rows_[flat].height;
            visible_[flat] = makeCell(flat);
            added.push_back(flat);
            heightsChanged |= rows_[flat].height != before;
        }
        if (!heightsChanged) break;
        recomputeTops();
        double shift = tops_[std::min<int>(anchor, static_cast<int>(rows_.size()))] - anchorTop;
        setContentSize({width, rowsBottom() + (footerView_ ? footerView_->frame().height() : 0)});
        if (shift != 0) adjustContentOffset({contentOffset().x, contentOffset().y + shift});
    }
    placeDecorations();
    tiling_ = false;
    auto delegate = tableDelegate_.lock();
    for (int flat : added) {
        auto found = visible_.find(flat);
        if (delegate && found != visible_.end()) delegate->willDisplay(*this, *found->second, indexPathAt(flat));
    }
}

// Frames of the visible cells, their separators, the header and the footer, and the content size.
void TableView::placeDecorations() {
    double width = bounds().width();
    double header = headerHeight();
    if (headerView_) headerView_->setFrame({0, 0, width, header});
    auto window = this->window();
    double thickness = 1 / (window ? window->screen().scale : 2.0);
    for (const auto& [flat, cell] : visible_) {
        if (cell->superview().get() != this) insertSubviewBelow(cell, verticalScrollIndicator());
        cell->setFrame({0, header + tops_[flat], width, rows_[flat].height});
        cell->placeSeparator(width, thickness, separatorStyle_ != TableViewSeparatorStyle::none, separatorColor_);
    }
    double bottom = rowsBottom();
    double footer = 0;
    if (footerView_) {
        footer = footerView_->frame().height();
        footerView_->setFrame({0, bottom, width, footer});
    }
    setContentSize({width, bottom + footer});
}

void TableView::layoutSubviews() {
    ScrollView::layoutSubviews();
    tileRows();
}

void TableView::setHighlightedRow(std::optional<IndexPath> indexPath) {
    if (highlighted_)
        if (auto cell = cellForRow(*highlighted_)) cell->setHighlighted(false);
    highlighted_ = indexPath;
    if (highlighted_)
        if (auto cell = cellForRow(*highlighted_)) cell->setHighlighted(true);
}

void TableView::setFocusedRow(std::optional<IndexPath> indexPath) {
    if (focused_ == indexPath) return;
    if (focused_)
        if (auto cell = cellForRow(*focused_)) cell->setFocused(false);
    focused_ = indexPath;
    if (focused_)
        if (auto cell = cellForRow(*focused_)) cell->setFocused(true);
}

void TableView::touchesBegan(const std::vector<Touch>& touches, const Event&) {
    setFocusedRow(std::nullopt);
    // A touch that stops moving content only stops it.
    if (stopScrolling() || !allowsSelection_ || touches.empty()) {
        setHighlightedRow(std::nullopt);
        return;
    }
    setHighlightedRow(indexPathForRow(touches.front().location(this)));
}

void TableView::touchesEnded(const std::vector<Touch>& touches, const Event&) {
    std::optional<IndexPath> row = highlighted_;
    setHighlightedRow(std::nullopt);
    if (!row || touches.empty() || indexPathForRow(touches.front().location(this)) != row) return;
    selectRow(*row, false);
    if (auto delegate = tableDelegate_.lock()) delegate->didSelectRow(*this, *row);
}

void TableView::touchesCancelled(const std::vector<Touch>&, const Event&) { setHighlightedRow(std::nullopt); }

}  // namespace ui
