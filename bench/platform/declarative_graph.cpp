#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

#include "declarative/Color.h"
#include "declarative/HostingView.h"
#include "declarative/ZStack.h"

namespace {

struct Counter : declarative::ObservableObject {
    int value = 0;
};

// A list of `rows` layers, each faded by the shared counter: one change re-evaluates them all.
struct Rows {
    int rows;
    std::shared_ptr<Counter> counter;
    declarative::AnyView body(declarative::ViewContext& context) const {
        auto state = context.stateObject<Counter>([c = counter] { return c; });
        std::vector<declarative::AnyView> children;
        children.reserve(static_cast<std::size_t>(rows));
        for (int row = 0; row < rows; ++row)
            children.push_back(declarative::AnyView(declarative::Color{gfx::Color::white()})
                                   .opacity((state->value + row) % 2 ? 1.0 : 0.5)
                                   .id(row));
        return declarative::ZStack{std::move(children)};
    }
};

// Building the nodes and platform views of a new tree.
void buildTree(benchmark::State& state) {
    const int rows = static_cast<int>(state.range(0));
    auto counter = std::make_shared<Counter>();
    for (auto _ : state) benchmark::DoNotOptimize(declarative::HostingView::make(Rows{rows, counter}));
    state.SetItemsProcessed(state.iterations() * rows);
}
BENCHMARK(buildTree)->Arg(10)->Arg(100)->Arg(1000);

// One change event and the evaluation it causes: every row kept, its opacity changed.
void reevaluateAfterChange(benchmark::State& state) {
    const int rows = static_cast<int>(state.range(0));
    auto counter = std::make_shared<Counter>();
    auto hosting = declarative::HostingView::make(Rows{rows, counter});
    for (auto _ : state) {
        counter->objectWillChange();
        ++counter->value;
        hosting->updateIfNeeded();
    }
    state.SetItemsProcessed(state.iterations() * rows);
}
BENCHMARK(reevaluateAfterChange)->Arg(10)->Arg(100)->Arg(1000);

}  // namespace
