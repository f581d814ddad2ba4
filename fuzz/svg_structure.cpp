// SVG documents built from a grammar, so that structure rather than syntax varies: nesting, use
// elements pointing anywhere (themselves, ancestors, clip paths: cycles), clip paths and masks,
// gradients of many stops, huge and odd numbers, text in odd fonts and sizes. Each document is parsed
// and drawn into a small bitmap.
#include <cstddef>
#include <cstdint>
#include <string>

#include "FuzzInput.h"
#include "SVGHarness.h"
#include "vellum/SVGDocument.h"
#include "vellum/SVGSVGElement.h"
#include "vellum/VellumLayerTree.h"

namespace {

constexpr int maximumDepth = 40;
constexpr int maximumElements = 400;

class Builder {
public:
    explicit Builder(fuzz::Input& input) : input_(input) {}

    std::string document() {
        std::string body = children(0);
        return "<svg xmlns=\"http://www.w3.org/2000/svg\" xmlns:xlink=\"http://www.w3.org/1999/xlink\" width=\"" +
               number() + "\" height=\"" + number() + "\" viewBox=\"" + number() + " " + number() + " " + number() +
               " " + number() + "\">" + body + "</svg>";
    }

private:
    std::string number() {
        switch (input_.pick(10)) {
        case 0: return "1e308";
        case 1: return "-1e38";
        case 2: return "1e-300";
        case 3: return "NaN";
        case 4: return std::to_string(int(input_.byte()) - 128) + "." + std::to_string(input_.byte());
        case 5: return "99999999999999999999";
        default: return std::to_string(input_.byte());
        }
    }
    std::string reference() { return "#e" + std::to_string(input_.pick(count_ + 4)); }
    std::string common() {
        std::string text = " id=\"e" + std::to_string(count_++) + "\"";
        if (input_.pick(4) == 0) text += " clip-path=\"url(" + reference() + ")\"";
        if (input_.pick(6) == 0) text += " mask=\"url(" + reference() + ")\"";
        if (input_.pick(3) == 0) text += " fill=\"url(" + reference() + ")\"";
        if (input_.pick(4) == 0) text += " transform=\"scale(" + number() + ") rotate(" + number() + ")\"";
        if (input_.pick(5) == 0) text += " stroke=\"red\" stroke-width=\"" + number() + "\"";
        return text;
    }
    std::string children(int depth) {
        std::string text;
        int count = input_.pick(4);
        for (int i = 0; i < count && count_ < maximumElements && !input_.empty(); ++i) text += element(depth);
        return text;
    }
    std::string container(const std::string& name, int depth, const std::string& extra = {}) {
        std::string open = "<" + name + common() + extra + ">";
        return open + children(depth + 1) + "</" + name + ">";
    }
    std::string stops() {
        std::string text;
        int count = input_.pick(4) == 0 ? 100 + input_.byte() * 4 : input_.pick(6);
        for (int i = 0; i < count; ++i)
            text += "<stop offset=\"" + number() + "\" stop-color=\"#" + std::to_string(100000 + input_.byte()) +
                    "\" stop-opacity=\"" + number() + "\"/>";
        return text;
    }
    std::string element(int depth) {
        if (depth >= maximumDepth) return "<rect width=\"1\" height=\"1\"/>";
        switch (input_.pick(13)) {
        case 0: return container("g", depth);
        case 1: return container("clipPath", depth);
        case 2: return container("mask", depth);
        case 3: return container("defs", depth);
        case 4: return container("symbol", depth, " viewBox=\"0 0 " + number() + " " + number() + "\"");
        case 5: return container("svg", depth, " width=\"" + number() + "\" height=\"" + number() + "\"");
        case 6:
            return "<use" + common() + " xlink:href=\"" + reference() + "\" href=\"" + reference() + "\" x=\"" +
                   number() + "\"/>";
        case 7:
            return "<linearGradient" + common() + " x2=\"" + number() + "\" xlink:href=\"" + reference() + "\">" +
                   stops() + "</linearGradient>";
        case 8:
            return "<radialGradient" + common() + " r=\"" + number() + "\" fx=\"" + number() + "\">" + stops() +
                   "</radialGradient>";
        case 9: {
            static const char* const families[] = {"serif", "", "NoSuchFont, monospace", "'\\'", "Sans 99"};
            return "<text" + common() + " x=\"" + number() + "\" font-size=\"" + number() + "\" font-family=\"" +
                   families[input_.pick(5)] + "\" font-weight=\"" + number() + "\">T&#x" +
                   std::to_string(1 + input_.byte()) + ";<tspan dy=\"" + number() + "\">x</tspan></text>";
        }
        case 10:
            return "<path" + common() + " d=\"M" + number() + " " + number() + "C" + number() + " " + number() + " " +
                   number() + " " + number() + " " + number() + " " + number() + "A" + number() + " " + number() +
                   " " + number() + " 1 0 " + number() + " " + number() + "z\"/>";
        case 11:
            return "<circle" + common() + " r=\"" + number() + "\" cx=\"" + number() + "\"/>";
        default:
            return "<rect" + common() + " width=\"" + number() + "\" height=\"" + number() + "\" rx=\"" + number() +
                   "\"/>";
        }
    }

    fuzz::Input& input_;
    int count_ = 0;
};

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    warmUpFonts();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    fuzz::Input input(bytes, size);
    std::string text = Builder(input).document();
    auto result = parseSVGBytes(reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
    auto document = result->parsedDocument();
    if (!document || !document->rootElement()) return 0;
    const gfx::Bitmap bitmap = vellum::VellumLayerTree::renderDocument(*document, {24, 16}, 1, result.get());
    // None only for a render refused whole, its reason filed.
    if (bitmap.width == 0 && bitmap.height == 0 && !result->errorsRecoverable().empty()) return 0;
    if (bitmap.width != 24 || bitmap.height != 16) __builtin_trap();
    return 0;
}
