// The app's flag path, whole: the bytes a flag's download delivers go through the app's own SVG processor
// (app/shell/SVGImgProcessor.cpp, compiled in), which parses, builds and draws them into the flag's box
// under its WorkBoundWatch and one work meter, one render at a time. Whatever the document, there is an
// image no larger than the box at its scale (to a pixel), or none (a bound reached, or no drawable document).
// A render the meter's CPU clock ends before its units do is a finding: some work is charged below its cost.
#include <cmath>
#include <cstdio>
#include <cstddef>
#include <cstdint>
#include <ctime>

#include "SVGHarness.h"
#include "gfx/WorkMeter.h"
#include "pictura/PicturaOptions.h"
#include "shell/SVGImgProcessor.h"

namespace {

// A flag's box as the season's rows show it (85 x 64 points on a screen of one pixel a point).
const SVGRenderTarget flagBox{{85, 64}, 1};

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    warmUpFonts();
    installSVGLibraryRenderer();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    static const SVGImgProcessor processor(flagBox);
    static const pictura::PicturaParsedOptionsInfo options;
    // The processor's meter joins this one, so that the harness can tell who ended the render. Its clock ends a
    // render just within the hang limit (10 s), so that a render of charges too small shows as a clock's ending,
    // with what it was charged, rather than as a hang; one of too few charges for the clock to be read (a long
    // call between two, the parse) is held to the same time here.
    constexpr std::int64_t allowance = 9'000'000'000;
    const auto cpu = [] {
        timespec now{};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
        return std::int64_t{now.tv_sec} * 1'000'000'000 + now.tv_nsec;
    };
    const std::int64_t start = cpu();
    gfx::WorkMeter meter(gfx::WorkMeter::defaultBudget, nullptr, allowance);
    const auto image = processor.process(foundation::Data(bytes, size), options);
    if (meter.spentByClock() || cpu() - start > allowance) {
        std::fprintf(stderr, "the clock ended a render charged %llu units\n", static_cast<unsigned long long>(meter.used()));
        __builtin_trap();
    }
    if (!image) return 0;
    // The fitted size is rounded up to whole pixels, one past the box where the fit lands a hair over a pixel.
    const double width = std::ceil(flagBox.size.width * flagBox.scale) + 1;
    const double height = std::ceil(flagBox.size.height * flagBox.scale) + 1;
    if (image->pixelWidth() <= 0 || image->pixelWidth() > width || image->pixelHeight() <= 0 || image->pixelHeight() > height)
        __builtin_trap();
    return 0;
}
