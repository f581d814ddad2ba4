#include "pictura/CacheKeyText.h"

#include <span>

#include "pictura/MD5.h"

namespace pictura {

std::string PicturaWrapper<std::string>::md5() const {
    const auto digest = MD5(std::span(reinterpret_cast<const std::uint8_t*>(base.data()), base.size())).calculate();
    static constexpr char hex[] = "0123456789abcdef";
    std::string text;
    text.reserve(32);
    for (std::uint8_t byte : digest) {
        text += hex[byte >> 4];
        text += hex[byte & 0x0f];
    }
    return text;
}

std::optional<std::string> PicturaWrapper<std::string>::fileExtension() const {
    const auto dot = base.rfind('.');
    const std::string taken = dot == std::string::npos ? std::string() : base.substr(dot + 1);
    std::size_t start = 0;
    while (start <= taken.size()) {
        const auto at = taken.find('@', start);
        const auto end = at == std::string::npos ? taken.size() : at;
        if (end > start) return taken.substr(start, end - start);
        if (at == std::string::npos) break;
        start = at + 1;
    }
    return std::nullopt;
}

}  // namespace pictura
