#pragma once

// Documents written to exhaust an SVG renderer: rings of use elements, copies that double at every
// level, long chains and deep nesting, huge paths, one picture copied many times, selectors that backtrack,
// huge gradients, style sheets and dash arrays, floods of parser errors. Shared by the tests and
// bench/vellum/hostile.cpp.
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "gfx/ImageEncoder.h"

namespace hostile {

inline const std::string header =
    R"(<svg xmlns="http://www.w3.org/2000/svg" xmlns:xlink="http://www.w3.org/1999/xlink" width="20" height="20">)";

// Two use elements naming each other, then a green square that must still be drawn.
inline std::string mutualUses() {
    return header +
           R"(<use id="a" xlink:href="#b"/><use id="b" xlink:href="#a"/>)"
           R"(<rect id="after" width="20" height="20" fill="#00ff00"/></svg>)";
}

// A use naming a group that holds a use naming the first one's group.
inline std::string useRingThroughGroups() {
    return header +
           R"(<g id="g1"><use id="u1" xlink:href="#g2"/></g><g id="g2"><use id="u2" xlink:href="#g1"/></g>)"
           R"(<rect id="after" width="20" height="20" fill="#00ff00"/></svg>)";
}

// Level i is a group using level i - 1 once; the document draws the last level.
inline std::string useChain(int levels) {
    std::string text = header + R"(<defs><rect id="c0" width="20" height="20" fill="#00ff00"/>)";
    for (int level = 1; level <= levels; ++level) {
        text += "<g id=\"c" + std::to_string(level) + "\"><use xlink:href=\"#c" + std::to_string(level - 1) + "\"/></g>";
    }
    return text + "</defs><use xlink:href=\"#c" + std::to_string(levels) + "\"/></svg>";
}

// A green square first, then groups nested `levels` deep around a red one.
inline std::string nestedGroups(std::size_t levels) {
    std::string text = header + R"(<rect width="20" height="20" fill="#00ff00"/>)";
    text.reserve(text.size() + levels * 7 + 64);
    for (std::size_t level = 0; level < levels; ++level) text += "<g>";
    text += R"(<rect width="20" height="20" fill="#ff0000"/>)";
    for (std::size_t level = 0; level < levels; ++level) text += "</g>";
    return text + "</svg>";
}

// A stroked zigzag of `segments` lines that crosses itself everywhere.
inline std::string selfIntersectingPath(std::size_t segments, std::string_view dashes = "none") {
    std::string text = header + R"(<path fill="none" stroke="#0000ff" stroke-width="3" stroke-dasharray=")" +
                       std::string(dashes) + R"(" d="M0 0)";
    text.reserve(text.size() + segments * 8 + 16);
    for (std::size_t segment = 0; segment < segments; ++segment) text += segment % 2 ? "L0 20" : "L20 3";
    return text + R"("/></svg>)";
}

// Level i uses level i - 1 twice, `doublings` levels over `bottom` (which holds an element of id "l0"):
// 2^doublings copies of it.
inline std::string doublingOver(const std::string& bottom, int doublings) {
    std::string text = header + "<defs>" + bottom;
    for (int level = 1; level <= doublings; ++level) {
        const std::string previous = "#l" + std::to_string(level - 1);
        text += "<g id=\"l" + std::to_string(level) + "\"><use xlink:href=\"" + previous + "\"/><use xlink:href=\"" +
                previous + "\"/></g>";
    }
    return text + "</defs><use xlink:href=\"#l" + std::to_string(doublings) + "\"/></svg>";
}

// A green square copied 2^levels times.
inline std::string doublingUses(int levels) {
    return doublingOver(R"(<rect id="l0" width="20" height="20" fill="#00ff00"/>)", levels);
}

// `shown`, an element of id "s" in <defs> (a green square unless given), shown by `copies` use elements.
inline std::string useCopies(std::size_t copies,
                             const std::string& shown = R"(<rect id="s" width="20" height="20" fill="#00ff00"/>)") {
    std::string text = header + "<defs>" + shown + "</defs>";
    for (std::size_t copy = 0; copy < copies; ++copy) text += R"(<use xlink:href="#s"/>)";
    return text + "</svg>";
}

// A "data:" link to the picture `bytes` of `type` ("png", "gif").
inline std::string pictureDataLink(const std::vector<std::uint8_t>& bytes, std::string_view type) {
    static constexpr char digits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string text = "data:image/" + std::string(type) + ";base64,";
    for (std::size_t at = 0; at < bytes.size(); at += 3) {
        const std::uint32_t group = (std::uint32_t{bytes[at]} << 16) |
                                    (at + 1 < bytes.size() ? std::uint32_t{bytes[at + 1]} << 8 : 0) |
                                    (at + 2 < bytes.size() ? std::uint32_t{bytes[at + 2]} : 0);
        text += digits[(group >> 18) & 63];
        text += digits[(group >> 12) & 63];
        text += at + 1 < bytes.size() ? digits[(group >> 6) & 63] : '=';
        text += at + 2 < bytes.size() ? digits[group & 63] : '=';
    }
    return text;
}

// A "data:" link to the PNG `bytes`.
inline std::string pngLink(const std::vector<std::uint8_t>& bytes) { return pictureDataLink(bytes, "png"); }

// A "data:" link to a PNG of side `side`, one colour throughout (so it compresses to little).
inline std::string pictureLink(int side) {
    gfx::Bitmap bitmap = gfx::Bitmap::make(side, side);
    for (int y = 0; y < side; ++y) std::fill(bitmap.row(y), bitmap.row(y) + side, 0xff00ff00u);
    return pngLink(gfx::encodePng(bitmap)->bytes());
}

// One picture (a "data:" link) shown by 2^doublings copies of its image element.
inline std::string pictureThroughDoublingUses(const std::string& dataLink, int doublings) {
    return doublingOver(R"(<image id="l0" width="20" height="20" xlink:href=")" + dataLink + R"("/>)", doublings);
}

// A green square `levels` groups deep and a rule painting it red if it lies under an "x" element, through
// `steps` descendant steps: "x g g ... g rect". No "x" is there, so every way of placing the steps fails.
inline std::string backtrackingSelector(int steps, std::size_t levels) {
    std::string selector = "x";
    for (int step = 0; step < steps; ++step) selector += " g";
    std::string text = header + "<style>" + selector + " rect{fill:#ff0000}</style>";
    for (std::size_t level = 0; level < levels; ++level) text += "<g>";
    text += R"(<rect width="20" height="20" fill="#00ff00"/>)";
    for (std::size_t level = 0; level < levels; ++level) text += "</g>";
    return text + "</svg>";
}

// A linear gradient of `count` stops, from green to green through every offset in between, as its id.
inline std::string gradientStops(const std::string& id, std::size_t count) {
    std::string text = "<linearGradient id=\"" + id + "\">";
    text.reserve(text.size() + count * 52);
    for (std::size_t index = 0; index < count; ++index) {
        text += "<stop offset=\"" + std::to_string(static_cast<double>(index) / static_cast<double>(count)) +
                "\" stop-color=\"" + (index % 2 ? "#00ff00" : "#00fe00") + "\"/>";
    }
    return text + "</linearGradient>";
}

// A square painted by a gradient of `count` stops.
inline std::string manyStops(std::size_t count) {
    return header + "<defs>" + gradientStops("g", count) + R"~(</defs><rect width="20" height="20" fill="url(#g)"/></svg>)~";
}

// A square painted by a gradient of `count` stops, copied 2^doublings times.
inline std::string stopsThroughDoublingUses(std::size_t count, int doublings) {
    return doublingOver(gradientStops("g", count) + R"~(<rect id="l0" width="20" height="20" fill="url(#g)"/>)~", doublings);
}

// `links` gradients, each naming the next by href, the last holding `count` stops; the first paints a square.
// The one holding the stops comes last, so a search from the top for each link walks the whole chain.
inline std::string gradientChain(std::size_t links, std::size_t count) {
    std::string text = header + "<defs>";
    text.reserve(text.size() + links * 48 + count * 52);
    for (std::size_t index = 0; index + 1 < links; ++index) {
        text += "<linearGradient id=\"g" + std::to_string(index) + "\" xlink:href=\"#g" + std::to_string(index + 1) +
                "\"/>";
    }
    text += gradientStops("g" + std::to_string(links - 1), count);
    return text + R"~(</defs><rect width="20" height="20" fill="url(#g0)"/></svg>)~";
}

// What the squares of urlReferences name.
enum class Referenced { gradientFill, missingFill, clipPath };

// `squares` squares of side 1, each filling (or clipping) with "#z", which stands after all of them (a
// gradient, a clip path) or nowhere.
inline std::string urlReferences(std::size_t squares, Referenced referenced) {
    const std::string reference =
        referenced == Referenced::clipPath ? R"~( clip-path="url(#z)")~" : R"~( fill="url(#z) #00ff00")~";
    std::string text = header;
    text.reserve(text.size() + squares * 80);
    for (std::size_t index = 0; index < squares; ++index) {
        text += "<rect x=\"" + std::to_string(index % 20) + "\" y=\"" + std::to_string(index / 20 % 20) +
                "\" width=\"1\" height=\"1\"" + reference + "/>";
    }
    if (referenced == Referenced::gradientFill) text += gradientStops("z", 2);
    if (referenced == Referenced::clipPath) text += R"(<clipPath id="z"><rect width="20" height="20"/></clipPath>)";
    return text + "</svg>";
}

// `groups` empty groups, then a square whose fill names nothing, shown by `copies` use elements (a
// hundred uses of a group of a hundred uses): each copy looks the reference up again.
inline std::string missingReferenceThroughCopies(std::size_t groups, std::size_t copies) {
    std::string text = header;
    text.reserve(text.size() + groups * 4 + copies / 10 * 30);
    for (std::size_t index = 0; index < groups; ++index) text += "<g/>";
    text += R"~(<defs><rect id="r" width="20" height="20" fill="url(#missing) #00ff00"/><g id="h">)~";
    const std::size_t inner = std::min<std::size_t>(copies, 100);
    for (std::size_t index = 0; index < inner; ++index) text += R"(<use xlink:href="#r"/>)";
    text += "</g></defs>";
    for (std::size_t index = 0; index < copies / inner; ++index) text += R"(<use xlink:href="#h"/>)";
    return text + "</svg>";
}

// An attribute naming `count` entities nobody declared, before a green square.
inline std::string undeclaredEntities(std::size_t count) {
    std::string text = header + R"(<g class=")";
    text.reserve(text.size() + count * 3 + 96);
    for (std::size_t index = 0; index < count; ++index) text += "&a;";
    return text + R"("/><rect width="20" height="20" fill="#00ff00"/></svg>)";
}

// A style sheet of `imports` import lines and `rules` class rules, none of which the `squares` green squares
// take.
inline std::string rulesAndImports(std::size_t rules, std::size_t imports, std::size_t squares = 1) {
    std::string text = header + "<style>";
    for (std::size_t index = 0; index < imports; ++index) text += "@import url(i" + std::to_string(index) + ".css);\n";
    for (std::size_t index = 0; index < rules; ++index) text += ".c" + std::to_string(index) + "{fill:#ff0000}\n";
    text += "</style>";
    for (std::size_t index = 0; index < squares; ++index) text += R"(<rect width="20" height="20" fill="#00ff00"/>)";
    return text + "</svg>";
}

// `lines` stroked lines in a group that dashes them by `count` values.
inline std::string longDashArray(std::size_t count, std::size_t lines = 1) {
    std::string text = header + R"(<g stroke="#00ff00" stroke-width="20" stroke-dasharray=")";
    text.reserve(text.size() + count * 2 + lines * 24 + 32);
    for (std::size_t index = 0; index < count; ++index) text += index ? " 1" : "1";
    text += R"(">)";
    for (std::size_t index = 0; index < lines; ++index) text += R"(<path d="M0 10H20"/>)";
    return text + "</g></svg>";
}

// A line dashed by one length and `zeros` zeros after it, drawn itself or, given `copies`, by that many use
// elements: the zeros join the lengths either side of them, a pass over the list a stroke.
inline std::string zerosInDashList(std::size_t zeros, std::size_t copies = 0) {
    std::string text = header + (copies ? "<defs>" : "") +
                       R"(<path id="z" d="M0 10H20" stroke="#00ff00" stroke-width="20" stroke-dasharray="1)";
    text.reserve(text.size() + zeros * 2 + copies * 24 + 64);
    for (std::size_t index = 0; index < zeros; ++index) text += " 0";
    text += copies ? R"("/></defs>)" : R"("/>)";
    for (std::size_t copy = 0; copy < copies; ++copy) text += R"(<use xlink:href="#z"/>)";
    return text + "</svg>";
}

// One square whose class names "a" `repeats` times, under `rules` rules ".a{fill:red}": they apply, so it is
// red, not the green of its own attribute.
inline std::string repeatedClassName(std::size_t repeats, std::size_t rules) {
    std::string text = header + "<style>";
    text.reserve(text.size() + rules * 14 + repeats * 2 + 96);
    for (std::size_t index = 0; index < rules; ++index) text += ".a{fill:red}\n";
    text += R"(</style><rect width="20" height="20" fill="#00ff00" class=")";
    for (std::size_t index = 0; index < repeats; ++index) text += index ? " a" : "a";
    return text + R"("/></svg>)";
}

// `rules` rules "[data-x~=zN]" painting red, over `squares` green squares whose data-x holds `words` other
// words (a letter and a letter or digit, never a "z" first, so they repeat and none is a rule's).
inline std::string longWordList(std::size_t rules, std::size_t squares, std::size_t words) {
    std::string text = header + "<style>";
    for (std::size_t index = 0; index < rules; ++index) text += "[data-x~=\"z" + std::to_string(index) + "\"]{fill:#ff0000}\n";
    text += "</style>";
    static constexpr std::string_view letters = "abcdefghijklmnopqrstuvwxy0123456789";
    std::string list;
    list.reserve(words * 3);
    for (std::size_t index = 0; index < words; ++index) {
        if (index) list += ' ';
        list += letters[index % 25];
        list += letters[index / 25 % letters.size()];
    }
    for (std::size_t index = 0; index < squares; ++index) {
        text += R"(<rect width="20" height="20" fill="#00ff00" data-x=")" + list + R"("/>)";
    }
    return text + "</svg>";
}

// `rules` descendant rules of `steps` steps "xN g g ... g rect" painting red, none of which matches, over
// `squares` green squares under `levels` nested groups.
inline std::string manyLongDescendantRules(std::size_t rules, int steps, std::size_t levels, std::size_t squares) {
    std::string chain;
    for (int step = 2; step < steps; ++step) chain += " g";
    std::string text = header + "<style>";
    for (std::size_t index = 0; index < rules; ++index) text += "x" + std::to_string(index) + chain + " rect{fill:#ff0000}\n";
    text += "</style>";
    for (std::size_t level = 0; level < levels; ++level) text += "<g>";
    for (std::size_t index = 0; index < squares; ++index) text += R"(<rect width="20" height="20" fill="#00ff00"/>)";
    for (std::size_t level = 0; level < levels; ++level) text += "</g>";
    return text + "</svg>";
}

// `rules` rules of `steps` steps "g .x g ... g rect" painting red over `squares` green squares under `levels`
// nested groups, the outermost of class "x": every name a rule asks for is there, so no filter turns the rules
// away, but no group lies above the "x" one and each rule fails only after its steps tried every ancestor.
inline std::string descendantRulesPastTheFilter(std::size_t rules, int steps, std::size_t levels, std::size_t squares) {
    std::string chain;
    for (int step = 3; step < steps; ++step) chain += " g";
    std::string text = header + "<style>";
    for (std::size_t index = 0; index < rules; ++index) text += "g .x" + chain + " rect{fill:#ff0000}\n";
    text += "</style><g class=\"x\">";
    for (std::size_t level = 1; level < levels; ++level) text += "<g>";
    for (std::size_t index = 0; index < squares; ++index) text += R"(<rect width="20" height="20" fill="#00ff00"/>)";
    for (std::size_t level = 0; level < levels; ++level) text += "</g>";
    return text + "</svg>";
}

// Clip paths and masks.

// A header `side` pixels square over the 20 x 20 user space of the others.
inline std::string headerOfSide(int side) {
    const std::string size = std::to_string(side);
    return R"(<svg xmlns="http://www.w3.org/2000/svg" xmlns:xlink="http://www.w3.org/1999/xlink" width=")" + size +
           R"(" height=")" + size + R"(" viewBox="0 0 20 20">)";
}

// `levels` clip paths of `shapes` overlapping strips each, every one clipped by the next, over `squares` green
// squares clipped by the first: the strips cover the square, so it draws green. A renderer that clips each
// strip by the next clip path again makes shapes^levels masks.
inline std::string clipChain(int levels, int shapes, int squares, int side = 20) {
    std::string text = headerOfSide(side) + "<defs>";
    const double strip = 20.0 / shapes;
    for (int level = 0; level < levels; ++level) {
        text += "<clipPath id=\"c" + std::to_string(level) + "\"";
        if (level + 1 < levels) text += " clip-path=\"url(#c" + std::to_string(level + 1) + ")\"";
        text += ">";
        for (int shape = 0; shape < shapes; ++shape) {
            text += "<rect x=\"" + std::to_string(shape * strip) + "\" width=\"" + std::to_string(strip + 1) +
                    "\" height=\"20\"/>";
        }
        text += "</clipPath>";
    }
    text += "</defs>";
    for (int square = 0; square < squares; ++square) text += R"~(<rect width="20" height="20" fill="#00ff00" clip-path="url(#c0)"/>)~";
    return text + "</svg>";
}

// `levels` clip paths of `shapes` strips each, every strip clipped by the next clip path, over a green square
// clipped by the first: each part cut by a clip path of parts cut by a clip path of parts, and so on.
inline std::string clippedPartsChain(int levels, int shapes, int side = 20) {
    std::string text = headerOfSide(side) + "<defs>";
    const double strip = 20.0 / shapes;
    for (int level = 0; level < levels; ++level) {
        text += "<clipPath id=\"c" + std::to_string(level) + "\">";
        const std::string clip = level + 1 < levels ? " clip-path=\"url(#c" + std::to_string(level + 1) + ")\"" : "";
        for (int shape = 0; shape < shapes; ++shape) {
            text += "<rect x=\"" + std::to_string(shape * strip) + "\" width=\"" + std::to_string(strip + 1) +
                    "\" height=\"20\"" + clip + "/>";
        }
        text += "</clipPath>";
    }
    return text + R"~(</defs><rect width="20" height="20" fill="#00ff00" clip-path="url(#c0)"/></svg>)~";
}

// --- The cascade's share: documents whose matching cost must follow their size ---

// `rects` small squares in groups four deep (a chart, its layers, rows and cells) styled by four ordinary
// rules, or with the values those rules give written as attributes (`asAttributes`): both draw alike. The
// chart stands in `wrappers` more plain groups.
inline std::string styledChart(std::size_t rects, bool asAttributes, std::size_t wrappers = 0) {
    const std::size_t columns = 330;
    const std::size_t rows = std::max<std::size_t>((rects + columns - 1) / columns, 1);
    std::string text = R"(<svg xmlns="http://www.w3.org/2000/svg" width=")" + std::to_string(columns) + R"(" height=")" +
                       std::to_string(rows) + R"(" viewBox="0 0 )" + std::to_string(columns) + " " + std::to_string(rows) +
                       R"(">)";
    text.reserve(text.size() + rects * 150 + 512);
    if (!asAttributes) {
        text += "<style>.chart .layer rect{fill:#3060c0;stroke:#102040;stroke-width:0.2}\n"
                "svg g rect{opacity:0.9}\n"
                ".chart g g rect{fill-opacity:0.8}\n"
                "g.layer > g > g > rect{stroke-opacity:0.7;stroke-linejoin:bevel}</style>";
    }
    const std::string styled = asAttributes ? R"( fill="#3060c0" stroke="#102040" stroke-width="0.2" opacity="0.9")"
                                              R"( fill-opacity="0.8" stroke-opacity="0.7" stroke-linejoin="bevel")"
                                            : "";
    for (std::size_t level = 0; level < wrappers; ++level) text += "<g>";
    text += R"(<g class="chart">)";
    // Layers of 33,000 squares, rows of 3,300, cells of 110: 99,000 squares and their groups stay within the
    // library's 100,000 elements.
    constexpr std::size_t layer = 33'000, row = 3'300, cell = 110;
    for (std::size_t index = 0; index < rects; ++index) {
        if (index % layer == 0) text += R"(<g class="layer">)";
        if (index % row == 0) text += "<g>";
        if (index % cell == 0) text += "<g>";
        text += "<rect x=\"" + std::to_string(index % columns) + "\" y=\"" + std::to_string(index / columns) +
                R"(" width="0.8" height="0.8")" + styled + "/>";
        const bool last = index + 1 == rects;
        if (last || index % cell == cell - 1) text += "</g>";
        if (last || index % row == row - 1) text += "</g>";
        if (last || index % layer == layer - 1) text += "</g>";
    }
    text += "</g>";
    for (std::size_t level = 0; level < wrappers; ++level) text += "</g>";
    return text + "</svg>";
}

// `rects` squares of 3 px, 330 to a `<g class="row">`, each with an identifier, `class="cell t3 cN"` of its
// own and a data-v, under `rules` ordinary rules (at most 12) that all match every square, each of
// `declarations` declarations (at most 17) ending in a green fill; or with those values written as
// attributes (`asAttributes`) and no sheet: both draw alike.
inline std::string namedCellsUnderRules(std::size_t rects, std::size_t rules, std::size_t declarations, bool asAttributes) {
    static constexpr std::string_view selectors[] = {"rect",      "g rect",  ".cell",      ".row > .cell",
                                                     "g > rect",  ".t3",     "[data-v]",   "svg .cell",
                                                     "g .cell",   "rect.cell", "svg rect", ".row rect"};
    static constexpr std::string_view values[][2] = {
        {"fill-opacity", "1"}, {"fill-rule", "nonzero"}, {"stroke", "none"}, {"stroke-width", "1"},
        {"stroke-opacity", "1"}, {"stroke-dasharray", "none"}, {"stroke-dashoffset", "0"}, {"stroke-linecap", "butt"},
        {"stroke-linejoin", "miter"}, {"stroke-miterlimit", "4"}, {"opacity", "1"}, {"display", "inline"},
        {"visibility", "visible"}, {"clip-rule", "nonzero"}, {"overflow", "visible"}, {"color", "#000000"},
        {"fill", "#0a0"}};
    constexpr std::size_t columns = 330;
    const std::size_t rows = std::max<std::size_t>((rects + columns - 1) / columns, 1);
    std::string text = R"(<svg xmlns="http://www.w3.org/2000/svg" width=")" + std::to_string(columns * 3) + R"(" height=")" +
                       std::to_string(rows * 3) + R"(">)";
    text.reserve(text.size() + rects * (asAttributes ? 90 + declarations * 20 : 90) + 2048);
    std::string block;
    std::string attributes;
    for (std::size_t index = 0; index + 1 < declarations; ++index) {
        const auto& [name, value] = values[index % 16];
        block.append(name).append(":").append(value).append(";");
        attributes.append(" ").append(name).append("=\"").append(value).append("\"");
    }
    block += "fill:#0a0";
    attributes += R"( fill="#0a0")";
    if (!asAttributes) {
        text += "<style>";
        for (std::size_t index = 0; index < rules; ++index) text.append(selectors[index]).append("{").append(block).append("}\n");
        text += "</style>";
    }
    for (std::size_t index = 0; index < rects; ++index) {
        if (index % columns == 0) text += R"(<g class="row">)";
        const std::string number = std::to_string(index);
        text += "<rect id=\"r" + number + R"(" class="cell t3 c)" + number + R"(" data-v=")" + std::to_string(index % 97) +
                "\" x=\"" + std::to_string(index % columns * 3) + "\" y=\"" + std::to_string(index / columns * 3) +
                R"(" width="3" height="3")" + (asAttributes ? attributes : "") + "/>";
        if (index + 1 == rects || index % columns == columns - 1) text += "</g>";
    }
    return text + "</svg>";
}

// The declarations of one rule that paints a square green and sets 17 more properties to what they
// would be anyway.
inline const std::string eighteenDeclarations =
    "fill:#00ff00;fill-opacity:1;fill-rule:nonzero;stroke:none;stroke-width:1;stroke-opacity:1;"
    "stroke-dasharray:none;stroke-dashoffset:0;stroke-linecap:butt;stroke-linejoin:miter;stroke-miterlimit:4;"
    "opacity:1;display:inline;visibility:visible;clip-rule:nonzero;overflow:visible;color:#000000;font-size:12";

// A red square whose data-x is `valueLength` letters "a" and one "b", under one rule `[data-x*="a...ab"]` of
// `needleLength` characters setting 18 properties, green among them: the test that would compare the
// needle at every place of the value. Drawn by `copies` use elements, or in place when none.
inline std::string longSubstringRule(std::size_t valueLength, std::size_t needleLength, std::size_t copies) {
    std::string text = header + "<style>[data-x*=\"" + std::string(needleLength - 1, 'a') + "b\"]{" +
                       eighteenDeclarations + "}</style>";
    text.reserve(text.size() + valueLength + copies * 24 + 128);
    text += copies ? "<defs>" : "";
    text += R"(<rect id="r" width="20" height="20" fill="#ff0000" data-x=")" + std::string(valueLength - 1, 'a') + R"(b"/>)";
    if (!copies) return text + "</svg>";
    text += "</defs>";
    for (std::size_t index = 0; index < copies; ++index) text += R"(<use xlink:href="#r"/>)";
    return text + "</svg>";
}

// A red square with `names` distinct class names (or, with `asWords`, a data-x of as many distinct words),
// of which a rule paints the last one green, drawn by `copies` use elements.
inline std::string distinctNamesThroughUses(std::size_t names, std::size_t copies, bool asWords) {
    const std::string last = "n" + std::to_string(names - 1);
    std::string text = header + "<style>" + (asWords ? "[data-x~=\"" + last + "\"]" : "." + last) +
                       "{fill:#00ff00}\nrect.other{fill:#0000ff}\n[data-x~=\"other\"]{fill:#0000ff}</style><defs>";
    text.reserve(text.size() + names * 8 + copies * 24 + 128);
    text += asWords ? R"(<rect id="r" width="20" height="20" fill="#ff0000" data-x=")"
                    : R"(<rect id="r" width="20" height="20" fill="#ff0000" class=")";
    for (std::size_t index = 0; index < names; ++index) text += (index ? " n" : "n") + std::to_string(index);
    text += R"("/></defs>)";
    for (std::size_t index = 0; index < copies; ++index) text += R"(<use xlink:href="#r"/>)";
    return text + "</svg>";
}

// `rules` rules `[data-x*="a...azN"]` painting red over `squares` green squares whose data-x is as many letters
// "a" and another word: no rule matches, yet each rule searches each square's value, `length` letters each.
inline std::string substringRulesOverSquares(std::size_t rules, std::size_t squares, std::size_t length) {
    const std::string letters(length, 'a');
    std::string text = header + "<style>";
    text.reserve(text.size() + (rules + squares) * (length + 64));
    for (std::size_t index = 0; index < rules; ++index) text += "[data-x*=\"" + letters + "z" + std::to_string(index) + "\"]{fill:#ff0000}\n";
    text += "</style>";
    for (std::size_t index = 0; index < squares; ++index) {
        text += R"(<rect width="20" height="20" fill="#00ff00" data-x=")" + letters + " y" + std::to_string(index) + R"("/>)";
    }
    return text + "</svg>";
}

// `rules` rules `[data-x="a...azNNNNN"]` painting red over `squares` green squares whose data-x is as long and
// differs only in its last six characters: no rule matches, yet each rule compares each square's value.
inline std::string equalityRulesOverSquares(std::size_t rules, std::size_t squares, std::size_t length) {
    const std::string letters(length, 'a');
    const auto numbered = [](char letter, std::size_t number) {
        std::string digits = std::to_string(number);
        return letter + std::string(digits.size() < 5 ? 5 - digits.size() : 0, '0') + digits;
    };
    std::string text = header + "<style>";
    text.reserve(text.size() + (rules + squares) * (length + 64));
    for (std::size_t index = 0; index < rules; ++index) text += "[data-x=\"" + letters + numbered('z', index) + "\"]{fill:#ff0000}\n";
    text += "</style>";
    for (std::size_t index = 0; index < squares; ++index) {
        text += R"(<rect width="20" height="20" fill="#00ff00" data-x=")" + letters + numbered('y', index) + R"("/>)";
    }
    return text + "</svg>";
}

// A group of `attributes` attributes "aN" over `squares` green squares, each in a group of its own, under
// `rules` rules "[aN] rect" painting them blue; and a green circle of as many attributes copied by `copies`
// use elements. Every attribute test, and every property of every copy, is a look-up among them all.
inline std::string manyAttributesUnderRulesAndCopies(std::size_t attributes, std::size_t rules, std::size_t squares,
                                                     std::size_t copies) {
    std::string names;
    names.reserve(attributes * 12);
    for (std::size_t index = 0; index < attributes; ++index) names += " a" + std::to_string(index) + "=\"1\"";
    std::string text = header + "<style>";
    for (std::size_t index = 0; index < rules; ++index) text += "[a" + std::to_string(index) + "] rect{fill:#0000ff}\n";
    text += "</style><defs><circle id=\"c\" cx=\"10\" cy=\"10\" r=\"10\" fill=\"#00ff00\"" + names + "/></defs>";
    for (std::size_t index = 0; index < copies; ++index) text += R"(<use xlink:href="#c"/>)";
    text += "<g" + names + ">";
    for (std::size_t index = 0; index < squares; ++index) text += R"(<g><rect width="20" height="20" fill="#00ff00"/></g>)";
    return text + "</g></svg>";
}

// `sheets` style elements of one word each (no rule among them), then a green square.
inline std::string oneWordSheets(std::size_t sheets) {
    std::string text = header;
    text.reserve(text.size() + sheets * 16 + 96);
    for (std::size_t index = 0; index < sheets; ++index) text += "<style>a</style>";
    return text + R"(<rect width="20" height="20" fill="#00ff00"/></svg>)";
}

// Drawing multiplied by copies: what the elements draw, not their count, makes the work.

inline std::string headerOf100(int side = 100) {
    const std::string size = std::to_string(side);
    return R"(<svg xmlns="http://www.w3.org/2000/svg" xmlns:xlink="http://www.w3.org/1999/xlink" width=")" + size +
           R"(" height=")" + size + R"(" viewBox="0 0 100 100">)";
}

// A dashed hairline of 16 segments swinging 8,000,000 units either side of a 100 x 100 picture, dashed every
// 0.1 unit, drawn by `copies` use elements: billions of dashes a copy, all but a few hundred off the picture.
inline std::string dashedHairlineCopies(std::size_t copies) {
    std::string text = headerOf100() +
                       R"(<defs><path id="h" fill="none" stroke="#000" stroke-width="0.5" stroke-dasharray="0.1" d="M-8000000 0)";
    for (int segment = 1; segment <= 16; ++segment)
        text += (segment % 2 ? " L8000000 " : " L-8000000 ") + std::to_string(segment * 6);
    text += R"("/></defs>)";
    for (std::size_t copy = 0; copy < copies; ++copy) text += R"(<use xlink:href="#h"/>)";
    return text + "</svg>";
}

// `count` polylines of 8 points zigzagging across the picture, each dotted every 1.5 units (dashes of no
// length) with `cap` caps a unit wide: about 280 dots a polyline.
inline std::string dottedPolylines(std::size_t count, const std::string& cap = "round") {
    std::string text = headerOf100() + R"(<g fill="none" stroke="#000" stroke-width="1" stroke-dasharray="0 1.5" )"
                       R"(stroke-linecap=")" + cap + R"(">)";
    text.reserve(text.size() + count * 80 + 16);
    for (std::size_t line = 0; line < count; ++line) {
        text += R"(<polyline points=")";
        for (std::size_t point = 0; point < 8; ++point) {
            const std::size_t x = point % 2 ? 95 - (line * 7 + point) % 20 : (line * 13 + point) % 20;
            const std::size_t y = (line * 3 + point * 13) % 100;
            text += std::to_string(x) + "," + std::to_string(y) + (point < 7 ? " " : "");
        }
        text += R"("/>)";
    }
    return text + "</g></svg>";
}

// A path of `segments` zigzag segments 20 units across, walking down the picture, stroked 50 units wide with
// round joins, drawn by `copies` use elements.
inline std::string wideRoundStrokeCopies(std::size_t segments, std::size_t copies) {
    std::string text = headerOf100() +
                       R"(<defs><path id="w" fill="none" stroke="#06c" stroke-width="50" stroke-linejoin="round" d="M0 0)";
    text.reserve(text.size() + segments * 8 + copies * 24 + 64);
    for (std::size_t segment = 0; segment < segments; ++segment)
        text += (segment % 2 ? "L40 " : "L60 ") + std::to_string(segment * 100 / segments);
    text += R"("/></defs>)";
    for (std::size_t copy = 0; copy < copies; ++copy) text += R"(<use xlink:href="#w"/>)";
    return text + "</svg>";
}

// `rects` squares as large as the picture (2 units in a scale(1000) group, `side` pixels), each clipped by a
// clip path of two shapes in its bounding box's units, each a little apart so that no two share a mask.
inline std::string clippedRectsAtScale(std::size_t rects, int side = 2000) {
    const std::string size = std::to_string(side);
    std::string text = R"(<svg xmlns="http://www.w3.org/2000/svg" width=")" + size + R"(" height=")" + size +
                       R"(" viewBox="0 0 2000 2000"><defs><clipPath id="c" clipPathUnits="objectBoundingBox">)"
                       R"(<rect width="0.5" height="1"/><circle cx="0.5" cy="0.5" r="0.5"/></clipPath></defs>)"
                       R"~(<g transform="scale(1000)">)~";
    for (std::size_t rect = 0; rect < rects; ++rect) {
        text += R"(<rect x=")" + std::to_string(static_cast<double>(rect) * 1e-6) +
                R"~(" width="2" height="2" fill="#0a0" fill-opacity="0.01" clip-path="url(#c)"/>)~";
    }
    return text + "</g></svg>";
}

// Symbols in `levels` levels, each showing the one below `fan` times; the document shows the top one:
// fan^levels copies of a small square, each a little apart.
inline std::string symbolFan(int levels, int fan = 3) {
    std::string text = headerOf100() + R"(<defs><symbol id="s0"><rect width="1" height="1" fill="#c00"/></symbol>)";
    for (int level = 1; level <= levels; ++level) {
        text += "<symbol id=\"s" + std::to_string(level) + "\">";
        for (int copy = 0; copy < fan; ++copy) {
            text += "<use xlink:href=\"#s" + std::to_string(level - 1) + "\" x=\"" + std::to_string(copy * (level % 3)) +
                    "\" y=\"" + std::to_string(copy * ((level + 1) % 3)) + "\"/>";
        }
        text += "</symbol>";
    }
    return text + "</defs><use xlink:href=\"#s" + std::to_string(levels) + "\"/></svg>";
}

// `pairs` pairs of use elements naming each other, after `clipPaths` empty clip paths (each filing a note as
// it is read), then a green square: every pair files an error of its own, two thousand among thousands.
inline std::string mutualUsePairs(std::size_t pairs, std::size_t clipPaths = 0) {
    std::string text = header;
    text.reserve(text.size() + clipPaths * 11 + pairs * 64);
    for (std::size_t index = 0; index < clipPaths; ++index) text += "<clipPath/>";
    for (std::size_t index = 0; index < pairs; ++index) {
        const std::string a = "a" + std::to_string(index), b = "b" + std::to_string(index);
        text += "<use id=\"" + a + "\" xlink:href=\"#" + b + "\"/><use id=\"" + b + "\" xlink:href=\"#" + a + "\"/>";
    }
    return text + R"(<rect width="20" height="20" fill="#00ff00"/></svg>)";
}

// `links` gradients each naming the next, the last holding two green stops, and as many squares filled by
// them from the last gradient to the first: a walk to the chain's end for each gradient a square names would
// cost the square of the chain's length.
inline std::string gradientChainFilledBackwards(std::size_t links) {
    std::string text = header + "<defs>";
    text.reserve(text.size() + links * 96);
    for (std::size_t index = 0; index + 1 < links; ++index) {
        text += "<linearGradient id=\"g" + std::to_string(index) + "\" xlink:href=\"#g" + std::to_string(index + 1) + "\"/>";
    }
    text += gradientStops("g" + std::to_string(links - 1), 2) + "</defs>";
    for (std::size_t index = links; index-- > 0;) {
        text += "<rect width=\"20\" height=\"20\" fill=\"url(#g" + std::to_string(index) + ")\"/>";
    }
    return text + "</svg>";
}

// How each letter of a text is made a run of its own.
enum class LetterRuns { rotate, xList, tspans };

// `letters` letters, each a run of its own, cycling through 600 distinct two-byte letters (Greek, Cyrillic,
// Armenian, Hebrew), in a text drawn by `copies` use copies, or drawn in place when 0. With `rotate="1"`
// each letter turns; an x list places each; or each letter is a tspan.
inline std::string letterRuns(std::size_t letters, std::size_t copies = 0, LetterRuns kind = LetterRuns::rotate) {
    std::string run, xs;
    run.reserve(letters * (kind == LetterRuns::tspans ? 17 : 2));
    for (std::size_t letter = 0; letter < letters; ++letter) {
        const unsigned code = 0x391 + static_cast<unsigned>(letter % 600);
        if (kind == LetterRuns::tspans) run += "<tspan>";
        run += static_cast<char>(0xc0 | (code >> 6));
        run += static_cast<char>(0x80 | (code & 0x3f));
        if (kind == LetterRuns::tspans) run += "</tspan>";
        if (kind == LetterRuns::xList) xs += std::to_string(letter % 100) + " ";
    }
    const std::string runs = kind == LetterRuns::rotate ? R"( rotate="1")" : kind == LetterRuns::xList ? R"( x=")" + xs + '"' : "";
    const std::string text = R"(<text id="t" y="50" font-size="4")" + runs + ">" + run + "</text>";
    if (copies == 0) return headerOf100() + text + "</svg>";
    std::string document = headerOf100() + "<defs>" + text + "</defs>";
    for (std::size_t copy = 0; copy < copies; ++copy) document += R"(<use xlink:href="#t"/>)";
    return document + "</svg>";
}

// Valid drawings large enough that a count, or a charge for more than is painted, once refused them.

// `lines` lines of a chart, each through `points` points across a 1000-unit drawing, waving over most of its
// height, stroked 2 units wide by one linear gradient across the drawing (with `fill`: closed along the bottom
// and filled by it, faintly, instead).
inline std::string gradientChart(std::size_t lines, std::size_t points, bool fill = false) {
    std::string text = R"(<svg xmlns="http://www.w3.org/2000/svg" width="1000" height="1000" viewBox="0 0 1000 1000">)"
                       R"(<defs><linearGradient id="g" gradientUnits="userSpaceOnUse" x1="0" y1="0" x2="1000" y2="0">)"
                       R"(<stop offset="0" stop-color="#1060c0"/><stop offset="0.5" stop-color="#20a040"/>)"
                       R"(<stop offset="1" stop-color="#c03020"/></linearGradient></defs>)";
    const std::string paint = fill ? R"~(fill="url(#g)" fill-opacity="0.3" stroke="none")~"
                                   : R"~(fill="none" stroke="url(#g)" stroke-width="2")~";
    text.reserve(text.size() + lines * (points * 12 + 96));
    for (std::size_t line = 0; line < lines; ++line) {
        text += std::string(fill ? "<polygon " : "<polyline ") + paint + R"( points=")";
        if (fill) text += "0,1000 ";
        for (std::size_t point = 0; point < points; ++point) {
            const double x = 1000.0 * static_cast<double>(point) / static_cast<double>(std::max<std::size_t>(points - 1, 1));
            const double wave = std::sin(x / 1000 * 6.283185307179586 * static_cast<double>(1 + line % 3) +
                                         static_cast<double>(line));
            const double jitter = static_cast<double>((point * 37 + line * 11) % 21) - 10;
            text += std::to_string(static_cast<int>(x)) + "," + std::to_string(static_cast<int>(500 + 400 * wave + jitter)) + " ";
        }
        if (fill) text += "1000,1000";
        text += R"("/>)";
    }
    return text + "</svg>";
}

// A filled polygon of `points` corners on a circle 80 units across, its rim wavering.
inline std::string longPolygon(std::size_t points) {
    std::string text = R"(<svg xmlns="http://www.w3.org/2000/svg" width="100" height="100" viewBox="0 0 100 100">)"
                       R"(<polygon fill="#c03020" points=")";
    text.reserve(text.size() + points * 14 + 16);
    for (std::size_t point = 0; point < points; ++point) {
        const double angle = static_cast<double>(point) * 6.283185307179586 / static_cast<double>(points);
        const double radius = 38 + static_cast<double>(point % 5) / 2;
        text += std::to_string(50 + radius * std::cos(angle)) + "," + std::to_string(50 + radius * std::sin(angle)) + " ";
    }
    return text + R"("/></svg>)";
}


}  // namespace hostile
