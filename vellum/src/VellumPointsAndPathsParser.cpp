#include "vellum/VellumPointsAndPathsParser.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <clocale>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <numbers>
#include <string>
#include <string_view>

#include "PathData.h"
#include "VellumLog.h"
#include "foundation/Utf8.h"

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

constexpr auto commandLetters = [] {
    std::array<bool, 256> letters{};
    for (const char letter : std::string_view("MmLlCcVvHhAaSsQqTtZz")) letters[static_cast<unsigned char>(letter)] = true;
    return letters;
}();

bool isCommandLetter(char character) { return commandLetters[static_cast<unsigned char>(character)]; }

// A read position in path text. The text is the caller's (a scanner's or a path's bytes), never copied.
// A command reading a path's data runs over the rest of it: its own arguments end at the next command
// letter (no argument holds one), which spares a pass over the bytes to find that end first.
struct PathText {
    std::string_view text;
    std::size_t index = 0;
    bool endsAtCommandLetter = false;

    // The scanner's own blanks: Unicode white space and line breaks.
    std::size_t afterBlanks(std::size_t at) const {
        while (at < text.size()) {
            const auto byte = static_cast<unsigned char>(text[at]);
            if (byte < 0x80) {
                if (byte != ' ' && (byte < '\t' || byte > '\r')) break;
                ++at;
                continue;
            }
            std::size_t next = at;
            if (!foundation::CharacterSet::whitespacesAndNewlines().contains(foundation::utf8::decode(text, next))) break;
            at = next;
        }
        return at;
    }
    bool atEnd() const {
        const std::size_t at = afterBlanks(index);
        return at >= text.size() || (endsAtCommandLetter && isCommandLetter(text[at]));
    }
    char at(std::size_t offset) const { return offset < text.size() ? text[offset] : '\0'; }
};

// The Scanner forms run over the scanner's text and leave it where the reading stopped.
template <class Read>
auto onScanner(Scanner& scanner, Read read) {
    PathText text{scanner.string(), scanner.currentIndex()};
    auto result = read(text);
    scanner.setCurrentIndex(text.index);
    return result;
}

// The numbers the short form cannot take exactly, kept out of line so that the short form is inlined
// where coordinates are read.
[[gnu::noinline]] double longNumber(const char* first, const char* end) {
    double value = 0;
    if (std::from_chars(first, end, value).ec == std::errc::result_out_of_range) {
        // Past the doubles' range: an overflow is infinite (which a coordinate refuses), an underflow 0.
        static const locale_t cLocale = newlocale(LC_ALL_MASK, "C", locale_t{});
        value = strtod_l(std::string(first, end).c_str(), nullptr, cLocale);
    }
    return value;
}

// Optional sign, digits with an optional fraction (at least one digit), then an exponent only when
// digits follow its mark ("2em" is 2, then "em"), read straight from the bytes. A short number (at
// most 2^53 as an integer of its digits, and a power of ten within 10^22) is one exact division or
// product, so correctly rounded; the rest go to from_chars.
// Answers through `value` (false for no number): an optional double returned from here made every
// caller wait on a store of its flag.
[[gnu::always_inline]] inline bool scanNumber(PathText& text, double& value) {
    static constexpr std::array<double, 23> powersOfTen = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                                           1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                                           1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
    constexpr std::uint64_t exactLimit = std::uint64_t{1} << 53;
    const char* const begin = text.text.data();
    const char* const end = begin + text.text.size();
    const char* const start = begin + text.afterBlanks(text.index);
    const char* at = start;
    const auto digitAt = [&](const char* where) {
        return where < end && static_cast<unsigned>(*where - '0') < 10 ? static_cast<unsigned>(*where - '0') : 10u;
    };
    const bool negative = at < end && *at == '-';
    if (at < end && (*at == '-' || *at == '+')) ++at;
    std::uint64_t mantissa = 0;
    bool exact = true;
    std::int64_t scale = 0;  // the power of ten the digits are to be multiplied by
    const char* const digitsStart = at;
    const auto takeDigits = [&](std::int64_t scaleStep) {
        for (unsigned digit; (digit = digitAt(at)) < 10; ++at) {
            if (mantissa > (exactLimit - 9) / 10) exact = false;
            else mantissa = mantissa * 10 + digit;
            scale += scaleStep;
        }
    };
    takeDigits(0);
    std::size_t digits = static_cast<std::size_t>(at - digitsStart);
    if (at < end && *at == '.') {
        const char* const fractionStart = ++at;
        takeDigits(-1);
        digits += static_cast<std::size_t>(at - fractionStart);
    }
    if (digits == 0) return false;
    if (at < end && (*at == 'e' || *at == 'E')) {
        const char* exponent = at + 1;
        const bool negativeExponent = exponent < end && *exponent == '-';
        if (exponent < end && (*exponent == '-' || *exponent == '+')) ++exponent;
        if (digitAt(exponent) < 10) {
            std::int64_t power = 0;
            for (unsigned digit; (digit = digitAt(exponent)) < 10; ++exponent) {
                power = std::min<std::int64_t>(power * 10 + digit, 100'000);
            }
            scale += negativeExponent ? -power : power;
            at = exponent;
        }
    }
    if (exact && scale >= -22 && scale <= 22) [[likely]] {
        value = static_cast<double>(mantissa);
        value = scale < 0 ? value / powersOfTen[static_cast<std::size_t>(-scale)]
                          : value * powersOfTen[static_cast<std::size_t>(scale)];
        if (negative) value = -value;
    } else {
        value = longNumber(start + (*start == '+' ? 1 : 0), at);
    }
    text.index = static_cast<std::size_t>(at - begin);
    return true;
}

void skipWhitespace(PathText& text) {
    while (text.at(text.index) == ' ' || text.at(text.index) == '\t' || text.at(text.index) == '\r' ||
           text.at(text.index) == '\n') {
        ++text.index;
    }
}

void skipCommaAndWhitespace(PathText& text) {
    skipWhitespace(text);
    if (text.at(text.index) == ',') ++text.index;
    skipWhitespace(text);
}

bool readCoordinate(PathText& text, double& value) {
    const std::size_t start = text.index;
    if (!scanNumber(text, value)) return false;
    if (!std::isfinite(value)) {
        text.index = start;
        return false;
    }
    return true;
}

std::optional<double> coordinate(PathText& text) {
    double value = 0;
    if (!readCoordinate(text, value)) return std::nullopt;
    return value;
}

bool readPair(PathText& text, Point& point) {
    if (!readCoordinate(text, point.x)) return false;
    skipCommaAndWhitespace(text);
    return readCoordinate(text, point.y);
}

std::optional<Point> coordinatePair(PathText& text) {
    Point point;
    if (!readPair(text, point)) return std::nullopt;
    return point;
}

// A command's point: a pair and the separator after it, taken from `origin`.
bool readPoint(PathText& text, Point origin, Point& point) {
    Point pair;
    if (!readPair(text, pair)) return false;
    skipCommaAndWhitespace(text);
    point = origin + pair;
    return true;
}

// The argument groups of one command: `group` reads one from `origin` after `previous` and answers its
// curve, or nothing when a number is malformed. A failed group is put back into the text.
template <class Group>
SVGCurve readGroups(PathText& text, Point relativeTo, bool isRelative, SVGCurve previous, Group group) {
    Point origin = relativeTo;
    for (bool first = true; first || !text.atEnd(); first = false) {
        const std::size_t start = text.index;
        const std::optional<SVGCurve> curve = group(origin, previous, first);
        if (!curve) {
            text.index = start;
            vellumLogWarning("invalid coord");
            return previous;
        }
        previous = *curve;
        if (isRelative) origin = previous.p;
    }
    return previous;
}

// A run of the command's letters (upper and lower case), after blanks.
bool readCommand(PathText& text, std::string_view letters, std::string_view failure, bool skipWhitespaceAfter = true) {
    const std::size_t start = text.afterBlanks(text.index);
    std::size_t end = start;
    while (end < text.text.size() && (text.text[end] == letters[0] || text.text[end] == letters[1])) ++end;
    if (end == start) {
        vellumLogWarning("%@", failure);
        return false;
    }
    text.index = end;
    if (skipWhitespaceAfter) skipWhitespace(text);
    return true;
}

Point currentPoint(const gfx::Path& path, Point fallback) { return path.currentPoint().value_or(fallback); }

Point reflected(Point control, Point about) {
    return {bounded(bounded(2 * about.x) - control.x), bounded(bounded(2 * about.y) - control.y)};
}

// One flag of an arc: a single "0" or "1".
std::optional<bool> readFlag(PathText& text) {
    skipCommaAndWhitespace(text);
    const char flag = text.at(text.index);
    if (flag != '0' && flag != '1') return std::nullopt;
    ++text.index;
    return flag == '1';
}

void addArc(gfx::Path& path, Point start, Point end, double rx, double ry, double phi, bool largeArc, bool sweep) {
    rx = std::abs(rx);
    ry = std::abs(ry);
    // Most arcs are not turned: the cosine and sine of no turn are known (the sine keeps the sign of
    // zero), which spares a call at every such arc.
    const double cosPhi = phi == 0 ? 1.0 : std::cos(phi), sinPhi = phi == 0 ? phi : std::sin(phi);
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

    // The arc of the unit circle cut into quarter turns at most, each a cubic, as the graphics library's
    // relative arc makes it (the same steps in the same order, so the same points), placed as each curve is
    // added: no path of the unit arc is made and copied over. Its opening point is the current one.
    const gfx::AffineTransform transform{rx * cosPhi, rx * sinPhi, -ry * sinPhi, ry * cosPhi, centre.x, centre.y};
    if (sweepAngle == 0) return;
    constexpr double unitCentre = 0, unitRadius = 1;
    const int segments =
        std::max(1, static_cast<int>(std::ceil(std::abs(sweepAngle) / (std::numbers::pi / 2) - 1e-9)));
    const double step = sweepAngle / segments;
    const double handle = 4.0 / 3.0 * std::tan(step / 4) * unitRadius;
    double angle = startAngle;
    // Each curve starts where the one before ended: that angle's cosine and sine are kept, not worked out again.
    double cos0 = std::cos(angle), sin0 = std::sin(angle);
    for (int segment = 0; segment < segments; ++segment) {
        const double next = angle + step;
        const double cos1 = std::cos(next), sin1 = std::sin(next);
        path.curveTo(transform.apply(Point{unitCentre + unitRadius * cos0 - handle * sin0,
                                      unitCentre + unitRadius * sin0 + handle * cos0}),
                     transform.apply(Point{unitCentre + unitRadius * cos1 + handle * sin1,
                                      unitCentre + unitRadius * sin1 - handle * cos1}),
                     transform.apply(Point{unitCentre + unitRadius * cos1, unitCentre + unitRadius * sin1}));
        angle = next;
        cos0 = cos1;
        sin0 = sin1;
    }
}

// What each command's argument group draws once its numbers are read, for the command readers below and
// the one-pass reader of usual data.

SVGCurve moveOrLine(gfx::Path& path, Point point, bool move) {
    if (move) {
        path.moveTo(point);
    } else {
        path.lineTo(point);
    }
    return SVGCurve::at(point);
}

// "H" and "V": `vertical` picks the coordinate read; the other comes from the path.
SVGCurve axisLine(gfx::Path& path, Point origin, double value, bool vertical) {
    const Point current = currentPoint(path, origin);
    const Point point =
        vertical ? Point{current.x, bounded(origin.y + value)} : Point{bounded(origin.x + value), current.y};
    path.lineTo(point);
    return SVGCurve::at(point);
}

SVGCurve cubic(gfx::Path& path, Point control1, Point control2, Point end) {
    path.curveTo(control1, control2, end);
    return SVGCurve{SVGCurve::Type::cubic, control1, control2, end};
}

// The first control reflects the previous curve's second one only after a cubic.
SVGCurve smoothCubic(gfx::Path& path, const SVGCurve& last, Point control2, Point end) {
    return cubic(path, last.type == SVGCurve::Type::cubic ? reflected(last.c2, last.p) : last.p, control2, end);
}

SVGCurve quadratic(gfx::Path& path, Point control, Point end) {
    path.quadCurveTo(control, end);
    return SVGCurve{SVGCurve::Type::quadratic, control, control, end};
}

SVGCurve smoothQuadratic(gfx::Path& path, const SVGCurve& last, Point end) {
    return quadratic(path, last.type == SVGCurve::Type::quadratic ? reflected(last.c2, last.p) : last.p, end);
}

// An arc from the current point to `relativeTo` + `endPair`; answers its end.
Point arcTo(gfx::Path& path, Point relativeTo, Point radii, double rotation, bool largeArc, bool sweep, Point endPair) {
    const Point start = currentPoint(path, relativeTo);
    const Point end = relativeTo + endPair;
    if (start == end) return end;  // a zero-length arc draws nothing
    if (radii.x == 0 || radii.y == 0) {
        path.lineTo(end);
        return end;
    }
    // No turn (as most arcs have) is its own remainder.
    const double turn = rotation * std::numbers::pi / 180;
    const double phi = turn == 0 ? turn : std::fmod(turn, 2 * std::numbers::pi);
    addArc(path, start, end, radii.x, radii.y, phi, largeArc, sweep);
    return end;
}

// The commands over path text; the Scanner forms below and the path element's reader share them.

SVGCurve moveto(PathText& text, gfx::Path& path, Point relativeTo, bool isRelative) {
    if (!readCommand(text, "Mm", "failed to scan move to command")) return SVGCurve::at(relativeTo);
    return readGroups(text, relativeTo, isRelative, SVGCurve::at(relativeTo),
                      [&](Point origin, SVGCurve, bool first) -> std::optional<SVGCurve> {
                          Point point;
                          if (!readPoint(text, origin, point)) return std::nullopt;
                          return moveOrLine(path, point, first);
                      });
}

SVGCurve movetoDrawto(PathText& text, gfx::Path& path, Point relativeTo, bool isRelative) {
    SVGCurve curve = moveto(text, path, relativeTo, isRelative);
    skipWhitespace(text);
    return curve;
}

SVGCurve movetoDrawtoGroups(PathText& text, gfx::Path& path, Point relativeTo, bool isRelative) {
    SVGCurve curve = movetoDrawto(text, path, relativeTo, isRelative);
    skipWhitespace(text);
    while (!text.atEnd()) {
        const std::size_t before = text.index;
        curve = movetoDrawto(text, path, isRelative ? curve.p : relativeTo, isRelative);
        skipWhitespace(text);
        if (text.index == before) break;  // nothing read: stop rather than loop
    }
    return curve;
}

SVGCurve lineto(PathText& text, gfx::Path& path, Point relativeTo, bool isRelative) {
    if (!readCommand(text, "Ll", "failed to scan line to command")) return SVGCurve::at(relativeTo);
    return readGroups(text, relativeTo, isRelative, SVGCurve::at(relativeTo),
                      [&](Point origin, SVGCurve, bool) -> std::optional<SVGCurve> {
                          Point point;
                          if (!readPoint(text, origin, point)) return std::nullopt;
                          return moveOrLine(path, point, false);
                      });
}

// Numbers of "H" and "V" may be separated by a comma too, as the SVG grammar allows.
SVGCurve axisLineto(PathText& text, gfx::Path& path, Point relativeTo, bool isRelative, bool vertical) {
    if (!readCommand(text, vertical ? "Vv" : "Hh",
                     vertical ? "failed to scan vertical line to command" : "failed to scan horizontal line to command")) {
        return SVGCurve::at(relativeTo);
    }
    return readGroups(text, relativeTo, isRelative, SVGCurve::at(relativeTo),
                      [&](Point origin, SVGCurve, bool) -> std::optional<SVGCurve> {
                          auto value = coordinate(text);
                          if (!value) return std::nullopt;
                          skipCommaAndWhitespace(text);
                          return axisLine(path, origin, *value, vertical);
                      });
}

SVGCurve curveto(PathText& text, gfx::Path& path, Point relativeTo, bool isRelative) {
    if (!readCommand(text, "Cc", "failed to scan curve to command")) return SVGCurve::at(relativeTo);
    return readGroups(text, relativeTo, isRelative, SVGCurve::at(relativeTo),
                      [&](Point origin, SVGCurve, bool) -> std::optional<SVGCurve> {
                          std::array<Point, 3> points;
                          for (Point& point : points) {
                              if (!readPoint(text, origin, point)) return std::nullopt;
                          }
                          return cubic(path, points[0], points[1], points[2]);
                      });
}

SVGCurve smoothCurveto(PathText& text, gfx::Path& path, Point relativeTo, SVGCurve previous, bool isRelative) {
    if (!readCommand(text, "Ss", "failed to scan smooth curve to command")) return previous;
    return readGroups(text, relativeTo, isRelative, previous,
                      [&](Point origin, SVGCurve last, bool) -> std::optional<SVGCurve> {
                          skipCommaAndWhitespace(text);
                          Point control2;
                          Point end;
                          if (!readPoint(text, origin, control2) || !readPoint(text, origin, end)) return std::nullopt;
                          return smoothCubic(path, last, control2, end);
                      });
}

SVGCurve quadraticCurveto(PathText& text, gfx::Path& path, Point relativeTo, bool isRelative) {
    if (!readCommand(text, "Qq", "failed to scan quadratic curve to command")) return SVGCurve::at(relativeTo);
    return readGroups(text, relativeTo, isRelative, SVGCurve::at(relativeTo),
                      [&](Point origin, SVGCurve, bool) -> std::optional<SVGCurve> {
                          Point control;
                          Point end;
                          if (!readPoint(text, origin, control) || !readPoint(text, origin, end)) return std::nullopt;
                          return quadratic(path, control, end);
                      });
}

SVGCurve smoothQuadraticCurveto(PathText& text, gfx::Path& path, Point relativeTo, SVGCurve previous, bool isRelative) {
    if (!readCommand(text, "Tt", "failed to scan smooth quadratic curve to command")) return previous;
    return readGroups(text, relativeTo, isRelative, previous,
                      [&](Point origin, SVGCurve last, bool) -> std::optional<SVGCurve> {
                          Point end;
                          if (!readPoint(text, origin, end)) return std::nullopt;
                          return smoothQuadratic(path, last, end);
                      });
}

std::optional<Point> arcGroup(PathText& text, gfx::Path& path, Point relativeTo) {
    skipCommaAndWhitespace(text);
    Point radii;
    if (!readPair(text, radii)) return std::nullopt;
    skipCommaAndWhitespace(text);
    auto rotation = coordinate(text);
    if (!rotation) return std::nullopt;
    auto largeArc = readFlag(text);
    if (!largeArc) return std::nullopt;
    auto sweep = readFlag(text);
    if (!sweep) return std::nullopt;
    skipCommaAndWhitespace(text);
    Point endPair;
    if (!readPair(text, endPair)) return std::nullopt;
    return arcTo(path, relativeTo, radii, *rotation, *largeArc, *sweep, endPair);
}

SVGCurve arc(PathText& text, gfx::Path& path, Point relativeTo, bool isRelative) {
    if (!readCommand(text, "Aa", "failed to scan arc to command", false)) return SVGCurve::at(relativeTo);
    return readGroups(text, relativeTo, isRelative, SVGCurve::at(relativeTo),
                      [&](Point origin, SVGCurve, bool) -> std::optional<SVGCurve> {
                          auto end = arcGroup(text, path, origin);
                          if (!end) return std::nullopt;
                          skipWhitespace(text);
                          return SVGCurve::at(*end);
                      });
}

SVGCurve close(PathText& text, gfx::Path& path, Point relativeTo) {
    if (!readCommand(text, "Zz", "failed to scan close command", false)) return SVGCurve::at(relativeTo);
    path.closeSubpath();
    return SVGCurve::at(currentPoint(path, relativeTo));
}

// Path data of the usual kind read in one pass over its bytes, each number where its command needs it
// rather than through the command readers' shared read position: ASCII, every command letter followed by
// its arguments, numbers of at most 15 digits without an exponent, and between them only plain white
// space and single commas. At the first thing outside that, `read` answers false and the caller reads the
// whole data again command by command (below), which gives the same path for usual data.
// The byte after the data is a NUL, which stops every run of blanks or digits: the runs do not check for the
// end as well (a NUL inside the data stops them too, and is refused as any other stray byte).
class UsualPathData {
public:
    explicit UsualPathData(std::string_view data) : at_(data.data()), end_(data.data() + data.size()) {}

    bool read(gfx::Path& path, std::size_t segmentLimit) {
        SVGCurve curve = VellumPointsAndPathsParser::startingCurve();
        while (path.elements().size() <= segmentLimit) {
            blanks();
            if (at_ == end_) return true;
            const char letter = *at_++;
            if (!isCommandLetter(letter)) return false;
            if (letter == 'z' || letter == 'Z') {
                path.closeSubpath();
                curve = SVGCurve::at(currentPoint(path, curve.p));
                continue;
            }
            blanks();
            if (!moreGroups()) return false;  // a letter without arguments
            const bool relative = letter >= 'a';
            // Read as two numbers: the point was just stored as two, and one wide read of both waited for
            // those stores to land (a stall at nearly every command).
            const Point origin{relative ? curve.p.x : 0.0, relative ? curve.p.y : 0.0};
            const auto groups = [&](SVGCurve previous, auto group) {
                Point from = origin;
                for (bool first = true; first || moreGroups(); first = false) {
                    if (!group(from, previous, first)) return false;
                    if (relative) from = previous.p;
                }
                curve = previous;
                return true;
            };
            bool read = false;
            switch (letter) {
                case 'm': case 'M':
                case 'l': case 'L':
                    read = groups(SVGCurve::at(origin), [&](Point from, SVGCurve& last, bool first) {
                        Point point;
                        if (!this->point(from, point)) return false;
                        last = moveOrLine(path, point, first && (letter == 'm' || letter == 'M'));
                        return true;
                    });
                    break;
                case 'h': case 'H':
                case 'v': case 'V':
                    read = groups(SVGCurve::at(origin), [&](Point from, SVGCurve& last, bool) {
                        double value;
                        if (!number(value)) return false;
                        separator();
                        last = axisLine(path, from, value, letter == 'v' || letter == 'V');
                        return true;
                    });
                    break;
                case 'c': case 'C':
                    read = groups(SVGCurve::at(origin), [&](Point from, SVGCurve& last, bool) {
                        std::array<Point, 3> points;
                        for (Point& point : points) {
                            if (!this->point(from, point)) return false;
                        }
                        last = cubic(path, points[0], points[1], points[2]);
                        return true;
                    });
                    break;
                case 's': case 'S':
                    read = groups(curve, [&](Point from, SVGCurve& last, bool) {
                        Point control2, end;
                        if (!point(from, control2) || !point(from, end)) return false;
                        last = smoothCubic(path, last, control2, end);
                        return true;
                    });
                    break;
                case 'q': case 'Q':
                    read = groups(SVGCurve::at(origin), [&](Point from, SVGCurve& last, bool) {
                        Point control, end;
                        if (!point(from, control) || !point(from, end)) return false;
                        last = quadratic(path, control, end);
                        return true;
                    });
                    break;
                case 't': case 'T':
                    read = groups(curve, [&](Point from, SVGCurve& last, bool) {
                        Point end;
                        if (!point(from, end)) return false;
                        last = smoothQuadratic(path, last, end);
                        return true;
                    });
                    break;
                case 'a': case 'A':
                    read = groups(SVGCurve::at(origin), [&](Point from, SVGCurve& last, bool) {
                        Point radii, endPair;
                        double rotation;
                        bool largeArc, sweep;
                        separator();
                        if (!pair(radii)) return false;
                        separator();
                        if (!number(rotation) || !flag(largeArc) || !flag(sweep)) return false;
                        separator();
                        if (!pair(endPair)) return false;
                        last = SVGCurve::at(arcTo(path, from, radii, rotation, largeArc, sweep, endPair));
                        blanks();
                        return true;
                    });
                    break;
                default: break;
            }
            if (!read) return false;
        }
        return true;
    }

private:
    void blanks() {
        static constexpr auto isBlank = [] {
            std::array<bool, 256> blank{};
            for (const char character : std::string_view(" \t\n\r")) blank[static_cast<unsigned char>(character)] = true;
            return blank;
        }();
        while (isBlank[static_cast<unsigned char>(*at_)]) ++at_;
    }
    void separator() {
        blanks();
        if (*at_ == ',') {
            ++at_;
            blanks();
        }
    }
    bool moreGroups() const { return at_ != end_ && !isCommandLetter(*at_); }

    // Optional sign, digits with an optional fraction: at most 15 digits, all below 2^53, so the
    // number is one exact division (as the command reader's short form makes it). Inlined, as `point`
    // is, where the commands read them: the flags' path data reads a few percent faster so.
    [[gnu::always_inline]] bool number(double& value) {
        static constexpr std::array<double, 16> powersOfTen = {1e0, 1e1, 1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                                               1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
        const char* at = at_;
        const bool negative = *at == '-';
        if (*at == '-' || *at == '+') ++at;
        std::uint64_t mantissa = 0;
        const char* const digitsStart = at;
        // Wraps past 19 digits, but such a number is refused below.
        for (; static_cast<unsigned>(*at - '0') < 10; ++at) {
            mantissa = mantissa * 10 + static_cast<unsigned>(*at - '0');
        }
        std::size_t digits = static_cast<std::size_t>(at - digitsStart);
        std::size_t fraction = 0;
        if (*at == '.') {
            const char* const fractionStart = ++at;
            for (; static_cast<unsigned>(*at - '0') < 10; ++at) {
                mantissa = mantissa * 10 + static_cast<unsigned>(*at - '0');
            }
            fraction = static_cast<std::size_t>(at - fractionStart);
            digits += fraction;
        }
        if (digits == 0 || digits > 15 || *at == 'e' || *at == 'E') return false;
        // Below 2^53, so taken as signed: the unsigned conversion is a longer sequence.
        value = static_cast<double>(static_cast<std::int64_t>(mantissa)) / powersOfTen[fraction];
        if (negative) value = -value;
        at_ = at;
        return true;
    }
    bool pair(Point& pair) {
        if (!number(pair.x)) return false;
        separator();
        return number(pair.y);
    }
    // A command's point: a pair and the separator after it, taken from `origin`.
    [[gnu::always_inline]] bool point(Point origin, Point& point) {
        Point read;
        if (!pair(read)) return false;
        separator();
        point = origin + read;
        return true;
    }
    bool flag(bool& value) {
        separator();
        if (*at_ != '0' && *at_ != '1') return false;
        value = *at_++ == '1';
        return true;
    }

    const char* at_;
    const char* const end_;
};

}  // namespace

// Usual data is read in one pass (above). Other data is cut into one piece per command letter (a letter
// and the text up to the next); each piece is read by its command as if it were a scanner of its own.
// Letters written together are taken one at a time, and a letter with nothing after it is passed over.
gfx::Path pathFromData(std::string_view data, std::size_t segmentLimit) {
    // Path data takes about 8 bytes an element (8.5 at the flags' median, over 15 for a tenth of them):
    // room for that is made up front rather than grown one doubling at a time, capped so that long data
    // of blanks or junk reserves little.
    const std::size_t room = std::min({data.size() / 8 + 1, segmentLimit + 1, std::size_t{4096}});
    gfx::Path path;
    path.reserve(room);
    // The one-pass reader takes a copy ending in a NUL (on the stack when short, as most data is).
    constexpr std::size_t shortData = 1024;
    std::array<char, shortData> stackCopy;
    std::string heapCopy;
    char* const copy = data.size() < shortData ? stackCopy.data() : (heapCopy.resize(data.size()), heapCopy.data());
    std::copy(data.begin(), data.end(), copy);  // not memcpy: empty data may hold no pointer at all
    copy[data.size()] = '\0';
    if (UsualPathData({copy, data.size()}).read(path, segmentLimit)) return path;
    // Anything unusual: the data is read again from its start, command by command.
    path = gfx::Path();
    path.reserve(room);
    PathText all{data};
    SVGCurve curve = VellumPointsAndPathsParser::startingCurve();
    const auto nextLetter = [&](std::size_t from) {
        while (from < data.size() && !isCommandLetter(data[from])) ++from;
        return from;
    };
    while (path.elements().size() <= segmentLimit) {
        const std::size_t letterAt = all.afterBlanks(all.index);
        if (letterAt >= data.size() || !isCommandLetter(data[letterAt])) break;
        const char letter = data[letterAt];
        all.index = letterAt + 1;
        if (letter == 'z' || letter == 'Z') {
            PathText piece{data.substr(letterAt, 1)};
            curve = close(piece, path, curve.p);
            continue;
        }
        const std::size_t argumentsAt = all.afterBlanks(all.index);
        if (argumentsAt >= data.size() || isCommandLetter(data[argumentsAt])) {
            all.index = argumentsAt;
            continue;
        }
        // The letter, then the arguments. The command skips plain white space after its letter itself;
        // other blanks there (a form feed, a no-break space) are cut out as a separate piece would be.
        PathText piece{data.substr(letterAt), 0, true};
        std::string joined;
        PathText gap{data.substr(letterAt + 1, argumentsAt - letterAt - 1)};
        skipWhitespace(gap);
        if (gap.index != gap.text.size()) {
            joined = std::string(1, letter).append(data.substr(argumentsAt, nextLetter(argumentsAt) - argumentsAt));
            piece = PathText{joined};
        }
        const bool relative = letter >= 'a';
        const Point origin = relative ? curve.p : Point{0, 0};
        switch (letter) {
            case 'm': case 'M': curve = movetoDrawtoGroups(piece, path, origin, relative); break;
            case 'l': case 'L': curve = lineto(piece, path, origin, relative); break;
            case 'v': case 'V': curve = axisLineto(piece, path, origin, relative, true); break;
            case 'h': case 'H': curve = axisLineto(piece, path, origin, relative, false); break;
            case 'c': case 'C': curve = curveto(piece, path, origin, relative); break;
            case 's': case 'S': curve = smoothCurveto(piece, path, origin, curve, relative); break;
            case 'q': case 'Q': curve = quadraticCurveto(piece, path, origin, relative); break;
            case 't': case 'T': curve = smoothQuadraticCurveto(piece, path, origin, curve, relative); break;
            case 'a': case 'A': curve = arc(piece, path, origin, relative); break;
            default: break;
        }
        // Arguments the command could not read are passed over, up to the next command letter.
        all.index = nextLetter(joined.empty() ? std::max(letterAt + piece.index, argumentsAt) : argumentsAt);
    }
    return path;
}

void VellumPointsAndPathsParser::readWhitespace(Scanner& scanner) {
    onScanner(scanner, [](PathText& text) { return skipWhitespace(text), 0; });
}

void VellumPointsAndPathsParser::readCommaAndWhitespace(Scanner& scanner) {
    onScanner(scanner, [](PathText& text) { return skipCommaAndWhitespace(text), 0; });
}

std::optional<double> VellumPointsAndPathsParser::readCoordinate(Scanner& scanner) {
    return onScanner(scanner, [](PathText& text) { return coordinate(text); });
}

std::optional<gfx::Point> VellumPointsAndPathsParser::readCoordinatePair(Scanner& scanner) {
    return onScanner(scanner, [](PathText& text) { return coordinatePair(text); });
}

SVGCurve VellumPointsAndPathsParser::readMovetoDrawtoCommandGroups(Scanner& scanner, gfx::Path& path, Point relativeTo,
                                                                   bool isRelative) {
    return onScanner(scanner, [&](PathText& text) { return movetoDrawtoGroups(text, path, relativeTo, isRelative); });
}

SVGCurve VellumPointsAndPathsParser::readMovetoDrawto(Scanner& scanner, gfx::Path& path, Point relativeTo, bool isRelative) {
    return onScanner(scanner, [&](PathText& text) { return movetoDrawto(text, path, relativeTo, isRelative); });
}

SVGCurve VellumPointsAndPathsParser::readMoveto(Scanner& scanner, gfx::Path& path, Point relativeTo, bool isRelative) {
    return onScanner(scanner, [&](PathText& text) { return moveto(text, path, relativeTo, isRelative); });
}

SVGCurve VellumPointsAndPathsParser::readLinetoCommand(Scanner& scanner, gfx::Path& path, Point relativeTo, bool isRelative) {
    return onScanner(scanner, [&](PathText& text) { return lineto(text, path, relativeTo, isRelative); });
}

SVGCurve VellumPointsAndPathsParser::readHorizontalLinetoCommand(Scanner& scanner, gfx::Path& path, Point relativeTo,
                                                                 bool isRelative) {
    return onScanner(scanner, [&](PathText& text) { return axisLineto(text, path, relativeTo, isRelative, false); });
}

SVGCurve VellumPointsAndPathsParser::readVerticalLinetoCommand(Scanner& scanner, gfx::Path& path, Point relativeTo,
                                                               bool isRelative) {
    return onScanner(scanner, [&](PathText& text) { return axisLineto(text, path, relativeTo, isRelative, true); });
}

SVGCurve VellumPointsAndPathsParser::readCurvetoCommand(Scanner& scanner, gfx::Path& path, Point relativeTo, bool isRelative) {
    return onScanner(scanner, [&](PathText& text) { return curveto(text, path, relativeTo, isRelative); });
}

SVGCurve VellumPointsAndPathsParser::readSmoothCurvetoCommand(Scanner& scanner, gfx::Path& path, Point relativeTo,
                                                              SVGCurve previous, bool isRelative) {
    return onScanner(scanner, [&](PathText& text) { return smoothCurveto(text, path, relativeTo, previous, isRelative); });
}

SVGCurve VellumPointsAndPathsParser::readQuadraticCurvetoCommand(Scanner& scanner, gfx::Path& path, Point relativeTo,
                                                                 bool isRelative) {
    return onScanner(scanner, [&](PathText& text) { return quadraticCurveto(text, path, relativeTo, isRelative); });
}

SVGCurve VellumPointsAndPathsParser::readSmoothQuadraticCurvetoCommand(Scanner& scanner, gfx::Path& path,
                                                                       Point relativeTo, SVGCurve previous,
                                                                       bool isRelative) {
    return onScanner(scanner,
                     [&](PathText& text) { return smoothQuadraticCurveto(text, path, relativeTo, previous, isRelative); });
}

SVGCurve VellumPointsAndPathsParser::readEllipticalArcArguments(Scanner& scanner, gfx::Path& path, Point relativeTo,
                                                                bool isRelative) {
    return onScanner(scanner, [&](PathText& text) { return arc(text, path, relativeTo, isRelative); });
}

std::optional<gfx::Point> VellumPointsAndPathsParser::readEllipticalArcArgumentsSequence(Scanner& scanner, gfx::Path& path,
                                                                                         Point relativeTo) {
    return onScanner(scanner, [&](PathText& text) { return arcGroup(text, path, relativeTo); });
}

SVGCurve VellumPointsAndPathsParser::readCloseCommand(Scanner& scanner, gfx::Path& path, Point relativeTo) {
    return onScanner(scanner, [&](PathText& text) { return close(text, path, relativeTo); });
}

}  // namespace vellum
