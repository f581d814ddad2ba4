#pragma once

#include <concepts>
#include <memory>
#include <typeindex>
#include <typeinfo>

namespace declarative {

// What tells two evaluations of a view apart: a view given an identity equal to the one it had keeps
// its node and state; an unequal one gets a fresh node. Any value comparable with == will do.
class Identity {
public:
    template <class T>
        requires(!std::same_as<T, Identity> && std::equality_comparable<T>)
    Identity(T value)  // NOLINT: any comparable value is an identity
        : value_(std::make_shared<const T>(std::move(value))), type_(typeid(T)),
          equals_([](const void* left, const void* right) {
              return *static_cast<const T*>(left) == *static_cast<const T*>(right);
          }) {}

    friend bool operator==(const Identity& left, const Identity& right) {
        return left.type_ == right.type_ && left.equals_(left.value_.get(), right.value_.get());
    }

private:
    std::shared_ptr<const void> value_;
    std::type_index type_;
    bool (*equals_)(const void*, const void*);
};

}  // namespace declarative
