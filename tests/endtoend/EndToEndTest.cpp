// The app as a process on the offline season: its picture of the home screen, checked by pixel probes.

#include <gtest/gtest.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "ProcText.h"
#include "VirtualDisplay.h"
#include "foundation/Data.h"
#include "gfx/Bitmap.h"
#include "gfx/ImageSource.h"
#include "../vellum/HostileDocuments.h"

extern char** environ;

namespace {

// Generous for a loaded two-core machine under the sanitizers; the app usually needs a second or two.
constexpr auto processTimeout = std::chrono::minutes(5);
constexpr int windowSecondsBeforeShot = 25;

struct Pixel {
    int r, g, b;
};

Pixel pixelAt(const gfx::Bitmap& bitmap, int x, int y) {
    std::uint32_t argb = bitmap.pixel(x, y);
    return {static_cast<int>((argb >> 16) & 0xff), static_cast<int>((argb >> 8) & 0xff), static_cast<int>(argb & 0xff)};
}

bool isSea(Pixel p) { return p.b > p.r + 25 && p.g > p.r + 10 && p.b > 150; }
bool isPinRed(Pixel p) { return p.r > 170 && p.g < 90 && p.b < 90; }
bool isSheetWhite(Pixel p) { return p.r >= 250 && p.g >= 250 && p.b >= 250; }

int count(const gfx::Bitmap& bitmap, int fromY, int toY, bool (*matches)(Pixel)) {
    int found = 0;
    for (int y = fromY; y < toY; y += 2)
        for (int x = 0; x < bitmap.width; x += 2) found += matches(pixelAt(bitmap, x, y));
    return found;
}

std::shared_ptr<const gfx::Bitmap> readPng(const std::filesystem::path& path) {
    std::ifstream file(path, std::ios::binary);
    std::string bytes{std::istreambuf_iterator<char>(file), {}};
    auto source = gfx::ImageSource::create(foundation::Data::fromString(bytes));
    return source ? source->frameAt(0) : nullptr;
}

// Starts the app with `arguments` and `environment` added to ours; its process id, or -1 when it could not
// be started. With `errors` (`output`), what it writes to its standard error (output) goes to that file.
pid_t startApp(const std::vector<std::string>& arguments, const std::vector<std::string>& environment,
               const std::filesystem::path& errors = {}, const std::filesystem::path& output = {}) {
    std::vector<std::string> words{SORVANE_EXECUTABLE};
    words.insert(words.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (auto& word : words) argv.push_back(word.data());
    argv.push_back(nullptr);
    std::vector<std::string> variables = environment;
    // The app's own leaks are the unit tests' business; the X and GL libraries it loads are not ours.
    variables.push_back("ASAN_OPTIONS=detect_leaks=0");
    for (char** variable = environ; *variable; ++variable) variables.emplace_back(*variable);
    std::vector<char*> envp;
    for (auto& variable : variables) envp.push_back(variable.data());
    envp.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (!errors.empty())
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, errors.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (!output.empty())
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    pid_t child = -1;
    int spawned = posix_spawn(&child, SORVANE_EXECUTABLE, &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    return spawned == 0 ? child : -1;
}

// Runs the app as startApp does; its exit status, or -1 when it had to be killed.
int runApp(const std::vector<std::string>& arguments, const std::vector<std::string>& environment,
           const std::filesystem::path& errors = {}, const std::filesystem::path& output = {}) {
    const pid_t child = startApp(arguments, environment, errors, output);
    if (child < 0) return -2;
    auto deadline = std::chrono::steady_clock::now() + processTimeout;
    int status = 0;
    while (waitpid(child, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            kill(child, SIGKILL);
            waitpid(child, &status, 0);
            return -1;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -3;
}

std::filesystem::path shotPath(const std::string& name) {
    return std::filesystem::temp_directory_path() / ("sorvane-" + name + "-" + std::to_string(getpid()) + ".png");
}

// The map fills the screen above the season sheet, which rests at its small detent (220 of the 844
// points, at scale 2): sea and at least one race pin above, the sheet's white at the bottom.
void expectMapUnderSeasonSheet(const std::filesystem::path& path) {
    auto shot = readPng(path);
    ASSERT_TRUE(shot) << "no readable PNG at " << path;
    ASSERT_EQ(shot->width, 780);
    ASSERT_EQ(shot->height, 1688);
    int sheetTop = shot->height - 2 * 260;
    EXPECT_GT(count(*shot, 0, sheetTop, isSea), 1000) << "no sea on the map";
    EXPECT_GT(count(*shot, 0, sheetTop, isPinRed), 40) << "no pin of a race ahead";
    int bottomBand = count(*shot, shot->height - 120, shot->height, isSheetWhite);
    int bandSamples = (120 / 2) * (shot->width / 2);
    EXPECT_GT(bottomBand, bandSamples / 2) << "the season sheet does not cover the bottom";
    std::filesystem::remove(path);
}

TEST(EndToEnd, theWindowShowsTheMapWithItsPinsUnderTheSeasonSheet) {
    std::string problem = hosttest::prepareDisplay();
    if (!problem.empty()) GTEST_SKIP() << problem;
    auto path = shotPath("window");
    int status = runApp({}, {"SORVANE_SCREENSHOT_AFTER=" + std::to_string(windowSecondsBeforeShot),
                             "SORVANE_SCREENSHOT_PATH=" + path.string(), "SORVANE_WINDOW_ZOOM=1"});
    ASSERT_EQ(status, 0);
    expectMapUnderSeasonSheet(path);
}

TEST(EndToEnd, theHeadlessScreenshotWaitsForTheSeasonSheetsRows) {
    auto path = shotPath("headless");
    ASSERT_EQ(runApp({"--screenshot", path.string()}, {}), 0);
    expectMapUnderSeasonSheet(path);
}

std::string readText(const std::filesystem::path& path) {
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

// A copy of the data folder for a test to damage, removed when the test ends.
struct DataCopy {
    explicit DataCopy(const std::string& name) : root(std::filesystem::temp_directory_path() /
                                                      ("sorvane-" + name + "-" + std::to_string(getpid()))) {
        std::filesystem::remove_all(root);
        std::filesystem::copy(std::filesystem::path(SORVANE_SOURCE_DIR) / "data", root,
                              std::filesystem::copy_options::recursive);
    }
    ~DataCopy() { std::filesystem::remove_all(root); }
    // No calendar, results or standings: an empty results folder.
    void removeResults() const {
        for (const auto& entry : std::filesystem::directory_iterator(root / "offline-season" / "results-api"))
            std::filesystem::remove_all(entry.path());
    }
    std::filesystem::path root;
};

// With no calendar to read (an empty results folder) the headless picture does not wait for rows
// that never come: it ends soon, non-zero, with the sheet saying what is missing.
TEST(EndToEnd, withoutDataTheScreenshotModeStopsSoonShowingTheEmptySheet) {
    auto data = std::make_unique<DataCopy>("no-results");
    data->removeResults();
    auto path = shotPath("no-results");
    auto started = std::chrono::steady_clock::now();
    int status = runApp({"--screenshot", path.string()}, {"SORVANE_DATA_DIR=" + data->root.string()});
    auto seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    data.reset();
    EXPECT_EQ(status, 1);
    EXPECT_LT(seconds, 60) << "it waited for the load's full time-out";
    auto shot = readPng(path);
    ASSERT_TRUE(shot) << "no picture of the empty sheet";
    // Below the sheet's header (the sheet rests at 590 points), the message's grey text.
    int text = count(*shot, 2 * (590 + 70), 2 * (590 + 134), [](Pixel p) { return p.r < 200 && p.g < 200 && p.b < 200; });
    EXPECT_GT(text, 100) << "the empty sheet says nothing";
    std::filesystem::remove(path);
}

TEST(EndToEnd, withoutDataAScreenshotThatCannotBeWrittenIsNotClaimed) {
    DataCopy data("no-results-no-picture");
    data.removeResults();
    auto errors = shotPath("no-picture-errors");
    int status = runApp({"--screenshot", "/nonexistent-folder/x.png"}, {"SORVANE_DATA_DIR=" + data.root.string()}, errors);
    std::string said = readText(errors);
    std::filesystem::remove(errors);
    EXPECT_EQ(status, 1);
    EXPECT_EQ(said.find("shows the empty sheet"), std::string::npos) << said;
    EXPECT_NE(said.find("the screenshot could not be written to /nonexistent-folder/x.png"), std::string::npos) << said;
}

TEST(EndToEnd, aMissingFlagsFolderWarnsAndTheAppStillStarts) {
    DataCopy data("no-flags");
    std::filesystem::remove_all(data.root / "offline-season" / "flags");
    auto path = shotPath("no-flags");
    auto errors = shotPath("no-flags-errors");
    int status = runApp({"--screenshot", path.string()}, {"SORVANE_DATA_DIR=" + data.root.string()}, errors);
    std::string said = readText(errors);
    std::filesystem::remove(errors);
    EXPECT_EQ(status, 0) << said;
    EXPECT_NE(said.find("sorvane: warning: "), std::string::npos) << said;
    EXPECT_NE(said.find("flag pictures will not load"), std::string::npos) << said;
    expectMapUnderSeasonSheet(path);
}

TEST(EndToEnd, helpPrintsTheUsageAndAnUnusableVariableIsNamed) {
    auto output = shotPath("help-output");
    EXPECT_EQ(runApp({"--help"}, {}, {}, output), 0);
    EXPECT_NE(readText(output).find("usage: sorvane"), std::string::npos) << readText(output);
    std::filesystem::remove(output);

    auto errors = shotPath("variable-errors");
    EXPECT_EQ(runApp({"--screenshot", shotPath("no-data-folder").string()}, {"SORVANE_DATA_DIR=/nonexistent"}, errors), 1);
    EXPECT_NE(readText(errors).find("SORVANE_DATA_DIR is \"/nonexistent\""), std::string::npos) << readText(errors);
    // Without a display the message has no window to show in; with one, the window goes after its shot.
    auto shot = shotPath("unusable-zoom");
    EXPECT_EQ(runApp({}, {"SORVANE_WINDOW_ZOOM=9", "DISPLAY=", "SORVANE_SCREENSHOT_AFTER=0",
                          "SORVANE_SCREENSHOT_PATH=" + shot.string()}, errors), 1);
    EXPECT_NE(readText(errors).find("SORVANE_WINDOW_ZOOM is \"9\""), std::string::npos) << readText(errors);
    std::filesystem::remove(errors);
    std::filesystem::remove(shot);
}

TEST(EndToEnd, badArgumentsStopTheAppWithAMessageAndNoPicture) {
    EXPECT_EQ(runApp({"--after", "3"}, {}), 2);
    EXPECT_EQ(runApp({"--screenshot", "x.png", "--after", "soon"}, {}), 2);
    EXPECT_EQ(runApp({"--screenshot", "/nonexistent-folder/x.png", "--after", "0"}, {}), 1);
}

// A start that fails in window mode says why in the window, not only on standard error, and still
// exits 1 once the window goes (here, after its screenshot).
TEST(EndToEnd, aStartThatFailsInWindowModeShowsItsMessageInAWindow) {
    std::string problem = hosttest::prepareDisplay();
    if (!problem.empty()) GTEST_SKIP() << problem;
    auto path = shotPath("failed-start");
    int status = runApp({}, {"SORVANE_NOW=yesterday", "SORVANE_SCREENSHOT_AFTER=1", "SORVANE_SCREENSHOT_PATH=" + path.string(),
                             "SORVANE_WINDOW_ZOOM=1"});
    EXPECT_EQ(status, 1);
    auto shot = readPng(path);
    ASSERT_TRUE(shot) << "no window showed the failure";
    // The title and the message, dark on white, from 96 points down.
    int ink = count(*shot, 2 * 96, 2 * 300, [](Pixel p) { return p.r < 90 && p.g < 90 && p.b < 90; });
    EXPECT_GT(ink, 300) << "the window says nothing";
    std::filesystem::remove(path);
}

using sorvane::testing::procText;

// The live flag workers of the app `app` (zombies are gone but for their entry), and the CPU seconds each
// has used.
std::vector<std::pair<pid_t, double>> flagWorkersOf(pid_t app) {
    std::vector<std::pair<pid_t, double>> workers;
    const std::string wanted = std::string("--svg-worker") + '\0' + std::to_string(app) + '\0';
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator("/proc", error)) {
        if (procText(entry.path() / "cmdline").find(wanted) == std::string::npos) continue;
        const std::string stat = procText(entry.path() / "stat");
        const auto name = stat.rfind(')');
        if (name == std::string::npos) continue;
        std::istringstream fields(stat.substr(name + 2));
        std::string state, skipped;
        fields >> state;
        for (int field = 4; field < 14; ++field) fields >> skipped;
        double user = 0, system = 0;
        fields >> user >> system;
        if (state != "Z") workers.emplace_back(std::stoi(entry.path().filename()), (user + system) / sysconf(_SC_CLK_TCK));
    }
    return workers;
}

// The app quits while its flag worker is busy with a document (every flag here is a fan of 59,000 symbol
// copies): the worker ends with it, leaving no process behind.
TEST(EndToEnd, theAppQuittingWhileItsFlagWorkerDrawsLeavesNoProcessBehind) {
    DataCopy data("slow-flags");
    const std::string slow = hostile::symbolFan(10);
    for (const auto& entry : std::filesystem::recursive_directory_iterator(data.root / "offline-season" / "flags"))
        if (entry.path().extension() == ".svg") std::ofstream(entry.path(), std::ios::binary | std::ios::trunc) << slow;
    const auto path = shotPath("slow-flags");
    // A cache of its own: flags an earlier test's app drew would be read back, and no document sent to a worker.
    const auto caches = data.root / "caches";
    std::filesystem::create_directories(caches);
    const pid_t app = startApp({"--screenshot", path.string(), "--after", "120"},
                               {"SORVANE_DATA_DIR=" + data.root.string(), "SORVANE_CACHES_DIR=" + caches.string()});
    ASSERT_GT(app, 0);
    bool drawing = false;
    for (auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
         !drawing && std::chrono::steady_clock::now() < deadline; std::this_thread::sleep_for(std::chrono::milliseconds(20))) {
        for (const auto& [worker, cpu] : flagWorkersOf(app)) drawing = drawing || cpu >= 0.3;
    }
    kill(app, SIGTERM);
    waitpid(app, nullptr, 0);
    std::filesystem::remove(path);
    ASSERT_TRUE(drawing) << "no flag worker of the app was seen drawing";
    bool gone = false;
    for (auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
         !gone && std::chrono::steady_clock::now() < deadline; std::this_thread::sleep_for(std::chrono::milliseconds(20)))
        gone = flagWorkersOf(app).empty();
    EXPECT_TRUE(gone) << "a flag worker outlived the app";
}

}  // namespace
