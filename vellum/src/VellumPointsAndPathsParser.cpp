#include "vellum/VellumPointsAndPathsParser.h"

#include <array>
#include <cmath>
#include <limits>
#include <numbers>

#include "VellumLog.h"

namespace vellum {

namespace {

using foundation::Scanner;
using gfx::Point;

// Sums of coordinates near the largest doubles overflow: they stop at the largest finite value, so a
// path never holds an infinite point (relative commands and smooth-curve reflections reached infinity).
double bounded(double value) {
    constexpr double largest = std::numeric_limits<double>::max();
    return std::isinf(value) ? (value > 0 ? largest : -largest) : value;
}

Point operator+(Point left, Point right) { return {bounded(left.x + right.x), bounded(left.y + right.y)}; }

// The argument groups of one command: `group` reads one from `origin` after `previous` and answers its
// curve, or nothing when a number is malformed. A failed group is put back into the scanner.
template <class Group>
SVGCurve readGroups(Scanner& scanner, Point relativeTo, bool isRelative, SVGCurve previous, Group group) {
    Point origin = relativeTo;
    for (bool first = true; first || !scanner.isAtEnd(); first = false) {
        const std::size_t start = scanner.currentIndex();
        const std::optional<SVGCurve> curve = group(origin, previous, first);
        if (!curve) {
            scanner.setCurrentIndex(start);
            vellumLogWarning("invalid coord");
            return previous;
        }
        previous = *curve;
        if (isRelative) origin = previous.p;
    }
    return previous;
}

bool readCommand(Scanner& scanner, std::string_view letters, std::string_view failure, bool skipWhitespace = true) {
    if (!scanner.scanCharacters(foundation::CharacterSet(letters))) {
        vellumLogWarning("%@", failure);
        return false;
    }
    if (skipWhitespace) VellumPointsAndPathsParser::readWhitespace(scanner);
    return true;
}

Point currentPoint(const gfx::Path& path, Point fallback) { return path.currentPoint().value_or(fallback); }

Point reflected(Point control, Point about) {
    return {bounded(bounded(2 * about.x) - control.x), bounded(bounded(2 * about.y) - control.y)};
}

// One flag of an arc: a single "0" or "1".
std::optional<bool> readFlag(Scanner& scanner) {
    VellumPointsAndPathsParser::readCommaAndWhitespace(scanner);
    const std::string& text = scanner.string();
    const std::size_t index = scanner.currentIndex();
    if (index >= text.size() || (text[index] != '0' && text[index] != '1')) return std::nullopt;
    scanner.setCurrentIndex(index + 1);
    return text[index] == '1';
}

void addArc(gfx::Path& path, Point start, Point end, double rx, double ry, double phi, bool largeArc, bool sweep) {
    rx = std::abs(rx);
    ry = std::abs(ry);
    const double cosPhi = std::cos(phi), sinPhi = std::sin(phi);
    const double halfX = (start.x - end.x) / 2, halfY = (start.y - end.y) / 2;
    const double x1 = cosPhi * halfX + sinPhi * halfY;
    const double y1 = -sinPhi * halfX + cosPhi * halfY;
    const double lambda = x1 * x1 / (rx * rx) + y1 * y1 / (ry * ry);
    if (lambda > 1) {
        rx *= std::sqrt(lambda);
        ry *= std::sqrt(lambda);
    }
    const double denominator = rx * rx * y1 * y1 + ry * ry * x1 * x1;
    double factor = denominator == 0
                        ? 0
                        : std::sqrt(std::max(0.0, rx * rx * ry * ry - rx * rx * y1 * y1 - ry * ry * x1 * x1) / denominator);
    if (largeArc == sweep) factor = -factor;
    const double cxPrime = factor * rx * y1 / ry;
    const double cyPrime = -factor * ry * x1 / rx;
    const Point centre{cosPhi * cxPrime - sinPhi * cyPrime + (start.x + end.x) / 2,
                       sinPhi * cxPrime + cosPhi * cyPrime + (start.y + end.y) / 2};

    const auto unit = [&](Point point) {
        const double dx = point.x - centre.x, dy = point.y - centre.y;
        return Point{(cosPhi * dx + sinPhi * dy) / rx, (-sinPhi * dx + cosPhi * dy) / ry};
    };
    const Point unitStart = unit(start), unitEnd = unit(end);
    const double startAngle = std::atan2(unitStart.y, unitStart.x);
    double sweepAngle = std::atan2(unitEnd.y, unitEnd.x) - startAngle;
    if (sweep && sweepAngle < 0) sweepAngle += 2 * std::numbers::pi;
    if (!sweep && sweepAngle > 0) sweepAngle -= 2 * std::numbers::pi;
    // Ends and radii near the largest doubles overflow the arithmetic above: such an arc is drawn as
    // the straight line to its end rather than handing not-a-number angles to the path.
    if (!std::isfinite(startAngle) || !std::isfinite(sweepAngle) || !std::isfinite(rx) || !std::isfinite(ry) ||
        !std::isfinite(centre.x) || !std::isfinite(centre.y)) {
        path.lineTo(end);
        return;
    }

    gfx::Path unitArc;
    unitArc.addRelativeArc({0, 0}, 1, startAngle, sweepAngle);
    const gfx::AffineTransform transform{rx * cosPhi, rx * sinPhi, -ry * sinPhi, ry * cosPhi, centre.x, centre.y};
    // The arc continues the current subpath: its own opening move is left out.
    const gfx::Path placed = unitArc.transformed(transform);
    for (const gfx::PathElement& element : placed.elements()) {
        switch (element.kind) {
            case gfx::PathElement::Kind::lineTo: path.lineTo(element.points[0]); break;
            case gfx::PathElement::Kind::quadCurveTo: path.quadCurveTo(element.points[0], element.points[1]); break;
            case gfx::PathElement::Kind::curveTo:
                path.curveTo(element.points[0], element.points[1], element.points[2]);
                break;
            default: break;
        }
    }
}

}  // namespace

void VellumPointsAndPathsParser::readWhitespace(Scanner& scanner) {
    const std::string& text = scanner.string();
    std::size_t index = scanner.currentIndex();
    while (index < text.size() && (text[index] == ' ' || text[index] == '\t' || text[index] == '\r' || text[index] == '\n')) {
        ++index;
    }
    scanner.setCurrentIndex(index);
}

void VellumPointsAndPathsParser::readCommaAndWhitespace(Scanner& scanner) {
    readWhitespace(scanner);
    const std::string& text = scanner.string();
    if (scanner.currentIndex() < text.size() && text[scanner.currentIndex()] == ',') {
        scanner.setCurrentIndex(scanner.currentIndex() + 1);
    }
    readWhitespace(scanner);
}

std::optional<double> VellumPointsAndPathsParser::readCoordinate(Scanner& scanner) {
    const std::size_t start = scanner.currentIndex();
    std::optional<double> value = scanner.scanDouble();
    if (value && !std::isfinite(*value)) {
        scanner.setCurrentIndex(start);
        return std::nullopt;
    }
    return value;
}

std::optional<gfx::Point> VellumPointsAndPathsParser::readCoordinatePair(Scanner& scanner) {
    auto x = readCoordinate(scanner);
    if (!x) return std::nullopt;
    readCommaAndWhitespace(scanner);
    auto y = readCoordinate(scanner);
    if (!y) return std::nullopt;
    return Point{*x, *y};
}

SVGCurve VellumPointsAndPathsParser::readMovetoDrawtoCommandGroups(Scanner& scanner, gfx::Path& path, Point relativeTo,
                                                                   bool isRelative) {
    SVGCurve curve = readMovetoDrawto(scanner, path, relativeTo, isRelative);
    readWhitespace(scanner);
    while (!scanner.isAtEnd()) {
        const std::size_t before = scanner.currentIndex();
        curve = readMovetoDrawto(scanner, path, isRelative ? curve.p : relativeTo, isRelative);
        readWhitespace(scanner);
        if (scanner.currentIndex() == before) break;  // nothing read: stop rather than loop
    }
    return curve;
}

SVGCurve VellumPointsAndPathsParser::readMovetoDrawto(Scanner& scanner, gfx::Path& path, Point relativeTo, bool isRelative) {
    SVGCurve curve = readMoveto(scanner, path, relativeTo, isRelative);
    readWhitespace(scanner);
    return curve;
}

SVGCurve VellumPointsAndPathsParser::readMoveto(Scanner& scanner, gfx::Path& path, Point relativeTo, bool isRelative) {
    if (!readCommand(scanner, "Mm", "failed to scan move to command")) return SVGCurve::at(relativeTo);
    return readGroups(scanner, relativeTo, isRelative, SVGCurve::at(relativeTo),
                      [&](Point origin, SVGCurve, bool first) -> std::optional<SVGCurve> {
                          auto pair = readCoordinatePair(scanner);
                          if (!pair) return std::nullopt;
                          readCommaAndWhitespace(scanner);
                          const Point point = origin + *pair;
                          if (first) {
                              path.moveTo(point);
                          } else {
                              path.lineTo(point);
                          }
                          return SVGCurve::at(point);
                      });
}

SVGCurve VellumPointsAndPathsParser::readLinetoCommand(Scanner& scanner, gfx::Path& path, Point relativeTo, bool isRelative) {
    if (!readCommand(scanner, "Ll", "failed to scan line to command")) return SVGCurve::at(relativeTo);
    return readGroups(scanner, relativeTo, isRelative, SVGCurve::at(relativeTo),
                      [&](Point origin, SVGCurve, bool) -> std::optional<SVGCurve> {
                          auto pair = readCoordinatePair(scanner);
                          if (!pair) return std::nullopt;
                          readCommaAndWhitespace(scanner);
                          path.lineTo(origin + *pair);
                          return SVGCurve::at(origin + *pair);
                      });
}

// Numbers of "H" and "V" may be separated by a comma too, as the SVG grammar allows.
SVGCurve VellumPointsAndPathsParser::readHorizontalLinetoCommand(Scanner& scanner, gfx::Path& path, Point relativeTo,
                                                                 bool isRelative) {
    if (!readCommand(scanner, "Hh", "failed to scan horizontal line to command")) return SVGCurve::at(relativeTo);
    return readGroups(scanner, relativeTo, isRelative, SVGCurve::at(relativeTo),
                      [&](Point origin, SVGCurve, bool) -> std::optional<SVGCurve> {
                          auto x = readCoordinate(scanner);
                          if (!x) return std::nullopt;
                          readCommaAndWhitespace(scanner);
                          const Point point{bounded(origin.x + *x), currentPoint(path, origin).y};
                          path.lineTo(point);
                          return SVGCurve::at(point);
                      });
}

SVGCurve VellumPointsAndPathsParser::readVerticalLinetoCommand(Scanner& scanner, gfx::Path& path, Point relativeTo,
                                                               bool isRelative) {
    if (!readCommand(scanner, "Vv", "failed to scan vertical line to command")) return SVGCurve::at(relativeTo);
    return readGroups(scanner, relativeTo, isRelative, SVGCurve::at(relativeTo),
                      [&](Point origin, SVGCurve, bool) -> std::optional<SVGCurve> {
                          auto y = readCoordinate(scanner);
                          if (!y) return std::nullopt;
                          readCommaAndWhitespace(scanner);
                          const Point point{currentPoint(path, origin).x, bounded(origin.y + *y)};
                          path.lineTo(point);
                          return SVGCurve::at(point);
                      });
}

SVGCurve VellumPointsAndPathsParser::readCurvetoCommand(Scanner& scanner, gfx::Path& path, Point relativeTo, bool isRelative) {
    if (!readCommand(scanner, "Cc", "failed to scan curve to command")) return SVGCurve::at(relativeTo);
    return readGroups(scanner, relativeTo, isRelative, SVGCurve::at(relativeTo),
                      [&](Point origin, SVGCurve, bool) -> std::optional<SVGCurve> {
                          std::array<Point, 3> points;
                          for (Point& point : points) {
                              auto pair = readCoordinatePair(scanner);
                              if (!pair) return std::nullopt;
                              readCommaAndWhitespace(scanner);
                              point = origin + *pair;
                          }
                          path.curveTo(points[0], points[1], points[2]);
                          return SVGCurve{SVGCurve::Type::cubic, points[0], points[1], points[2]};
                      });
}

SVGCurve VellumPointsAndPathsParser::readSmoothCurvetoCommand(Scanner& scanner, gfx::Path& path, Point relativeTo,
                                                              SVGCurve previous, bool isRelative) {
    if (!readCommand(scanner, "Ss", "failed to scan smooth curve to command")) return previous;
    return readGroups(scanner, relativeTo, isRelative, previous,
                      [&](Point origin, SVGCurve last, bool) -> std::optional<SVGCurve> {
                          const Point control1 = last.type == SVGCurve::Type::cubic ? reflected(last.c2, last.p) : last.p;
                          readCommaAndWhitespace(scanner);
                          auto control2 = readCoordinatePair(scanner);
                          if (!control2) return std::nullopt;
                          readCommaAndWhitespace(scanner);
                          auto end = readCoordinatePair(scanner);
                          if (!end) return std::nullopt;
                          readCommaAndWhitespace(scanner);
                          path.curveTo(control1, origin + *control2, origin + *end);
                          return SVGCurve{SVGCurve::Type::cubic, control1, origin + *control2, origin + *end};
                      });
}

SVGCurve VellumPointsAndPathsParser::readQuadraticCurvetoCommand(Scanner& scanner, gfx::Path& path, Point relativeTo,
                                                                 bool isRelative) {
    if (!readCommand(scanner, "Qq", "failed to scan quadratic curve to command")) return SVGCurve::at(relativeTo);
    return readGroups(scanner, relativeTo, isRelative, SVGCurve::at(relativeTo),
                      [&](Point origin, SVGCurve, bool) -> std::optional<SVGCurve> {
                          auto control = readCoordinatePair(scanner);
                          if (!control) return std::nullopt;
                          readCommaAndWhitespace(scanner);
                          auto end = readCoordinatePair(scanner);
                          if (!end) return std::nullopt;
                          readCommaAndWhitespace(scanner);
                          path.quadCurveTo(origin + *control, origin + *end);
                          return SVGCurve{SVGCurve::Type::quadratic, origin + *control, origin + *control, origin + *end};
                      });
}

SVGCurve VellumPointsAndPathsParser::readSmoothQuadraticCurvetoCommand(Scanner& scanner, gfx::Path& path,
                                                                       Point relativeTo, SVGCurve previous,
                                                                       bool isRelative) {
    if (!readCommand(scanner, "Tt", "failed to scan smooth quadratic curve to command")) return previous;
    return readGroups(scanner, relativeTo, isRelative, previous,
                      [&](Point origin, SVGCurve last, bool) -> std::optional<SVGCurve> {
                          const Point control = last.type == SVGCurve::Type::quadratic ? reflected(last.c2, last.p) : last.p;
                          auto end = readCoordinatePair(scanner);
                          if (!end) return std::nullopt;
                          readCommaAndWhitespace(scanner);
                          path.quadCurveTo(control, origin + *end);
                          return SVGCurve{SVGCurve::Type::quadratic, control, control, origin + *end};
                      });
}

SVGCurve VellumPointsAndPathsParser::readEllipticalArcArguments(Scanner& scanner, gfx::Path& path, Point relativeTo,
                                                                bool isRelative) {
    if (!readCommand(scanner, "Aa", "failed to scan arc to command", false)) return SVGCurve::at(relativeTo);
    return readGroups(scanner, relativeTo, isRelative, SVGCurve::at(relativeTo),
                      [&](Point origin, SVGCurve, bool) -> std::optional<SVGCurve> {
                          auto end = readEllipticalArcArgumentsSequence(scanner, path, origin);
                          if (!end) return std::nullopt;
                          readWhitespace(scanner);
                          return SVGCurve::at(*end);
                      });
}

std::optional<gfx::Point> VellumPointsAndPathsParser::readEllipticalArcArgumentsSequence(Scanner& scanner, gfx::Path& path,
                                                                                         Point relativeTo) {
    readCommaAndWhitespace(scanner);
    auto radii = readCoordinatePair(scanner);
    if (!radii) return std::nullopt;
    readCommaAndWhitespace(scanner);
    auto rotation = readCoordinate(scanner);
    if (!rotation) return std::nullopt;
    auto largeArc = readFlag(scanner);
    if (!largeArc) return std::nullopt;
    auto sweep = readFlag(scanner);
    if (!sweep) return std::nullopt;
    readCommaAndWhitespace(scanner);
    auto endPair = readCoordinatePair(scanner);
    if (!endPair) return std::nullopt;

    const Point start = currentPoint(path, relativeTo);
    const Point end = relativeTo + *endPair;
    if (start == end) return end;  // a zero-length arc draws nothing
    if (radii->x == 0 || radii->y == 0) {
        path.lineTo(end);
        return end;
    }
    const double phi = std::fmod(*rotation * std::numbers::pi / 180, 2 * std::numbers::pi);
    addArc(path, start, end, radii->x, radii->y, phi, *largeArc, *sweep);
    return end;
}

SVGCurve VellumPointsAndPathsParser::readCloseCommand(Scanner& scanner, gfx::Path& path, Point relativeTo) {
    if (!readCommand(scanner, "Zz", "failed to scan close command", false)) return SVGCurve::at(relativeTo);
    path.closeSubpath();
    return SVGCurve::at(currentPoint(path, relativeTo));
}

}  // namespace vellum
