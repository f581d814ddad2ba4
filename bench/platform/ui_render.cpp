#include <benchmark/benchmark.h>

#include "gfx/Font.h"
#include "ui/HeadlessHost.h"
#include "ui/ImageView.h"
#include "ui/Label.h"
#include "ui/VisualFormat.h"

namespace {

std::shared_ptr<gfx::Image> flagImage() {
    gfx::Bitmap bitmap = gfx::Bitmap::make(100, 100);
    for (int y = 0; y < 100; ++y)
        for (int x = 0; x < 100; ++x)
            bitmap.row(y)[x] = (y < 50 ? gfx::Color::systemRed() : gfx::Color::white()).premultipliedPixel();
    return gfx::Image::fromBitmap(std::move(bitmap), 2);
}

// A screen like a results table: a column of 12 cards, each a round image, a name, a detail line and a
// wrapped description, laid out by visual-format strings as the app's cells are.
void buildScreen(ui::Window& window) {
    auto image = flagImage();
    double y = 47;
    for (int row = 0; row < 12; ++row) {
        auto card = std::make_shared<ui::View>(ui::Rect{8, y, 374, 64});
        card->setBackgroundColor(gfx::Color::secondarySystemBackground());
        card->layer()->setCornerRadius(12);
        auto driverImage = std::make_shared<ui::ImageView>(image);
        driverImage->setContentMode(ui::ContentMode::scaleAspectFit);
        driverImage->layer()->setCornerRadius(20);
        driverImage->setClipsToBounds(true);
        auto name = std::make_shared<ui::Label>();
        name->setFont(gfx::Font::systemFont(20, gfx::FontWeight::bold));
        name->setText("Driver number " + std::to_string(row + 1));
        auto detail = std::make_shared<ui::Label>();
        detail->setFont(gfx::Font::systemFont(13));
        detail->setTextColor(gfx::Color::secondaryLabel());
        detail->setText("Constructor, circuit and a time");
        ui::VisualFormatViews views{{"driverImage", driverImage}, {"name", name}, {"detail", detail}};
        for (auto& [key, view] : views) {
            auto asView = std::static_pointer_cast<ui::View>(view);
            asView->setTranslatesAutoresizingMaskIntoConstraints(false);
            card->addSubview(asView);
        }
        for (const char* format : {"H:|-12-[driverImage(40)]-15-[name]-(>=12)-|", "H:[driverImage]-15-[detail]-(>=12)-|",
                                   "V:|-12-[driverImage(40)]", "V:|-10-[name]-2-[detail]"})
            card->addConstraints(*ui::constraintsWithVisualFormat(format, {}, views));
        window.addSubview(card);
        y += 64 + 2;
    }
}

void layoutAndRenderFullScreen(benchmark::State& state) {
    ui::HeadlessHost host;
    buildScreen(*host.window());
    host.snapshot();
    for (auto _ : state) {
        // A change that moves every card's content: new layout, then one frame.
        host.window()->setFrame({0, 0, state.iterations() % 2 ? 390.0 : 389.0, 844});
        host.window()->setNeedsLayout();
        host.renderIfNeeded();
        benchmark::DoNotOptimize(host.lastFrame().pixels.data());
    }
    state.counters["budget_ms"] = 16.7;
}
BENCHMARK(layoutAndRenderFullScreen)->Unit(benchmark::kMillisecond);

void renderUnchangedScreen(benchmark::State& state) {
    ui::HeadlessHost host;
    buildScreen(*host.window());
    for (auto _ : state) benchmark::DoNotOptimize(host.snapshot().pixels.data());
}
BENCHMARK(renderUnchangedScreen)->Unit(benchmark::kMillisecond);

}  // namespace
