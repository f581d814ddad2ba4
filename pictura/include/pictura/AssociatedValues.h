#pragma once

#include <any>
#include <memory>
#include <optional>
#include <type_traits>

#include "ui/View.h"

namespace pictura {

// Per-object values of platform objects (images, views, buttons): what the platform keeps as associated
// objects, here a process-wide table keyed by the object's weak identity and a key address. A value is
// retained until it is replaced or its object is gone. A view's values go with the view, on the main
// thread (they may hold views of their own: placeholders, indicators), and so do those of an object
// made by `endingWithItsValues`; the values of other objects that are gone are dropped as the table
// grows, at a memory warning, every `associatedValuesSweepInterval` seconds while there are any (or by
// `sweepAssociatedValues`). As on the platform, a value that holds its own object strongly keeps it
// alive. Any thread.
inline constexpr double associatedValuesSweepInterval = 120;

namespace detail {
std::any associatedObject(const std::shared_ptr<const void>& object, const void* key);
// `view` is the object when it is a view, else null.
void setAssociatedObject(const std::shared_ptr<const void>& object, const void* key, std::any value,
                         const ui::View* view);

// An owner for `object` whose end drops the values stored under it.
std::shared_ptr<const void> valueEndingOwner(std::shared_ptr<const void> object);

template <class Object>
const ui::View* asView(const std::shared_ptr<Object>& object) {
    if constexpr (std::is_base_of_v<ui::View, std::remove_cv_t<Object>>) return object.get();
    else return nullptr;
}
}  // namespace detail

// The value stored on `object` under `key` when there is one of type T; nothing when nothing is
// stored or the stored value has another type.
template <class T, class Object>
std::optional<T> associatedValue(const std::shared_ptr<Object>& object, const void* key) {
    std::any stored = detail::associatedObject(std::static_pointer_cast<const void>(object), key);
    if (auto* typed = std::any_cast<T>(&stored)) return *typed;
    return std::nullopt;
}

// Stores `value` on `object` under `key`, replacing what was there; an empty std::any removes it.
template <class Object, class T>
void setRetainedAssociatedValue(const std::shared_ptr<Object>& object, const void* key, T value) {
    detail::setAssociatedObject(std::static_pointer_cast<const void>(object), key, std::any(std::move(value)),
                                detail::asView(object));
}

// `object` under an identity of its own whose values end with it, rather than at a later sweep: for an
// object the library makes and hands out (an image made from animated bytes). Values are stored under
// the returned pointer.
template <class Object>
std::shared_ptr<Object> endingWithItsValues(std::shared_ptr<Object> object) {
    if (!object) return object;
    auto* raw = object.get();
    return std::shared_ptr<Object>(detail::valueEndingOwner(std::move(object)), raw);
}

// Drops the values of every object that is gone.
void sweepAssociatedValues();

}  // namespace pictura
