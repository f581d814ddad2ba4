// SVG path data, one command per input as the path element hands them over: the first byte picks the
// command, the rest is its text. Then the whole input as a path element's data, read once as it is and
// once with a form feed after it: usual data is read in one pass and data with a form feed by the
// command readers, and a trailing blank changes no path. Every point added must be finite.
#include <cctype>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>

#include "vellum/SVGBasicShapes.h"
#include "vellum/VellumPointsAndPathsParser.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    using Parser = vellum::VellumPointsAndPathsParser;
    const std::string data(reinterpret_cast<const char*>(bytes), size);
    gfx::Path path;
    path.moveTo({1, 2});
    foundation::Scanner scanner(data);
    const vellum::SVGCurve previous{vellum::SVGCurve::Type::cubic, {0, 1}, {2, 3}, {1, 2}};
    const gfx::Point origin{1, 2};
    const bool relative = !data.empty() && std::islower(static_cast<unsigned char>(data[0]));
    switch (data.empty() ? 'M' : std::toupper(static_cast<unsigned char>(data[0]))) {
        case 'M': Parser::readMovetoDrawtoCommandGroups(scanner, path, origin, relative); break;
        case 'L': Parser::readLinetoCommand(scanner, path, origin, relative); break;
        case 'H': Parser::readHorizontalLinetoCommand(scanner, path, origin, relative); break;
        case 'V': Parser::readVerticalLinetoCommand(scanner, path, origin, relative); break;
        case 'C': Parser::readCurvetoCommand(scanner, path, origin, relative); break;
        case 'S': Parser::readSmoothCurvetoCommand(scanner, path, origin, previous, relative); break;
        case 'Q': Parser::readQuadraticCurvetoCommand(scanner, path, origin, relative); break;
        case 'T': Parser::readSmoothQuadraticCurvetoCommand(scanner, path, origin, previous, relative); break;
        case 'A': Parser::readEllipticalArcArguments(scanner, path, origin, relative); break;
        default: Parser::readCloseCommand(scanner, path, origin); break;
    }
    const auto checkFinite = [](const gfx::Path& checked) {
        for (const gfx::PathElement& element : checked.elements()) {
            for (int index = 0; index < element.pointCount(); ++index) {
                const gfx::Point point = element.points[index];
                if (!std::isfinite(point.x) || !std::isfinite(point.y)) __builtin_trap();
            }
        }
    };
    checkFinite(path);
    vellum::SVGPathElement element("path"), blankAfter("path");
    element.parseData(data);
    blankAfter.parseData(data + "\f");
    checkFinite(*element.pathForShapeInRelativeCoords());
    if (*element.pathForShapeInRelativeCoords() != *blankAfter.pathForShapeInRelativeCoords()) __builtin_trap();
    return 0;
}
