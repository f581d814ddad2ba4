#include <gtest/gtest.h>

#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <stdlib.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "ProcText.h"
#include "pictura/PicturaOptions.h"
#include "shell/SVGImgProcessor.h"
#include "shell/SVGWorker.h"

#ifdef SORVANE_SVG_WORKER

namespace {

const SVGRenderTarget flagBox{{18.2, 14.3}, 2};

foundation::Data fileBytes(const std::filesystem::path& path) {
    std::ifstream file(path, std::ios::binary);
    return foundation::Data(std::vector<std::uint8_t>(std::istreambuf_iterator<char>(file), {}));
}

std::vector<std::filesystem::path> offlineFlags() {
    std::vector<std::filesystem::path> flags;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(std::filesystem::path(SORVANE_SOURCE_DIR) /
                                                                           "data/offline-season/flags"))
        if (entry.path().extension() == ".svg") flags.push_back(entry.path());
    std::sort(flags.begin(), flags.end());
    return flags;
}

using sorvane::testing::procText;

// A child of this process that has ended with all its threads (its leader shows "Z" while the others, a
// sanitizer's, still tear down and hold its descriptors); it is left for its owner to reap.
bool ended(pid_t process) {
    siginfo_t info{};
    return ::waitid(P_PID, static_cast<id_t>(process), &info, WEXITED | WNOHANG | WNOWAIT) != 0 || info.si_pid == process;
}

// This process's children in flag-worker mode that have not ended.
std::vector<pid_t> flagWorkers() {
    std::vector<pid_t> found;
    std::error_code error;
    for (const auto& task : std::filesystem::directory_iterator("/proc/self/task", error)) {
        std::ifstream list(task.path() / "children");
        for (pid_t child; list >> child;) {
            const std::string words = procText("/proc/" + std::to_string(child) + "/cmdline");
            if (!ended(child) && words.find(svgWorkerArgument) != std::string::npos) found.push_back(child);
        }
    }
    return found;
}

std::vector<std::string> realWorker() { return {SORVANE_SVG_WORKER, svgWorkerArgument}; }

// The same picture: size, scale and every pixel.
void expectSamePicture(const std::shared_ptr<gfx::Image>& drawn, const std::shared_ptr<gfx::Image>& expected,
                       const std::string& name) {
    ASSERT_NE(drawn, nullptr) << name;
    ASSERT_NE(expected, nullptr) << name;
    ASSERT_TRUE(drawn->bitmap() && expected->bitmap()) << name;
    EXPECT_EQ(drawn->scale(), expected->scale()) << name;
    EXPECT_EQ(drawn->orientation(), expected->orientation()) << name;
    const auto &a = *drawn->bitmap(), &b = *expected->bitmap();
    ASSERT_EQ(a.width, b.width) << name;
    ASSERT_EQ(a.height, b.height) << name;
    for (int y = 0; y < a.height; ++y)
        for (int x = 0; x < a.width; ++x) ASSERT_EQ(a.pixel(x, y), b.pixel(x, y)) << name << " at " << x << "," << y;
}

// Lines of the worker's own complaints in what was written to standard error.
int workerLines(const std::string& text, const std::string& kind) {
    int lines = 0;
    for (std::size_t at = text.find(kind); at != std::string::npos; at = text.find(kind, at + 1)) ++lines;
    return lines;
}

class SVGWorker : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (std::filesystem::temp_directory_path() / "sorvane-svg-worker-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        folder = pattern;
        vellumReady();
    }
    void TearDown() override {
        setSVGRenderer(nullptr);  // ends the worker
        std::error_code ignored;
        std::filesystem::remove_all(folder, ignored);
    }
    static void vellumReady() {
        // The in-process drawing the worker's pictures are compared with.
        static const bool ready = (installSVGLibraryRenderer(), setSVGRenderer(nullptr), true);
        (void)ready;
    }

    // A worker that, on its first start only, takes what the app first sends, says it is ready, takes a little
    // of its first document and then does `behaviour` (shell); every later start is the real worker.
    std::vector<std::string> misbehavingOnce(const std::string& behaviour) const {
        const std::string script = "if [ -e \"$1/started\" ]; then exec \"$2\" --svg-worker \"$3\"; fi; : > \"$1/started\"; "
                                   "head -c 8 >/dev/null; printf 'SVGW1\\n'; head -c 8 >/dev/null; " + behaviour;
        return {"sh", "-c", script, "worker", folder.string(), SORVANE_SVG_WORKER};
    }

    std::filesystem::path folder;
    pictura::PicturaParsedOptionsInfo options;
};

// Every flag of the offline season comes out of the worker as the SVG library draws it in this process, with
// flags asked for from many lanes at once, as the image library's processing lanes do.
TEST_F(SVGWorker, drawsEveryOfflineFlagAsTheLibraryDoesInProcessWithManyInFlight) {
    const auto flags = offlineFlags();
    ASSERT_GE(flags.size(), 200u);
    std::vector<std::shared_ptr<gfx::Image>> expected, drawn(flags.size());
    for (const auto& flag : flags) expected.push_back(renderWithSVGLibrary(fileBytes(flag), flagBox));

    installSVGWorkerRenderer(realWorker());
    prepareSVGRenderer();
    const SVGImgProcessor processor(flagBox);
    std::vector<std::thread> lanes;
    constexpr std::size_t laneCount = 8;
    for (std::size_t lane = 0; lane < laneCount; ++lane) {
        lanes.emplace_back([&, lane] {
            for (std::size_t index = lane; index < flags.size(); index += laneCount)
                drawn[index] = processor.process(fileBytes(flags[index]), options);
        });
    }
    for (auto& lane : lanes) lane.join();
    for (std::size_t index = 0; index < flags.size(); ++index)
        expectSamePicture(drawn[index], expected[index], flags[index].filename().string());
    // Text is laid out by a library the worker loads beside the drawing libraries linked into it.
    const auto text = foundation::Data::fromString(
        "<svg xmlns='http://www.w3.org/2000/svg' width='90' height='30'><text x='4' y='22' font-size='20' "
        "font-family='sans-serif' fill='#036'>Flag \u03a9\u00e9</text></svg>");
    expectSamePicture(SVGImgProcessor().process(text, options), renderWithSVGLibrary(text, std::nullopt), "text");
    // Without a box, the document's own size; and what is no SVG document is no picture.
    const auto whole = SVGImgProcessor().process(fileBytes(flags.front()), options);
    expectSamePicture(whole, renderWithSVGLibrary(fileBytes(flags.front()), std::nullopt), "without a box");
    EXPECT_EQ(processor.process(foundation::Data::fromString("<not svg"), options), nullptr);
    EXPECT_NE(processor.process(fileBytes(flags.back()), options), nullptr) << "the worker goes on after a null answer";
    // Workers killed while they wait (as by the kernel's memory killer) cost no flag: the next one gets a fresh worker.
    const auto workers = flagWorkers();
    ASSERT_GE(workers.size(), 1u);
    ASSERT_LE(workers.size(), maximumFlagWorkers);
    for (pid_t worker : workers) ASSERT_EQ(::kill(worker, SIGKILL), 0);
    for (pid_t worker : workers)
        for (int waited = 0; waited < 500 && !ended(worker); ++waited) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    testing::internal::CaptureStderr();
    // At a size not drawn before, so that a worker draws it, not the picture drawn lately.
    const SVGRenderTarget largerBox{{36.4, 28.6}, 2};
    expectSamePicture(SVGImgProcessor(largerBox).process(fileBytes(flags[1]), options),
                      renderWithSVGLibrary(fileBytes(flags[1]), largerBox), "after the worker was killed");
    auto said = testing::internal::GetCapturedStderr();
    EXPECT_EQ(workerLines(said, "SVG worker"), 0) << said;

    // One left idle is let go, and the next flag starts another.
    installSVGWorkerRenderer(realWorker(), {.idleSeconds = 0.2});
    testing::internal::CaptureStderr();
    EXPECT_NE(processor.process(fileBytes(flags[0]), options), nullptr);
    for (int waited = 0; waited < 500 && !flagWorkers().empty(); ++waited) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_TRUE(flagWorkers().empty());
    expectSamePicture(processor.process(fileBytes(flags[1]), options), expected[1], "after the idle worker went");
    said = testing::internal::GetCapturedStderr();
    EXPECT_EQ(workerLines(said, "SVG worker"), 0) << said;
}

// A worker ended mid-document (past its CPU, or killed), one that crashes, one that answers nonsense and one
// that just ends each cost the flag they had: no picture, one line on standard error, the next flag is drawn
// by a fresh worker, and that flag is not tried again.
TEST_F(SVGWorker, aWorkerThatFailsCostsItsFlagAloneAndTheNextFlagGetsAFreshOne) {
    const auto flags = offlineFlags();
    ASSERT_GE(flags.size(), 2u);
    const auto next = fileBytes(flags[1]);
    const auto expected = renderWithSVGLibrary(next, flagBox);
    const std::vector<std::pair<std::string, std::string>> failures = {
        {"spins past its CPU", "while :; do :; done"},
        {"crashes", "kill -SEGV $$"},
        {"is killed", "kill -KILL $$"},
        {"answers nonsense", "printf 'this is no answer of a worker, nor a picture'; cat >/dev/null"},
        {"claims a picture larger than its box", "printf 'SVGA\\001\\377\\177\\000\\000\\377\\177\\000\\000\\000\\000\\000\\000\\000\\000\\360\\077\\000\\000\\000\\000'; cat >/dev/null"},
        {"ends", "exit 0"},
    };
    for (const auto& [failure, behaviour] : failures) {
        std::filesystem::remove(folder / "started");
        installSVGWorkerRenderer(misbehavingOnce(behaviour), {.cpuSeconds = 0.5});
        const SVGImgProcessor processor(flagBox);
        testing::internal::CaptureStderr();
        EXPECT_EQ(processor.process(fileBytes(flags[0]), options), nullptr) << failure;
        const auto drawn = processor.process(next, options);
        // Asked for again (a row drawn anew), the document that failed is not tried on the fresh worker.
        EXPECT_EQ(processor.process(fileBytes(flags[0]), options), nullptr) << failure;
        const auto said = testing::internal::GetCapturedStderr();
        EXPECT_EQ(workerLines(said, "a flag was not drawn: its SVG worker"), 1) << failure << ":\n" << said;
        expectSamePicture(drawn, expected, failure);
    }
    // One that takes the document and answers that it gives no picture (and ends, as out of memory) is not
    // asked to draw it again at that size, only at another.
    std::filesystem::remove(folder / "started");
    const auto first = fileBytes(flags[0]);
    const std::string rest = std::to_string(29 + first.bytes().size());
    installSVGWorkerRenderer(misbehavingOnce("head -c " + rest + " >/dev/null; printf 'SVGA\\002'; head -c 20 /dev/zero"));
    EXPECT_EQ(SVGImgProcessor(flagBox).process(first, options), nullptr);
    EXPECT_EQ(SVGImgProcessor(flagBox).process(first, options), nullptr) << "drawn again at its size";
    EXPECT_NE(SVGImgProcessor({{36.4, 28.6}, 2}).process(first, options), nullptr);
    // One that answers a one-pixel picture and ends: asked again at that size while the picture is held, the
    // document gets that picture, not a fresh worker's drawing.
    std::filesystem::remove(folder / "started");
    installSVGWorkerRenderer(misbehavingOnce("head -c " + rest + " >/dev/null; printf 'SVGA\\001\\001\\000\\000\\000"
                                             "\\001\\000\\000\\000\\000\\000\\000\\000\\000\\000\\360\\077"
                                             "\\000\\000\\000\\000\\377\\000\\000\\377'"));
    const auto once = SVGImgProcessor(flagBox).process(first, options);
    ASSERT_NE(once, nullptr);
    EXPECT_EQ(SVGImgProcessor(flagBox).process(first, options), once) << "drawn again";
}

// With workers side by side, one stuck on a document and then killed costs that document alone: the other
// draws every flag meanwhile, and goes on after.
TEST_F(SVGWorker, aWorkerEndedMidDocumentCostsOnlyItsFlagWhileTheOtherDraws) {
    if (std::thread::hardware_concurrency() < 2) GTEST_SKIP() << "one processing lane: one worker";
    const auto flags = offlineFlags();
    ASSERT_GE(flags.size(), 8u);
    for (const char* pipe : {"took", "go"}) ASSERT_EQ(::mkfifo((folder / pipe).c_str(), 0600), 0);
    // The first worker says when it holds its document, and is killed once the test lets it go on.
    installSVGWorkerRenderer(misbehavingOnce("echo > \"$1/took\"; read line < \"$1/go\"; kill -KILL $$"));
    const SVGImgProcessor processor(flagBox);
    testing::internal::CaptureStderr();
    std::shared_ptr<gfx::Image> lost = std::make_shared<gfx::Image>();
    std::thread stuck([&] { lost = processor.process(fileBytes(flags[0]), options); });
    { std::ifstream(folder / "took").get(); }
    for (std::size_t index = 1; index < 8; ++index)
        expectSamePicture(processor.process(fileBytes(flags[index]), options),
                          renderWithSVGLibrary(fileBytes(flags[index]), flagBox), flags[index].filename().string());
    { std::ofstream(folder / "go") << '\n'; }
    stuck.join();
    EXPECT_EQ(lost, nullptr);
    expectSamePicture(processor.process(fileBytes(flags[1]), options), renderWithSVGLibrary(fileBytes(flags[1]), flagBox),
                      "after the other worker was killed");
    const auto said = testing::internal::GetCapturedStderr();
    EXPECT_EQ(workerLines(said, "a flag was not drawn: its SVG worker"), 1) << said;
}

// A worker that cannot be started is said once, and no flag is drawn then, in this process or any other.
TEST_F(SVGWorker, aWorkerThatCannotStartIsSaidOnceAndNoFlagIsDrawn) {
    const auto flag = fileBytes(offlineFlags().front());
    for (const auto& command : std::vector<std::vector<std::string>>{{"sorvane-no-such-worker"}, {"sh", "-c", "exit 3"}}) {
        installSVGWorkerRenderer(command);
        const SVGImgProcessor processor(flagBox);
        testing::internal::CaptureStderr();
        prepareSVGRenderer();  // a start on a thread of its own, as a row asking for its flag makes
        prepareSVGRenderer();
        for (int flags = 0; flags < 3; ++flags) EXPECT_EQ(processor.process(flag, options), nullptr) << command[0];
        const auto said = testing::internal::GetCapturedStderr();
        EXPECT_EQ(workerLines(said, "flags cannot be drawn"), 1) << said;
        EXPECT_EQ(workerLines(said, "a flag was not drawn"), 0) << said;
    }
}

}  // namespace

#endif
