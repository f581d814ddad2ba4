#pragma once

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <type_traits>
#include <vector>

#include "ui/ContextMenuConfiguration.h"
#include "ui/IndexPath.h"
#include "ui/ScrollView.h"
#include "ui/TableViewCell.h"

namespace ui {

class TableView;
class ContextMenuInteraction;

class TableViewDataSource {
public:
    virtual ~TableViewDataSource() = default;
    virtual int numberOfSections(TableView&) { return 1; }
    virtual int numberOfRows(TableView&, int section) = 0;
    // Usually dequeueReusableCell, filled for the row.
    virtual std::shared_ptr<TableViewCell> cellForRow(TableView&, IndexPath) = 0;
};

class TableViewDelegate : public ScrollViewDelegate {
public:
    // None: the table's rowHeight. TableView::automaticDimension: the cell's constraints decide.
    virtual std::optional<double> heightForRow(TableView&, IndexPath) { return std::nullopt; }
    virtual void willDisplay(TableView&, TableViewCell&, IndexPath) {}
    virtual void didSelectRow(TableView&, IndexPath) {}
    // Whether the keyboard's arrows stop on the row: false for a row that does nothing when chosen (a
    // title card, a row of pickers the Tab key reaches), which the arrows pass over.
    virtual bool canFocusRow(TableView&, IndexPath) { return true; }
    // None: no menu for that row. `point` is in the table's space.
    virtual std::shared_ptr<ContextMenuConfiguration> contextMenuConfigurationForRow(TableView&, IndexPath, Point) {
        return nullptr;
    }
};

enum class TableViewScrollPosition { none, top, middle, bottom };
enum class TableViewSeparatorStyle { none, singleLine };

// A plain list of rows in sections, laid out top to bottom under an optional header view and above
// an optional footer view. Only the rows on screen have cells; a cell that scrolls out goes back to
// the pool of its reuse identifier, and dequeueReusableCell hands it out again after prepareForReuse.
// Rows of automatic height are measured from their content view's constraints at the table's width
// when first shown (estimatedRowHeight until then) and remembered until a reload; rows above the
// visible ones that turn out another height move the offset so that what is on screen stays put.
// Data source and delegate are held weakly.
class TableView : public ScrollView {
public:
    static constexpr double automaticDimension = -1;

    TableView();
    explicit TableView(const Rect& frame);

    std::weak_ptr<TableViewDataSource> dataSource() const { return dataSource_; }
    void setDataSource(std::weak_ptr<TableViewDataSource> dataSource);
    std::weak_ptr<TableViewDelegate> tableDelegate() const { return tableDelegate_; }
    // Also the scroll view's delegate.
    void setDelegate(std::weak_ptr<TableViewDelegate> delegate);

    // Cells of `Cell` (built from the reuse identifier when it takes a string, otherwise default
    // built) are made for the identifier when its pool is empty.
    template <class Cell>
    void registerClass(const std::string& reuseIdentifier) {
        static_assert(std::is_base_of_v<TableViewCell, Cell>);
        registerFactory(reuseIdentifier, [](const std::string& identifier) -> std::shared_ptr<TableViewCell> {
            if constexpr (std::is_constructible_v<Cell, std::string>) return std::make_shared<Cell>(identifier);
            else return std::make_shared<Cell>();
        });
    }
    void registerFactory(const std::string& reuseIdentifier,
                         std::function<std::shared_ptr<TableViewCell>(const std::string&)> factory);
    // A cell from the identifier's pool (after prepareForReuse) or a new one; none when the
    // identifier was never registered.
    std::shared_ptr<TableViewCell> dequeueReusableCell(const std::string& reuseIdentifier, IndexPath indexPath);
    template <class Cell>
    std::shared_ptr<Cell> dequeueReusableCell(const std::string& reuseIdentifier, IndexPath indexPath) {
        return std::dynamic_pointer_cast<Cell>(dequeueReusableCell(reuseIdentifier, indexPath));
    }

    double rowHeight() const { return rowHeight_; }
    void setRowHeight(double height);
    double estimatedRowHeight() const { return estimatedRowHeight_; }
    void setEstimatedRowHeight(double height);
    TableViewSeparatorStyle separatorStyle() const { return separatorStyle_; }
    void setSeparatorStyle(TableViewSeparatorStyle style);
    gfx::Color separatorColor() const { return separatorColor_; }
    void setSeparatorColor(gfx::Color color);
    bool allowsSelection() const { return allowsSelection_; }
    void setAllowsSelection(bool allows);
    // Placed above the first row and below the last, at the table's width and their own heights.
    const std::shared_ptr<View>& tableHeaderView() const { return headerView_; }
    void setTableHeaderView(std::shared_ptr<View> view);
    const std::shared_ptr<View>& tableFooterView() const { return footerView_; }
    void setTableFooterView(std::shared_ptr<View> view);

    // Ask the data source again. The row first on screen stays where it was, rows keep their last
    // heights until they show again and are measured, and the offset stays inside the content.
    void reloadData();
    void reloadRows(const std::vector<IndexPath>& indexPaths);
    void reloadSections(const std::set<int>& sections);

    int numberOfSections() const { return static_cast<int>(sections_.size()); }
    int numberOfRows(int section) const;
    // Only rows on screen have a cell.
    std::shared_ptr<TableViewCell> cellForRow(IndexPath indexPath) const;
    std::vector<IndexPath> indexPathsForVisibleRows() const;
    std::vector<std::shared_ptr<TableViewCell>> visibleCells() const;
    std::optional<IndexPath> indexPathForRow(Point point) const;
    std::optional<IndexPath> indexPathForCell(const TableViewCell& cell) const;
    // In the table's content space; the null rect for a row that does not exist.
    Rect rectForRow(IndexPath indexPath) const;
    void scrollToRow(IndexPath indexPath, TableViewScrollPosition position, bool animated);

    std::optional<IndexPath> indexPathForSelectedRow() const;
    // Selecting does not tell the delegate (a tap does).
    void selectRow(IndexPath indexPath, bool animated, TableViewScrollPosition position = TableViewScrollPosition::none);
    void deselectRow(IndexPath indexPath, bool animated);
    // The row the keyboard moved to, ringed so the user sees where they are; a touch takes it away.
    std::optional<IndexPath> focusedRow() const { return focused_; }
    void setFocusedRow(std::optional<IndexPath> indexPath);

    void layoutSubviews() override;
    void touchesBegan(const std::vector<Touch>& touches, const Event& event) override;
    void touchesEnded(const std::vector<Touch>& touches, const Event& event) override;
    void touchesCancelled(const std::vector<Touch>& touches, const Event& event) override;

protected:
    void contentOffsetDidChange() override { tileRows(); }

private:
    struct Section {
        int firstRow = 0;  // index into rows_
        int count = 0;
    };
    struct Row {
        double height = 0;
        bool automatic = false;
        bool measured = false;
        bool remembered = false;  // not measured since the last reload, as tall as it was measured then
    };

    void commonInit();
    void loadCounts();
    void ensureLoaded();
    int flatIndex(IndexPath indexPath) const { return sections_[indexPath.section].firstRow + indexPath.row; }
    IndexPath indexPathAt(int flat) const;
    bool isValid(IndexPath indexPath) const;
    void rowHeightsFromDelegate(int fromFlat, int toFlat);
    // The first row meeting the visible part and how far the offset lies below its top.
    std::optional<std::pair<int, double>> firstShownRow() const;
    void keepHeightsAsEstimates(const std::vector<Row>& previous, std::size_t from, std::size_t to, std::ptrdiff_t shift);
    void settleAfterReload(std::optional<std::pair<int, double>> anchor);
    void recomputeTops();
    double headerHeight() const;
    double rowsBottom() const { return headerHeight() + tops_.back(); }
    // The first and one-past-last flat rows meeting [top, bottom) of content space.
    std::pair<int, int> rowsBetween(double top, double bottom) const;
    void tileRows();
    void recycle(int flat);
    void recycleAll();
    // A reload keeps the cells on screen where they are: each row asking for a cell of the same
    // identifier gets the one it showed back, and whatever is not asked for is recycled after.
    void park(int flat);
    void parkAll();
    void recycleParked();
    std::shared_ptr<TableViewCell> makeCell(int flat);
    // Measures the automatic rows of [fromFlat, toFlat) not measured yet, keeping what is on screen
    // where it is.
    void measureRows(int fromFlat, int toFlat);
    void placeDecorations();
    void setHighlightedRow(std::optional<IndexPath> indexPath);

    std::weak_ptr<TableViewDataSource> dataSource_;
    std::weak_ptr<TableViewDelegate> tableDelegate_;
    std::map<std::string, std::function<std::shared_ptr<TableViewCell>(const std::string&)>> factories_;
    std::map<std::string, std::vector<std::shared_ptr<TableViewCell>>> pools_;
    std::map<int, std::shared_ptr<TableViewCell>> visible_;  // by flat row
    std::map<int, std::shared_ptr<TableViewCell>> parked_;   // by the flat row shown before the reload
    std::vector<Section> sections_;
    std::vector<Row> rows_;
    std::vector<double> tops_{0};  // tops_[i] is row i's top below the header; back() the rows' total
    bool loaded_ = false;
    bool tiling_ = false;
    double measuredWidth_ = -1;
    double rowHeight_ = automaticDimension;
    double estimatedRowHeight_ = 44;
    TableViewSeparatorStyle separatorStyle_ = TableViewSeparatorStyle::singleLine;
    gfx::Color separatorColor_ = gfx::Color::separator();
    bool allowsSelection_ = true;
    std::shared_ptr<View> headerView_;
    std::shared_ptr<View> footerView_;
    std::set<IndexPath> selected_;
    std::optional<IndexPath> highlighted_;
    std::optional<IndexPath> focused_;
    std::shared_ptr<ContextMenuInteraction> contextMenu_;
};

}  // namespace ui
