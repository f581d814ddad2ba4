#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace foundation {

struct URLReference;

// A URL or relative reference, parsed strictly by RFC 3986. A URL made relative to a base keeps its
// own text and the base; its components are those of the resolved target.
class URL {
public:
    // Nothing for the empty text, characters that must be escaped (spaces, non-ASCII, "<", "\"", ...),
    // a malformed "%" escape, a bad host or a port that is not a number up to 65535.
    static std::optional<URL> fromString(std::string_view text);
    static std::optional<URL> fromString(std::string_view text, const URL& base);
    // A "file" URL for a local path; a relative path is taken from the current directory. A directory
    // URL ends in "/".
    static URL fileURL(std::string_view path, bool isDirectory = false);

    URL(const URL& other);
    URL(URL&& other) noexcept;
    URL& operator=(const URL& other);
    URL& operator=(URL&& other) noexcept;
    ~URL();

    const std::string& relativeString() const { return text_; }
    std::string absoluteString() const;
    const URL* baseURL() const { return base_.get(); }
    URL absoluteURL() const;

    const std::optional<std::string>& scheme() const;
    std::optional<std::string> user() const;      // percent-decoded
    std::optional<std::string> password() const;  // percent-decoded
    std::optional<std::string> host() const;      // percent-decoded; an IPv6 literal without brackets
    std::optional<int> port() const;
    // The path percent-decoded, without its trailing "/" (the root path stays "/").
    std::string path() const;
    const std::string& percentEncodedPath() const;
    const std::optional<std::string>& query() const;     // as written, still percent-encoded
    const std::optional<std::string>& fragment() const;  // as written, still percent-encoded

    bool isFileURL() const;
    bool hasDirectoryPath() const;  // the path ends in "/"

    // The decoded path split at "/", empty pieces dropped; an absolute path starts with "/".
    std::vector<std::string> pathComponents() const;
    std::string lastPathComponent() const;  // "" when there are no components
    std::string pathExtension() const;      // after the last "." of the last component; "" for ".hidden"

    // Path edits keep query and fragment and give an absolute URL. A component is percent-encoded as a
    // path needs (it may hold "/"); no file-system look-up decides whether it is a directory.
    URL appendingPathComponent(std::string_view component, bool isDirectory = false) const;
    URL deletingLastPathComponent() const;
    URL appendingPathExtension(std::string_view extension) const;

    // Same text and same base (a relative URL never equals its absolute spelling).
    friend bool operator==(const URL& left, const URL& right);

private:
    URL(std::string text, std::shared_ptr<const URL> base, std::unique_ptr<URLReference> resolved);
    static URL fromResolved(const URLReference& reference);
    URL withPercentEncodedPath(std::string path) const;

    std::string text_;
    std::shared_ptr<const URL> base_;
    std::unique_ptr<URLReference> resolved_;
};

}  // namespace foundation

template <>
struct std::hash<foundation::URL> {
    std::size_t operator()(const foundation::URL& url) const noexcept {
        std::size_t hash = std::hash<std::string>()(url.relativeString());
        for (const foundation::URL* base = url.baseURL(); base; base = base->baseURL()) {
            hash = hash * 31 + std::hash<std::string>()(base->relativeString());
        }
        return hash;
    }
};
