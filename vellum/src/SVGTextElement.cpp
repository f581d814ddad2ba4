#include "vellum/SVGTextElement.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>

#include "NumberPrefix.h"
#include "StyleValues.h"
#include "foundation/Strings.h"
#include "gfx/TextLayout.h"
#include "gfx/WorkMeter.h"
#include "vellum/SVGGradientElement.h"
#include "vellum/SVGHelperUtilities.h"
#include "vellum/SVGSVGElement.h"
#include "vellum/VellumLayers.h"

namespace vellum {

void SVGTextPositioningElement::postProcessAttributesAddingErrorsTo(VellumParseResult& result) {
    SVGTextContentElement::postProcessAttributesAddingErrorsTo(result);
    x_ = getAttributeAsSVGLength("x");
    y_ = getAttributeAsSVGLength("y");
    dx_ = getAttributeAsSVGLength("dx");
    dy_ = getAttributeAsSVGLength("dy");
    rotate_ = getAttributeAsSVGLength("rotate");
}

const std::string& SVGTextElement::systemDefaultFontFamily() { return gfx::Font::systemFamilyName(); }

std::optional<std::vector<std::string>> SVGTextElement::fontFamiliesWithCSSValue(std::string_view value) {
    if (value.empty()) return std::nullopt;
    std::vector<std::string> families;
    for (std::string part : foundation::components(value, ",")) {
        std::erase(part, '"');
        families.push_back(foundation::trimmingWhitespaceAndNewlines(part));
    }
    return families;
}

SVGFontAttributes SVGTextElement::fontAttributesWithFontFamily(std::string_view family, std::string_view style,
                                                               std::string_view weight, std::string_view stretch) {
    SVGFontAttributes attributes;
    attributes.family = family.empty() ? systemDefaultFontFamily() : std::string(family);
    if (style.empty()) style = "normal";
    if (weight.empty()) weight = "normal";
    if (stretch.empty()) stretch = "normal";
    double w = 400, k = 5.0 / 3.0;
    if (weight == "normal") {
        w = 400;
    } else if (weight == "bold") {
        w = 700;
    } else if (weight == "bolder") {
        w = 900;
    } else if (weight == "lighter") {
        w = 100;
        k = 2.5;
    } else {
        w = std::clamp(static_cast<double>(floatPrefix(weight).value_or(0)), 1.0, 1000.0);
        k = w < 400 ? 2.5 : 5.0 / 3.0;
    }
    attributes.weightTrait = (w - 400) / 1000 * k;
    if (style != "normal" && (style == "italic" || style.find("oblique") != std::string_view::npos)) {
        attributes.symbolicTraits |= gfx::FontTraits::italic;
    }
    if (stretch.find("condensed") != std::string_view::npos) {
        attributes.symbolicTraits |= gfx::FontTraits::condensed;
    } else if (stretch.find("expanded") != std::string_view::npos) {
        attributes.symbolicTraits |= gfx::FontTraits::expanded;
    }
    return attributes;
}

gfx::Font SVGTextElement::matchedFontWithElement(const SVGElement& element) {
    const auto read = [&](std::string_view name) { return element.cascadedValueForStylableProperty(name).value_or(""); };
    // Units and percentages count (em and % of the parent's size); with no size anywhere, 12.
    const double size = read("font-size").empty() ? 12.0 : fontSizeOf(element);
    std::string family;
    if (auto families = fontFamiliesWithCSSValue(read("font-family"))) {
        const auto& installed = gfx::Font::familyNames();
        for (const std::string& name : *families) {
            if (std::binary_search(installed.begin(), installed.end(), name)) {
                family = name;
                break;
            }
        }
    }
    const SVGFontAttributes attributes =
        fontAttributesWithFontFamily(family, read("font-style"), read("font-weight"), read("font-stretch"));
    return gfx::Font::matching(attributes.family, size, attributes.weightTrait, attributes.symbolicTraits);
}

namespace {

// One character of the text (UTF-8) and the element (the text or a tspan) whose style it takes.
struct Character {
    std::string bytes;
    const SVGElement* element = nullptr;
    std::optional<double> x{}, y{}, rotate{};
    double dx = 0, dy = 0;
};

// An element's characters, [begin, end), for its position lists.
struct Scope {
    const SVGElement* element = nullptr;
    std::size_t begin = 0, end = 0;
};

std::size_t utf8Length(unsigned char lead) {
    if (lead >= 0xf0) return 4;
    if (lead >= 0xe0) return 3;
    if (lead >= 0xc0) return 2;
    return 1;
}

// The characters of the text nodes below `node` in document order, each with its nearest element; the
// scopes of the elements in document order (a parent before its children).
void collectCharacters(const Node& node, const SVGElement* element, std::vector<Character>& characters,
                       std::vector<Scope>& scopes) {
    // Only SVG elements have position lists; the text of any other element counts as its parent's.
    const std::size_t scope = scopes.size();
    if (&node == element) scopes.push_back({element, characters.size(), 0});
    for (const auto& child : *node.childNodes()) {
        if (child->nodeType() == NodeType::text || child->nodeType() == NodeType::cdataSection) {
            const std::string& text = child->nodeValue().value_or("");
            for (std::size_t at = 0; at < text.size();) {
                const std::size_t length = std::min(utf8Length(static_cast<unsigned char>(text[at])), text.size() - at);
                characters.push_back({text.substr(at, length), element});
                at += length;
            }
        } else if (child->nodeType() == NodeType::element) {
            const auto* inner = SVGElement::from(child.get());
            collectCharacters(*child, inner ? inner : element, characters, scopes);
        }
    }
    if (&node == element) scopes[scope].end = characters.size();
}

bool isWhiteSpace(const Character& character) {
    return character.bytes.size() == 1 && std::string_view(" \t\n\r").find(character.bytes[0]) != std::string_view::npos;
}

// The text as one line: white space trimmed at both ends, line feeds read as spaces.
void trimCharacters(std::vector<Character>& characters, std::vector<Scope>& scopes) {
    std::size_t leading = 0;
    while (leading < characters.size() && isWhiteSpace(characters[leading])) ++leading;
    std::size_t kept = characters.size();
    while (kept > leading && isWhiteSpace(characters[kept - 1])) --kept;
    characters.erase(characters.begin() + static_cast<std::ptrdiff_t>(kept), characters.end());
    characters.erase(characters.begin(), characters.begin() + static_cast<std::ptrdiff_t>(leading));
    for (Scope& scope : scopes) {
        scope.begin = std::min(scope.begin - std::min(scope.begin, leading), characters.size());
        scope.end = std::min(scope.end - std::min(scope.end, leading), characters.size());
    }
    for (Character& character : characters) {
        if (character.bytes == "\n") character.bytes = " ";
    }
}

// A list attribute ("10 20,30"): its items, split at white space and commas.
std::vector<std::string> listItems(const SVGElement& element, std::string_view name) {
    if (!element.hasAttribute(name)) return {};
    return foundation::components(element.getAttribute(name), foundation::CharacterSet(" \t\n\r,"));
}

std::vector<double> lengthList(const SVGElement& element, std::string_view name, double dimension) {
    std::vector<double> values;
    for (const std::string& item : listItems(element, name)) {
        const double value = lengthInPixels(SVGLength::svgLengthFromNSString(item), element, dimension);
        values.push_back(std::isfinite(value) ? value : 0);
    }
    return values;
}

// Each element's x, y, dx, dy and rotate lists on its own characters, ancestors first so that the
// nearest element's value wins; the last rotation goes on for the rest of the element's characters.
void positionCharacters(std::vector<Character>& characters, const std::vector<Scope>& scopes, gfx::Size reference) {
    for (const Scope& scope : scopes) {
        const SVGElement& element = *scope.element;
        const auto xs = lengthList(element, "x", reference.width), ys = lengthList(element, "y", reference.height);
        const auto dxs = lengthList(element, "dx", reference.width), dys = lengthList(element, "dy", reference.height);
        std::vector<double> rotations;
        for (const std::string& item : listItems(element, "rotate")) {
            const double value = doublePrefix(item).value_or(0);
            rotations.push_back(std::isfinite(value) ? value : 0);
        }
        for (std::size_t index = scope.begin; index < scope.end; ++index) {
            const std::size_t at = index - scope.begin;
            Character& character = characters[index];
            if (at < xs.size()) character.x = xs[at];
            if (at < ys.size()) character.y = ys[at];
            if (at < dxs.size()) character.dx = dxs[at];
            if (at < dys.size()) character.dy = dys[at];
            if (!rotations.empty()) character.rotate = rotations[std::min(at, rotations.size() - 1)];
        }
    }
}

// A run of characters drawn as one layout: same element, no position of its own after the first.
struct Run {
    std::string text;
    const SVGElement* element = nullptr;
    gfx::Font font = gfx::Font::systemFont(12);
    gfx::Point origin;  // the baseline's start in user space
    double rotation = 0;
    double advance = 0, ascent = 0, height = 0;
    std::size_t chunk = 0;  // runs of one chunk (from an absolute position on) are anchored together
};

bool startsRun(const std::vector<Character>& characters, std::size_t index) {
    if (index == 0) return true;
    const Character& character = characters[index];
    const Character& previous = characters[index - 1];
    return character.element != previous.element || character.x || character.y || character.dx != 0 ||
           character.dy != 0 || character.rotate.value_or(0) != 0 || previous.rotate.value_or(0) != 0;
}

double anchorShare(const SVGElement& element) {
    const std::string anchor = element.cascadedValueForStylableProperty("text-anchor").value_or("");
    return anchor == "middle" ? 0.5 : anchor == "end" ? 1 : 0;
}

double strokeWidthOf(const SVGElement& element, gfx::Size reference) {
    const std::string width = element.cascadedValueForStylableProperty("stroke-width").value_or("");
    if (width.empty()) return 1;
    const double value =
        lengthInPixels(SVGLength::svgLengthFromNSString(width), element, std::hypot(reference.width, reference.height) / std::sqrt(2.0));
    return std::isfinite(value) && value > 0 ? value : 0;
}

// How a run's glyphs are painted: its element's fill and stroke, or, as the mask of a gradient
// stroke, their outlines alone in black.
enum class Painting { colours, maskStroke };

gfx::TextAttributes runAttributes(const SVGElement& element, const gfx::Font& font, gfx::Size reference, Painting painting) {
    gfx::TextAttributes attributes;
    attributes.font = font;
    const double percent = font.pointSize() > 0 ? strokeWidthOf(element, reference) / font.pointSize() * 100 : 0;
    if (painting == Painting::maskStroke) {
        attributes.foregroundColor = gfx::Color{0, 0, 0, 0};
        attributes.strokeColor = gfx::Color::black();
        attributes.strokeWidth = percent;
    } else {
        const auto fill = SVGHelperUtilities::parseFillForElement(element);
        const auto stroke = SVGHelperUtilities::parseStrokeForElement(element);
        // No fill draws the glyphs clear rather than in the default black.
        attributes.foregroundColor = fill.value_or(gfx::Color{0, 0, 0, 0});
        if (stroke && percent > 0) {
            attributes.strokeColor = stroke;
            attributes.strokeWidth = fill ? -percent : percent;
        }
    }
    return attributes;
}

// The identifier of the gradient the paint names; nothing for any other paint or a missing gradient.
std::optional<std::string> gradientReference(const SVGElement& element, std::string_view property) {
    const std::string paint = element.cascadedValueForStylableProperty(property).value_or("");
    if (!paint.starts_with("url")) return std::nullopt;
    auto identifier = SVGHelperUtilities::paintReferenceIdentifier(paint);
    if (!identifier || !SVGElement::as<SVGGradientElement>(SVGHelperUtilities::documentElementById(element, *identifier))) {
        return std::nullopt;
    }
    return identifier;
}

}  // namespace

std::shared_ptr<quartz::Layer> SVGTextElement::newLayer() {
    const gfx::AffineTransform absolute =
        SVGHelperUtilities::transformAbsoluteIncludingViewportForTransformableOrViewportEstablishingElement(*this);
    const gfx::Size reference = SVGHelperUtilities::percentageReferenceSize(rootOfCurrentDocumentFragment().get());

    std::vector<Character> characters;
    std::vector<Scope> scopes;
    collectCharacters(*this, this, characters, scopes);
    // Each copy collects, trims, positions and gathers every character again: charged by them, not its runs.
    if (!gfx::WorkMeter::charge(static_cast<double>(characters.size()) * gfx::WorkMeter::aCharacterPlaced)) {
        return quartz::Layer::make();
    }
    trimCharacters(characters, scopes);
    positionCharacters(characters, scopes, reference);

    // Runs of characters, measured, then placed one after the other from the current text position.
    std::vector<Run> runs;
    std::vector<std::size_t> firstCharacters;
    for (std::size_t index = 0; index < characters.size(); ++index) {
        if (startsRun(characters, index)) {
            runs.emplace_back().element = characters[index].element;
            firstCharacters.push_back(index);
        }
        runs.back().text += characters[index].bytes;
    }
    // Each run is measured and placed again for each copy, and styled where its element changes; the layouts
    // themselves are made once a render.
    std::size_t styled = 0;
    for (std::size_t index = 0; index < runs.size(); ++index) styled += index == 0 || runs[index - 1].element != runs[index].element;
    if (!gfx::WorkMeter::charge(static_cast<double>(runs.size()) * gfx::WorkMeter::aRunPlaced +
                                static_cast<double>(styled) * gfx::WorkMeter::aRunStyled)) {
        return quartz::Layer::make();
    }
    gfx::Point pen{0, 0};
    for (std::size_t index = 0; index < runs.size(); ++index) {
        Run& run = runs[index];
        // Runs of one element (split by its position lists) share its font.
        const bool sameElement = index > 0 && runs[index - 1].element == run.element;
        run.font = sameElement ? runs[index - 1].font : matchedFontWithElement(*run.element);
        gfx::TextAttributes measured;
        measured.font = run.font;
        const gfx::TextLayout layout = gfx::TextLayout::make(gfx::AttributedString(run.text, measured));
        run.advance = layout.size().width;
        run.height = layout.size().height;
        run.ascent = layout.firstBaseline();
        const Character& first = characters[firstCharacters[index]];
        if (first.x) pen.x = *first.x;
        if (first.y) pen.y = *first.y;
        pen.x += first.dx;
        pen.y += first.dy;
        run.origin = pen;
        run.rotation = first.rotate.value_or(0) * std::numbers::pi / 180;
        run.chunk = index == 0 ? 0 : runs[index - 1].chunk + (first.x || first.y ? 1 : 0);
        pen.x += run.advance;
    }
    // Past a spent meter the runs were not laid out: the render ends without them.
    if (gfx::WorkMeter::spentNow()) return quartz::Layer::make();
    // Positions past the largest double (from huge offsets added up) place nothing.
    std::erase_if(runs, [](const Run& run) { return !std::isfinite(run.origin.x) || !std::isfinite(run.origin.y); });
    // text-anchor, from the first character of each chunk, moves the whole chunk.
    for (std::size_t first = 0; first < runs.size();) {
        std::size_t last = first;
        while (last + 1 < runs.size() && runs[last + 1].chunk == runs[first].chunk) ++last;
        const double share = anchorShare(*runs[first].element);
        const double width = runs[last].origin.x + runs[last].advance - runs[first].origin.x;
        for (std::size_t index = first; index <= last; ++index) runs[index].origin.x -= share * width;
        first = last + 1;
    }

    // The layer's bounds hold every run's box (turned with the run, widened by its stroke).
    std::optional<gfx::Rect> united;
    const SVGElement* grown = nullptr;
    double grow = 0;
    for (const Run& run : runs) {
        if (run.element != grown) grow = strokeWidthOf(*(grown = run.element), reference) / 2;
        const gfx::Rect own{-grow, -run.ascent - grow, run.advance + 2 * grow, run.height + 2 * grow};
        const gfx::AffineTransform placed =
            gfx::AffineTransform::rotation(run.rotation).concatenating(gfx::AffineTransform::translation(run.origin.x, run.origin.y));
        united = united ? united->unionWith(placed.apply(own)) : placed.apply(own);
    }
    gfx::Rect box = united.value_or(gfx::Rect{0, 0, 0, 0});
    if (!std::isfinite(box.minX()) || !std::isfinite(box.minY()) || !std::isfinite(box.width()) || !std::isfinite(box.height())) {
        box = {0, 0, 0, 0};
    }

    const auto fillGradient = gradientReference(*this, "fill");
    const auto strokeGradient = gradientReference(*this, "stroke");
    const auto textLayerPainted = [&](Painting painting) {
        std::vector<SVGTextLayer::Piece> pieces;
        pieces.reserve(runs.size());  // held by the layer: no room to spare, each copy
        gfx::AttributedString whole;
        const SVGElement* painted = nullptr;
        gfx::TextAttributes attributes;
        for (const Run& run : runs) {
            // Runs of one element share its paint.
            if (run.element != painted) {
                painted = run.element;
                attributes = runAttributes(*run.element, run.font, reference, painting);
                if (painting == Painting::colours) {
                    // The glyphs under the text's gradient fill are its mask: black. A gradient stroke is
                    // drawn by a layer of its own.
                    if (fillGradient && gradientReference(*run.element, "fill") == fillGradient) {
                        attributes.foregroundColor = gfx::Color::black();
                    }
                    if (strokeGradient && gradientReference(*run.element, "stroke") == strokeGradient) {
                        attributes.strokeColor = std::nullopt;
                        attributes.strokeWidth = 0;
                    }
                }
            }
            gfx::AttributedString string(run.text, attributes);
            whole.append(string);
            pieces.push_back({std::move(string), {run.origin.x - box.minX(), run.origin.y - box.minY()}, run.rotation});
        }
        auto layer = SVGTextLayer::make();
        SVGHelperUtilities::configureCALayer(*layer, *this);
        layer->setBounds({0, 0, box.width(), box.height()});
        // Layer points map to the text's user space moved by the box's corner, under any transform: the
        // position makes up for the anchor point and the text origin within the transform.
        const gfx::Point start = runs.empty() ? gfx::Point{0, 0} : runs.front().origin;
        const double share = runs.empty() ? 0 : anchorShare(*this);
        const gfx::AffineTransform placed = gfx::AffineTransform::translation(start.x, start.y).concatenating(absolute);
        const gfx::Point offset{box.minX() - start.x + share * box.width(), box.minY() - start.y};
        layer->setAnchorPoint({share, 0});
        layer->setPosition({absolute.a * offset.x + absolute.c * offset.y, absolute.b * offset.x + absolute.d * offset.y});
        layer->setAffineTransform(placed);
        layer->setString(whole.string());
        layer->setAttributedText(std::move(whole));
        layer->setPieces(std::move(pieces));
        layer->setAlignment(quartz::TextAlignment::left);
        return layer;
    };

    auto layer = textLayerPainted(Painting::colours);
    auto result = newCALayerForTextLayer(layer, absolute);
    // A gradient stroke: the gradient shows through the glyph outlines, above the fill.
    if (strokeGradient && !runs.empty()) {
        if (auto gradient = gradientMaskedBy(*strokeGradient, textLayerPainted(Painting::maskStroke), absolute)) {
            auto both = quartz::Layer::make();
            both->setOpacity(result->opacity());
            result->setOpacity(1);
            both->addSublayer(result);
            both->addSublayer(gradient);
            result = both;
        }
    }
    return result;
}

std::shared_ptr<quartz::Layer> SVGTextElement::newCALayerForTextLayer(const std::shared_ptr<quartz::Layer>& textLayer,
                                                                      const gfx::AffineTransform& transformAbsolute) {
    std::shared_ptr<quartz::Layer> result = textLayer;
    const std::string fill = cascadedValueForStylableProperty("fill").value_or("");
    if (fill.starts_with("url")) {
        // A "url" text too short to name an element is no gradient.
        if (auto identifier = SVGHelperUtilities::paintReferenceIdentifier(fill)) {
            if (auto gradient = gradientMaskedBy(*identifier, textLayer, transformAbsolute)) result = gradient;
        }
    }
    result->setOpacity(elementOpacity(*this));
    return result;
}

std::shared_ptr<quartz::Layer> SVGTextElement::gradientMaskedBy(std::string_view identifier,
                                                                const std::shared_ptr<quartz::Layer>& textLayer,
                                                                const gfx::AffineTransform& transformAbsolute) {
    const gfx::Rect frame = textLayer->frame();
    auto gradient = SVGHelperUtilities::getGradientLayerWithId(identifier, *this, frame, transformAbsolute);
    if (!gradient) return nullptr;
    // A mask lies in the masked layer's space.
    const gfx::Point position = textLayer->position();
    textLayer->setPosition({position.x - frame.origin.x, position.y - frame.origin.y});
    gradient->setMask(textLayer);
    return gradient;
}

void TinySVGTextAreaElement::postProcessAttributesAddingErrorsTo(VellumParseResult& result) {
    SVGTextElement::postProcessAttributesAddingErrorsTo(result);
    width_ = getAttributeAsSVGLength("width");
    height_ = getAttributeAsSVGLength("height");
}

std::shared_ptr<quartz::Layer> TinySVGTextAreaElement::newLayer() {
    auto layer = SVGTextElement::newLayer();
    // With a gradient fill the text layer is the gradient's mask: the wrapping belongs to it.
    auto text = std::dynamic_pointer_cast<SVGTextLayer>(layer);
    if (!text) text = std::dynamic_pointer_cast<SVGTextLayer>(layer->mask());
    if (!text) return layer;
    text->setWrapped(true);
    const double width = width_.pixelsValue(), height = height_.pixelsValue();
    if (width > 0 && height > 0) text->setBounds({0, 0, width, height});
    const std::string align = cascadedValueForStylableProperty("text-align").value_or("");
    if (align == "start") text->setAlignment(quartz::TextAlignment::left);
    if (align == "center") text->setAlignment(quartz::TextAlignment::center);
    if (align == "end") text->setAlignment(quartz::TextAlignment::right);
    if (align == "justify") text->setAlignment(quartz::TextAlignment::justified);
    text->setPosition({0, 0});
    return layer;
}

}  // namespace vellum
