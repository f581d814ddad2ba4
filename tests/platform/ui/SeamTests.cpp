#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>

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

// A folder of stand-in xdg-mime and xdg-open scripts that is the whole PATH while it lives, so no
// desktop application is ever started.
class FakeDesktop {
public:
    FakeDesktop() {
        folder_ = std::filesystem::temp_directory_path() / ("sorvane-desktop-" + std::to_string(std::random_device{}()));
        std::filesystem::create_directories(folder_);
        const char* path = std::getenv("PATH");
        savedPath_ = path ? path : "";
        setenv("PATH", folder_.c_str(), 1);
    }
    ~FakeDesktop() {
        setenv("PATH", savedPath_.c_str(), 1);
        std::filesystem::remove_all(folder_);
    }
    // xdg-mime names `handler` as the default application (nothing when empty); xdg-open, when
    // `openExit` is given, notes its argument and exits with it.
    void answer(const std::string& handler, std::optional<int> openExit) {
        script("xdg-mime", "printf '%s' '" + handler + "'");
        std::filesystem::remove(folder_ / "xdg-open");
        std::filesystem::remove(opened());
        if (openExit) script("xdg-open", "printf '%s' \"$1\" > '" + opened().string() + "'; exit " + std::to_string(*openExit));
    }
    std::filesystem::path opened() const { return folder_ / "opened"; }
    std::string openedArgument() const {
        std::ifstream file(opened());
        return std::string(std::istreambuf_iterator<char>(file), {});
    }
    const std::filesystem::path& folder() const { return folder_; }

private:
    void script(const std::string& name, const std::string& body) {
        auto file = folder_ / name;
        std::ofstream(file) << "#!/bin/sh\n" << body << "\n";
        chmod(file.c_str(), 0755);
    }
    std::filesystem::path folder_;
    std::string savedPath_;
};

TEST(OpenDocument, theDesktopsAnswerIsReadFromXdgMimeAndXdgOpen) {
    FakeDesktop desktop;
    auto event = desktop.folder() / "my events" / "race.ics";
    std::filesystem::create_directories(event.parent_path());
    std::ofstream(event) << "BEGIN:VCALENDAR\nEND:VCALENDAR\n";
    XdgURLOpener opener;

    desktop.answer("", 0);
    EXPECT_EQ(opener.openDocument(event, "text/calendar"), DocumentOpenOutcome::noApplication);
    EXPECT_FALSE(std::filesystem::exists(desktop.opened())) << "nothing is opened without a calendar application";

    desktop.answer("org.example.Calendar.desktop", 0);
    EXPECT_EQ(opener.openDocument(event, "text/calendar"), DocumentOpenOutcome::opened);
    EXPECT_EQ(desktop.openedArgument(), event.string()) << "the file itself, blanks and all, as one argument";

    desktop.answer("org.example.Calendar.desktop", 4);
    EXPECT_EQ(opener.openDocument(event, "text/calendar"), DocumentOpenOutcome::refused);
    desktop.answer("org.example.Calendar.desktop", 3);
    EXPECT_EQ(opener.openDocument(event, "text/calendar"), DocumentOpenOutcome::noApplication);
    desktop.answer("org.example.Calendar.desktop", std::nullopt);
    EXPECT_EQ(opener.openDocument(event, "text/calendar"), DocumentOpenOutcome::noApplication) << "no xdg-open";
}

TEST(OpenDocument, onlyAnExistingFileReachesTheOpener) {
    auto recorder = std::make_shared<URLOpenRecorder>();
    setURLOpener(recorder);
    recorder->answerDocumentsWith(DocumentOpenOutcome::noApplication);
    auto folder = std::filesystem::temp_directory_path();
    EXPECT_EQ(Application::openDocument(folder / "sorvane-no-such-event.ics", "text/calendar"), DocumentOpenOutcome::refused);
    EXPECT_EQ(Application::openDocument(folder, "text/calendar"), DocumentOpenOutcome::refused) << "a folder";
    auto event = folder / ("sorvane-event-" + std::to_string(std::random_device{}()) + ".ics");
    std::ofstream(event) << "BEGIN:VCALENDAR\nEND:VCALENDAR\n";
    EXPECT_EQ(Application::openDocument(event, "text/calendar"), DocumentOpenOutcome::noApplication);
    setURLOpener(nullptr);
    std::filesystem::remove(event);
    EXPECT_EQ(recorder->openedDocuments(), std::vector<std::filesystem::path>{event});
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
