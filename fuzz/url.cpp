// URL parsing, resolution against a base and the path edits. The input is one text, or a base and a
// reference separated by a line break.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

#include "foundation/PercentEncoding.h"
#include "foundation/URL.h"

namespace {

void exercise(const foundation::URL& url) {
    (void)url.absoluteString();
    (void)url.scheme();
    (void)url.user();
    (void)url.password();
    (void)url.host();
    (void)url.port();
    (void)url.path();
    (void)url.query();
    (void)url.fragment();
    (void)url.isFileURL();
    (void)url.hasDirectoryPath();
    (void)url.pathComponents();
    (void)url.pathExtension();
    std::string last = url.lastPathComponent();
    foundation::URL absolute = url.absoluteURL();
    // What the edits make of a URL with a scheme is a URL again, and reads as one.
    if (!absolute.scheme()) return;
    for (const foundation::URL& edited : {absolute.appendingPathComponent(last, true), absolute.deletingLastPathComponent(),
                                          absolute.appendingPathExtension(url.pathExtension())}) {
        if (!foundation::URL::fromString(edited.absoluteString())) __builtin_trap();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    std::string_view text(reinterpret_cast<const char*>(bytes), size);
    (void)foundation::removingPercentEncoding(text);
    if (auto url = foundation::URL::fromString(text)) exercise(*url);
    auto newline = text.find('\n');
    if (newline == std::string_view::npos) return 0;
    auto base = foundation::URL::fromString(text.substr(0, newline));
    if (!base) return 0;
    if (auto relative = foundation::URL::fromString(text.substr(newline + 1), *base)) exercise(*relative);
    return 0;
}
