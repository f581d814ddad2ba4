#pragma once

#include <cstdlib>
#include <expected>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>

#include "foundation/Data.h"
#include "foundation/JSONCoding.h"

namespace modeltest {

template <class T>
std::expected<T, foundation::DecodingError> decode(std::string_view text) {
    return foundation::JSONDecoder{}.decode<T>(foundation::Data::fromString(text));
}

template <class T>
std::expected<T, foundation::DecodingError> decodeFile(const std::filesystem::path& path) {
    std::ifstream file(path, std::ios::binary);
    std::string bytes{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
    return decode<T>(bytes);
}

// Encodes a model and decodes the result again.
template <class T>
std::expected<T, foundation::DecodingError> roundTrip(const T& model) {
    auto encoded = foundation::JSONEncoder{}.encode(model);
    if (!encoded) return std::unexpected(foundation::DecodingError{{}, {}, {}, encoded.error().description()});
    return foundation::JSONDecoder{}.decode<T>(*encoded);
}

// The project's full collection of recorded data, when this checkout has it beside it.
inline std::filesystem::path sharedFixtures() {
    const char* configured = std::getenv("SORVANE_SHARED_FIXTURES");
    return configured ? configured : "/work/shared/fixtures";
}

inline std::filesystem::path fixture(std::string_view relative) {
    return std::filesystem::path(SORVANE_TEST_FIXTURES) / relative;
}

}  // namespace modeltest
