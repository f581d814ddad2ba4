#pragma once

#include <cstdint>
#include <optional>

#include "foundation/Scanner.h"
#include "gfx/Path.h"

namespace vellum {

// The last segment a path command added, for the smooth curves that follow it.
struct SVGCurve {
    enum class Type : std::uint64_t { none = 0, cubic = 1, quadratic = 2 };

    Type type = Type::none;
    gfx::Point c1;
    gfx::Point c2;  // a quadratic curve's control, again
    gfx::Point p;   // the end point

    // A segment without control points (move, line, arc, close) ending at `point`.
    static SVGCurve at(gfx::Point point) { return {Type::none, point, point, point}; }
    bool operator==(const SVGCurve&) const = default;
};

// Reads SVG path data, one command at a time, from a scanner positioned at the command's letter,
// appending to a path. `relativeTo` is the origin added to every pair (the current point for a
// lower-case letter, zero for a capital); with `isRelative` each later argument group of the command
// starts from the previous group's end. Every command reads all the argument groups that follow it.
//
// A malformed number ends the command: what was added so far stays, the text from the failed group on
// is left in the scanner (so a caller sees it is not at its end), and the failure is logged.
class VellumPointsAndPathsParser {
public:
    static SVGCurve startingCurve() { return SVGCurve::at({0, 0}); }

    // Blank, tab, carriage return and line feed.
    static void readWhitespace(foundation::Scanner& scanner);
    // White space, at most one ",", white space.
    static void readCommaAndWhitespace(foundation::Scanner& scanner);
    static std::optional<double> readCoordinate(foundation::Scanner& scanner);
    static std::optional<gfx::Point> readCoordinatePair(foundation::Scanner& scanner);

    // "M" with its implicit line-tos, then white space, repeated while text is left.
    static SVGCurve readMovetoDrawtoCommandGroups(foundation::Scanner& scanner, gfx::Path& path,
                                                  gfx::Point relativeTo, bool isRelative);
    static SVGCurve readMovetoDrawto(foundation::Scanner& scanner, gfx::Path& path, gfx::Point relativeTo,
                                     bool isRelative);
    static SVGCurve readMoveto(foundation::Scanner& scanner, gfx::Path& path, gfx::Point relativeTo, bool isRelative);
    static SVGCurve readLinetoCommand(foundation::Scanner& scanner, gfx::Path& path, gfx::Point relativeTo,
                                      bool isRelative);
    static SVGCurve readHorizontalLinetoCommand(foundation::Scanner& scanner, gfx::Path& path, gfx::Point relativeTo,
                                                bool isRelative);
    static SVGCurve readVerticalLinetoCommand(foundation::Scanner& scanner, gfx::Path& path, gfx::Point relativeTo,
                                              bool isRelative);
    static SVGCurve readCurvetoCommand(foundation::Scanner& scanner, gfx::Path& path, gfx::Point relativeTo,
                                       bool isRelative);
    static SVGCurve readSmoothCurvetoCommand(foundation::Scanner& scanner, gfx::Path& path, gfx::Point relativeTo,
                                             SVGCurve previous, bool isRelative);
    static SVGCurve readQuadraticCurvetoCommand(foundation::Scanner& scanner, gfx::Path& path, gfx::Point relativeTo,
                                                bool isRelative);
    static SVGCurve readSmoothQuadraticCurvetoCommand(foundation::Scanner& scanner, gfx::Path& path,
                                                      gfx::Point relativeTo, SVGCurve previous, bool isRelative);
    static SVGCurve readEllipticalArcArguments(foundation::Scanner& scanner, gfx::Path& path, gfx::Point relativeTo,
                                               bool isRelative);
    static SVGCurve readCloseCommand(foundation::Scanner& scanner, gfx::Path& path, gfx::Point relativeTo);

    // One arc group from the current point: radii, rotation in degrees, the two flags (one digit each,
    // so "0 1", "0,1" and "01" read alike) and the end. Radii of 0 draw a line; an end equal to the
    // start draws nothing. Answers the end point, or nothing for malformed arguments.
    static std::optional<gfx::Point> readEllipticalArcArgumentsSequence(foundation::Scanner& scanner, gfx::Path& path,
                                                                        gfx::Point relativeTo);
};

}  // namespace vellum
