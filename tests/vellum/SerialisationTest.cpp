#include <gtest/gtest.h>

#include "vellum/Attr.h"
#include "vellum/CharacterData.h"
#include "vellum/Document.h"
#include "vellum/Element.h"

using namespace vellum;

namespace {

constexpr const char* svgNS = "http://www.w3.org/2000/svg";
constexpr const char* xlinkNS = "http://www.w3.org/1999/xlink";
const std::string xmlnsNS(xmlnsNamespaceURI);

std::string xml(const Node& node, const NamespacePrefixes& available = {}, const NamespacePrefixes& active = {}) {
    std::string output;
    node.appendXMLToString(output, available, active);
    return output;
}

}  // namespace

TEST(Serialisation, AnEmptyElementIsAnOpeningTagAndAClosingTag) {
    EXPECT_EQ(xml(Element("g")), "<g></g>");
}

TEST(Serialisation, TextAndAttributeValuesAreEscaped) {
    auto text = std::make_shared<Element>("text", Element::AttributeTexts{{"title", "a \"b\" & <c>"}});
    text->appendChild(std::make_shared<Text>("1 < 2 && 3 > 2"));
    EXPECT_EQ(xml(*text), "<text title=\"a &quot;b&quot; &amp; &lt;c&gt;\">1 &lt; 2 &amp;&amp; 3 &gt; 2</text>");
}

TEST(Serialisation, CommentsCDATAAndInstructionsKeepTheirOwnForms) {
    auto style = std::make_shared<Element>("style");
    style->appendChild(std::make_shared<Comment>(" a < b "));
    style->appendChild(std::make_shared<CDATASection>("x{} ]]> y"));
    style->appendChild(std::make_shared<ProcessingInstruction>("pi", "d"));
    EXPECT_EQ(xml(*style), "<style><!-- a < b --><![CDATA[x{} ]]]]><![CDATA[> y]]><?pi d?></style>");
}

TEST(Serialisation, NamespacesAreDeclaredOnceWhereFirstNeeded) {
    // <svg xmlns="svg" xmlns:xlink="xlink"><use xlink:href="#a" width="1"/></svg>, as the parser files it.
    auto svg = std::make_shared<Element>("svg", svgNS,
                                         Element::AttributeNodes{
                                             {"xmlns:", std::make_shared<Attr>(xmlnsNS, "xmlns:", svgNS)},
                                             {"xmlns:xlink", std::make_shared<Attr>(xmlnsNS, "xmlns:xlink", xlinkNS)},
                                         });
    auto use = std::make_shared<Element>("use", svgNS,
                                         Element::AttributeNodes{
                                             {"xlink:href", std::make_shared<Attr>(xlinkNS, "xlink:href", "#a")},
                                             {"width", std::make_shared<Attr>(std::nullopt, "width", "1")},
                                         });
    svg->appendChild(use);
    const NamespacePrefixes available{{svgNS, ""}, {xlinkNS, "xlink"}};
    EXPECT_EQ(xml(*svg, available),
              "<svg xmlns=\"http://www.w3.org/2000/svg\" xmlns:xlink=\"http://www.w3.org/1999/xlink\">"
              "<use xlink:href=\"#a\" width=\"1\"></use></svg>");

    // On its own the use element declares what it needs from the available list (namespaces in URI order).
    EXPECT_EQ(xml(*use, available),
              "<use xmlns:xlink=\"http://www.w3.org/1999/xlink\" xlink:href=\"#a\" "
              "xmlns=\"http://www.w3.org/2000/svg\" width=\"1\"></use>");
}

TEST(Serialisation, AnUnlistedNamespaceGetsAPrefixInsteadOfFailing) {
    Element element("g");
    element.setAttributeNS("urn:extra", "e:mark", "1");
    EXPECT_EQ(xml(element), "<g xmlns:ns1=\"urn:extra\" e:mark=\"1\"></g>");
}

TEST(Serialisation, ADocumentWritesItsContentOnly) {
    auto document = std::make_shared<Document>();
    document->appendChild(std::make_shared<Element>("svg"));
    EXPECT_EQ(xml(*document), "<svg></svg>");
}
