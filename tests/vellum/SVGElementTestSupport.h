#pragma once

#include <gtest/gtest.h>

#include <memory>

#include "gfx/Geometry.h"
#include "vellum/SVGElement.h"
#include "vellum/SVGSVGElement.h"
#include "vellum/VellumParseResult.h"

// Stand-ins for the element classes that take part in transforms and the cascade, built as the
// parser builds elements: made, linked, then their attributes read.
struct TestGroup : vellum::SVGElement, vellum::SVGTransformable, vellum::SVGStylable {
    using SVGElement::SVGElement;
};

template <class T = TestGroup>
std::shared_ptr<T> makeElement(std::string name, vellum::Element::AttributeTexts attributes = {},
                               const std::shared_ptr<vellum::Node>& parent = nullptr) {
    auto element = vellum::SVGElement::create<T>(std::move(name), attributes);
    if (parent) parent->appendChild(element);
    vellum::VellumParseResult result;
    element->postProcessAttributesAddingErrorsTo(result);
    return element;
}

inline std::shared_ptr<vellum::SVGSVGElement> makeSVG(vellum::Element::AttributeTexts attributes = {}) {
    return makeElement<vellum::SVGSVGElement>("svg", std::move(attributes));
}

inline void expectNear(gfx::Point actual, gfx::Point expected) {
    EXPECT_NEAR(actual.x, expected.x, 1e-4);
    EXPECT_NEAR(actual.y, expected.y, 1e-4);
}
