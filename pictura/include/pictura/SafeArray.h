#pragma once

#include <cstddef>
#include <mutex>
#include <optional>
#include <vector>

namespace pictura {

// A list shared between threads. Each operation holds the lock only for itself, so nobody holds it
// across slow work such as decoding an element.
template <class Element>
class SafeArray {
public:
    // Nothing when the index is outside the list.
    std::optional<Element> at(std::ptrdiff_t index) const {
        std::lock_guard lock(lock_);
        if (index < 0 || static_cast<std::size_t>(index) >= array_.size()) return std::nullopt;
        return array_[static_cast<std::size_t>(index)];
    }

    // Ignored when there is no value or the index is outside the list.
    void write(std::ptrdiff_t index, std::optional<Element> value) {
        if (!value) return;
        std::lock_guard lock(lock_);
        if (index < 0 || static_cast<std::size_t>(index) >= array_.size()) return;
        array_[static_cast<std::size_t>(index)] = std::move(*value);
    }

    void append(Element element) {
        std::lock_guard lock(lock_);
        array_.push_back(std::move(element));
    }

    void reserveCapacity(std::size_t capacity) {
        std::lock_guard lock(lock_);
        array_.reserve(capacity);
    }

    // The elements go after the lock is released: their destructors may be slow.
    void removeAll() {
        std::vector<Element> old;
        {
            std::lock_guard lock(lock_);
            old.swap(array_);
        }
    }

    std::size_t count() const {
        std::lock_guard lock(lock_);
        return array_.size();
    }

private:
    std::vector<Element> array_;
    mutable std::mutex lock_;
};

}  // namespace pictura
