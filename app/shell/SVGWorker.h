#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "foundation/Data.h"
#include "gfx/Image.h"
#include "shell/SVGImgProcessor.h"

// Flags are documents from the network, and the SVG library's work bounds have been outrun before by
// stages they do not see (a Cairo call of seconds, a parse, a decoder). So the app never parses or draws
// one itself: a worker process does, held by the operating system to an address space and a CPU time, and
// watched by the app. Whatever a document does to it costs that flag alone. The worker is an executable of
// its own, beside the app's (apps/sorvane-svg-worker), linking only the SVG library: one with all the app's
// libraries took three times as long to start.

// The worker's executable, in the app's folder.
inline constexpr const char* svgWorkerProgram = "sorvane-svg-worker";
// The argument that starts the worker; the app's process id follows it.
inline constexpr const char* svgWorkerArgument = "--svg-worker";

// How the app holds a worker to one document.
struct SVGWorkerLimits {
    // CPU the worker may use on one document before the app ends it.
    double cpuSeconds = 3;
    // Memory the worker may hold: its address space, which it limits itself, or (in the sanitised builds,
    // whose shadow memory needs the address space) its resident size, which the app watches.
    std::size_t memoryBytes = 512u << 20;
    // A worker that neither answers nor spends CPU (stuck, or starved) is ended after this long.
    double wallSeconds = 30;
    // A worker given no document for this long is let go, and its memory with it; the next flag starts another.
    double idleSeconds = 10;
};

// The most workers that draw side by side. A flag takes a warm worker a fraction of a millisecond and a
// fresh one some milliseconds, so a third worker cost the season sheet more, in its start, than it drew.
inline constexpr std::size_t maximumFlagWorkers = 2;

// The worker beside this program's executable.
std::vector<std::string> svgWorkerCommand();

// Installs as the SVG renderer one that hands each document and target to one of a few workers (one a
// processing lane, up to maximumFlagWorkers) started by `command` (the app's process id is added as its last
// argument) when the first document comes, side by side, and kept for the next. Each is held and watched
// alone: one that is ended past a limit, crashes, is killed, answers nonsense or ends gives that document no
// image, says so on standard error, and its next document gets a fresh worker while the others draw on; that
// document is not drawn again by any (no image, nothing said). A document asked for again at a size at which
// it was drawn lately gets that picture while anything still holds it. A worker that cannot be started is said once,
// and from then on no document becomes an image.
void installSVGWorkerRenderer(std::vector<std::string> command = svgWorkerCommand(), SVGWorkerLimits limits = {});

// The worker mode: limits itself, then draws the documents that come on standard input, each answered on
// standard output, until standard input closes. `parent` is the app's process id; the worker ends with it.
// Gives the exit status.
int runSVGWorker(const char* parent, SVGWorkerLimits limits = {});
