#pragma once

#include <cstdlib>
#include <expected>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <optional>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

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

// The project's full collection of recorded data: SORVANE_SHARED_FIXTURES names it, else the shared
// folder beside the checkout (../shared/fixtures from the source folder).
inline std::filesystem::path sharedFixtures() {
    const char* configured = std::getenv("SORVANE_SHARED_FIXTURES");
    if (configured && *configured) return configured;
    return std::filesystem::path(SORVANE_SOURCE_DIR).parent_path() / "shared" / "fixtures";
}

// Why a test of the shared recordings skips: the folder it looked for.
inline std::string missingSharedFixtures(const std::filesystem::path& folder) {
    return "no shared recordings at " + folder.string() +
           " (set SORVANE_SHARED_FIXTURES, or put the shared folder beside the checkout)";
}

inline std::filesystem::path fixture(std::string_view relative) {
    return std::filesystem::path(SORVANE_TEST_FIXTURES) / relative;
}

// One change to a valid document: a JSON pointer and its new value, or no value to remove the key.
struct Edit {
    std::string pointer;
    std::optional<nlohmann::json> value;
};

using FailureKind = foundation::DecodingError::Kind;
inline constexpr std::optional<FailureKind> decodes = std::nullopt;

// What a document with some changes does: decode, or fail with the given kind.
struct EditCase {
    std::string behaviour;
    std::vector<Edit> edits;
    std::optional<FailureKind> failure;
};

inline std::string edited(nlohmann::json document, const std::string& prefix, const std::vector<Edit>& edits) {
    for (const auto& edit : edits) {
        nlohmann::json::json_pointer pointer(prefix + edit.pointer);
        if (edit.value) document[pointer] = *edit.value;
        else document[pointer.parent_pointer()].erase(pointer.back());
    }
    return document.dump();
}

// Each case edits the base document (below the prefix pointer) and checks how T decodes it.
template <class T>
void expectEditOutcomes(const nlohmann::json& base, const std::string& prefix, const std::vector<EditCase>& cases) {
    for (const auto& entry : cases) {
        auto result = decode<T>(edited(base, prefix, entry.edits));
        if (!entry.failure) {
            EXPECT_TRUE(result) << entry.behaviour << ": " << result.error().description();
        } else if (result) {
            ADD_FAILURE() << entry.behaviour << ": decoded but should fail";
        } else {
            EXPECT_EQ(result.error().kind, *entry.failure) << entry.behaviour << ": " << result.error().description();
        }
    }
}

// Encoding, decoding and encoding again gives the same bytes.
template <class T>
void expectStableRoundTrip(const T& model) {
    auto first = foundation::JSONEncoder{}.encode(model);
    ASSERT_TRUE(first);
    auto again = foundation::JSONDecoder{}.decode<T>(*first);
    ASSERT_TRUE(again) << again.error().description() << " in " << first->view();
    auto second = foundation::JSONEncoder{}.encode(*again);
    ASSERT_TRUE(second);
    EXPECT_EQ(first->view(), second->view());
}

}  // namespace modeltest
