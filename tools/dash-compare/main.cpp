// Draws seeded random dashed drawings with Vellum and with librsvg, 200 pixels square, and counts those
// whose pictures differ in more than 20 pixels by more than half the range of a channel.
//
//   dash-compare [--count N] [--seed S] [--write DIR] [--verbose] [--cairo] [--gradients | --corners]
//   (--cairo: Vellum's drawing all Cairo's, the converter off; --gradients: drawings painted by gradients,
//   each beside its twin painted by a colour; --corners: dashes along the axes ending on corners and turn-backs)
//   dash-compare [--against-cairo] FILE.svg...   each file's count of such pixels, and FILE.svg.png showing
//   both (--against-cairo: Vellum's picture against its own drawn all by Cairo, the converter off)
#include <cairo.h>
#include <librsvg/rsvg.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "ScanConverter.h"
#include "foundation/Data.h"
#include "gfx/Context.h"
#include "vellum/VellumExporter.h"
#include "vellum/VellumImage.h"

namespace {

constexpr int side = 200;

// Each pixel premultiplied ARGB, as drawn.
std::vector<std::uint32_t> pixelsByVellum(const std::string& svg, bool cairoOnly = false) {
    gfx::raster::setScanConverterEnabled(!cairoOnly);
    std::vector<std::uint32_t> alpha(side * side, 0);
    auto image = vellum::VellumImage::initWithData(foundation::Data::fromString(svg));
    if (!image) return alpha;
    image->setSize({side, side});
    auto context = gfx::Context::create(image->size(), {.scale = 1});
    vellum::VellumImageDrawing::renderInContext(*image, *context);
    gfx::Bitmap bitmap = context->takeImage();
    for (int y = 0; y < side && y < bitmap.height; ++y)
        for (int x = 0; x < side && x < bitmap.width; ++x) alpha[y * side + x] = bitmap.pixel(x, y);
    return alpha;
}

std::vector<std::uint32_t> pixelsByLibrsvg(const std::string& svg) {
    std::vector<std::uint32_t> alpha(side * side, 0);
    GError* error = nullptr;
    RsvgHandle* handle = rsvg_handle_new_from_data(reinterpret_cast<const guint8*>(svg.data()), svg.size(), &error);
    g_clear_error(&error);
    if (!handle) return alpha;
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, side, side);
    cairo_t* cairo = cairo_create(surface);
    const RsvgRectangle viewport{0, 0, side, side};
    rsvg_handle_render_document(handle, cairo, &viewport, &error);
    g_clear_error(&error);
    cairo_surface_flush(surface);
    const unsigned char* data = cairo_image_surface_get_data(surface);
    int stride = cairo_image_surface_get_stride(surface);
    for (int y = 0; y < side; ++y)
        for (int x = 0; x < side; ++x)
            alpha[y * side + x] = reinterpret_cast<const std::uint32_t*>(data + y * stride)[x];
    cairo_destroy(cairo);
    cairo_surface_destroy(surface);
    g_object_unref(handle);
    return alpha;
}

bool cairoOnly = false, againstCairo = false;

bool apart(std::uint32_t a, std::uint32_t b) {
    for (int shift = 0; shift < 32; shift += 8)
        if (std::abs(int(a >> shift & 255) - int(b >> shift & 255)) > 128) return true;
    return false;
}

// Where `picture` is given, it is written as a PNG: Vellum's alpha red, the referee's green, pixels apart blue.
int pixelsApart(const std::string& svg, const std::string& picture = {}) {
    auto a = pixelsByVellum(svg, cairoOnly), b = againstCairo ? pixelsByVellum(svg, true) : pixelsByLibrsvg(svg);
    int count = 0;
    for (std::size_t i = 0; i < a.size(); ++i) count += apart(a[i], b[i]);
    if (const char* at = std::getenv("PIXEL")) {
        int x = 0, y = 0;
        std::sscanf(at, "%d %d", &x, &y);
        std::printf("pixel %d %d: %08x against %08x\n", x, y, a[y * side + x], b[y * side + x]);
    }
    if (!picture.empty()) {
        cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, side, side);
        auto* data = cairo_image_surface_get_data(surface);
        int stride = cairo_image_surface_get_stride(surface);
        for (int y = 0; y < side; ++y)
            for (int x = 0; x < side; ++x)
                reinterpret_cast<std::uint32_t*>(data + y * stride)[x] =
                    (a[y * side + x] >> 24) << 16 | (b[y * side + x] >> 24) << 8 |
                    (apart(a[y * side + x], b[y * side + x]) ? 255u : 0u);
        cairo_surface_mark_dirty(surface);
        cairo_surface_write_to_png(surface, picture.c_str());
        cairo_surface_destroy(surface);
    }
    return count;
}

// A dashed drawing: dash lists with zeros and odd counts, offsets of every sign and size, open and
// closed subpaths of lines, curves and arcs, every cap and join, scaled, skewed and turned, some of it
// outside the picture.
std::string randomDrawing(std::mt19937& random) {
    auto uniform = [&](double low, double high) { return std::uniform_real_distribution<double>(low, high)(random); };
    auto pick = [&](int n) { return int(std::uniform_int_distribution<int>(0, n - 1)(random)); };
    auto coordinate = [&] { return std::to_string(int(uniform(-60, 260))); };
    std::ostringstream svg;
    svg << "<svg xmlns=\"http://www.w3.org/2000/svg\" viewBox=\"0 0 200 200\" width=\"200\" height=\"200\">\n";
    int shapes = 1 + pick(3);
    for (int s = 0; s < shapes; ++s) {
        std::ostringstream d;
        int subpaths = 1 + pick(2);
        for (int p = 0; p < subpaths; ++p) {
            d << "M" << coordinate() << " " << coordinate();
            int commands = 1 + pick(5);
            for (int c = 0; c < commands; ++c) {
                switch (pick(4)) {
                    case 0: d << " L" << coordinate() << " " << coordinate(); break;
                    case 1: d << " Q" << coordinate() << " " << coordinate() << " " << coordinate() << " " << coordinate(); break;
                    case 2:
                        d << " C" << coordinate() << " " << coordinate() << " " << coordinate() << " " << coordinate() << " "
                          << coordinate() << " " << coordinate();
                        break;
                    default:
                        d << " A" << int(uniform(10, 120)) << " " << int(uniform(10, 120)) << " " << pick(90) << " "
                          << pick(2) << " " << pick(2) << " " << coordinate() << " " << coordinate();
                }
            }
            if (pick(2)) d << " Z";
        }
        std::ostringstream dashes;
        int count = 1 + pick(5);
        for (int k = 0; k < count; ++k) dashes << (k ? " " : "") << (pick(4) == 0 ? 0 : int(uniform(1, 30)));
        if (count == 1 || pick(3) == 0) dashes << " " << int(uniform(1, 25));
        double offset = 0;
        switch (pick(4)) {
            case 1: offset = int(uniform(1, 40)); break;
            case 2: offset = -int(uniform(1, 40)); break;
            case 3: offset = (pick(2) ? 1 : -1) * int(uniform(500, 5000)); break;
        }
        static const char* caps[] = {"butt", "round", "square"};
        static const char* joins[] = {"miter", "round", "bevel"};
        std::ostringstream transform;
        switch (pick(5)) {
            case 1: transform << "scale(" << uniform(0.5, 1.8) << ")"; break;
            case 2: transform << "rotate(" << pick(360) << " 100 100)"; break;
            case 3: transform << "skewX(" << int(uniform(-30, 30)) << ")"; break;
            case 4:
                transform << "translate(100 100) rotate(" << pick(360) << ") scale(" << uniform(0.5, 1.5) << " "
                          << uniform(0.5, 1.5) << ") translate(-100 -100)";
                break;
        }
        svg << "<path d=\"" << d.str() << "\" fill=\"none\" stroke=\"#000\" stroke-width=\"" << int(uniform(1, 24))
            << "\" stroke-dasharray=\"" << dashes.str() << "\" stroke-dashoffset=\"" << offset << "\" stroke-linecap=\""
            << caps[pick(3)] << "\" stroke-linejoin=\"" << joins[pick(3)] << "\" stroke-miterlimit=\""
            << int(uniform(1, 10)) << "\"";
        if (!transform.str().empty()) svg << " transform=\"" << transform.str() << "\"";
        svg << "/>\n";
    }
    svg << "</svg>\n";
    return svg.str();
}

// A shape filled or stroked (or both) by a linear or radial gradient in either units, turned, stretched or
// skewed, some strokes dashed; `twin` is the same drawing painted by a colour where the gradient was.
std::string randomGradientDrawing(std::mt19937& random, std::string& twin) {
    auto uniform = [&](double low, double high) { return std::uniform_real_distribution<double>(low, high)(random); };
    auto pick = [&](int n) { return int(std::uniform_int_distribution<int>(0, n - 1)(random)); };
    auto coordinate = [&] { return std::to_string(int(uniform(10, 190))); };
    const bool userSpace = pick(2);
    auto place = [&] { return userSpace ? std::to_string(int(uniform(-20, 220))) : std::to_string(uniform(-0.2, 1.2)); };
    std::ostringstream gradient;
    const bool radial = pick(2);
    if (radial)
        gradient << "<radialGradient id=\"g\" cx=\"" << place() << "\" cy=\"" << place() << "\" r=\""
                 << (userSpace ? std::to_string(int(uniform(10, 150))) : std::to_string(uniform(0.1, 0.9))) << "\"";
    else
        gradient << "<linearGradient id=\"g\" x1=\"" << place() << "\" y1=\"" << place() << "\" x2=\"" << place()
                 << "\" y2=\"" << place() << "\"";
    gradient << " gradientUnits=\"" << (userSpace ? "userSpaceOnUse" : "objectBoundingBox") << "\">";
    static const char* colors[] = {"#c00", "#0a0", "#00f", "#fc0", "#000", "#0ff"};
    int stops = 2 + pick(3);
    double offset = 0;
    for (int k = 0; k < stops; ++k) {
        offset = k == 0 ? uniform(0, 0.3) : std::min(1.0, offset + uniform(0, 0.5));
        gradient << "<stop offset=\"" << offset << "\" stop-color=\"" << colors[pick(6)] << "\"/>";
    }
    gradient << (radial ? "</radialGradient>" : "</linearGradient>");
    std::ostringstream d;
    d << "M" << coordinate() << " " << coordinate();
    int commands = 1 + pick(4);
    for (int c = 0; c < commands; ++c) {
        switch (pick(3)) {
            case 0: d << " L" << coordinate() << " " << coordinate(); break;
            case 1:
                d << " C" << coordinate() << " " << coordinate() << " " << coordinate() << " " << coordinate() << " "
                  << coordinate() << " " << coordinate();
                break;
            default:
                d << " A" << int(uniform(10, 90)) << " " << int(uniform(10, 90)) << " " << pick(90) << " " << pick(2)
                  << " " << pick(2) << " " << coordinate() << " " << coordinate();
        }
    }
    if (pick(2)) d << " Z";
    std::ostringstream transform;
    switch (pick(5)) {
        case 1: transform << "rotate(" << pick(360) << " 100 100)"; break;
        case 2:
            transform << "translate(100 100) scale(" << uniform(0.4, 2) << " " << uniform(0.4, 2) << ") translate(-100 -100)";
            break;
        case 3: transform << (pick(2) ? "skewX(" : "skewY(") << int(uniform(-35, 35)) << ")"; break;
        case 4:
            transform << "translate(100 100) rotate(" << pick(360) << ") scale(" << uniform(0.5, 1.5) << " "
                      << uniform(0.5, 1.5) << ") skewX(" << int(uniform(-25, 25)) << ") translate(-100 -100)";
            break;
    }
    // Fill, stroke or both by the gradient; the other, when drawn, by a colour.
    const int painted = pick(3);
    auto paint = [&](bool byGradient, const char* color) { return byGradient ? std::string("url(#g)") : std::string(color); };
    static const char* caps[] = {"butt", "round", "square"};
    static const char* joins[] = {"miter", "round", "bevel"};
    std::ostringstream style;
    style << "\" stroke-width=\"" << int(uniform(1, 30)) << "\" stroke-linecap=\"" << caps[pick(3)]
          << "\" stroke-linejoin=\"" << joins[pick(3)] << "\" stroke-miterlimit=\"" << int(uniform(1, 10)) << "\"";
    if (pick(4) == 0) style << " stroke-dasharray=\"" << int(uniform(1, 30)) << " " << int(uniform(1, 20)) << "\"";
    if (!transform.str().empty()) style << " transform=\"" << transform.str() << "\"";
    const bool fills = painted != 1, strokes = painted != 0 || pick(2);
    auto drawing = [&](bool byGradient) {
        std::ostringstream svg;
        svg << "<svg xmlns=\"http://www.w3.org/2000/svg\" viewBox=\"0 0 200 200\" width=\"200\" height=\"200\">\n"
            << gradient.str() << "\n<path d=\"" << d.str() << "\" fill=\""
            << (fills ? paint(byGradient && painted != 1, "#0a0") : "none") << "\" stroke=\""
            << (strokes ? paint(byGradient && painted != 0, "#00f") : "none") << style.str() << "/>\n</svg>\n";
        return svg.str();
    };
    twin = drawing(false);
    return drawing(true);
}

// Dashes whose boundaries fall on corners and turn-backs: paths of whole coordinates along the axes (rects,
// and polylines that may turn right back), their sides multiples of the dash period, every cap and join,
// some turned or stretched.
std::string randomCornerDrawing(std::mt19937& random) {
    auto pick = [&](int n) { return int(std::uniform_int_distribution<int>(0, n - 1)(random)); };
    const int unit = 5 * (1 + pick(4));
    auto along = [&] { return unit * (1 + pick(std::max(1, 140 / unit))); };
    std::ostringstream d;
    int x = 30 + unit * pick(4), y = 30 + unit * pick(4);
    d << "M" << x << " " << y;
    const int turns = 1 + pick(5);
    for (int k = 0; k < turns; ++k) {
        const int length = along() * (pick(2) ? 1 : -1);
        if (k % 2 == 0) x = std::clamp(x + length, 10, 190);
        else y = std::clamp(y + length, 10, 190);
        d << " L" << x << " " << y;
    }
    if (pick(2)) d << " Z";
    static const char* caps[] = {"butt", "round", "square"};
    static const char* joins[] = {"miter", "round", "bevel"};
    static const char* transforms[] = {"", "", "scale(1.5 0.75)", "rotate(90 100 100)", "rotate(30 100 100)"};
    std::ostringstream svg;
    svg << "<svg xmlns=\"http://www.w3.org/2000/svg\" viewBox=\"0 0 200 200\" width=\"200\" height=\"200\">\n"
        << "<path d=\"" << d.str() << "\" fill=\"none\" stroke=\"#000\" stroke-width=\"" << 2 + pick(20)
        << "\" stroke-dasharray=\"" << (pick(3) ? std::to_string(unit) : std::to_string(unit) + " " + std::to_string(unit / 5) + " " +
                                                                        std::to_string(unit * 4 / 5) + " 0")
        << "\" stroke-dashoffset=\"" << unit * pick(3) << "\" stroke-linecap=\"" << caps[pick(3)]
        << "\" stroke-linejoin=\"" << joins[pick(3)] << "\" transform=\"" << transforms[pick(5)] << "\"/>\n</svg>\n";
    return svg.str();
}

}  // namespace

int main(int argc, char** argv) {
    int count = 400;
    unsigned seed = 1;
    std::string write;
    bool verbose = false, gradients = false, corners = false;
    std::vector<std::string> files;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "--count" && i + 1 < argc) count = std::atoi(argv[++i]);
        else if (arg == "--seed" && i + 1 < argc) seed = unsigned(std::atoi(argv[++i]));
        else if (arg == "--write" && i + 1 < argc) write = argv[++i];
        else if (arg == "--verbose") verbose = true;
        else if (arg == "--cairo") cairoOnly = true;
        else if (arg == "--against-cairo") againstCairo = true;
        else if (arg == "--gradients") gradients = true;
        else if (arg == "--corners") corners = true;
        else files.push_back(arg);
    }
    if (!files.empty()) {
        for (const auto& file : files) {
            std::ifstream in(file);
            std::string svg((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
            std::printf("%s: %d pixels apart\n", file.c_str(), pixelsApart(svg, file + ".png"));
        }
        return 0;
    }
    std::mt19937 random(seed);
    int differing = 0;
    if (gradients) {
        int twinsDiffering = 0;
        for (int i = 0; i < count; ++i) {
            std::string twin, svg = randomGradientDrawing(random, twin);
            int apart = pixelsApart(svg), twinApart = pixelsApart(twin);
            differing += apart > 20, twinsDiffering += twinApart > 20;
            if (!write.empty()) {
                std::ofstream(write + "/gradient-" + std::to_string(i) + ".svg") << svg;
                std::ofstream(write + "/twin-" + std::to_string(i) + ".svg") << twin;
            }
            if (verbose && (apart > 20 || twinApart > 20))
                std::printf("drawing %d: %d pixels apart, its twin %d\n", i, apart, twinApart);
        }
        std::printf("%d of %d gradient drawings differ in more than 20 pixels by more than half the range, "
                    "%d of their twins\n", differing, count, twinsDiffering);
        return 0;
    }
    for (int i = 0; i < count; ++i) {
        std::string svg = corners ? randomCornerDrawing(random) : randomDrawing(random);
        int apart = pixelsApart(svg);
        if (apart > 20) ++differing;
        if (!write.empty()) std::ofstream(write + "/drawing-" + std::to_string(i) + ".svg") << svg;
        if (verbose && apart > 20) std::printf("drawing %d: %d pixels apart\n", i, apart);
    }
    std::printf("%d of %d drawings differ in more than 20 pixels by more than half the range\n", differing, count);
}
