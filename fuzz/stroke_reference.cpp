// A small path filled or stroked (widths, caps, joins, dashes, transforms read from the input) drawn by
// the converter's fast paths and by plain Cairo in the same process: pictures further apart than
// antialiasing explains are a crash. The smoke pass (SORVANE_FUZZ_SMOKE set) only prints them: a run of a few
// seconds meets the rare known margins listed in docs/fuzzing.md on some machines and not others, and CI
// must not pass or fail by chance; the suite's fixed drawings hold the same paths every run.
#include <cstdio>
#include <cstdlib>

#include "FuzzInput.h"
#include "ReferenceDrawing.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    fuzz::Input input(bytes, size);
    auto drawing = gfx::testing::ReferenceDrawing::make([&](std::size_t n) { return input.pick(n); });
    auto apart = drawing.apartFromCairo();
    if (drawing.tooFarApart(apart)) {
        std::fprintf(stderr, "%d pixels apart, %g pixels of ink in 3 by 3 (%g more near tight bends): %s\n", apart.pixels,
                     apart.ink, apart.overBends, drawing.describe().c_str());
        static const bool smoke = std::getenv("SORVANE_FUZZ_SMOKE") != nullptr;
        if (!smoke) __builtin_trap();
    }
    return 0;
}
