#include "foundation/URL.h"

#include <charconv>
#include <filesystem>

#include "foundation/PercentEncoding.h"
#include "PercentEscapes.h"
#include "URLReference.h"

namespace foundation {
namespace {

std::optional<std::string> decoded(const std::optional<std::string>& text) {
    if (!text) return std::nullopt;
    return decodePercentEscapes(*text).value_or(*text);
}

bool equalsIgnoringASCIICase(std::string_view left, std::string_view right) {
    return std::equal(left.begin(), left.end(), right.begin(), right.end(),
                      [](char a, char b) { return (a | 0x20) == (b | 0x20); });
}

}  // namespace

URL::URL(std::string text, std::shared_ptr<const URL> base, std::unique_ptr<URLReference> resolved)
    : text_(std::move(text)), base_(std::move(base)), resolved_(std::move(resolved)) {}

URL::URL(const URL& other)
    : text_(other.text_), base_(other.base_), resolved_(std::make_unique<URLReference>(*other.resolved_)) {}
URL::URL(URL&& other) noexcept = default;
URL& URL::operator=(const URL& other) {
    if (this != &other) *this = URL(other);
    return *this;
}
URL& URL::operator=(URL&& other) noexcept = default;
URL::~URL() = default;

std::optional<URL> URL::fromString(std::string_view text) {
    if (text.empty()) return std::nullopt;
    auto reference = URLReference::parse(text);
    if (!reference) return std::nullopt;
    return URL(std::string(text), nullptr, std::make_unique<URLReference>(std::move(*reference)));
}

std::optional<URL> URL::fromString(std::string_view text, const URL& base) {
    if (text.empty()) return std::nullopt;
    auto reference = URLReference::parse(text);
    if (!reference) return std::nullopt;
    auto target = std::make_unique<URLReference>(reference->resolvedAgainst(*base.resolved_));
    return URL(std::string(text), std::make_shared<const URL>(base), std::move(target));
}

URL URL::fromResolved(const URLReference& reference) {
    return URL(reference.recomposed(), nullptr, std::make_unique<URLReference>(reference));
}

URL URL::fileURL(std::string_view path, bool isDirectory) {
    std::string absolute(path);
    if (!absolute.starts_with('/')) {
        std::error_code error;
        std::filesystem::path current = std::filesystem::current_path(error);
        absolute = (error ? std::filesystem::path("/") : current) / absolute;
    }
    if (isDirectory && !absolute.ends_with('/')) absolute += '/';
    URLReference reference;
    reference.scheme = "file";
    reference.authority = "";
    reference.path = addingPercentEncoding(absolute, CharacterSet::urlPathAllowed());
    return fromResolved(reference);
}

std::string URL::absoluteString() const {
    return base_ ? resolved_->recomposed() : text_;
}

URL URL::absoluteURL() const {
    return base_ ? fromResolved(*resolved_) : *this;
}

const std::optional<std::string>& URL::scheme() const { return resolved_->scheme; }
const std::string& URL::percentEncodedPath() const { return resolved_->path; }
const std::optional<std::string>& URL::query() const { return resolved_->query; }
const std::optional<std::string>& URL::fragment() const { return resolved_->fragment; }

std::optional<std::string> URL::user() const {
    if (!resolved_->userInfo) return std::nullopt;
    return decoded(resolved_->userInfo->substr(0, resolved_->userInfo->find(':')));
}

std::optional<std::string> URL::password() const {
    if (!resolved_->userInfo) return std::nullopt;
    std::size_t colon = resolved_->userInfo->find(':');
    if (colon == std::string::npos) return std::nullopt;
    return decoded(resolved_->userInfo->substr(colon + 1));
}

std::optional<std::string> URL::host() const {
    if (!resolved_->authority) return std::nullopt;
    std::string_view host = resolved_->host;
    if (host.starts_with('[')) return std::string(host.substr(1, host.size() - 2));
    return decoded(std::string(host));
}

std::optional<int> URL::port() const {
    if (!resolved_->port || resolved_->port->empty()) return std::nullopt;
    int value = 0;
    std::from_chars(resolved_->port->data(), resolved_->port->data() + resolved_->port->size(), value);
    return value;
}

std::string URL::path() const {
    std::string path = *decoded(resolved_->path);
    if (path.size() > 1 && path.ends_with('/')) path.pop_back();
    return path;
}

bool URL::isFileURL() const {
    return resolved_->scheme && equalsIgnoringASCIICase(*resolved_->scheme, "file");
}

bool URL::hasDirectoryPath() const {
    return resolved_->path.ends_with('/');
}

std::vector<std::string> URL::pathComponents() const {
    std::string path = *decoded(resolved_->path);
    std::vector<std::string> components;
    if (path.starts_with('/')) components.emplace_back("/");
    std::size_t start = 0;
    while (start <= path.size()) {
        std::size_t slash = path.find('/', start);
        if (slash == std::string::npos) slash = path.size();
        if (slash > start) components.push_back(path.substr(start, slash - start));
        start = slash + 1;
    }
    return components;
}

std::string URL::lastPathComponent() const {
    auto components = pathComponents();
    return components.empty() ? std::string() : components.back();
}

std::string URL::pathExtension() const {
    std::string last = lastPathComponent();
    std::size_t dot = last.rfind('.');
    if (dot == std::string::npos || dot == 0 || dot + 1 == last.size()) return {};
    return last.substr(dot + 1);
}

URL URL::withPercentEncodedPath(std::string path) const {
    URLReference reference = *resolved_;
    reference.path = std::move(path);
    return fromResolved(reference);
}

URL URL::appendingPathComponent(std::string_view component, bool isDirectory) const {
    std::string path = resolved_->path;
    bool needsSlash = !path.ends_with('/') && (!path.empty() || resolved_->authority) && !component.starts_with('/');
    if (needsSlash) path += '/';
    path += addingPercentEncoding(component, CharacterSet::urlPathAllowed());
    if (isDirectory && !path.ends_with('/')) path += '/';
    return withPercentEncodedPath(std::move(path));
}

URL URL::deletingLastPathComponent() const {
    std::string path = resolved_->path;
    if (path.empty() || path == "/") return absoluteURL();
    if (path.ends_with('/')) path.pop_back();
    std::size_t slash = path.rfind('/');
    return withPercentEncodedPath(slash == std::string::npos ? "./" : path.substr(0, slash + 1));
}

URL URL::appendingPathExtension(std::string_view extension) const {
    std::string path = resolved_->path;
    if (path.empty() || path == "/" || extension.empty()) return absoluteURL();
    bool directory = path.ends_with('/');
    if (directory) path.pop_back();
    path += '.';
    path += addingPercentEncoding(extension, CharacterSet::urlPathAllowed());
    if (directory) path += '/';
    return withPercentEncodedPath(std::move(path));
}

bool operator==(const URL& left, const URL& right) {
    if (left.text_ != right.text_) return false;
    if (!left.base_ || !right.base_) return !left.base_ && !right.base_;
    return *left.base_ == *right.base_;
}

}  // namespace foundation
