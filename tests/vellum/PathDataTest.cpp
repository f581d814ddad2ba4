#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <numbers>
#include <random>
#include <string>

#include "TestSeed.h"
#include "vellum/SVGBasicShapes.h"
#include "vellum/VellumPointsAndPathsParser.h"

using namespace vellum;
using gfx::PathElement;
using gfx::Point;
using Kind = gfx::PathElement::Kind;
using Parser = VellumPointsAndPathsParser;

namespace {

std::vector<Kind> kinds(const gfx::Path& path) {
    std::vector<Kind> result;
    for (const auto& element : path.elements()) result.push_back(element.kind);
    return result;
}

Point end(const PathElement& element) { return element.points[static_cast<std::size_t>(element.pointCount() - 1)]; }

}  // namespace

TEST(PathData, MoveToWithMorePairsDrawsLinesRelativeToThePreviousPointWhenLowerCase) {
    gfx::Path absolute;
    foundation::Scanner upper("M 10 10 20 20 30 30");
    EXPECT_EQ(Parser::readMovetoDrawtoCommandGroups(upper, absolute, {0, 0}, false), SVGCurve::at({30, 30}));
    EXPECT_EQ(kinds(absolute), (std::vector<Kind>{Kind::moveTo, Kind::lineTo, Kind::lineTo}));
    EXPECT_EQ(end(absolute.elements()[2]), (Point{30, 30}));

    gfx::Path relative;
    foundation::Scanner lower("m 10 10 20 20 30 30");
    Parser::readMovetoDrawtoCommandGroups(lower, relative, {5, 5}, true);
    EXPECT_EQ(end(relative.elements()[0]), (Point{15, 15}));
    EXPECT_EQ(end(relative.elements()[1]), (Point{35, 35}));
    EXPECT_EQ(end(relative.elements()[2]), (Point{65, 65}));
}

TEST(PathData, CurvesWithSeveralGroupsAndLowerCaseOrigins) {
    gfx::Path path;
    path.moveTo({0, 0});
    foundation::Scanner scanner("c 0,10 10,10 10,0 0,-10 10,-10 10,0");
    const SVGCurve last = Parser::readCurvetoCommand(scanner, path, {0, 0}, true);
    ASSERT_EQ(kinds(path), (std::vector<Kind>{Kind::moveTo, Kind::curveTo, Kind::curveTo}));
    EXPECT_EQ(path.elements()[2].points[0], (Point{10, -10})) << "the second group starts at the first curve's end";
    EXPECT_EQ(last, (SVGCurve{SVGCurve::Type::cubic, {10, -10}, {20, -10}, {20, 0}}));
}

TEST(PathData, SmoothCurvesReflectOnlyAfterTheirOwnKind) {
    gfx::Path path;
    path.moveTo({0, 0});
    const SVGCurve cubic{SVGCurve::Type::cubic, {0, 10}, {10, 10}, {10, 0}};
    foundation::Scanner afterCurve("S 30 -10 30 0");
    EXPECT_EQ(Parser::readSmoothCurvetoCommand(afterCurve, path, {0, 0}, cubic, false).c1, (Point{10, -10}));
    foundation::Scanner afterLine("S 30 -10 30 0");
    EXPECT_EQ(Parser::readSmoothCurvetoCommand(afterLine, path, {0, 0}, SVGCurve::at({10, 0}), false).c1, (Point{10, 0}));

    const SVGCurve quadratic{SVGCurve::Type::quadratic, {5, 10}, {5, 10}, {10, 0}};
    foundation::Scanner afterQuadratic("T 20 0");
    EXPECT_EQ(Parser::readSmoothQuadraticCurvetoCommand(afterQuadratic, path, {0, 0}, quadratic, false).c1, (Point{15, -10}));
    foundation::Scanner afterCubic("T 20 0");
    EXPECT_EQ(Parser::readSmoothQuadraticCurvetoCommand(afterCubic, path, {0, 0}, cubic, false).c1, (Point{10, 0}));

    // Within one command each group follows the one before.
    foundation::Scanner twice("T 20 0 30 0");
    const SVGCurve last = Parser::readSmoothQuadraticCurvetoCommand(twice, path, {0, 0}, quadratic, false);
    EXPECT_EQ(last.c1, (Point{25, 10}));
}

TEST(PathData, HorizontalAndVerticalLinesTakeTheOtherCoordinateFromThePath) {
    gfx::Path path;
    path.moveTo({1, 2});
    foundation::Scanner horizontal("H 10 20");
    Parser::readHorizontalLinetoCommand(horizontal, path, {0, 0}, false);
    foundation::Scanner vertical("v 5,5");
    Parser::readVerticalLinetoCommand(vertical, path, {20, 2}, true);
    ASSERT_EQ(path.elements().size(), 5u);
    EXPECT_EQ(end(path.elements()[1]), (Point{10, 2}));
    EXPECT_EQ(end(path.elements()[2]), (Point{20, 2}));
    EXPECT_EQ(end(path.elements()[3]), (Point{20, 7})) << "commas between numbers are allowed";
    EXPECT_EQ(end(path.elements()[4]), (Point{20, 12}));
}

TEST(PathData, CloseAnswersTheSubpathStart) {
    gfx::Path path;
    path.moveTo({3, 4});
    path.lineTo({10, 10});
    foundation::Scanner scanner("Z");
    EXPECT_EQ(Parser::readCloseCommand(scanner, path, {10, 10}), SVGCurve::at({3, 4}));
    EXPECT_EQ(kinds(path).back(), Kind::closeSubpath);
}

TEST(PathData, ArcsWithZeroRadiusAreLinesAndTooSmallRadiiAreEnlarged) {
    gfx::Path line;
    line.moveTo({0, 0});
    foundation::Scanner flat("A 0 5 0 0 1 10 0");
    Parser::readEllipticalArcArguments(flat, line, {0, 0}, false);
    EXPECT_EQ(kinds(line), (std::vector<Kind>{Kind::moveTo, Kind::lineTo}));

    gfx::Path arc;
    arc.moveTo({0, 0});
    foundation::Scanner small("A 1 1 0 0 1 10 0");
    EXPECT_EQ(Parser::readEllipticalArcArguments(small, arc, {0, 0}, false), SVGCurve::at({10, 0}));
    ASSERT_GT(arc.elements().size(), 1u);
    EXPECT_EQ(arc.elements()[1].kind, Kind::curveTo);
    const Point reached = *arc.currentPoint();
    EXPECT_NEAR(reached.x, 10, 1e-9);
    EXPECT_NEAR(reached.y, 0, 1e-9);
    // A half circle of radius 5 through y = -5 or 5, as the sweep flag says.
    const auto box = arc.pathBoundingBox();
    EXPECT_NEAR(box.size.height, 5, 1e-6);
}

// Arcs whose centre and angles come out exactly, against the graphics library's own unit arc placed on
// the ellipse: the path holds the same points to the last bit, whatever the number of quarter turns.
TEST(PathData, ArcsAreTheGraphicsLibrarysUnitArcPlacedOnTheEllipse) {
    struct Case {
        const char* data;
        Point start, centre, radii, unitStart, unitEnd;
        bool positive;
    };
    const Case cases[] = {
        {"M10 0A10 10 0 0 1 -10 0", {10, 0}, {0, 0}, {10, 10}, {1, 0}, {-1, 0}, true},
        {"M10 0A10 10 0 0 0 -10 0", {10, 0}, {0, 0}, {10, 10}, {1, 0}, {-1, 0}, false},
        {"M20 0A20 10 0 0 1 -20 0", {20, 0}, {0, 0}, {20, 10}, {1, 0}, {-1, 0}, true},
        {"M10 0A10 10 0 0 1 0 10", {10, 0}, {0, 0}, {10, 10}, {1, 0}, {0, 1}, true},
        {"M10 0A10 10 0 1 1 0 10", {10, 0}, {10, 10}, {10, 10}, {0, -1}, {-1, 0}, true},
    };
    for (const Case& arc : cases) {
        const double startAngle = std::atan2(arc.unitStart.y, arc.unitStart.x);
        double sweep = std::atan2(arc.unitEnd.y, arc.unitEnd.x) - startAngle;
        if (arc.positive && sweep < 0) sweep += 2 * std::numbers::pi;
        if (!arc.positive && sweep > 0) sweep -= 2 * std::numbers::pi;
        gfx::Path unit;
        unit.addRelativeArc({0, 0}, 1, startAngle, sweep);
        const gfx::AffineTransform place{arc.radii.x, 0, -0.0, arc.radii.y, arc.centre.x, arc.centre.y};
        gfx::Path expected;
        expected.moveTo(arc.start);
        for (const PathElement& element : unit.elements()) {
            if (element.kind != Kind::curveTo) continue;
            expected.curveTo(place.apply(element.points[0]), place.apply(element.points[1]),
                             place.apply(element.points[2]));
        }
        ASSERT_GT(expected.elements().size(), 1u) << arc.data;
        SVGPathElement element("path");
        element.parseData(arc.data);
        ASSERT_TRUE(element.pathForShapeInRelativeCoords());
        EXPECT_EQ(*element.pathForShapeInRelativeCoords(), expected) << arc.data;
    }
}

TEST(PathData, ArcsThatOverflowTheArithmeticAreStraightLines) {
    // Found by the path-data fuzzer: an end near the largest double made the angles not-a-number.
    gfx::Path path;
    path.moveTo({1, 2});
    foundation::Scanner huge("A9 1094 -45 0 0-20  1e0308-45 0 0277.2");
    Parser::readEllipticalArcArguments(huge, path, {1, 2}, false);
    ASSERT_GE(path.elements().size(), 2u);
    EXPECT_EQ(path.elements()[1].kind, Kind::lineTo);
    EXPECT_EQ(path.elements()[1].points[0], (Point{-19, 1e308 + 2}));
    for (const auto& element : path.elements()) {
        for (int index = 0; index < element.pointCount(); ++index) {
            EXPECT_TRUE(std::isfinite(element.points[index].x) && std::isfinite(element.points[index].y));
        }
    }
}

TEST(PathData, RelativeSumsAndReflectionsNeverReachInfinity) {
    // Found by the path-data fuzzer: relative pairs near the largest double summed to infinity.
    gfx::Path path;
    path.moveTo({0, 0});
    foundation::Scanner smooth("s-94 -45 0 0-20 0 1e308-45 018 25 10 36-7 56-17 21 36-7 56-17 21 7 28-6");
    const SVGCurve previous{SVGCurve::Type::cubic, {0, 1}, {2, 3}, {1, 2}};
    Parser::readSmoothCurvetoCommand(smooth, path, {1, 2}, previous, true);
    foundation::Scanner lines("l1e308 1e308 1e308 1e308 h1e308 v-1e308 -1e308 -1e308");
    Parser::readLinetoCommand(lines, path, *path.currentPoint(), true);
    for (const auto& element : path.elements()) {
        for (int index = 0; index < element.pointCount(); ++index) {
            EXPECT_TRUE(std::isfinite(element.points[index].x) && std::isfinite(element.points[index].y));
        }
    }
    EXPECT_GT(path.elements().size(), 3u);
}

TEST(PathData, ArcFlagsAreSingleDigitsAndAZeroLengthArcDrawsNothing) {
    gfx::Path compact;
    compact.moveTo({0, 0});
    foundation::Scanner packed("a5,5 0 0110,0");
    EXPECT_EQ(Parser::readEllipticalArcArguments(packed, compact, {0, 0}, true), SVGCurve::at({10, 0}));
    EXPECT_TRUE(packed.isAtEnd());
    EXPECT_GT(compact.elements().size(), 1u);

    gfx::Path same;
    same.moveTo({4, 4});
    foundation::Scanner nowhere("A 5 5 0 0 1 4 4");
    Parser::readEllipticalArcArguments(nowhere, same, {0, 0}, false);
    EXPECT_EQ(kinds(same), (std::vector<Kind>{Kind::moveTo}));

    gfx::Path bad;
    bad.moveTo({0, 0});
    foundation::Scanner twoDigits("A 5 5 0 2 1 10 0");
    Parser::readEllipticalArcArguments(twoDigits, bad, {0, 0}, false);
    EXPECT_FALSE(twoDigits.isAtEnd()) << "a flag of 2 is malformed";
    EXPECT_EQ(kinds(bad), (std::vector<Kind>{Kind::moveTo}));
}

TEST(PathData, AMalformedNumberKeepsThePathSoFarAndLeavesTheRestUnread) {
    gfx::Path path;
    path.moveTo({0, 0});
    foundation::Scanner scanner("L 10 10 20 x 30 30");
    EXPECT_EQ(Parser::readLinetoCommand(scanner, path, {0, 0}, false), SVGCurve::at({10, 10}));
    EXPECT_EQ(kinds(path), (std::vector<Kind>{Kind::moveTo, Kind::lineTo}));
    EXPECT_FALSE(scanner.isAtEnd());
    EXPECT_EQ(scanner.string().substr(scanner.currentIndex()), "20 x 30 30");

    gfx::Path overflow;
    foundation::Scanner huge("M 1e999 0");
    Parser::readMovetoDrawtoCommandGroups(huge, overflow, {0, 0}, false);
    EXPECT_TRUE(overflow.isEmpty()) << "no infinite coordinates";

    gfx::Path wrong;
    foundation::Scanner letter("X 1 2");
    EXPECT_EQ(Parser::readLinetoCommand(letter, wrong, {7, 7}, false), SVGCurve::at({7, 7}));
}

TEST(PathData, NumbersReadStraightFromTheBytesAreTheNearestDoubles) {
    // The path element reads every command over the data's own bytes; each number must come out as
    // the C library would round it, at the extremes too.
    std::vector<std::string> numbers = {"0.1", "123456.789e-3", "3.14159265358979323846", "-.5E+2", "+7.",
                                        "1e-310", "2.2250738585072014e-308", "1e-400", "-0", "9007199254740993",
                                        "0.000123456789012345", "4503599627370497.5", "1e22", "1e23",
                                        "123e-22", "7e-23", "8.98846567431158e307", "00000000000000000000012.5"};
    // And a fixed spread of digits, points and exponents around the short and the long readings.
    std::mt19937 random(sorvane::testing::testSeed(7));
    for (int count = 0; count < 500; ++count) {
        std::string number = std::to_string(random() % 100000000);
        number.insert(random() % (number.size() + 1), ".");
        number += std::to_string(random() % 100000000);
        if (random() % 2) number += "e" + std::to_string(static_cast<int>(random() % 61) - 30);
        numbers.push_back(number);
    }
    std::string data = "M0 0";
    for (const auto& number : numbers) data += "L" + number + " " + number;
    SVGPathElement element("path");
    element.parseData(data);
    const auto& elements = element.pathForShapeInRelativeCoords()->elements();
    ASSERT_EQ(elements.size(), numbers.size() + 1);
    for (std::size_t index = 0; index < numbers.size(); ++index) {
        const double expected = std::strtod(numbers[index].c_str(), nullptr);
        EXPECT_EQ(elements[index + 1].points[0], (Point{expected, expected})) << numbers[index];
    }
}

// Usual data (plain numbers, blanks and commas) is read in one pass; anything else, such as a form feed
// at the end, sends the whole data through the command readers. Both must draw the same path.
TEST(PathData, UsualDataReadsAsTheCommandReadersReadIt) {
    std::mt19937 random(sorvane::testing::testSeed(5));
    const auto pick = [&](std::initializer_list<const char*> choices) {
        return std::string(choices.begin()[random() % choices.size()]);
    };
    const auto number = [&] {
        std::string text = pick({"", "", "-", "+"});
        const std::size_t whole = random() % 5, fraction = random() % 4;
        for (std::size_t index = 0; index < whole; ++index) text += static_cast<char>('0' + random() % 10);
        if (fraction > 0 || whole == 0) text += ".";
        for (std::size_t index = 0; index < std::max<std::size_t>(fraction, whole == 0 ? 1 : 0); ++index) {
            text += static_cast<char>('0' + random() % 10);
        }
        return text;
    };
    const auto separator = [&] { return pick({" ", ",", " , ", "\n", "\t ", ""}); };
    for (int round = 0; round < 120; ++round) {
        std::string data = pick({"M", "m"}) + number() + " " + number();
        for (int command = 0; command < 12; ++command) {
            const std::string letter = pick({"M", "m", "L", "l", "H", "h", "V", "v", "C", "c", "S", "s", "Q", "q",
                                             "T", "t", "A", "a", "Z", "z"});
            data += pick({"", " ", "\n"}) + letter + pick({"", " "});
            if (letter == "Z" || letter == "z") continue;
            const int numbers = std::string("HhVv").find(letter[0]) != std::string::npos   ? 1
                                : std::string("MmLlTt").find(letter[0]) != std::string::npos ? 2
                                : std::string("SsQq").find(letter[0]) != std::string::npos   ? 4
                                : std::string("Cc").find(letter[0]) != std::string::npos     ? 6
                                                                                              : 0;
            for (int group = 0, groups = 1 + static_cast<int>(random() % 3); group < groups; ++group) {
                if (group > 0) data += " ";
                if (numbers == 0) {  // an arc: radii, rotation, two flags, end
                    data += number() + " " + number() + separator() + number() + " " + pick({"0", "1"}) +
                            pick({"", ",", " "}) + pick({"0", "1"}) + " " + number() + " " + number();
                    continue;
                }
                for (int index = 0; index < numbers; ++index) data += (index ? " " : "") + number();
            }
        }
        SVGPathElement usual("path");
        usual.parseData(data);
        SVGPathElement general("path");
        general.parseData(data + "\f");
        ASSERT_TRUE(usual.pathForShapeInRelativeCoords() && general.pathForShapeInRelativeCoords());
        EXPECT_GT(usual.pathForShapeInRelativeCoords()->elements().size(), 1u) << data;
        EXPECT_EQ(*usual.pathForShapeInRelativeCoords(), *general.pathForShapeInRelativeCoords()) << data;
    }
}

TEST(PathData, ThePathElementCutsItsDataAtEachCommandLetter) {
    SVGPathElement element("path");
    // "2em" is 2 and then a malformed rest; an exponent mark needs digits. Blanks other than plain white
    // space after a letter ("\f" here) belong to the letter's piece as a separate scanner would see it.
    element.parseData("M1 2L3,4 2e1 5e L9 9S\f,1 2 3 4Q1 1 2 2T5 5zV7H8");
    const auto& elements = element.pathForShapeInRelativeCoords()->elements();
    ASSERT_EQ(kinds(*element.pathForShapeInRelativeCoords()),
              (std::vector<Kind>{Kind::moveTo, Kind::lineTo, Kind::lineTo, Kind::lineTo, Kind::curveTo,
                                 Kind::quadCurveTo, Kind::quadCurveTo, Kind::closeSubpath, Kind::lineTo, Kind::lineTo}));
    EXPECT_EQ(elements[1].points[0], (Point{3, 4}));
    EXPECT_EQ(elements[2].points[0], (Point{20, 5})) << "the lone e is left over and ends the command";
    EXPECT_EQ(elements[3].points[0], (Point{9, 9}));
    EXPECT_EQ(elements[4].points[0], (Point{9, 9})) << "S after a line starts at the current point";
    EXPECT_EQ(end(elements[4]), (Point{3, 4}));
    EXPECT_EQ(elements[6].points[0], (Point{3, 3})) << "T reflects the Q control about its end";
    EXPECT_EQ(end(elements[8]), (Point{1, 7})) << "after z the current point is the subpath start";
    EXPECT_EQ(end(elements[9]), (Point{8, 7}));
}

// A command reads up to the next command letter: what it cannot read there is passed over, and the
// next command goes on from the last point read, also when it is the same letter.
TEST(PathData, UnreadableArgumentsArePassedOverUpToTheNextCommand) {
    SVGPathElement element("path");
    element.parseData("M0 0L10 10 x 5 5l1 1M2 2 3 3 ? 4 4L6 6 L7 7 ,, 8 8 L 9 9\u00a0A 1 1 0 2 0 4 4L5,5 , ");
    const auto& elements = element.pathForShapeInRelativeCoords()->elements();
    ASSERT_EQ(kinds(*element.pathForShapeInRelativeCoords()),
              (std::vector<Kind>{Kind::moveTo, Kind::lineTo, Kind::lineTo, Kind::moveTo, Kind::lineTo, Kind::lineTo,
                                 Kind::lineTo, Kind::lineTo, Kind::lineTo}));
    EXPECT_EQ(elements[1].points[0], (Point{10, 10}));
    EXPECT_EQ(elements[2].points[0], (Point{11, 11})) << "relative to the last point read before the x";
    EXPECT_EQ(elements[4].points[0], (Point{3, 3}));
    EXPECT_EQ(elements[5].points[0], (Point{6, 6}));
    EXPECT_EQ(elements[6].points[0], (Point{7, 7})) << "a second comma ends the command";
    EXPECT_EQ(elements[7].points[0], (Point{9, 9})) << "the arc's flag of 2 is malformed: it draws nothing";
    EXPECT_EQ(elements[8].points[0], (Point{5, 5})) << "a trailing comma leaves the last pair read";
}

// The data may be a view into longer text: a number stops where the data does, whatever follows it.
TEST(PathData, NumbersEndWhereTheDataEndsNotWhereTheTextDoes) {
    const std::string text = "M1 2L3 45.25e-1 7";
    struct Cut {
        std::size_t length;
        Point last;
    };
    for (const Cut& cut : {Cut{8, {3, 4}}, Cut{9, {3, 45}}, Cut{10, {3, 45}}, Cut{11, {3, 45.2}},
                           Cut{13, {3, 45.25}}, Cut{14, {3, 45.25}}, Cut{15, {3, 4.525}}}) {
        SVGPathElement element("path");
        element.parseData(std::string_view(text).substr(0, cut.length));
        const auto& elements = element.pathForShapeInRelativeCoords()->elements();
        ASSERT_EQ(elements.size(), 2u) << text.substr(0, cut.length);
        EXPECT_EQ(elements[1].points[0], cut.last) << text.substr(0, cut.length);
    }
    SVGPathElement dangling("path");
    dangling.parseData(std::string_view("M1 2L3 -7").substr(0, 8));
    EXPECT_EQ(dangling.pathForShapeInRelativeCoords()->elements().size(), 1u) << "a lone sign is no number";
}

// The one-pass reader works on a copy of the data ending in a NUL: short data on the stack, long data on
// the heap. Either way the path is the one of the data alone, and a NUL inside the data is no end.
TEST(PathData, LongDataAndNulBytesReadAsTheirCommandsSay) {
    const auto pathOf = [](std::string_view data) {
        SVGPathElement element("path");
        element.parseData(data);
        return *element.pathForShapeInRelativeCoords();
    };
    std::string steps = "M0 0";
    for (int step = 0; step < 300; ++step) steps += step % 2 ? "l1.5-2.25" : " l1.5,-2.25";
    ASSERT_GT(steps.size(), 2048u);
    const gfx::Path many = pathOf(steps);
    ASSERT_EQ(many.elements().size(), 301u);
    EXPECT_EQ(end(many.elements().back()), (Point{450, -675}));

    // Around the size of the stack copy, with the text going on past the data: the last number is
    // cut where the data ends.
    const std::string tail = "M1 2L3 45.25";
    for (std::size_t length = 1020; length <= 1030; ++length) {
        const std::string text = std::string(length - 9, ' ') + tail;
        const gfx::Path cut = pathOf(std::string_view(text).substr(0, length));
        ASSERT_EQ(cut.elements().size(), 2u) << length;
        EXPECT_EQ(end(cut.elements()[1]), (Point{3, 45})) << length;
    }

    const gfx::Path afterNul = pathOf(std::string_view("M1 2\0L3 4", 9));
    ASSERT_EQ(kinds(afterNul), (std::vector<Kind>{Kind::moveTo, Kind::lineTo})) << "the command after a NUL is read";
    EXPECT_EQ(end(afterNul.elements()[1]), (Point{3, 4}));
    const gfx::Path nulInGroups = pathOf(std::string_view("M1 2 3 4\0 5 6", 13));
    ASSERT_EQ(kinds(nulInGroups), (std::vector<Kind>{Kind::moveTo, Kind::lineTo}));
    EXPECT_EQ(end(nulInGroups.elements()[1]), (Point{3, 4})) << "a NUL ends the groups as a stray byte does";
    EXPECT_TRUE(pathOf(std::string_view()).isEmpty());
}

// Arcs without a turn skip the turn's trigonometry: they must land where turned arcs of the same shape do.
TEST(PathData, TurnedArcsMatchTheSameShapeUnturned) {
    const auto pathOf = [](const std::string& data) {
        SVGPathElement element("path");
        element.parseData(data);
        return *element.pathForShapeInRelativeCoords();
    };
    const auto expectNear = [](const gfx::Path& left, const gfx::Path& right, const std::string& what) {
        ASSERT_EQ(kinds(left), kinds(right)) << what;
        for (std::size_t index = 0; index < left.elements().size(); ++index) {
            for (int point = 0; point < left.elements()[index].pointCount(); ++point) {
                const Point a = left.elements()[index].points[static_cast<std::size_t>(point)];
                const Point b = right.elements()[index].points[static_cast<std::size_t>(point)];
                EXPECT_NEAR(a.x, b.x, 1e-9) << what << " element " << index;
                EXPECT_NEAR(a.y, b.y, 1e-9) << what << " element " << index;
            }
        }
    };
    // A circle is the same whatever its turn.
    const gfx::Path circle = pathOf("M10 0A10 10 0 0 1 -10 0");
    ASSERT_EQ(circle.elements().size(), 3u);
    EXPECT_NEAR(end(circle.elements()[1]).y, 10, 1e-9) << "the half circle passes below its centre";
    for (const char* turn : {"90", "360", "-720", "45.5"}) {
        expectNear(pathOf(std::string("M10 0A10 10 ") + turn + " 0 1 -10 0"), circle, turn);
    }
    // An ellipse turned a quarter is the one with its radii swapped.
    expectNear(pathOf("M0 10A20 10 90 0 1 0 -10"), pathOf("M0 10A10 20 0 0 1 0 -10"), "quarter turn");
    expectNear(pathOf("M0 10A20 10 -90 1 0 0 -10"), pathOf("M0 10A10 20 0 1 0 0 -10"), "quarter turn back");
}
