#include <benchmark/benchmark.h>

#include "quartz/Renderer.h"
#include "quartz/ShapeLayer.h"

namespace {

// 1,000 small stroked and filled shapes spread over a phone-sized screen, as a busy chart would have.
std::shared_ptr<quartz::Layer> shapeTree() {
    auto root = quartz::Layer::make();
    root->setFrame({0, 0, 390, 844});
    root->setBackgroundColor(gfx::Color::white());
    for (int index = 0; index < 1000; ++index) {
        auto shape = quartz::ShapeLayer::make();
        double x = (index % 25) * 15.6, y = (index / 25) * 21.1;
        shape->setFrame({x, y, 14, 14});
        gfx::Path path;
        if (index % 2)
            path.addEllipse({1, 1, 12, 12});
        else
            path.addRoundedRect({1, 1, 12, 12}, 3, 3);
        shape->setPath(path);
        shape->setFillColor(gfx::Color::systemBlue().withAlphaComponent(0.6));
        shape->setStrokeColor(gfx::Color::systemRed());
        shape->setLineWidth(1.5);
        root->addSublayer(shape);
    }
    return root;
}

void renderFrames(benchmark::State& state, const quartz::Layer& root) {
    auto context = gfx::Context::create(gfx::Size{390, 844}, {.scale = 2});
    for (auto _ : state) {
        quartz::render(root, *context, quartz::RenderTime{0});
        benchmark::DoNotOptimize(context.get());
    }
    state.SetItemsProcessed(state.iterations() * 1000);
}

void renderThousandShapes(benchmark::State& state) { renderFrames(state, *shapeTree()); }
BENCHMARK(renderThousandShapes)->Unit(benchmark::kMillisecond);

// The same tree at half group opacity with a rounded, clipping root: one offscreen pass and a clip.
void renderThousandShapesInAFadedCard(benchmark::State& state) {
    auto root = shapeTree();
    root->setOpacity(0.5);
    root->setCornerRadius(16);
    root->setMasksToBounds(true);
    renderFrames(state, *root);
}
BENCHMARK(renderThousandShapesInAFadedCard)->Unit(benchmark::kMillisecond);

}  // namespace
