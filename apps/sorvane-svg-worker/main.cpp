// The flag worker (shell/SVGWorker.h): an executable of its own, beside the app's, linking only what draws
// a flag, so that it starts in a fraction of the app's time (a library loaded is a library relocated).
#include <string_view>

#include "shell/SVGWorker.h"

int main(int argc, char** argv) {
    if (argc < 2 || std::string_view(argv[1]) != svgWorkerArgument) return 2;
    return runSVGWorker(argc > 2 ? argv[2] : nullptr);
}
