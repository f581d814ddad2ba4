#pragma once

#include <atomic>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_set>
#include <utility>
#include <vector>

#include "vellum/Element.h"

namespace vellum {

class Attr;
class CSSStyleSheet;
class Node;
class VellumParseResult;
class VellumParserExtension;
class VellumSource;

// Turns a source's bytes into a document: the XML library's push parser is fed 10,240 bytes at a time
// (bytes already in memory a megabyte at a time), each piece looked over for start tags past the limits
// below and charged to the running work meter by its bytes, its elements and their attributes, and its
// callbacks build nodes through the parser extensions; the parse stops once the meter is spent; every problem goes into the run's
// parse result, which is what a parse answers. The XML library never loads anything from the
// network or a DTD and never expands entities. No exception ever passes through it: a failure inside
// a callback stops the parse and is filed as a fatal error.
class VellumParser {
public:
    // Elements nested deeper are skipped with their content (one recoverable error): the tree, its
    // style cascade and its layers must stay within the stack and within linear time.
    static constexpr std::size_t maximumElementDepth = 256;
    // The most element copies the document's use elements may make together; further use elements
    // draw nothing (one recoverable error). For memory, as the layer build's count (an instance about 180
    // bytes, each the layer it becomes); their time is the meter's.
    static constexpr std::size_t maximumUseInstances = 750'000;
    // The XML reader's errors and warnings past this many in one parse are only counted, and filed in
    // one recoverable error at the end (the reader goes on to the end of the chunk it was given after a
    // fatal one, and may meet a million more there).
    static constexpr std::size_t maximumFiledXMLErrors = 100;
    // A start tag past either is refused before the XML library reads it, and the document gives no picture
    // (one error): the library checks each attribute of a tag against every one before it, in one call no
    // charge interrupts (160,000 attributes took it 9.6 s), and holds a tag whole until its end. The
    // offline season's flags and the test drawings have at most 503 attributes and 100 KB a tag.
    static constexpr std::size_t maximumAttributesATag = 8'192;
    static constexpr std::size_t maximumBytesATag = std::size_t{32} << 20;

    explicit VellumParser(std::shared_ptr<VellumSource> source);
    ~VellumParser();
    VellumParser(const VellumParser&) = delete;
    VellumParser& operator=(const VellumParser&) = delete;

    static std::unique_ptr<VellumParser> newParserWithDefaultVellumParserExtensions(std::shared_ptr<VellumSource> source);
    static std::shared_ptr<VellumParseResult> parseSourceUsingDefaultVellumParser(std::shared_ptr<VellumSource> source);
    // May be called from another thread: the parse stops before its next chunk.
    static void cancelParser(VellumParser& parser) { parser.hasCancelBeenRequested_ = true; }

    // The declarations of a style attribute's value, "name:value;...", each an attribute in the style
    // attribute's namespace filed under its local name. Blanks, tabs and line feeds are dropped wherever
    // they stand, also inside values; a name or value keeps its first 255 bytes; a declaration without a
    // name is left out. Null gives none, with a warning.
    static std::map<std::string, std::shared_ptr<Attr>> NSDictionaryFromCSSAttributes(
        const std::shared_ptr<Attr>& styleAttribute);

    // SVG, gradients, patterns, styles, definitions and use, and the generic DOM, in that order.
    void addDefaultSVGParserExtensions();
    // Ignored when already added.
    void addParserExtension(std::shared_ptr<VellumParserExtension> extension);

    // Under the thread's gfx::WorkMeter, or one of its own of the default budget: parsing is part of a
    // render's work. What it took is in the result (VellumParseResult::work); past its own meter's budget
    // the result files one error and the document gives no picture.
    std::shared_ptr<VellumParseResult> parseSynchronously();

    const std::shared_ptr<VellumSource>& source() const { return source_; }
    const std::shared_ptr<VellumParseResult>& currentParseRun() const { return currentParseRun_; }
    const std::vector<std::shared_ptr<VellumParserExtension>>& parserExtensions() const { return parserExtensions_; }
    const std::optional<std::string>& defaultXMLNamespaceForThisParseRun() const { return defaultXMLNamespace_; }

    // What the XML library's callbacks call; public for the bridge, not for callers.
    struct Bridge;
    // An attribute as the XML library hands it over, before it becomes a node.
    struct RawAttribute {
        std::string_view localName;
        std::optional<std::string_view> prefix;
        std::optional<std::string_view> namespaceURI;
        std::string_view value;
    };

private:
    std::shared_ptr<VellumParseResult> parseRun();
    // The namespaces and (sorted) tags an extension takes.
    struct Claims {
        std::vector<std::string> namespaces;
        std::vector<std::string> tags;
    };
    // An extension with its claims, asked once when it is added (once a process for the defaults).
    struct Registered {
        std::shared_ptr<VellumParserExtension> extension;
        std::shared_ptr<const Claims> claims;
    };
    static std::shared_ptr<const Claims> claimsOf(const VellumParserExtension& extension);
    void addParserExtension(std::shared_ptr<VellumParserExtension> extension, std::shared_ptr<const Claims> claims);

    void handleStartElement(const std::string& localName, const std::optional<std::string>& prefix,
                            const std::optional<std::string>& namespaceURI,
                            const std::vector<std::pair<std::string, std::string>>& namespaces,
                            const std::vector<RawAttribute>& rawAttributes);
    // The extension that takes an element: the first whose tags name it, else one taking its whole
    // namespace, else one taking every namespace (null for none).
    const Registered* claimantFor(const std::optional<std::string>& namespaceURI, const std::string& localName);
    void handleEndElement();
    void handleFoundCharacters(std::string_view characters);
    void handleProcessingInstruction(const std::string& target, const std::optional<std::string>& data);
    void addExternalStylesheetsToRootElement();
    void resolveUseElements();
    std::shared_ptr<VellumSource> loadCSSFrom(const std::string& location);
    // The innermost open element that made a node (the list's, so not to be held across a change of it).
    const std::shared_ptr<Node>& currentParent() const;
    void flushCharacters();

    std::string storedChars_;
    // What the bridge hands one element over in, kept for the next element.
    std::vector<std::pair<std::string, std::string>> declaredNamespaces_;
    std::vector<RawAttribute> rawAttributes_;
    std::vector<std::string> unescapedValues_;
    // The attributes an element is made from, and the prefixed names among them.
    std::vector<ParsedAttribute> parsedAttributes_;
    std::vector<std::string> qualifiedNames_;
    std::optional<std::string> elementNamespace_;
    // How many open elements are being skipped for lying too deep.
    std::size_t skippedDepth_ = 0;
    bool reportedTooDeep_ = false;
    // The XML reader's errors and warnings met in this parse, filed or not.
    std::size_t xmlErrorsMet_ = 0;
    // Counts one more; whether it is still among those filed.
    bool fileAnotherXMLError();
    // Whether any element named "use" was opened: most documents have none, and need no search for them.
    bool sawUseElement_ = false;
    // Each open element with the extension that made it (the node is null when it declined).
    std::vector<std::pair<std::shared_ptr<VellumParserExtension>, std::shared_ptr<Node>>> openElements_;
    std::atomic<bool> hasCancelBeenRequested_ = false;
    std::shared_ptr<VellumSource> source_;
    std::vector<std::shared_ptr<CSSStyleSheet>> externalStylesheets_;
    std::size_t externalRules_ = 0;  // the rules of externalStylesheets_, counted as each was read
    // The style sheets this parse has read, by their source's key: a sheet named again is not read again.
    std::unordered_set<std::string> importedSheets_;
    bool reportedRepeatedSheet_ = false;
    std::shared_ptr<VellumParseResult> currentParseRun_;
    std::optional<std::string> defaultXMLNamespace_;
    std::vector<std::shared_ptr<VellumParserExtension>> parserExtensions_;
    std::vector<Registered> registered_;
    // The last element's tag and the extension it went to, while `registered` extensions are added.
    struct {
        std::size_t registered = 0;
        std::string localName;
        std::optional<std::string> namespaceURI;
        const Registered* claimant = nullptr;
    } lastClaim_;
    void* context_ = nullptr;  // the XML library's parser context while a parse runs
    // Whether a handler stopped the XML library during this parse: the chunk failed in our code, not in
    // the library's reading of it.
    bool stoppedByHandler_ = false;
    // Whether a start tag past the limits ended this parse.
    bool refusedTag_ = false;
    // Charges the meter for an element the library read and holds what it keeps; false once the meter is
    // spent (the parse stops).
    bool chargeElement(std::size_t attributes, std::size_t valueBytes);
};

}  // namespace vellum
