#include "URLReference.h"

#include <charconv>

#include "foundation/CharacterSet.h"
#include "HexDigit.h"

namespace foundation {
namespace {

bool isAlpha(char character) {
    return (character >= 'a' && character <= 'z') || (character >= 'A' && character <= 'Z');
}

bool isDigit(char character) { return character >= '0' && character <= '9'; }

bool isValidScheme(std::string_view text) {
    if (text.empty() || !isAlpha(text.front())) return false;
    for (char character : text) {
        if (!isAlpha(character) && !isDigit(character) && character != '+' && character != '-' && character != '.') {
            return false;
        }
    }
    return true;
}

// Each character is in `allowed` (all ASCII) or starts a well-formed "%XX" escape.
bool consistsOf(std::string_view text, const CharacterSet& allowed) {
    for (std::size_t index = 0; index < text.size(); ++index) {
        char character = text[index];
        if (character == '%') {
            if (index + 2 >= text.size() || hexDigitValue(text[index + 1]) < 0 || hexDigitValue(text[index + 2]) < 0) {
                return false;
            }
            index += 2;
        } else if (static_cast<unsigned char>(character) >= 0x80 || !allowed.contains(static_cast<char32_t>(character))) {
            return false;
        }
    }
    return true;
}

const CharacterSet& registeredNameCharacters() {
    static const auto& set = *new CharacterSet(CharacterSet::urlUserAllowed());  // unreserved and sub-delimiters
    return set;
}

bool isValidIPLiteral(std::string_view inside) {
    if (inside.empty()) return false;
    if (inside.front() == 'v' || inside.front() == 'V') {
        std::size_t dot = inside.find('.');
        if (dot == std::string_view::npos || dot < 2 || dot + 1 == inside.size()) return false;
        for (char character : inside.substr(1, dot - 1)) {
            if (hexDigitValue(character) < 0) return false;
        }
        static const auto& future = *new CharacterSet(registeredNameCharacters().united(CharacterSet(":")));
        return consistsOf(inside.substr(dot + 1), future) && inside.find('%') == std::string_view::npos;
    }
    // IPv6: hexadecimal groups, colons, and an IPv4 tail in dotted form.
    if (inside.find(':') == std::string_view::npos) return false;
    for (char character : inside) {
        if (hexDigitValue(character) < 0 && character != ':' && character != '.') return false;
    }
    return true;
}

bool isValidPort(std::string_view port) {
    if (port.empty()) return true;  // "http://host:/" has an empty port, which is allowed
    unsigned value = 0;
    auto [end, error] = std::from_chars(port.data(), port.data() + port.size(), value);
    return error == std::errc() && end == port.data() + port.size() && value <= 65535;
}

bool splitAuthority(URLReference& reference) {
    std::string_view authority = *reference.authority;
    if (std::size_t at = authority.rfind('@'); at != std::string_view::npos) {
        reference.userInfo = std::string(authority.substr(0, at));
        authority.remove_prefix(at + 1);
        static const auto& userInfoCharacters = *new CharacterSet(registeredNameCharacters().united(CharacterSet(":")));
        if (!consistsOf(*reference.userInfo, userInfoCharacters)) return false;
    }
    std::optional<std::string_view> port;
    if (authority.starts_with('[')) {
        std::size_t close = authority.find(']');
        if (close == std::string_view::npos || !isValidIPLiteral(authority.substr(1, close - 1))) return false;
        reference.host = std::string(authority.substr(0, close + 1));
        std::string_view rest = authority.substr(close + 1);
        if (!rest.empty() && rest.front() != ':') return false;
        if (!rest.empty()) port = rest.substr(1);
    } else {
        // A registered name holds no colon, so the first one starts the port.
        std::size_t colon = authority.find(':');
        reference.host = std::string(authority.substr(0, colon));
        if (!consistsOf(reference.host, registeredNameCharacters())) return false;
        if (colon != std::string_view::npos) port = authority.substr(colon + 1);
    }
    if (port && !isValidPort(*port)) return false;
    if (port) reference.port = std::string(*port);
    return true;
}

}  // namespace

std::optional<URLReference> URLReference::parse(std::string_view text) {
    URLReference reference;
    std::size_t colon = text.find(':');
    std::size_t firstDelimiter = text.find_first_of("/?#");
    if (colon != std::string_view::npos && colon < firstDelimiter) {
        // A colon before any "/" must end a scheme: a relative path's first segment may not hold one.
        if (!isValidScheme(text.substr(0, colon))) return std::nullopt;
        reference.scheme = std::string(text.substr(0, colon));
        text.remove_prefix(colon + 1);
    }
    if (std::size_t hash = text.find('#'); hash != std::string_view::npos) {
        reference.fragment = std::string(text.substr(hash + 1));
        text = text.substr(0, hash);
    }
    if (std::size_t question = text.find('?'); question != std::string_view::npos) {
        reference.query = std::string(text.substr(question + 1));
        text = text.substr(0, question);
    }
    if (text.starts_with("//")) {
        std::size_t slash = text.find('/', 2);
        reference.authority = std::string(text.substr(2, slash == std::string_view::npos ? slash : slash - 2));
        text = slash == std::string_view::npos ? std::string_view() : text.substr(slash);
        if (!splitAuthority(reference)) return std::nullopt;
    }
    reference.path = std::string(text);

    static const auto& pathCharacters = *new CharacterSet(CharacterSet::urlPathAllowed().united(CharacterSet(";")));
    static const auto& queryCharacters = *new CharacterSet(CharacterSet::urlQueryAllowed());
    if (!consistsOf(reference.path, pathCharacters)) return std::nullopt;
    if (reference.query && !consistsOf(*reference.query, queryCharacters)) return std::nullopt;
    if (reference.fragment && !consistsOf(*reference.fragment, queryCharacters)) return std::nullopt;
    return reference;
}

std::string removingDotSegments(std::string_view input) {
    std::string output;
    auto dropLastOutputSegment = [&] {
        std::size_t slash = output.rfind('/');
        output.erase(slash == std::string::npos ? 0 : slash);
    };
    while (!input.empty()) {
        if (input.starts_with("../")) {
            input.remove_prefix(3);
        } else if (input.starts_with("./")) {
            input.remove_prefix(2);
        } else if (input.starts_with("/./")) {
            input.remove_prefix(2);
        } else if (input == "/.") {
            input = "/";
        } else if (input.starts_with("/../")) {
            input.remove_prefix(3);
            dropLastOutputSegment();
        } else if (input == "/..") {
            input = "/";
            dropLastOutputSegment();
        } else if (input == "." || input == "..") {
            input = {};
        } else {
            std::size_t end = input.find('/', input.front() == '/' ? 1 : 0);
            if (end == std::string_view::npos) end = input.size();
            output.append(input.substr(0, end));
            input.remove_prefix(end);
        }
    }
    return output;
}

URLReference URLReference::resolvedAgainst(const URLReference& base) const {
    if (scheme) {
        URLReference target = *this;
        target.path = removingDotSegments(path);
        return target;
    }
    URLReference target;
    target.scheme = base.scheme;
    target.fragment = fragment;
    if (authority) {
        target.authority = authority;
        target.userInfo = userInfo;
        target.host = host;
        target.port = port;
        target.path = removingDotSegments(path);
        target.query = query;
        return target;
    }
    target.authority = base.authority;
    target.userInfo = base.userInfo;
    target.host = base.host;
    target.port = base.port;
    if (path.empty()) {
        target.path = base.path;
        target.query = query ? query : base.query;
        return target;
    }
    if (path.starts_with('/')) {
        target.path = removingDotSegments(path);
    } else if (base.authority && base.path.empty()) {
        target.path = removingDotSegments("/" + path);
    } else {
        std::size_t slash = base.path.rfind('/');
        std::string merged = slash == std::string::npos ? path : base.path.substr(0, slash + 1) + path;
        target.path = removingDotSegments(merged);
    }
    target.query = query;
    return target;
}

std::string URLReference::recomposed() const {
    std::string text;
    if (scheme) text.append(*scheme).append(":");
    if (authority) {
        text.append("//").append(*authority);
    } else if (path.starts_with("//")) {
        // Without an authority such a path would read back as one; a "." segment keeps it a path.
        text.append("/.");
    } else if (!scheme && path.substr(0, path.find('/')).find(':') != std::string::npos) {
        text.append("./");  // likewise a first segment with ":" would read back as a scheme
    }
    text.append(path);
    if (query) text.append("?").append(*query);
    if (fragment) text.append("#").append(*fragment);
    return text;
}

}  // namespace foundation
