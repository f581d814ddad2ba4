#include "foundation/XMLParser.h"

#include <algorithm>
#include <mutex>

#include <libxml/parser.h>
#include <libxml/SAX2.h>
#include <libxml/xmlerror.h>

namespace foundation {

namespace {

std::string text(const xmlChar* characters) {
    return characters ? std::string(reinterpret_cast<const char*>(characters)) : std::string();
}

std::string qualifiedName(const xmlChar* prefix, const xmlChar* localName) {
    return prefix ? text(prefix) + ':' + text(localName) : text(localName);
}

std::string_view bytes(const xmlChar* characters, int length) {
    return {reinterpret_cast<const char*>(characters), static_cast<std::size_t>(std::max(length, 0))};
}

}  // namespace

std::string XMLParseError::description() const {
    return "XML parse error " + std::to_string(code) + " at line " + std::to_string(line) + ", column " +
           std::to_string(column) + ": " + message;
}

struct XMLParser::Callbacks {
    static XMLParser& parser(void* context) { return *static_cast<XMLParser*>(context); }

    static void startDocument(void* context) {
        auto& self = parser(context);
        if (auto delegate = self.lockedDelegate()) delegate->parserDidStartDocument(self);
    }

    static void endDocument(void* context) {
        auto& self = parser(context);
        if (self.error_) return;
        if (auto delegate = self.lockedDelegate()) delegate->parserDidEndDocument(self);
    }

    static void startElement(void* context, const xmlChar* localName, const xmlChar* prefix, const xmlChar*,
                             int namespaceCount, const xmlChar** namespaces, int attributeCount, int,
                             const xmlChar** attributes) {
        auto& self = parser(context);
        auto delegate = self.lockedDelegate();
        if (!delegate) return;
        std::map<std::string, std::string> attributeMap;
        // Namespace processing is off for the delegate: declarations are ordinary attributes.
        for (int index = 0; index < namespaceCount; ++index) {
            const xmlChar* declaredPrefix = namespaces[2 * index];
            attributeMap[declaredPrefix ? "xmlns:" + text(declaredPrefix) : "xmlns"] = text(namespaces[2 * index + 1]);
        }
        // Five pointers per attribute: local name, prefix, URI, value start, value end.
        for (int index = 0; index < attributeCount; ++index) {
            const xmlChar** attribute = attributes + 5 * index;
            attributeMap[qualifiedName(attribute[1], attribute[0])] =
                std::string(reinterpret_cast<const char*>(attribute[3]), reinterpret_cast<const char*>(attribute[4]));
        }
        delegate->didStartElement(self, qualifiedName(prefix, localName), attributeMap);
    }

    static void endElement(void* context, const xmlChar* localName, const xmlChar* prefix, const xmlChar*) {
        auto& self = parser(context);
        if (auto delegate = self.lockedDelegate()) delegate->didEndElement(self, qualifiedName(prefix, localName));
    }

    static void characters(void* context, const xmlChar* characters, int length) {
        auto& self = parser(context);
        if (auto delegate = self.lockedDelegate()) delegate->foundCharacters(self, bytes(characters, length));
    }

    static void cdataBlock(void* context, const xmlChar* block, int length) {
        auto& self = parser(context);
        if (auto delegate = self.lockedDelegate()) delegate->foundCDATA(self, bytes(block, length));
    }

    // Warnings and namespace complaints are not the delegate's concern; the first fatal error is.
    static void structuredError(void* context, xmlErrorPtr error) {
        if (!error || error->level != XML_ERR_FATAL) return;
        auto& self = parser(context);
        if (self.error_) return;
        std::string message = text(reinterpret_cast<const xmlChar*>(error->message));
        while (!message.empty() && (message.back() == '\n' || message.back() == ' ')) message.pop_back();
        self.reportError(XMLParseError{error->code, std::move(message), error->line, error->int2});
    }
};

XMLParser::XMLParser(Data data) : data_(std::move(data)) {}

XMLParser::~XMLParser() = default;

void XMLParser::reportError(XMLParseError error) {
    error_ = std::move(error);
    if (auto delegate = lockedDelegate()) delegate->parseErrorOccurred(*this, *error_);
}

bool XMLParser::parse() {
    if (context_) return false;  // parse() from inside its own callbacks
    static std::once_flag libxmlInitialised;
    std::call_once(libxmlInitialised, xmlInitParser);
    error_.reset();
    aborted_ = false;

    // Only these callbacks exist: no entity declarations are kept and no external subset or entity
    // resolver is offered, so nothing is loaded and nothing but the predefined entities expands.
    xmlSAXHandler handler{};
    handler.initialized = XML_SAX2_MAGIC;
    handler.startDocument = Callbacks::startDocument;
    handler.endDocument = Callbacks::endDocument;
    handler.startElementNs = Callbacks::startElement;
    handler.endElementNs = Callbacks::endElement;
    handler.characters = Callbacks::characters;
    handler.ignorableWhitespace = Callbacks::characters;
    // Set even when unused: without it libxml2 would hand CDATA to the characters callback.
    handler.cdataBlock = Callbacks::cdataBlock;
    handler.serror = Callbacks::structuredError;

    xmlParserCtxtPtr context = xmlCreatePushParserCtxt(&handler, this, nullptr, 0, nullptr);
    if (!context) {
        reportError(XMLParseError{XML_ERR_NO_MEMORY, "Could not create an XML parser.", 0, 0});
        return false;
    }
    xmlCtxtUseOptions(context, XML_PARSE_NONET);
    context_ = context;

    constexpr std::size_t chunkSize = 1 << 20;
    std::size_t offset = 0;
    do {
        std::size_t count = std::min(chunkSize, data_.size() - offset);
        bool last = offset + count == data_.size();
        xmlParseChunk(context, reinterpret_cast<const char*>(data_.data()) + offset, static_cast<int>(count), last);
        offset += count;
    } while (offset < data_.size() && !aborted_ && !error_);

    lastLine_ = xmlSAX2GetLineNumber(context);
    lastColumn_ = xmlSAX2GetColumnNumber(context);
    bool wellFormed = context->wellFormed != 0;
    context_ = nullptr;
    // libxml2 keeps entity declarations in a stand-in document even in SAX mode; it is ours to free.
    if (context->myDoc) xmlFreeDoc(context->myDoc);
    context->myDoc = nullptr;
    xmlFreeParserCtxt(context);
    return wellFormed && !error_ && !aborted_;
}

void XMLParser::abortParsing() {
    if (!context_ || aborted_) return;
    aborted_ = true;
    auto* context = static_cast<xmlParserCtxtPtr>(context_);
    int line = xmlSAX2GetLineNumber(context);
    int column = xmlSAX2GetColumnNumber(context);
    xmlStopParser(context);
    if (!error_) reportError(XMLParseError{XMLParseError::delegateAborted, "The delegate aborted the parse.", line, column});
}

int XMLParser::lineNumber() const {
    return context_ ? xmlSAX2GetLineNumber(static_cast<xmlParserCtxtPtr>(context_)) : lastLine_;
}

int XMLParser::columnNumber() const {
    return context_ ? xmlSAX2GetColumnNumber(static_cast<xmlParserCtxtPtr>(context_)) : lastColumn_;
}

}  // namespace foundation
