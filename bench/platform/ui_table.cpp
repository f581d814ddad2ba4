#include <benchmark/benchmark.h>

#include "gfx/Font.h"
#include "ui/HeadlessHost.h"
#include "ui/TableView.h"
#include "ui/VisualFormat.h"

namespace {

// A race row: a bold name, a circuit line and a wrapped description, sized by its constraints.
class RaceCell : public ui::TableViewCell {
public:
    explicit RaceCell(std::string identifier) : TableViewCell(std::move(identifier)) {
        name->setFont(gfx::Font::systemFont(20, gfx::FontWeight::bold));
        circuit->setFont(gfx::Font::systemFont(15));
        circuit->setTextColor(gfx::Color::secondaryLabel());
        details->setFont(gfx::Font::systemFont(13));
        details->setNumberOfLines(0);
        ui::VisualFormatViews views{{"name", name}, {"circuit", circuit}, {"details", details}};
        for (const auto& label : {name, circuit, details}) {
            label->setTranslatesAutoresizingMaskIntoConstraints(false);
            contentView()->addSubview(label);
        }
        for (const char* format : {"H:|-20-[name]-20-|", "H:|-20-[circuit]-20-|", "H:|-20-[details]-20-|",
                                   "V:|-12-[name]-4-[circuit]-6-[details]-12-|"})
            contentView()->addConstraints(*ui::constraintsWithVisualFormat(format, {}, views));
    }
    std::shared_ptr<ui::Label> name = std::make_shared<ui::Label>();
    std::shared_ptr<ui::Label> circuit = std::make_shared<ui::Label>();
    std::shared_ptr<ui::Label> details = std::make_shared<ui::Label>();
};

class Races : public ui::TableViewDataSource, public ui::TableViewDelegate {
public:
    int numberOfRows(ui::TableView&, int) override { return 500; }
    std::shared_ptr<ui::TableViewCell> cellForRow(ui::TableView& table, ui::IndexPath indexPath) override {
        auto cell = table.dequeueReusableCell<RaceCell>("RaceCell", indexPath);
        cell->name->setText("Grand Prix " + std::to_string(indexPath.row + 1));
        cell->circuit->setText("Circuit of the round, Locality, Country");
        cell->details->setText(indexPath.row % 3 ? "Sprint weekend"
                                                 : "Practice on Friday, qualifying on Saturday and the race on Sunday "
                                                   "afternoon, local time");
        return cell;
    }
    std::optional<double> heightForRow(ui::TableView&, ui::IndexPath) override { return ui::TableView::automaticDimension; }
};

// One frame per iteration: the table moves 12 points (a brisk scroll), lays out, tiles and renders.
void scrollSelfSizingTable(benchmark::State& state) {
    ui::HeadlessHost host({{390, 844}, 2});
    auto races = std::make_shared<Races>();
    auto table = std::make_shared<ui::TableView>(ui::Rect{0, 47, 390, 763});
    table->registerClass<RaceCell>("RaceCell");
    table->setDataSource(races);
    table->setDelegate(races);
    host.window()->addSubview(table);
    host.renderIfNeeded();
    double direction = 12;
    for (auto _ : state) {
        double y = table->contentOffset().y + direction;
        if (y > table->maximumContentOffset().y || y < 0) direction = -direction;
        table->setContentOffset({0, std::clamp(y, 0.0, table->maximumContentOffset().y)});
        host.renderIfNeeded();
    }
    state.counters["visibleRows"] = static_cast<double>(table->indexPathsForVisibleRows().size());
}
BENCHMARK(scrollSelfSizingTable)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
