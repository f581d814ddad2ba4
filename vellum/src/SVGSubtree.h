#pragma once

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
    std::vector<SVGElement*> pending{&top};
    while (!pending.empty()) {
        SVGElement* element = pending.back();
        pending.pop_back();
        visit(*element);
        for (const auto& child : *element->childNodes()) {
            if (auto* childElement = SVGElement::from(child.get())) pending.push_back(childElement);
        }
    }
}

}  // namespace vellum
