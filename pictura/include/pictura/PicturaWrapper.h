#pragma once

#include <memory>
#include <type_traits>

namespace pictura {

// The library's operations on platform types hang off this namespace value instead of the types
// themselves: `pc(text).md5`, `pc(size).constrained(target)`. A type takes part by specialising the
// wrapper (deriving `PicturaWrapperBase`); a type without a specialisation has no `pc`.
template <class Base>
struct PicturaWrapper;

template <class Base>
struct PicturaWrapperBase {
    explicit PicturaWrapperBase(Base base) : base(std::move(base)) {}
    // For an object type (held in a shared_ptr) a strong reference to that very object; for a value
    // type a copy.
    Base base;
};

// Marker for object types: their wrapper holds a strong reference.
template <class T>
inline constexpr bool isPicturaCompatible = false;
// Marker for value types: their wrapper holds a copy.
template <class T>
inline constexpr bool isPicturaCompatibleValue = false;

template <class T>
    requires isPicturaCompatibleValue<T>
PicturaWrapper<T> pc(const T& value) {
    return PicturaWrapper<T>(value);
}

template <class T>
    requires isPicturaCompatible<T>
PicturaWrapper<std::shared_ptr<T>> pc(const std::shared_ptr<T>& object) {
    return PicturaWrapper<std::shared_ptr<T>>(object);
}

}  // namespace pictura
