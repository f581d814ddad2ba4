#pragma once

#include <cstddef>
#include <optional>
#include <string_view>
#include <tuple>

// How a model names its JSON keys. A model is a plain struct that lists its fields once, in decoding
// order, as `static constexpr auto codingKeys = std::tuple{...}`; JSONDecoder and JSONEncoder both
// work from that list:
//
//     struct Session {
//         int key = 0;
//         std::optional<int> number;
//         std::string path;
//
//         static constexpr auto codingKeys = std::tuple{
//             foundation::field("Key", &Session::key),
//             foundation::optionalField("Number", &Session::number),
//             foundation::field("Path", &Session::path),
//         };
//     };
//
// A field whose JSON differs from its member type names a coder, a type with
// `static Member decode(const foundation::DecodingValue&)` and `static X encode(const Member&)`, X being
// any encodable type: `foundation::field("New", &Stint::isNew, TextIsTrue{})`.
namespace foundation {

// The standard rules of the member's type decode and encode the field.
struct StandardCoder {};

enum class FieldPresence { required, optional };

template <class Owner, class Member, FieldPresence presence, class Coder>
struct Field {
    using OwnerType = Owner;
    using MemberType = Member;
    using CoderType = Coder;
    static constexpr bool isOptional = presence == FieldPresence::optional;

    std::string_view key;
    Member Owner::*member;
};

template <class T>
inline constexpr bool isStdOptional = false;
template <class T>
inline constexpr bool isStdOptional<std::optional<T>> = true;

// A required field: an absent key, a null or a value of another JSON type fails the document.
template <class Owner, class Member, class Coder = StandardCoder>
constexpr auto field(std::string_view key, Member Owner::*member, Coder = {}) {
    static_assert(!isStdOptional<Member>, "declare a std::optional member with optionalField()");
    return Field<Owner, Member, FieldPresence::required, Coder>{key, member};
}

// An optional field: an absent key or a null leaves it empty; a value of another JSON type still fails
// the document; encoding writes the key only when the field holds a value. A coder works on the
// value inside the optional.
template <class Owner, class Member, class Coder = StandardCoder>
constexpr auto optionalField(std::string_view key, std::optional<Member> Owner::*member, Coder = {}) {
    return Field<Owner, std::optional<Member>, FieldPresence::optional, Coder>{key, member};
}

template <class T>
concept JSONModel = requires { std::tuple_size<std::remove_cvref_t<decltype(T::codingKeys)>>::value; };

// One step of the way from the document to a value: an object key or an array index. The steps form a
// chain on the stack, so tracking the path costs nothing until an error names it.
struct CodingPathNode {
    const CodingPathNode* parent = nullptr;
    std::string_view key;
    std::size_t index = 0;
    bool isIndex = false;
};

}  // namespace foundation
