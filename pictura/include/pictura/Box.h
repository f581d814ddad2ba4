#pragma once

#include <memory>

namespace pictura {

// A shared mutable cell, for storing a value where an object is wanted (per-object values). No lock:
// its users synchronise.
template <class T>
class Box {
public:
    explicit Box(T value) : value(std::move(value)) {}
    static std::shared_ptr<Box> make(T value) { return std::make_shared<Box>(std::move(value)); }

    T value;
};

}  // namespace pictura
