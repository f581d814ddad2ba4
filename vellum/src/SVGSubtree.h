#pragma once

#include <array>
#include <vector>

#include "vellum/NodeList.h"
#include "vellum/SVGElement.h"

namespace vellum {

// Visits `top` and every SVG element below it through SVG elements, without recursion: a document may
// nest deeper than the stack allows.
template <class Visit>
void forEachSVGElementOfSubtree(SVGElement& top, Visit visit) {
    // The parser links every element while it is still a leaf: no list to make for that.
    if (top.childNodes()->length() == 0) {
        visit(top);
        return;
    }
    // The elements waiting, the first few on the stack: most subtrees are small, and a list made on the heap
    // for each weighed on documents of many small groups.
    constexpr std::size_t few = 32;
    std::array<SVGElement*, few> near;
    std::vector<SVGElement*> far;
    std::size_t pending = 0;
    const auto push = [&](SVGElement* element) {
        if (pending < few) near[pending] = element;
        else far.push_back(element);
        ++pending;
    };
    push(&top);
    while (pending > 0) {
        SVGElement* element;
        if (--pending < few) {
            element = near[pending];
        } else {
            element = far.back();
            far.pop_back();
        }
        visit(*element);
        for (const auto& child : *element->childNodes()) {
            if (auto* childElement = SVGElement::from(child.get())) push(childElement);
        }
    }
}

}  // namespace vellum
