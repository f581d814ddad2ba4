#pragma once

#include <cmath>
#include <concepts>
#include <cstdint>
#include <expected>
#include <limits>
#include <map>
#include <optional>
#include <memory>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

#include <nlohmann/json.hpp>

#include "foundation/Data.h"
#include "foundation/DecodingError.h"
#include "foundation/JSONFields.h"

namespace foundation {

// What one document may build before it is refused, checked as it is parsed, before the values past the
// limit exist: the longest list, and the memory its values would take (an estimate, counted as they are
// built). A model states its own as `static constexpr JSONLimits jsonLimits`; none means no limit.
struct JSONLimits {
    std::size_t maximumListLength = std::numeric_limits<std::size_t>::max();
    std::size_t maximumBytes = std::numeric_limits<std::size_t>::max();
};

template <class T>
constexpr JSONLimits jsonLimitsOf() {
    if constexpr (requires { T::jsonLimits; }) return T::jsonLimits;
    else return {};
}

namespace json_detail {

// Thrown inside a decode and caught by JSONDecoder::decode; never leaves the library's API.
struct DecodingFailure {
    DecodingError error;
};

[[noreturn]] void failTypeMismatch(const CodingPathNode* path, std::string_view expectedType,
                                   const nlohmann::json& found);
[[noreturn]] void failValueNotFound(const CodingPathNode* path, std::string_view expectedType);
[[noreturn]] void failKeyNotFound(const CodingPathNode* objectPath, std::string_view key);
[[noreturn]] void failDataCorrupted(const CodingPathNode* path, std::string debugDescription);
[[noreturn]] void failNumberDoesNotFit(const CodingPathNode* path, std::string_view typeName,
                                       const nlohmann::json& number);

std::string codingPathText(const CodingPathNode* path);
// Parses the bytes (a leading UTF-8 byte-order mark skipped), or fails with dataCorrupted, also as soon as
// the document passes `limits`.
nlohmann::json parseDocument(const Data& data, const JSONLimits& limits = {});
DecodingError outOfMemoryError();

template <class T>
inline constexpr bool isVector = false;
template <class T>
inline constexpr bool isVector<std::vector<T>> = true;
template <class T>
inline constexpr bool isStringMap = false;
template <class T>
inline constexpr bool isStringMap<std::map<std::string, T>> = true;
template <class T>
inline constexpr bool isSharedPointer = false;
template <class T>
inline constexpr bool isSharedPointer<std::shared_ptr<T>> = true;

template <class T>
concept Integer = std::integral<T> && !std::same_as<T, bool>;

// The platform's names for the types, as error texts show them.
template <class T>
constexpr std::string_view typeName() {
    if constexpr (std::same_as<T, std::string>) return "String";
    else if constexpr (std::same_as<T, bool>) return "Bool";
    else if constexpr (std::same_as<T, double>) return "Double";
    else if constexpr (std::same_as<T, float>) return "Float";
    else if constexpr (Integer<T> && std::is_signed_v<T>) return sizeof(T) == 8 ? "Int" : sizeof(T) == 4 ? "Int32" : sizeof(T) == 2 ? "Int16" : "Int8";
    else if constexpr (Integer<T>) return sizeof(T) == 8 ? "UInt" : sizeof(T) == 4 ? "UInt32" : sizeof(T) == 2 ? "UInt16" : "UInt8";
    else if constexpr (isVector<T>) return "Array<Any>";
    else return "Dictionary<String, Any>";
}

template <Integer T>
T decodeInteger(const nlohmann::json& json, const CodingPathNode* path) {
    if (json.is_number_integer() && !json.is_number_unsigned()) {
        auto value = json.get<std::int64_t>();
        if (std::in_range<T>(value)) return static_cast<T>(value);
    } else if (json.is_number_unsigned()) {
        auto value = json.get<std::uint64_t>();
        if (std::in_range<T>(value)) return static_cast<T>(value);
    } else {
        // A number written with a fraction or exponent counts when it is whole and in range.
        double value = json.get<double>();
        constexpr double lower = static_cast<double>(std::numeric_limits<T>::min());
        constexpr double upperExclusive = static_cast<double>(std::numeric_limits<T>::max()) + 1.0;
        if (std::trunc(value) == value && value >= lower && value < upperExclusive) return static_cast<T>(value);
    }
    failNumberDoesNotFit(path, typeName<T>(), json);
}

template <class T>
T decodeValue(const nlohmann::json& json, const CodingPathNode* path);

template <class Coder, class T>
T decodeWithCoder(const nlohmann::json& json, const CodingPathNode* path);

template <class Model, class FieldType>
void decodeField(Model& model, const FieldType& field, const nlohmann::json& object, const CodingPathNode* path) {
    using Member = typename FieldType::MemberType;
    CodingPathNode fieldPath{path, field.key};
    auto found = object.find(field.key);
    if constexpr (FieldType::isOptional) {
        if (found == object.end() || found->is_null()) {
            model.*field.member = std::nullopt;
            return;
        }
        model.*field.member = decodeWithCoder<typename FieldType::CoderType, typename Member::value_type>(*found, &fieldPath);
    } else {
        if (found == object.end()) failKeyNotFound(path, field.key);
        model.*field.member = decodeWithCoder<typename FieldType::CoderType, Member>(*found, &fieldPath);
    }
}

}  // namespace json_detail

// A JSON value that a coder reads, with its place in the document for error texts.
class DecodingValue {
public:
    DecodingValue(const nlohmann::json& json, const CodingPathNode* path) : json_(json), path_(path) {}

    const nlohmann::json& json() const { return json_; }
    // The value read by the standard rules of T; a failure fails the document.
    template <class T>
    T decode() const { return json_detail::decodeValue<T>(json_, path_); }
    // Element `index` of an array value, read by the standard rules of T, with its index in error texts.
    template <class T>
    T decodeElement(std::size_t index) const {
        CodingPathNode elementPath{path_, {}, index, true};
        return json_detail::decodeValue<T>(json_.at(index), &elementPath);
    }
    // Element `index` of an array value, or nothing when it does not decode by the rules of T.
    template <class T>
    std::optional<T> decodeElementIfValid(std::size_t index) const {
        try {
            return decodeElement<T>(index);
        } catch (const json_detail::DecodingFailure&) {
            return std::nullopt;
        }
    }
    // Fails the document with a dataCorrupted error at this value.
    [[noreturn]] void fail(std::string debugDescription) const {
        json_detail::failDataCorrupted(path_, std::move(debugDescription));
    }

private:
    const nlohmann::json& json_;
    const CodingPathNode* path_;
};

namespace json_detail {

template <class Coder, class T>
T decodeWithCoder(const nlohmann::json& json, const CodingPathNode* path) {
    if constexpr (std::same_as<Coder, StandardCoder>) return decodeValue<T>(json, path);
    else return Coder::decode(DecodingValue(json, path));
}

template <class T>
T decodeValue(const nlohmann::json& json, const CodingPathNode* path) {
    if constexpr (isStdOptional<T>) {
        if (json.is_null()) return std::nullopt;
        return decodeValue<typename T::value_type>(json, path);
    } else if constexpr (isSharedPointer<T>) {
        using Pointee = std::remove_const_t<typename T::element_type>;
        return std::make_shared<Pointee>(decodeValue<Pointee>(json, path));
    } else {
        if (json.is_null()) failValueNotFound(path, typeName<T>());
        if constexpr (std::same_as<T, std::string>) {
            if (!json.is_string()) failTypeMismatch(path, typeName<T>(), json);
            return json.get_ref<const std::string&>();
        } else if constexpr (std::same_as<T, bool>) {
            if (!json.is_boolean()) failTypeMismatch(path, typeName<T>(), json);
            return json.get<bool>();
        } else if constexpr (Integer<T>) {
            if (!json.is_number()) failTypeMismatch(path, typeName<T>(), json);
            return decodeInteger<T>(json, path);
        } else if constexpr (std::floating_point<T>) {
            if (!json.is_number()) failTypeMismatch(path, typeName<T>(), json);
            return json.get<T>();
        } else if constexpr (isVector<T>) {
            if (!json.is_array()) failTypeMismatch(path, typeName<T>(), json);
            T result;
            result.reserve(json.size());
            std::size_t index = 0;
            for (const auto& element : json) {
                CodingPathNode elementPath{path, {}, index++, true};
                result.push_back(decodeValue<typename T::value_type>(element, &elementPath));
            }
            return result;
        } else if constexpr (isStringMap<T>) {
            if (!json.is_object()) failTypeMismatch(path, typeName<T>(), json);
            T result;
            for (const auto& [key, element] : json.items()) {
                CodingPathNode elementPath{path, key};
                result.emplace_hint(result.end(), key, decodeValue<typename T::mapped_type>(element, &elementPath));
            }
            return result;
        } else if constexpr (JSONModel<T>) {
            if (!json.is_object()) failTypeMismatch(path, typeName<T>(), json);
            T model{};
            std::apply([&](const auto&... fields) { (decodeField(model, fields, json, path), ...); }, T::codingKeys);
            return model;
        } else {
            static_assert(sizeof(T) == 0, "not decodable: declare codingKeys or use a supported field type");
        }
    }
}

}  // namespace json_detail

// How many entries ValidItems has left out on this thread so far: a caller that decodes a document
// reads it before and after, to report what a lenient list dropped.
inline std::size_t& droppedInvalidItems() {
    thread_local std::size_t count = 0;
    return count;
}

// The coder of a list or dictionary from outside: an item that does not decode by its model's rules is
// left out and the others are kept, so one malformed item never loses the whole list. The container
// itself must still be a JSON array (or object, for a dictionary).
template <class Container>
struct ValidItems {
    static Container decode(const DecodingValue& value) {
        std::size_t& dropped = droppedInvalidItems();
        const nlohmann::json& json = value.json();
        Container items;
        if constexpr (json_detail::isVector<Container>) {
            if (!json.is_array()) return value.decode<Container>();
            for (std::size_t index = 0; index < json.size(); ++index) {
                if (auto item = value.decodeElementIfValid<typename Container::value_type>(index))
                    items.push_back(std::move(*item));
                else
                    ++dropped;
            }
        } else {
            static_assert(json_detail::isStringMap<Container>, "a std::vector or a std::map keyed by text");
            if (!json.is_object()) return value.decode<Container>();
            for (const auto& [key, element] : json.items()) {
                try {
                    items.emplace_hint(items.end(), key,
                                       json_detail::decodeValue<typename Container::mapped_type>(element, nullptr));
                } catch (const json_detail::DecodingFailure&) {
                    // Feed markers such as a keyframe's "_kf" are no entry that was lost.
                    if (!key.starts_with('_')) ++dropped;
                }
            }
        }
        return items;
    }
    static const Container& encode(const Container& items) { return items; }
};

// Decodes JSON documents into models by the platform's strict rules: required keys must be present and
// non-null, values must have the JSON type of their field, unknown keys are ignored, and the first
// failure fails the whole document.
class JSONDecoder {
public:
    template <class T>
    std::expected<T, DecodingError> decode(const Data& data) const {
        try {
            nlohmann::json document = json_detail::parseDocument(data, jsonLimitsOf<T>());
            return json_detail::decodeValue<T>(document, nullptr);
        } catch (json_detail::DecodingFailure& failure) {
            return std::unexpected(std::move(failure.error));
        } catch (const std::bad_alloc&) {
            return std::unexpected(json_detail::outOfMemoryError());
        }
    }
    // A whole document that is a list or dictionary from outside, read with `ValidItems`.
    template <class Container>
    std::expected<Container, DecodingError> decodeValidItems(const Data& data) const {
        try {
            nlohmann::json document = json_detail::parseDocument(data, jsonLimitsOf<Container>());
            return ValidItems<Container>::decode(DecodingValue(document, nullptr));
        } catch (json_detail::DecodingFailure& failure) {
            return std::unexpected(std::move(failure.error));
        } catch (const std::bad_alloc&) {
            return std::unexpected(json_detail::outOfMemoryError());
        }
    }
};

}  // namespace foundation
