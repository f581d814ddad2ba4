#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

#include "TestSeed.h"
#include "vellum/VellumParseResult.h"
#include "vellum/VellumParser.h"
#include "vellum/SVGDocument.h"
#include "vellum/SVGSVGElement.h"
#include "vellum/VellumPointsAndPathsParser.h"
#include "vellum/VellumSourceLocalFile.h"
#include "vellum/VellumSourceString.h"

using namespace vellum;
namespace fs = std::filesystem;

namespace {

// A seeded run of byte-level damage: flips, cuts, copies and inserted markup characters.
std::string mutated(std::string text, std::mt19937& random) {
    static constexpr std::string_view alphabet = "<>/=\"'&;#:(), .-e019MmLlCcSsQqTtAaHhVvZz\n\t\x00\xff";
    const int edits = 1 + static_cast<int>(random() % 8);
    for (int edit = 0; edit < edits && !text.empty(); ++edit) {
        const std::size_t at = random() % text.size();
        switch (random() % 4) {
            case 0: text[at] = alphabet[random() % alphabet.size()]; break;
            case 1: text.erase(at, random() % 16); break;
            case 2: text.insert(at, text.substr(random() % text.size(), random() % 32)); break;
            default: text.insert(at, 1, alphabet[random() % alphabet.size()]); break;
        }
    }
    return text;
}

void readPathData(const std::string& data) {
    gfx::Path path;
    foundation::Scanner scanner(data);
    SVGCurve curve = VellumPointsAndPathsParser::startingCurve();
    const gfx::Point origin = path.currentPoint().value_or(gfx::Point{});
    using Parser = VellumPointsAndPathsParser;
    switch (data.empty() ? 'M' : data.front()) {
        case 'M': case 'm': curve = Parser::readMovetoDrawtoCommandGroups(scanner, path, origin, data[0] == 'm'); break;
        case 'L': case 'l': curve = Parser::readLinetoCommand(scanner, path, origin, data[0] == 'l'); break;
        case 'C': case 'c': curve = Parser::readCurvetoCommand(scanner, path, origin, data[0] == 'c'); break;
        case 'S': case 's': curve = Parser::readSmoothCurvetoCommand(scanner, path, origin, curve, data[0] == 's'); break;
        case 'Q': case 'q': curve = Parser::readQuadraticCurvetoCommand(scanner, path, origin, data[0] == 'q'); break;
        case 'T': case 't': curve = Parser::readSmoothQuadraticCurvetoCommand(scanner, path, origin, curve, data[0] == 't'); break;
        case 'A': case 'a': curve = Parser::readEllipticalArcArguments(scanner, path, origin, data[0] == 'a'); break;
        case 'H': case 'h': curve = Parser::readHorizontalLinetoCommand(scanner, path, origin, data[0] == 'h'); break;
        case 'V': case 'v': curve = Parser::readVerticalLinetoCommand(scanner, path, origin, data[0] == 'v'); break;
        default: curve = Parser::readCloseCommand(scanner, path, origin); break;
    }
    for (const auto& element : path.elements()) {
        for (int index = 0; index < element.pointCount(); ++index) {
            ASSERT_TRUE(std::isfinite(element.points[index].x) && std::isfinite(element.points[index].y)) << data;
        }
    }
}

}  // namespace

TEST(ParserRobustness, DamagedFlagDocumentsNeverCrashTheParser) {
    const fs::path flag = fs::path(SORVANE_SOURCE_DIR) / "data/offline-season/flags/2/svg/1f1e7-1f1f8.svg";
    if (!fs::exists(flag)) GTEST_SKIP() << "no offline-season flag at " << flag;
    std::stringstream contents;
    contents << std::ifstream(flag).rdbuf();
    // And a document with the parser's other roads: sheets, instructions, gradients, nesting, text.
    const std::string rich =
        R"svg(<?xml-stylesheet href="x.css"?><svg xmlns="http://www.w3.org/2000/svg" xmlns:xlink="http://www.w3.org/1999/xlink" )svg"
        R"svg(viewBox="0 0 10 10" preserveAspectRatio="xMaxYMin slice"><style>.a{fill:red}</style><defs><linearGradient id="g">)svg"
        R"svg(<stop offset="0"/></linearGradient></defs><g class="a" transform="rotate(3 1 1) matrix(1 0 0 1 2 3)">)svg"
        R"svg(<use xlink:href="#g"/><svg width="50%"><text>t<![CDATA[c]]></text></svg></g><pattern/></svg>)svg";
    const std::string seeds[] = {contents.str(), rich};
    std::mt19937 random(sorvane::testing::testSeed(26));
    for (int run = 0; run < 1000; ++run) {
        auto result = VellumParser::parseSourceUsingDefaultVellumParser(
            VellumSourceString::sourceFromContentsOfString(mutated(seeds[run % 2], random)));
        ASSERT_TRUE(result);
        (void)result->description();
    }
}

TEST(ParserRobustness, DamagedPathDataNeverCrashesOrMakesInfiniteCoordinates) {
    const std::vector<std::string> seeds{
        "M10 10 20 20 30 30", "c 0,10 10,10 10,0 0,-10 10,-10 10,0", "A 5 5 30 1 0 10 10 5 5 0 0110,0",
        "S 30 -10 30 0", "T 20 0 30 0", "Q 1 2 3 4", "H 10 20", "v 5,5", "L1e5-2e-3.5.5", "Z"};
    std::mt19937 random(sorvane::testing::testSeed(27));
    for (int run = 0; run < 10000; ++run) readPathData(mutated(seeds[run % seeds.size()], random));
}

// Start tags are looked over before the XML reader takes them: one of the most attributes allowed is read, one
// more refuses the document with one error, wherever the file's pieces fall and whatever the markup before it
// holds that looks like attributes or tags (comments, sections, instructions, a DOCTYPE's brackets, values);
// and in memory, where the tag begins in a megabyte passed over for its few attributes.
TEST(ParserRobustness, AStartTagPastTheLimitIsRefusedWhereverItFallsAndOnlyThen) {
    std::mt19937 random(sorvane::testing::testSeed(20261210));
    const std::string lookAlikes[] = {
        R"(<!-- <g a="1" b='2'> - ' " -> -->)", "<![CDATA[<g a=1 b=2> ]] ]>]]>", R"(<?pi a="1" b=2 '?>)",
        R"(<g class="a=b c=d &gt; >" title='x="y" >'/>)", "<g>a=b &amp; c=d ></g>", "\n  "};
    const fs::path file = fs::temp_directory_path() / ("vellum-tags-" + std::to_string(::getpid()) + ".svg");
    for (int run = 0; run < 6; ++run) {
        std::string text = R"(<?xml version="1.0"?><!DOCTYPE svg [<!ENTITY e "a=b>c"><!-- ] > --><?p [ ?>]>)"
                           R"(<svg xmlns="http://www.w3.org/2000/svg" width="20" height="20">)";
        const bool inMemory = run >= 4;
        const std::size_t padding = inMemory ? (std::size_t{1} << 20) - random() % 10'000 : random() % 40'000;
        while (text.size() < padding) text += inMemory ? "<g/>" + std::string(4'000, ' ') : lookAlikes[random() % std::size(lookAlikes)];
        const std::size_t attributes = VellumParser::maximumAttributesATag + run % 2;
        text += R"(<rect id="r")";
        for (std::size_t index = 1; index < attributes; ++index) text += " a" + std::to_string(index) + "='=>'";
        std::ofstream(file, std::ios::binary) << text << "/></svg>";
        const auto result = VellumParser::parseSourceUsingDefaultVellumParser(
            inMemory ? std::shared_ptr<VellumSource>(VellumSourceString::sourceFromContentsOfString(text + "/></svg>"))
                     : VellumSourceLocalFile::sourceFromFilename(file));
        const bool refused = attributes > VellumParser::maximumAttributesATag;
        EXPECT_EQ(result->workRefused(), refused) << run << " after " << padding << " bytes";
        EXPECT_EQ(result->errorsRecoverable().size(), refused ? 1u : 0u) << result->description();
        if (!refused) {
            ASSERT_TRUE(result->parsedDocument() && result->parsedDocument()->rootElement()) << result->description();
            EXPECT_NE(result->parsedDocument()->rootElement()->getElementById("r"), nullptr);
        }
    }
    fs::remove(file);
}
