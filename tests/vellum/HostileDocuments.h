#pragma once

// Documents written to exhaust an SVG renderer: rings of use elements, copies that double at every
// level, long chains and deep nesting, huge paths. Shared by the tests and bench/vellum/hostile.cpp.
#include <cstddef>
#include <string>

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

// Level i uses level i - 1 twice: 2^levels copies of the square at the bottom.
inline std::string doublingUses(int levels) {
    std::string text = header + R"(<defs><rect id="l0" width="20" height="20" fill="#00ff00"/>)";
    for (int level = 1; level <= levels; ++level) {
        const std::string previous = "#l" + std::to_string(level - 1);
        text += "<g id=\"l" + std::to_string(level) + "\"><use xlink:href=\"" + previous + "\"/><use xlink:href=\"" +
                previous + "\"/></g>";
    }
    return text + "</defs><use xlink:href=\"#l" + std::to_string(levels) + "\"/></svg>";
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
inline std::string selfIntersectingPath(std::size_t segments) {
    std::string text = header + R"(<path fill="none" stroke="#0000ff" stroke-width="3" d="M0 0)";
    text.reserve(text.size() + segments * 8 + 16);
    for (std::size_t segment = 0; segment < segments; ++segment) text += segment % 2 ? "L0 20" : "L20 3";
    return text + R"("/></svg>)";
}

}  // namespace hostile
