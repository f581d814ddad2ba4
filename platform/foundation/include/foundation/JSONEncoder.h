#pragma once

#include <concepts>
#include <cstdint>
#include <expected>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "foundation/Data.h"
#include "foundation/DecodingError.h"
#include "foundation/JSONDecoder.h"
#include "foundation/JSONFields.h"

namespace foundation {

namespace json_detail {

// Thrown inside an encode and caught by JSONEncoder::encode; never leaves the library's API.
struct EncodingFailure {
    EncodingError error;
};

void appendString(std::string& out, std::string_view text);
// Shortest text that reads back as the same double; fails on NaN and infinities, which JSON lacks.
void appendDouble(std::string& out, double value, const CodingPathNode* path);
void appendInteger(std::string& out, std::int64_t value);
void appendUnsigned(std::string& out, std::uint64_t value);

template <class T>
void encodeValue(std::string& out, const T& value, const CodingPathNode* path);

template <class Coder, class T>
void encodeWithCoder(std::string& out, const T& value, const CodingPathNode* path) {
    if constexpr (std::same_as<Coder, StandardCoder>) encodeValue(out, value, path);
    else encodeValue(out, Coder::encode(value), path);
}

template <class Model, class FieldType>
void encodeField(std::string& out, const Model& model, const FieldType& field, bool& first, const CodingPathNode* path) {
    const auto& member = model.*field.member;
    if constexpr (FieldType::isOptional) {
        if (!member) return;
    }
    if (!first) out += ',';
    first = false;
    appendString(out, field.key);
    out += ':';
    CodingPathNode fieldPath{path, field.key};
    if constexpr (FieldType::isOptional) encodeWithCoder<typename FieldType::CoderType>(out, *member, &fieldPath);
    else encodeWithCoder<typename FieldType::CoderType>(out, member, &fieldPath);
}

template <class T>
void encodeValue(std::string& out, const T& value, const CodingPathNode* path) {
    if constexpr (isStdOptional<T> || isSharedPointer<T>) {
        if (value) encodeValue(out, *value, path);
        else out += "null";
    } else if constexpr (std::convertible_to<const T&, std::string_view>) {
        appendString(out, value);
    } else if constexpr (std::same_as<T, bool>) {
        out += value ? "true" : "false";
    } else if constexpr (Integer<T> && std::is_signed_v<T>) {
        appendInteger(out, value);
    } else if constexpr (Integer<T>) {
        appendUnsigned(out, value);
    } else if constexpr (std::floating_point<T>) {
        appendDouble(out, value, path);
    } else if constexpr (isVector<T>) {
        out += '[';
        for (std::size_t index = 0; index < value.size(); ++index) {
            if (index > 0) out += ',';
            CodingPathNode elementPath{path, {}, index, true};
            encodeValue(out, value[index], &elementPath);
        }
        out += ']';
    } else if constexpr (isStringMap<T>) {
        out += '{';
        bool first = true;
        for (const auto& [key, element] : value) {
            if (!first) out += ',';
            first = false;
            appendString(out, key);
            out += ':';
            CodingPathNode elementPath{path, key};
            encodeValue(out, element, &elementPath);
        }
        out += '}';
    } else if constexpr (JSONModel<T>) {
        out += '{';
        bool first = true;
        std::apply([&](const auto&... fields) { (encodeField(out, value, fields, first, path), ...); }, T::codingKeys);
        out += '}';
    } else {
        static_assert(sizeof(T) == 0, "not encodable: declare codingKeys or use a supported field type");
    }
}

}  // namespace json_detail

// Encodes models as compact JSON with the keys their codingKeys declare, in declaration order
// (dictionaries in key order): required fields always, optional fields only when they hold a value.
class JSONEncoder {
public:
    template <class T>
    std::expected<Data, EncodingError> encode(const T& value) const {
        try {
            std::string text;
            json_detail::encodeValue(text, value, nullptr);
            return Data::fromString(text);
        } catch (json_detail::EncodingFailure& failure) {
            return std::unexpected(std::move(failure.error));
        } catch (const std::bad_alloc&) {
            return std::unexpected(EncodingError{{}, "Out of memory while encoding."});
        }
    }
};

}  // namespace foundation
