// CSS text and the cascade: the input's first line is a style attribute, the rest a style sheet. Both
// are read on their own (rules, declarations, values, edits) and in a document whose nested elements
// carry classes, ids and the attribute, where every stylable property is cascaded for each element, within
// one cascade scope as a layer build asks, and a few on their own as DOM code asks.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "vellum/CSSRuleList.h"
#include "vellum/CSSStyleDeclaration.h"
#include "vellum/CSSStyleRule.h"
#include "vellum/CSSStyleSheet.h"
#include "vellum/CSSValue.h"
#include "vellum/NodeList.h"
#include "vellum/SVGDocument.h"
#include "vellum/SVGElement.h"
#include "vellum/VellumParseResult.h"
#include "vellum/VellumParser.h"
#include "vellum/VellumSourceString.h"

namespace {

constexpr std::string_view properties[] = {"fill", "stroke", "stroke-width", "opacity", "fill-opacity",
                                           "font-family", "font-size", "font-weight", "display", "visibility",
                                           "stop-color", "clip-rule", "fill-rule", "text-anchor", "color"};

// Text fit for an XML attribute or character data.
std::string escaped(std::string_view text) {
    std::string result;
    for (char c : text) {
        switch (c) {
        case '<': result += "&lt;"; break;
        case '&': result += "&amp;"; break;
        case '"': result += "&quot;"; break;
        case '\0': break;
        default: result += c;
        }
    }
    return result;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    std::string_view input(reinterpret_cast<const char*>(bytes), size);
    auto newline = input.find('\n');
    std::string_view attribute = input.substr(0, newline);
    std::string_view sheetText = newline == std::string_view::npos ? std::string_view{} : input.substr(newline + 1);

    vellum::CSSStyleSheet sheet(sheetText);
    const auto& rules = sheet.cssRules();
    for (std::size_t i = 0; i < rules->length() && i < 64; ++i) {
        auto rule = std::dynamic_pointer_cast<vellum::CSSStyleRule>(rules->item(i));
        if (!rule || !rule->style()) continue;
        (void)rule->description();
        for (auto name : properties) (void)rule->style()->getPropertyCSSValue(name);
    }
    (void)sheet.insertRule(attribute, rules->length() / 2);
    if (rules->length() > 0) sheet.deleteRule(0);

    vellum::CSSStyleDeclaration declaration;
    declaration.setCssText(std::string(attribute));
    for (auto name : properties) {
        if (auto value = declaration.getPropertyCSSValue(name)) (void)value->cssText();
        (void)declaration.getPropertyPriority(name);
    }
    declaration.setProperty("fill", std::string(attribute), "important");
    (void)declaration.removeProperty("stroke");

    std::string document = "<svg xmlns=\"http://www.w3.org/2000/svg\"><style>" + escaped(sheetText) +
                           "</style><g id=\"a\" class=\"a b\" style=\"" + escaped(attribute) +
                           "\"><g class=\"b\"><rect id=\"r\" class=\"c\" width=\"4\" height=\"4\"/><text class=\"a\">t</text>"
                           "</g></g><linearGradient id=\"l\"><stop class=\"a\" offset=\"0\"/></linearGradient></svg>";
    auto result = vellum::VellumParser::parseSourceUsingDefaultVellumParser(
        vellum::VellumSourceString::sourceFromContentsOfString(document));
    if (!result || !result->parsedDocument()) return 0;
    std::vector<std::shared_ptr<vellum::SVGElement>> elements;
    for (auto tag : {"g", "rect", "text", "stop"}) {
        auto found = result->parsedDocument()->getElementsByTagName(tag);
        for (std::size_t i = 0; i < found->length(); ++i) {
            if (auto element = std::dynamic_pointer_cast<vellum::SVGElement>(found->item(i))) elements.push_back(element);
        }
    }
    {
        // As a layer build asks: every property of every element within one cascade scope.
        vellum::SVGElement::CascadeScope scope;
        for (const auto& element : elements) {
            for (auto name : properties) {
                (void)element->cascadedValueForStylableProperty(name);
                (void)element->cascadedValueForStylableProperty(name, false);
            }
        }
    }
    // And as DOM code asks, one question at a time, each answered afresh.
    for (const auto& element : elements) {
        (void)element->cascadedValueForStylableProperty("fill");
        (void)element->cascadedValueForStylableProperty("display", false);
    }
    return 0;
}
