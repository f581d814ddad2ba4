#include "vellum/VellumParser.h"

#include <libxml/parser.h>
#include <libxml/tree.h>
#include <libxml/xmlerror.h>

#include <algorithm>
#include <array>
#include <cstdarg>
#include <cstring>
#include <utility>

#include "VellumLog.h"
#include "foundation/FileManager.h"
#include "foundation/Format.h"
#include "gfx/WorkMeter.h"
#include "vellum/Attr.h"
#include "vellum/CSSStyleSheet.h"
#include "vellum/CharacterData.h"
#include "vellum/NodeArena.h"
#include "vellum/SVGDocument.h"
#include "vellum/SVGSVGElement.h"
#include "vellum/SVGUseElement.h"
#include "vellum/StyleSheetList.h"
#include "vellum/VellumFoundationAdditions.h"
#include "vellum/VellumParseResult.h"
#include "vellum/VellumParserExtensions.h"
#include "vellum/VellumSourceString.h"
#include "vellum/VellumSourceURL.h"
#include "vellum/VellumWorkBounds.h"

namespace vellum {

namespace {

constexpr std::size_t chunkSize = 10'240;
// Bytes in memory go to the XML library in far larger pieces: it copies each piece onto the end of a
// buffer it grows, moving what it holds as it grows, so a document lent in small pieces is copied
// again and again. Any usual document goes in one piece; a huge one still lets a cancel in.
constexpr std::size_t lentChunkSize = std::size_t{1} << 20;
constexpr std::string_view xmlnsNamespace = "http://www.w3.org/2000/xmlns/";

// A light look over each piece of the document before the XML library reads it, for start tags past the
// parser's limits (VellumParser::maximumAttributesATag, maximumBytesATag): the library holds a tag until its
// end and then checks each attribute against every one before it, in one call. It also counts those checks,
// charged with the piece. Comments, CDATA sections, processing instructions, end tags and declarations are
// stepped over, so what they hold is not taken for tags; an attribute is counted by its "=" outside quotes.
class StartTagScan {
public:
    // Reads the piece on from where the last ended: false once a start tag has passed a limit. A piece `lent`
    // where it lies (it stays until the parse ends) with too few "=" for any tag in it to pass the limits is only
    // counted, and its attribute checks charged as though all its attributes were one tag's (a drawing's pieces
    // are mostly so); it is read for where it ends once another piece follows.
    bool read(const char* at, std::size_t size, bool lent) {
        if (passedOver_.data()) {
            const std::string_view piece = std::exchange(passedOver_, {});
            if (!scanned(piece.data(), piece.size())) return false;
            pairs_ = 0;  // charged when it was passed over
        }
        if (lent) {
            const bool inTag = within_ == Within::startTag || within_ == Within::quoted;
            std::size_t attributes = inTag ? attributes_ : 0;
            // Counted by the library's search: a drawing has a few "=" a hundred bytes.
            for (const char* sign = at; attributes <= mostPassedOver && (sign = find(sign, at + size, '=')) != at + size; ++sign) {
                ++attributes;
            }
            if (attributes <= mostPassedOver && (inTag ? tagBytes_ : 0) + size <= VellumParser::maximumBytesATag) {
                pairs_ += static_cast<double>(attributes) * (static_cast<double>(attributes) - 1) / 2;
                passedOver_ = {at, size};
                return true;
            }
        }
        return scanned(at, size);
    }
    // The attribute checks of the tags ended since the last call.
    double takePairs() { return std::exchange(pairs_, 0); }

private:
    // The most "=" a piece passed over may hold: far below the limit, and what its checks are charged as one
    // tag's (about a millisecond) bounds what a piece of many small tags is charged over their own.
    static constexpr std::size_t mostPassedOver = 2'048;

    bool scanned(const char* at, std::size_t size) {
        const char* const end = at + size;
        while (at < end) {
            const char byte = *at;
            switch (within_) {
                case Within::text: {
                    const char* const found = find(at, end, '<');
                    if (found == end) return true;
                    at = found + 1;
                    within_ = Within::opened;
                    continue;
                }
                case Within::opened:
                    if (byte == '!') {
                        within_ = Within::bang;
                        bang_.clear();
                    } else if (byte == '?') {
                        within_ = Within::instruction;
                        resume_ = Within::text;
                        tail_ = 0;
                    } else if (byte == '/') {
                        within_ = Within::endTag;
                    } else {
                        within_ = Within::startTag;
                        tagBytes_ = 1;
                        attributes_ = 0;
                        continue;  // the name's first byte is the tag's
                    }
                    break;
                case Within::bang: {
                    bang_ += byte;
                    if (bang_ == "--") {
                        within_ = Within::comment;
                        resume_ = Within::text;
                        tail_ = 0;
                    } else if (bang_ == "[CDATA[") {
                        within_ = Within::section;
                        resume_ = Within::text;
                        tail_ = 0;
                    } else if (!std::string_view("--").starts_with(bang_) && !std::string_view("[CDATA[").starts_with(bang_)) {
                        within_ = Within::declaration;
                        depth_ = 0;
                        quote_ = 0;
                        lead_ = 0;
                        continue;  // read again as the declaration's
                    }
                    break;
                }
                case Within::startTag: {
                    // Names and blanks pass in one stretch: only quotes, "=" and ">" mean anything here.
                    const char* const from = at;
                    while (at < end && !meaningful[static_cast<unsigned char>(*at)]) ++at;
                    tagBytes_ += static_cast<std::size_t>(at - from);
                    if (tagBytes_ > VellumParser::maximumBytesATag) return false;
                    if (at == end) return true;
                    const char mark = *at;
                    ++tagBytes_;
                    if (mark == '"' || mark == '\'') {
                        quote_ = mark;
                        within_ = Within::quoted;
                    } else if (mark == '=') {
                        if (++attributes_ > VellumParser::maximumAttributesATag) return false;
                    } else {
                        const double count = static_cast<double>(attributes_);
                        pairs_ += count * (count - 1) / 2;
                        within_ = Within::text;
                    }
                    break;
                }
                case Within::quoted: {
                    const char* const found = find(at, end, quote_);
                    const char* const stop = found == end ? end : found + 1;
                    tagBytes_ += static_cast<std::size_t>(stop - at);
                    if (found != end) within_ = Within::startTag;
                    at = stop;
                    if (tagBytes_ > VellumParser::maximumBytesATag) return false;
                    continue;
                }
                case Within::endTag: {
                    const char* const found = find(at, end, '>');
                    if (found == end) return true;
                    at = found + 1;
                    within_ = Within::text;
                    continue;
                }
                case Within::comment:
                case Within::section:
                case Within::instruction: {
                    // Ended by "-->", "]]>" or "?>": the bytes before the ">" are kept in `tail_`.
                    const char mark = within_ == Within::comment ? '-' : within_ == Within::section ? ']' : '?';
                    const int needed = within_ == Within::instruction ? 1 : 2;
                    if (byte == '>' && tail_ >= needed) within_ = resume_;
                    tail_ = byte == mark ? std::min(tail_ + 1, 2) : 0;
                    break;
                }
                case Within::declaration:
                    // "<!--" and "<?" within a DOCTYPE's brackets open a comment or instruction that returns
                    // here: they may hold quotes and brackets of their own.
                    if (!quote_ && depth_ > 0) {
                        if (lead_ == 1 && byte == '?') {
                            within_ = Within::instruction;
                            resume_ = Within::declaration;
                            tail_ = lead_ = 0;
                            break;
                        }
                        if (byte == '<') {
                            lead_ = 1;
                            break;
                        }
                        if ((lead_ == 1 && byte == '!') || (lead_ >= 2 && byte == '-')) {
                            if (++lead_ == 4) {
                                within_ = Within::comment;
                                resume_ = Within::declaration;
                                tail_ = lead_ = 0;
                            }
                            break;
                        }
                        lead_ = 0;
                    }
                    if (quote_) {
                        if (byte == quote_) quote_ = 0;
                    } else if (byte == '"' || byte == '\'') {
                        quote_ = byte;
                    } else if (byte == '[') {
                        ++depth_;
                    } else if (byte == ']') {
                        depth_ = std::max(depth_ - 1, 0);
                    } else if (byte == '>' && depth_ == 0) {
                        within_ = Within::text;
                    }
                    break;
            }
            if (within_ == Within::startTag && tagBytes_ > VellumParser::maximumBytesATag) return false;
            ++at;
        }
        return true;
    }

    // The first `byte` in [at, end), or end.
    static const char* find(const char* at, const char* end, char byte) {
        const void* found = std::memchr(at, byte, static_cast<std::size_t>(end - at));
        return found ? static_cast<const char*>(found) : end;
    }
    // The bytes that mean something between a tag's name and its end: quotes, "=" and ">".
    static constexpr std::array<bool, 256> meaningful = [] {
        std::array<bool, 256> table{};
        for (const unsigned char byte : {'"', '\'', '=', '>'}) table[byte] = true;
        return table;
    }();
    enum class Within : unsigned char { text, opened, bang, startTag, quoted, endTag, comment, section, instruction, declaration };
    Within within_ = Within::text;
    Within resume_ = Within::text;  // where a comment or instruction returns to
    int lead_ = 0;                  // bytes of "<!--" met in a declaration's brackets
    std::string bang_;  // what follows "<!" until it is told apart
    char quote_ = 0;
    int tail_ = 0;
    int depth_ = 0;  // a declaration's open brackets (a DOCTYPE's internal subset)
    std::size_t tagBytes_ = 0;
    std::size_t attributes_ = 0;
    double pairs_ = 0;
    std::string_view passedOver_;  // a lent piece not yet read
};

std::optional<std::string> text(const xmlChar* characters) {
    if (!characters) return std::nullopt;
    return std::string(reinterpret_cast<const char*>(characters));
}

std::string textOrEmpty(const xmlChar* characters) { return text(characters).value_or(""); }

// Without entity substitution the XML library hands an attribute's ampersand (written "&amp;" or
// "&#38;") on as "&#38;", the rest of its references already read; every other "&" it leaves is the
// start of an entity it could not read, kept as written.
std::string unescapedAmpersands(std::string_view value) {
    constexpr std::string_view escaped = "&#38;";
    std::string text;
    text.reserve(value.size());
    for (std::size_t from = 0;;) {
        const std::size_t found = value.find(escaped, from);
        text.append(value.substr(from, found == std::string_view::npos ? std::string_view::npos : found - from));
        if (found == std::string_view::npos) return text;
        text += '&';
        from = found + escaped.size();
    }
}

}  // namespace

// The XML library's callbacks. Each gets its parser as the user data and lets no exception out: one
// stops the parser and is filed as a fatal error. (With user data of its own the library also never
// falls back to its built-in entity look-up, so declared entities are never expanded.)
struct VellumParser::Bridge {
    static VellumParser& parser(void* userData) { return *static_cast<VellumParser*>(userData); }
    static void stop(VellumParser& owner) {
        owner.stoppedByHandler_ = true;
        xmlStopParser(static_cast<xmlParserCtxtPtr>(owner.context_));
    }

    template <class Body>
    static void guarded(void* context, Body body) {
        VellumParser& owner = parser(context);
        try {
            body(owner);
        } catch (const std::exception& exception) {
            vellumLogError("Exception while trying to parse SVG file, will store in parse results. Exception = %@",
                           exception.what());
            owner.currentParseRun_->addParseErrorFatal(
                VellumError::make("Vellum Parsing", 32523432, foundation::format("Exception = %@", exception.what())));
            stop(owner);
        }
    }

    static void startElement(void* context, const xmlChar* localName, const xmlChar* prefix, const xmlChar* uri,
                             int namespaceCount, const xmlChar** namespaces, int attributeCount, int,
                             const xmlChar** attributes) {
        guarded(context, [&](VellumParser& owner) {
            // The parser's own lists, emptied for each element: their room is made once a parse.
            auto& declared = owner.declaredNamespaces_;
            declared.clear();
            for (int index = 0; index < namespaceCount; ++index) {
                declared.emplace_back(textOrEmpty(namespaces[2 * index]), textOrEmpty(namespaces[2 * index + 1]));
            }
            auto& raw = owner.rawAttributes_;
            raw.clear();
            const auto view = [](const xmlChar* characters) -> std::optional<std::string_view> {
                if (!characters) return std::nullopt;
                return std::string_view(reinterpret_cast<const char*>(characters));
            };
            // Reserved up front: the values point into these strings.
            auto& unescaped = owner.unescapedValues_;
            unescaped.clear();
            unescaped.reserve(static_cast<std::size_t>(attributeCount));
            std::size_t valueBytes = 0;
            for (int index = 0; index < attributeCount; ++index) {
                const xmlChar** attribute = attributes + 5 * index;
                std::string_view value(reinterpret_cast<const char*>(attribute[3]),
                                       static_cast<std::size_t>(attribute[4] - attribute[3]));
                valueBytes += value.size();
                if (value.find('&') != std::string_view::npos) value = unescaped.emplace_back(unescapedAmpersands(value));
                raw.push_back({view(attribute[0]).value_or(""), view(attribute[1]), view(attribute[2]), value});
            }
            // The element's namespace is kept in one string for the parse, not made anew per element.
            auto& elementNamespace = owner.elementNamespace_;
            if (uri) {
                if (!elementNamespace) elementNamespace.emplace();
                elementNamespace->assign(reinterpret_cast<const char*>(uri));
            } else {
                elementNamespace.reset();
            }
            if (!owner.chargeElement(static_cast<std::size_t>(attributeCount + namespaceCount), valueBytes)) {
                stop(owner);
                return;
            }
            owner.handleStartElement(textOrEmpty(localName), text(prefix), elementNamespace, declared, raw);
            if (!owner.currentParseRun_->errorsFatal().empty()) stop(owner);
        });
    }

    static void endElement(void* context, const xmlChar*, const xmlChar*, const xmlChar*) {
        guarded(context, [&](VellumParser& owner) { owner.handleEndElement(); });
    }

    static void characters(void* context, const xmlChar* characters, int length) {
        guarded(context, [&](VellumParser& owner) {
            owner.handleFoundCharacters({reinterpret_cast<const char*>(characters), static_cast<std::size_t>(length)});
        });
    }

    static void processingInstruction(void* context, const xmlChar* target, const xmlChar* data) {
        guarded(context, [&](VellumParser& owner) { owner.handleProcessingInstruction(textOrEmpty(target), text(data)); });
    }

    static void unparsedEntityDeclaration(void*, const xmlChar*, const xmlChar*, const xmlChar*, const xmlChar*) {
        vellumLogWarning("Error: unparsed entity Decl");
    }

    // The library's printf-style messages, cut to 1,023 bytes.
    static std::array<char, 1024> formatted(const char* format, va_list arguments) {
        std::array<char, 1024> message{};
        std::vsnprintf(message.data(), message.size(), format, arguments);
        return message;
    }

    static void error(void* context, const char* format, ...) {
        va_list arguments;
        va_start(arguments, format);
        const auto message = formatted(format, arguments);
        va_end(arguments);
        guarded(context, [&](VellumParser& owner) {
            if (!owner.fileAnotherXMLError()) return;
            vellumLogWarning("Error encountered during parse: %s", message.data());
            owner.currentParseRun_->addSAXError(VellumError::make("SVG-SAX", 1, message.data()));
        });
    }

    // Messages the XML library writes outside any parser context (encoding conversion): logged, never
    // printed to standard error.
    static void genericError(void*, const char* format, ...) {
        va_list arguments;
        va_start(arguments, format);
        const auto message = formatted(format, arguments);
        va_end(arguments);
        vellumLogWarning("Error encountered during parse: %s", message.data());
    }

    static void structuredError(void* context, xmlError* error) {
        if (!context || !error) return;
        guarded(context, [&](VellumParser& owner) {
            if (!owner.fileAnotherXMLError()) return;
            VellumError filed = VellumError::make(std::to_string(error->domain), error->code,
                                                  error->message ? error->message : "");
            filed.userInfo["lineNumber"] = std::to_string(error->line);
            filed.userInfo["columnNumber"] = std::to_string(error->int2);
            if (error->str1) filed.userInfo["bonusInfo1"] = error->str1;
            if (error->str2) filed.userInfo["bonusInfo2"] = error->str2;
            if (error->str3) filed.userInfo["bonusInfo3"] = error->str3;
            switch (error->level) {
                case XML_ERR_FATAL: owner.currentParseRun_->addParseErrorFatal(filed); break;
                case XML_ERR_ERROR: owner.currentParseRun_->addParseErrorRecoverable(filed); break;
                case XML_ERR_WARNING: owner.currentParseRun_->addParseWarning(filed); break;
                default: break;
            }
        });
    }

    static xmlSAXHandler& handler() {
        static xmlSAXHandler table = [] {
            xmlSAXHandler sax{};
            sax.initialized = XML_SAX2_MAGIC;
            sax.unparsedEntityDecl = unparsedEntityDeclaration;
            sax.characters = characters;
            sax.cdataBlock = characters;
            sax.processingInstruction = processingInstruction;
            sax.error = error;
            sax.startElementNs = startElement;
            sax.endElementNs = endElement;
            sax.serror = structuredError;
            return sax;
        }();
        return table;
    }
};

VellumParser::VellumParser(std::shared_ptr<VellumSource> source) : source_(std::move(source)) {}

VellumParser::~VellumParser() = default;

std::unique_ptr<VellumParser> VellumParser::newParserWithDefaultVellumParserExtensions(std::shared_ptr<VellumSource> source) {
    auto parser = std::make_unique<VellumParser>(std::move(source));
    parser->addDefaultSVGParserExtensions();
    return parser;
}

std::shared_ptr<VellumParseResult> VellumParser::parseSourceUsingDefaultVellumParser(std::shared_ptr<VellumSource> source) {
    return newParserWithDefaultVellumParserExtensions(std::move(source))->parseSynchronously();
}

void VellumParser::addDefaultSVGParserExtensions() {
    std::array<std::shared_ptr<VellumParserExtension>, 6> extensions = {
        std::make_shared<VellumParserSVG>(),        std::make_shared<VellumParserGradient>(),
        std::make_shared<VellumParserPatternsAndGradients>(), std::make_shared<VellumParserStyles>(),
        std::make_shared<VellumParserDefsAndUse>(), std::make_shared<VellumParserDOM>()};
    // The default extensions claim the same for every parser: asked once, not for each document.
    static const auto claims = [&] {
        std::array<std::shared_ptr<const Claims>, 6> lists;
        for (std::size_t index = 0; index < lists.size(); ++index) lists[index] = claimsOf(*extensions[index]);
        return lists;
    }();
    for (std::size_t index = 0; index < extensions.size(); ++index) {
        addParserExtension(std::move(extensions[index]), claims[index]);
    }
}

std::shared_ptr<const VellumParser::Claims> VellumParser::claimsOf(const VellumParserExtension& extension) {
    auto claims = std::make_shared<Claims>(Claims{extension.supportedNamespaces(), extension.supportedTags()});
    std::sort(claims->tags.begin(), claims->tags.end());
    return claims;
}

void VellumParser::addParserExtension(std::shared_ptr<VellumParserExtension> extension) {
    if (!extension) return;
    auto claims = claimsOf(*extension);
    addParserExtension(std::move(extension), std::move(claims));
}

void VellumParser::addParserExtension(std::shared_ptr<VellumParserExtension> extension, std::shared_ptr<const Claims> claims) {
    if (!extension || std::find(parserExtensions_.begin(), parserExtensions_.end(), extension) != parserExtensions_.end()) {
        return;
    }
    registered_.push_back({extension, std::move(claims)});
    parserExtensions_.push_back(std::move(extension));
}

// A flood of them (an entity nobody declared, a million times) must not cost a record and a log line each.
bool VellumParser::fileAnotherXMLError() {
    if (++xmlErrorsMet_ <= maximumFiledXMLErrors) return true;
    if (xmlErrorsMet_ == maximumFiledXMLErrors + 1) WorkBoundWatch::noteReached();
    return false;
}

bool VellumParser::chargeElement(std::size_t attributes, std::size_t valueBytes) {
    const auto count = static_cast<double>(attributes);
    return gfx::WorkMeter::charge(gfx::WorkMeter::anElementParsed + count * gfx::WorkMeter::anAttributeParsed) &&
           gfx::WorkMeter::hold(gfx::WorkMeter::bytesAnElementHolds + count * gfx::WorkMeter::bytesAnAttributeHolds +
                                static_cast<double>(valueBytes));
}

std::shared_ptr<VellumParseResult> VellumParser::parseSynchronously() {
    const bool ownMeter = !gfx::WorkMeter::running();
    gfx::WorkMeter meter;
    const std::uint64_t before = meter.used();
    auto run = parseRun();
    // A refused tag filed its own error.
    run->setWork(meter.used() - before, (ownMeter && meter.spent()) || refusedTag_);
    // Ended by the clock, the parse is still cut short (its document would draw in part), but that is not the
    // document's error.
    if (run->workRefused() && !refusedTag_ && meter.spentByClock()) {
        fileRenderPastItsMeter(nullptr, true);
    } else if (run->workRefused() && !refusedTag_) {
        WorkBoundWatch::noteReached();
        run->addParseErrorRecoverableOnce(VellumError::make(
            "Vellum", 2, "Parsing the document took more work than a render is allowed; it gives no picture"));
    }
    return run;
}

std::shared_ptr<VellumParseResult> VellumParser::parseRun() {
    if (currentParseRun_) {
        vellumLogError(
            "FATAL: attempting to run the parser twice in one thread; limxml is single-threaded only, so we are too "
            "(until someone wraps libxml to be multi-threaded)");
    }
    currentParseRun_ = std::make_shared<VellumParseResult>();
    // The document's nodes come from one arena, given back at once when the last of them goes.
    NodeArena::Scope nodeArena;
    openElements_.clear();
    storedChars_.clear();
    skippedDepth_ = 0;
    reportedTooDeep_ = false;
    xmlErrorsMet_ = 0;
    importedSheets_.clear();
    reportedRepeatedSheet_ = false;
    sawUseElement_ = false;
    stoppedByHandler_ = false;
    refusedTag_ = false;
    StartTagScan scan;
    VellumParseResult& run = *currentParseRun_;

    const auto stream = source_ ? source_->stream() : nullptr;
    if (!stream) {
        run.addSourceError(VellumError::make(
            "Vellum", 2354,
            foundation::format("Source failed to create a valid NSInputStream; check your log files for why the "
                               "VellumSource failed (source = %@)",
                               source_ ? source_->description() : std::string("(null)"))));
        return currentParseRun_;
    }
    stream->open();
    if (stream->streamStatus() != foundation::StreamStatus::open) {
        if (stream->streamStatus() == foundation::StreamStatus::error && stream->streamError()) {
            run.addSourceError(VellumError::make("NSPOSIXErrorDomain", stream->streamError()->code,
                                                 stream->streamError()->message));
        } else {
            run.addSourceError(VellumError::make(
                "Vellum", 2573,
                "The stream wouldn't open; this can happen when Apple libraries incorrectly open slowly over the internet. "
                "Any other case is probably a threading bug inside Vellum"));
        }
        stream->close();
        return currentParseRun_;
    }

    // Only the bytes each read answers are handed on: the buffer is not cleared first.
    std::array<std::uint8_t, chunkSize> buffer;
    // The library's generic handler is per thread: ours for the length of this parse.
    const xmlGenericErrorFunc previousHandler = xmlGenericError;
    void* const previousContext = xmlGenericErrorContext;
    xmlSetGenericErrorFunc(nullptr, Bridge::genericError);
    xmlParserCtxtPtr context = xmlCreatePushParserCtxt(&Bridge::handler(), this, nullptr, 0, nullptr);
    if (context) {
        // No network, no DTD loading, no entity substitution.
        xmlCtxtUseOptions(context, XML_PARSE_NONET);
        context_ = context;
    }
    // Bytes in memory are handed on where they lie; other streams are read into the buffer.
    const std::uint8_t* chunk = buffer.data();
    const auto readChunk = [&]() -> std::ptrdiff_t {
        if (const auto lent = stream->readInPlace(lentChunkSize)) {
            chunk = lent->data();
            return static_cast<std::ptrdiff_t>(lent->size());
        }
        chunk = buffer.data();
        const std::ptrdiff_t count = stream->read(buffer.data(), buffer.size());
        if (count < 0) {
            // A read that fails part-way is the source's fault, not the document's.
            run.addSourceError(VellumError::make("NSPOSIXErrorDomain", stream->streamError() ? stream->streamError()->code : EIO,
                                                 stream->streamError() ? stream->streamError()->message : "read failed"));
        }
        return count;
    };
    std::ptrdiff_t count = context ? readChunk() : -1;
    std::uint64_t total = 0;
    bool readFailed = count < 0;
    while (context && count > 0) {
        if (hasCancelBeenRequested_) break;
        total += static_cast<std::uint64_t>(count);
        const std::uint64_t length = source_->approximateLengthInBytesOr0();
        run.setParseProgressFractionApproximate(length != 0 ? static_cast<double>(total) / static_cast<double>(length) : 0);
        if (!scan.read(reinterpret_cast<const char*>(chunk), static_cast<std::size_t>(count), chunk != buffer.data())) {
            refusedTag_ = true;
            break;
        }
        if (!gfx::WorkMeter::charge(static_cast<double>(count) * gfx::WorkMeter::aByteParsed +
                                    scan.takePairs() * gfx::WorkMeter::anAttributePairChecked)) {
            break;
        }
        const int code = xmlParseChunk(context, reinterpret_cast<const char*>(chunk), static_cast<int>(count), 0);
        if (!run.errorsFatal().empty()) {
            // A chunk a handler stopped counts as read well: its failure is the handler's.
            if (code > 0 && !stoppedByHandler_) {
                run.setLibXMLFailed(true);
            } else {
                vellumLogWarning("[%@] SVG parser generated one or more FATAL errors (not the XML parser), errors follow:",
                                 "VellumParser");
                for (const auto& error : run.errorsFatal()) {
                    vellumLogWarning("[%@] ... FATAL ERRRO in SVG parse: %@", "VellumParser", error.description());
                }
            }
            break;
        }
        // A spent meter stopped the library in a callback, or would refuse what it reads next.
        if (gfx::WorkMeter::spentNow()) break;
        count = readChunk();
        readFailed = count < 0;
    }
    stream->close();
    const bool stoppedEarly = refusedTag_ || gfx::WorkMeter::spentNow();
    if (context) {
        if (!run.libXMLFailed() && run.errorsFatal().empty() && !readFailed && !stoppedEarly) xmlParseChunk(context, nullptr, 0, 1);
        context_ = nullptr;
        // A DTD makes the XML library start a tree of its own, which the context does not free.
        if (context->myDoc) xmlFreeDoc(context->myDoc);
        context->myDoc = nullptr;
        xmlFreeParserCtxt(context);
    }
    xmlSetGenericErrorFunc(previousContext, previousHandler);
    if (xmlErrorsMet_ > maximumFiledXMLErrors) {
        run.addParseErrorRecoverable(VellumError::make(
            "Vellum", 1,
            foundation::format("The XML reader met %lu more errors and warnings, counted but not filed",
                               static_cast<unsigned long>(xmlErrorsMet_ - maximumFiledXMLErrors))));
    }
    if (refusedTag_) {
        WorkBoundWatch::noteReached();
        run.addParseErrorRecoverable(VellumError::make(
            "Vellum", 2,
            foundation::format("The document has a start tag of more than %lu attributes or %lu bytes, more than any "
                               "drawing has; it gives no picture",
                               maximumAttributesATag, maximumBytesATag)));
    }
    openElements_.clear();
    if (!stoppedEarly) resolveUseElements();
    return currentParseRun_;
}

std::map<std::string, std::shared_ptr<Attr>> VellumParser::NSDictionaryFromCSSAttributes(
    const std::shared_ptr<Attr>& styleAttribute) {
    std::map<std::string, std::shared_ptr<Attr>> declarations;
    if (!styleAttribute) {
        vellumLogWarning(
            "[%@] WARNING: asked to convert an empty CSS string into a CSS dictionary; returning empty dictionary",
            "VellumParser");
        return declarations;
    }
    constexpr std::size_t longest = 255;
    std::string name;
    std::string collected;
    const std::string& value = styleAttribute->value();
    // The end of the text ends the last value as a semicolon does.
    for (std::size_t index = 0; index <= value.size(); ++index) {
        const char byte = index < value.size() ? value[index] : ';';
        if (byte == ' ' || byte == '\t' || byte == '\n') continue;
        if (byte == ':') {
            name = std::exchange(collected, {});
        } else if (byte == ';') {
            if (!name.empty()) {
                auto declaration = Attr::makeInNamespace(styleAttribute->namespaceURI(), std::move(name), std::move(collected));
                declarations[declaration->localName()] = declaration;
            }
            name.clear();
            collected.clear();
        } else if (collected.size() < longest) {
            collected += byte;
        }
    }
    return declarations;
}

// Use references may point forward, so they are resolved once the document is complete; one that
// names nothing is a recoverable error, not the end of the parse.
void VellumParser::resolveUseElements() {
    auto document = currentParseRun_->parsedDocument();
    if (!document || !sawUseElement_) return;
    const auto uses = document->getElementsByTagNameNS(svgNamespaceURI, "use");
    if (uses->length() == 0) return;  // most documents: no index to build
    // One index for all of them: a search of the document for each would be quadratic.
    const auto identifiers = SVGUseElement::elementsByIdentifier(document->rootElement());
    std::size_t instances = maximumUseInstances;
    bool reportedTooMany = false;
    for (const auto& node : *uses) {
        auto use = SVGElement::as<SVGUseElement>(node);
        if (!use) continue;
        if (!use->resolveInstanceRoot(instances, &identifiers)) {
            if (!std::exchange(reportedTooMany, true)) {
                WorkBoundWatch::noteReached();
                currentParseRun_->addParseErrorRecoverable(VellumError::make(
                    "Vellum", 1,
                    foundation::format("The document's <use> elements copy more than %lu elements; the use elements "
                                       "past that draw nothing",
                                       maximumUseInstances)));
            }
            continue;
        }
        if (use->instanceRoot()) continue;
        const auto identifier = use->referencedIdentifier();
        const std::string message =
            identifier ? foundation::format("Found an SVG <use> tag that points to a non-existent element. Missing element: id = %@",
                                            *identifier)
                       : foundation::format("Not supported: <use> tags that declare an href to something that DOESN'T "
                                            "begin with #. Href supplied = %@",
                                            use->getAttribute("href"));
        currentParseRun_->addParseErrorRecoverable(VellumError::make("Vellum", 1, message));
    }
}

const std::shared_ptr<Node>& VellumParser::currentParent() const {
    static const std::shared_ptr<Node> none;
    for (auto open = openElements_.rbegin(); open != openElements_.rend(); ++open) {
        if (open->second) return open->second;
    }
    return none;
}

void VellumParser::flushCharacters() {
    if (storedChars_.empty()) return;
    if (const auto& parent = currentParent()) Node::appendParsedChild(parent, makeNodeShared<Text>(Text::Read{}, storedChars_));
    storedChars_.clear();
}

void VellumParser::handleStartElement(const std::string& localName, const std::optional<std::string>& prefix,
                                      const std::optional<std::string>& givenNamespaceURI,
                                      const std::vector<std::pair<std::string, std::string>>& namespaces,
                                      const std::vector<RawAttribute>& rawAttributes) {
    VellumParseResult& run = *currentParseRun_;
    if (skippedDepth_ > 0 || openElements_.size() >= maximumElementDepth) {
        if (skippedDepth_++ == 0) flushCharacters();
        if (!std::exchange(reportedTooDeep_, true)) {
            WorkBoundWatch::noteReached();
            run.addParseErrorRecoverable(VellumError::make(
                "Vellum", 1,
                foundation::format("Elements nested deeper than %lu levels are skipped with their content (first: <%@>)",
                                   maximumElementDepth, localName)));
        }
        return;
    }
    if (!defaultXMLNamespace_) {
        for (const auto& [declaredPrefix, uri] : namespaces) {
            if (declaredPrefix.empty()) {
                defaultXMLNamespace_ = uri;
                break;
            }
        }
    }
    const std::optional<std::string>& namespaceURI = givenNamespaceURI ? givenNamespaceURI : defaultXMLNamespace_;
    // Attributes are handed on as read, in their own namespace or else the document's default one;
    // only prefixed names are put together. Reserved up front: the views point into these strings.
    auto& parsed = parsedAttributes_;
    parsed.clear();
    auto& names = qualifiedNames_;
    names.clear();
    names.reserve(rawAttributes.size() + namespaces.size());
    const std::optional<std::string_view> defaultNamespace =
        defaultXMLNamespace_ ? std::optional<std::string_view>(*defaultXMLNamespace_) : std::nullopt;
    for (const RawAttribute& raw : rawAttributes) {
        // Filled in place: an entry put together beside the list and then copied in was read back whole
        // before its parts were written, a stall for each attribute.
        ParsedAttribute& attribute = parsed.emplace_back();
        attribute.qualifiedName =
            raw.prefix ? names.emplace_back(std::string(*raw.prefix).append(":").append(raw.localName)) : raw.localName;
        attribute.namespaceURI = raw.namespaceURI ? raw.namespaceURI : defaultNamespace;
        attribute.value = raw.value;
    }
    for (const auto& [declaredPrefix, uri] : namespaces) {
        parsed.push_back({names.emplace_back("xmlns:" + declaredPrefix), xmlnsNamespace, uri});
        run.namespacesEncountered()[declaredPrefix] = uri;
    }
    const ParsedAttributes attributes(parsed);
    if (!namespaceURI && !prefix) {
        vellumLogWarning(
            "[%@] WARNING: Your input SVG contains tags that have no namespace, and your document doesn't define a "
            "default namespace. This is always incorrect - it means some of your SVG data will be ignored, and usually "
            "means you have a typo in there somewhere. Tag with no namespace: <%@>",
            "VellumParser", localName);
    }
    flushCharacters();

    const Registered* claimant = claimantFor(namespaceURI, localName);
    if (!claimant || !claimant->extension) {
        run.addParseErrorFatal(VellumError::make(
            "Vellum Parsing", 32523432,
            foundation::format("Exception = Found a tag (prefix:%@ name:%@) that was rejected by all the parsers "
                               "available. Perhaps you forgot to include a default parser (usually: VellumParserDOM, "
                               "which will handle any / all XML tags)",
                               prefix.value_or("(null)"), localName)));
        openElements_.emplace_back(nullptr, nullptr);
        return;
    }

    const std::shared_ptr<VellumParserExtension>& chosen = claimant->extension;
    if (localName == "use") sawUseElement_ = true;
    // The parent's share is the open list's; the list may grow below, so whether there is one is noted.
    const std::shared_ptr<Node>& parent = currentParent();
    const bool hasParent = parent != nullptr;
    auto node = chosen->handleStartElement(localName, source_, prefix, namespaceURI, attributes, run, parent);
    if (node && hasParent) Node::appendParsedChild(parent, node);
    const bool isRoot = node && !hasParent;
    openElements_.emplace_back(chosen, std::move(node));
    if (isRoot && run.parsedDocument()) addExternalStylesheetsToRootElement();
}

// Consecutive elements mostly share their tag (a flag is runs of paths): the last answer is kept.
const VellumParser::Registered* VellumParser::claimantFor(const std::optional<std::string>& namespaceURI,
                                                          const std::string& localName) {
    if (lastClaim_.registered == registered_.size() && lastClaim_.localName == localName &&
        lastClaim_.namespaceURI == namespaceURI) {
        return lastClaim_.claimant;
    }
    const Registered* claimant = nullptr;
    const Registered* namespaceDefault = nullptr;
    const Registered* catchAll = nullptr;
    for (const Registered& entry : registered_) {
        const auto& spaces = entry.claims->namespaces;
        if (spaces.empty()) {
            catchAll = &entry;
            continue;
        }
        if (!namespaceURI || std::find(spaces.begin(), spaces.end(), *namespaceURI) == spaces.end()) continue;
        const auto& tags = entry.claims->tags;
        if (tags.empty()) {
            namespaceDefault = &entry;
        } else if (std::binary_search(tags.begin(), tags.end(), localName)) {
            claimant = &entry;
            break;
        }
    }
    if (!claimant) claimant = namespaceDefault ? namespaceDefault : catchAll;
    lastClaim_.registered = registered_.size();
    lastClaim_.localName = localName;
    lastClaim_.namespaceURI = namespaceURI;
    lastClaim_.claimant = claimant;
    return claimant;
}

void VellumParser::handleEndElement() {
    if (skippedDepth_ > 0) {
        --skippedDepth_;
        return;
    }
    if (openElements_.empty()) return;
    flushCharacters();
    const auto [extension, node] = std::move(openElements_.back());
    openElements_.pop_back();
    if (extension && node) extension->handleEndElement(node, source_, *currentParseRun_);
}

void VellumParser::handleFoundCharacters(std::string_view characters) {
    if (skippedDepth_ == 0) storedChars_.append(characters);
}

void VellumParser::handleProcessingInstruction(const std::string& target, const std::optional<std::string>& data) {
    if (target != "xml-stylesheet" || !data) return;
    if (data->find("type=\"text/css\"") == std::string::npos && data->find("type=") != std::string::npos) return;
    const std::size_t start = data->find("href=\"");
    if (start == std::string::npos) return;
    const std::size_t from = start + 6;
    const std::size_t end = data->find('"', from);  // an unclosed value runs to the end
    const std::string location = data->substr(from, end == std::string::npos ? std::string::npos : end - from);
    auto sheetSource = loadCSSFrom(location);
    if (!sheetSource || !sheetSource->stream()) return;
    // Each sheet counts once however often it is named (its rules would only repeat): ten thousand
    // names of one big sheet must not read and match it ten thousand times.
    const std::string key = sheetSource->keyForAppleDictionaries().value_or(location);
    if (!importedSheets_.insert(key).second) {
        if (!std::exchange(reportedRepeatedSheet_, true)) {
            currentParseRun_->addParseWarning(VellumError::make(
                "Vellum", 1, foundation::format("The style sheet %@ is named more than once; it is read once", location)));
        }
        return;
    }
    sheetSource->stream()->open();
    auto bytes = dataWithContentsOfStream(sheetSource->stream().get(), 4096);
    sheetSource->stream()->close();
    if (!bytes) return;
    auto document = currentParseRun_->parsedDocument();
    const bool rooted = document && document->rootElement();
    const std::size_t held = externalRules_ + (rooted ? document->rootElement()->styleSheets()->countedRules() : 0);
    auto sheet = CSSStyleSheet::readForDocument(bytes->view(), held, *currentParseRun_);
    if (rooted) {
        document->rootElement()->styleSheets()->appendCounted(std::move(sheet));
    } else {
        externalRules_ += sheet->cssRules()->length();
        externalStylesheets_.push_back(std::move(sheet));
    }
}

void VellumParser::addExternalStylesheetsToRootElement() {
    auto document = currentParseRun_->parsedDocument();
    if (externalStylesheets_.empty() || !document || !document->rootElement()) return;
    StyleSheetList& sheets = *document->rootElement()->styleSheets();
    for (auto& sheet : externalStylesheets_) sheets.appendCounted(std::move(sheet));
    externalStylesheets_.clear();
    externalRules_ = 0;
}

std::shared_ptr<VellumSource> VellumParser::loadCSSFrom(const std::string& location) {
    std::shared_ptr<VellumSource> sheet;
    if (location.starts_with("http")) {
        if (auto url = foundation::URL::fromString(location)) sheet = VellumSourceURL::sourceFromURL(*url);
    } else if (source_) {
        sheet = source_->sourceFromRelativePath(location);
    }
    if (sheet) return sheet;
    // The Documents folder answers only for names inside it: a document must not reach other files.
    const std::filesystem::path inDocuments(location);
    const bool staysInside = inDocuments.is_relative() &&
                             std::none_of(inDocuments.begin(), inDocuments.end(), [](const auto& part) { return part == ".."; });
    auto files = foundation::FileManager::defaultManager();
    if (auto contents = staysInside ? files->contents(files->documentsDirectory() / inDocuments) : std::nullopt) {
        return VellumSourceString::sourceFromContentsOfString(contents->toString());
    }
    vellumLogWarning("[%@] Unable to find external CSS file '%@'", "VellumParser", location);
    return nullptr;
}

}  // namespace vellum
