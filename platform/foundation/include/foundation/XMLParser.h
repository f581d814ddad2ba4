#pragma once

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "foundation/Data.h"

namespace foundation {

class XMLParser;

// A fatal error of a parse: the document is not well-formed XML, or the delegate aborted it.
struct XMLParseError {
    // libxml2's error number for well-formedness errors; delegateAborted when abortParsing() stopped it.
    static constexpr int delegateAborted = 512;

    int code = 0;
    std::string message;
    int line = 0;
    int column = 0;

    // "XML parse error 76 at line 3, column 9: Opening and ending tag mismatch: b line 2 and a"
    std::string description() const;
};

// Receives the events of a parse, in document order, on the thread that called parse().
class XMLParserDelegate {
public:
    virtual ~XMLParserDelegate() = default;

    virtual void parserDidStartDocument(XMLParser&) {}
    virtual void parserDidEndDocument(XMLParser&) {}
    // Names as written in the document, prefix included; namespace declarations are plain attributes.
    virtual void didStartElement(XMLParser&, const std::string& /*elementName*/,
                                 const std::map<std::string, std::string>& /*attributes*/) {}
    virtual void didEndElement(XMLParser&, const std::string& /*elementName*/) {}
    // One element's text may arrive in several pieces (around entity references, for example).
    virtual void foundCharacters(XMLParser&, std::string_view /*characters*/) {}
    // CDATA sections come only here, never through foundCharacters.
    virtual void foundCDATA(XMLParser&, std::string_view /*block*/) {}
    virtual void parseErrorOccurred(XMLParser&, const XMLParseError&) {}
};

// Streaming (SAX) XML parser over bytes in memory, on libxml2. It never reads the network or files:
// no external DTD or entity is loaded, and entities declared by the document are not expanded (only
// the predefined ones and character references are), so entity bombs cannot grow.
class XMLParser {
public:
    explicit XMLParser(Data data);
    ~XMLParser();
    XMLParser(const XMLParser&) = delete;
    XMLParser& operator=(const XMLParser&) = delete;

    void setDelegate(std::weak_ptr<XMLParserDelegate> delegate) { delegate_ = std::move(delegate); }
    std::weak_ptr<XMLParserDelegate> delegate() const { return delegate_; }

    // Runs the whole parse, calling the delegate; true when the document was well-formed and not aborted.
    bool parse();
    // From a delegate callback: stops the parse, which then reports a delegateAborted error.
    void abortParsing();

    const std::optional<XMLParseError>& parserError() const { return error_; }
    // Position of the event being reported (1-based), or of the end after a parse.
    int lineNumber() const;
    int columnNumber() const;

private:
    struct Callbacks;

    std::shared_ptr<XMLParserDelegate> lockedDelegate() const { return delegate_.lock(); }
    void reportError(XMLParseError error);

    Data data_;
    std::weak_ptr<XMLParserDelegate> delegate_;
    std::optional<XMLParseError> error_;
    void* context_ = nullptr;  // libxml2's parser context, while parsing
    int lastLine_ = 0;
    int lastColumn_ = 0;
    bool aborted_ = false;
};

}  // namespace foundation
