#include <benchmark/benchmark.h>

#include <cmath>
#include <string>

#include "ui/LayoutItem.h"
#include "ui/VisualFormat.h"

namespace {

class BenchItem : public ui::LayoutItem {
public:
    BenchItem(std::string name, std::size_t characters = 0, bool wraps = false)
        : name_(std::move(name)), characters_(characters), wraps_(wraps) {
        setTranslatesAutoresizingMaskIntoConstraints(false);
    }
    void addSubitem(const std::shared_ptr<BenchItem>& child) {
        child->superitem_ = weak_from_this();
        children_.push_back(child);
    }
    std::shared_ptr<ui::LayoutItem> superitem() const override { return superitem_.lock(); }
    std::vector<std::shared_ptr<ui::LayoutItem>> subitems() const override {
        return {children_.begin(), children_.end()};
    }
    ui::Rect frame() const override { return frame_; }
    void setFrame(const ui::Rect& frame) override { frame_ = frame; }
    ui::Size intrinsicContentSize() const override {
        if (characters_ == 0) return {noIntrinsicMetric, noIntrinsicMetric};
        return {static_cast<double>(characters_) * 9, 18};
    }
    std::optional<double> intrinsicHeight(double width) const override {
        if (!wraps_) return std::nullopt;
        double perLine = std::max(1.0, std::floor(width / 9));
        return std::ceil(static_cast<double>(characters_) / perLine) * 18;
    }
    std::string layoutName() const override { return name_; }

private:
    std::string name_;
    std::size_t characters_;
    bool wraps_;
    std::weak_ptr<ui::LayoutItem> superitem_;
    std::vector<std::shared_ptr<BenchItem>> children_;
    ui::Rect frame_;
};

struct Cell {
    std::shared_ptr<BenchItem> contentView;
    std::shared_ptr<ui::LayoutConstraint> firstGap;
};

// A results card: five driver rows of eight views each (photo, flag, status, name, team, lap, position,
// grid slot) in one card view, laid out with the strings of a result row.
Cell makeResultsCell() {
    auto contentView = std::make_shared<BenchItem>("contentView");
    contentView->setTranslatesAutoresizingMaskIntoConstraints(true);
    contentView->setFrame({{0, 0}, {390, 600}});
    auto bgView = std::make_shared<BenchItem>("bgView");
    contentView->addSubitem(bgView);
    ui::VisualFormatViews views{{"bgView", bgView}};
    std::vector<std::string> formats{"V:|-0-[bgView]-0-|", "H:|-0-[bgView]-0-|"};
    std::string column = "V:|-14-";
    for (int row = 0; row < 5; ++row) {
        auto name = [row](const char* base) { return base + std::to_string(row); };
        struct Spec { const char* base; std::size_t characters; bool wraps; };
        for (Spec spec : {Spec{"image", 0, false}, Spec{"flag", 0, false}, Spec{"status", 12, false},
                          Spec{"driver", 28, true}, Spec{"team", 16, false}, Spec{"lap", 40, true},
                          Spec{"position", 2, false}, Spec{"grid", 7, false}}) {
            auto item = std::make_shared<BenchItem>(name(spec.base), spec.characters, spec.wraps);
            bgView->addSubitem(item);
            views.emplace(name(spec.base), item);
        }
        column += "[" + name("status") + "]-2-[" + name("driver") + "]-2-[" + name("team") + "]-2-[" +
                  name("lap") + "]-14-";
        formats.push_back("V:[" + name("status") + "]-2-[" + name("position") + "]-2-[" + name("grid") + "]");
        formats.push_back("V:[" + name("image") + "(50)]-4-[" + name("flag") + "(14)]");
        formats.push_back("H:[" + name("flag") + "(18)]");
        for (const char* line : {"status", "driver", "team", "lap"}) {
            formats.push_back("H:|-20-[" + name("image") + "(50)]-15-[" + name(line) + "]-(>=20)-[" +
                              name("position") + "]-20-|");
        }
        formats.push_back("H:|-(>=20)-[" + name("grid") + "]-20-|");
    }
    formats.push_back(column + "|");
    for (const auto& format : formats) {
        auto constraints = ui::constraintsWithVisualFormat(format, {}, views);
        if (!constraints) std::abort();
        contentView->addConstraints(*constraints);
    }
    for (int row = 0; row < 5; ++row) {
        auto image = views.at("image" + std::to_string(row));
        auto flag = views.at("flag" + std::to_string(row));
        auto driver = views.at("driver" + std::to_string(row));
        ui::LayoutConstraint::activate({image->centerYAnchor().constraintEqualTo(driver->centerYAnchor()),
                                        flag->centerXAnchor().constraintEqualTo(image->centerXAnchor())});
    }
    return {contentView, contentView->constraints()[3]};
}

void firstSolve(benchmark::State& state) {
    for (auto _ : state) {
        Cell cell = makeResultsCell();
        cell.contentView->layoutSubtree();
        benchmark::DoNotOptimize(cell.contentView->subitems().front()->frame());
    }
}
BENCHMARK(firstSolve)->Unit(benchmark::kMicrosecond);

void resolveAfterOneConstantChanges(benchmark::State& state) {
    Cell cell = makeResultsCell();
    cell.contentView->layoutSubtree();
    double constant = cell.firstGap->constant();
    for (auto _ : state) {
        constant = constant == 0 ? 6 : 0;
        cell.firstGap->setConstant(constant);
        cell.contentView->layoutSubtree();
    }
}
BENCHMARK(resolveAfterOneConstantChanges)->Unit(benchmark::kMicrosecond);

void layoutWithNothingChanged(benchmark::State& state) {
    Cell cell = makeResultsCell();
    cell.contentView->layoutSubtree();
    for (auto _ : state) cell.contentView->layoutSubtree();
}
BENCHMARK(layoutWithNothingChanged)->Unit(benchmark::kMicrosecond);

}  // namespace
