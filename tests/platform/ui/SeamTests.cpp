#include <gtest/gtest.h>

#include "dispatch/RunLoop.h"
#include "gfx/TextMeasurer.h"
#include "quartz/TextLayer.h"
#include "ui/Application.h"
#include "ui/Feedback.h"
#include "ui/HeadlessHost.h"
#include "ui/Label.h"
#include "ui/Toolkit.h"

namespace ui {
namespace {

TEST(OpenURL, onlyWebLinksReachTheOpener) {
    auto recorder = std::make_shared<URLOpenRecorder>();
    setURLOpener(recorder);
    auto outcomes = std::make_shared<std::vector<bool>>();
    for (const char* text : {"https://tickets.example.com/", "HTTP://example.com/a?b=c", "file:///etc/passwd",
                             "javascript:alert(1)", "mailto:someone@example.com"}) {
        auto url = foundation::URL::fromString(text);
        ASSERT_TRUE(url) << text;
        Application::open(*url, [outcomes](bool opened) { outcomes->push_back(opened); });
    }
    dispatch::RunLoop::main()->runOnce();
    setURLOpener(nullptr);
    EXPECT_EQ(*outcomes, (std::vector<bool>{true, true, false, false, false}));
    ASSERT_EQ(recorder->openedURLs().size(), 2u);
    EXPECT_EQ(recorder->openedURLs()[0], "https://tickets.example.com/");
}

TEST(Haptics, impactsGoToTheInstalledSinkAndNowhereWithoutOne) {
    ImpactFeedbackGenerator(ImpactFeedbackStyle::rigid).impactOccurred();
    auto recorder = std::make_shared<HapticRecorder>();
    setHapticSink(recorder);
    ImpactFeedbackGenerator generator(ImpactFeedbackStyle::rigid);
    generator.prepare();
    generator.impactOccurred();
    ImpactFeedbackGenerator(ImpactFeedbackStyle::light).impactOccurred(2);
    setHapticSink(nullptr);
    ImpactFeedbackGenerator().impactOccurred();
    auto events = recorder->events();
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0].style, ImpactFeedbackStyle::rigid);
    EXPECT_EQ(events[1].style, ImpactFeedbackStyle::light);
    EXPECT_EQ(events[1].intensity, 1);
}

int inkedPixels(const HeadlessHost& host, const Rect& area) {
    int ink = 0;
    for (double y = area.minY(); y < area.maxY(); y += 0.5)
        for (double x = area.minX(); x < area.maxX(); x += 0.5)
            if (auto color = host.pixel({x, y}); color && color->red < 0.5) ++ink;
    return ink;
}

TEST(TextDrawing, labelsInkTheirTextCentredVertically) {
    HeadlessHost host({{200, 100}, 2});
    auto label = std::make_shared<Label>();
    label->setFrame({10, 10, 180, 60});
    label->setFont(gfx::Font::boldSystemFont(20));
    label->setText("Monaco");
    host.window()->addSubview(label);
    host.renderIfNeeded();
    EXPECT_GT(inkedPixels(host, {10, 25, 120, 30}), 100);
    EXPECT_EQ(inkedPixels(host, {10, 10, 180, 10}), 0);
    EXPECT_EQ(inkedPixels(host, {10, 60, 180, 10}), 0);
    label->setText("");
    host.renderIfNeeded();
    EXPECT_EQ(inkedPixels(host, {0, 0, 200, 100}), 0);
}

TEST(TextDrawing, textLayersDrawOnceTheToolkitIsInitialised) {
    initialize();
    HeadlessHost host({{200, 100}, 2});
    auto layer = quartz::TextLayer::make();
    layer->setString("Silverstone");
    layer->setFontSize(20);
    layer->setForegroundColor(gfx::Color::black());
    layer->setFrame({0, 0, 200, 40});
    host.window()->layer()->addSublayer(layer);
    host.snapshot();
    EXPECT_GT(inkedPixels(host, {0, 0, 200, 40}), 100);
}

}  // namespace
}  // namespace ui
