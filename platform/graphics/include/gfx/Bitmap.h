#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <utility>
#include <vector>

namespace gfx {

class Context;

// A bitmap's bytes, with the vector members its callers use, except that growing leaves the new bytes
// unwritten (Bitmap::make zeroes them): a context's canvas need not be zeroed before it is painted over.
class PixelBytes {
public:
    using value_type = std::uint8_t;
    using iterator = std::uint8_t*;
    using const_iterator = const std::uint8_t*;

    PixelBytes() = default;
    PixelBytes(const PixelBytes& other) { *this = other; }
    PixelBytes(PixelBytes&& other) noexcept { swap(other); }
    PixelBytes& operator=(const PixelBytes& other) {
        if (this == &other) return *this;
        size_ = 0;
        resize(other.size_);
        if (size_) std::memcpy(bytes_.get(), other.bytes_.get(), size_);
        return *this;
    }
    PixelBytes& operator=(PixelBytes&& other) noexcept {
        PixelBytes gone(std::move(other));
        swap(gone);
        return *this;
    }
    void swap(PixelBytes& other) noexcept {
        std::swap(bytes_, other.bytes_);
        std::swap(size_, other.size_);
        std::swap(capacity_, other.capacity_);
    }

    // Keeps the first bytes; those past the old size hold whatever the memory held.
    void resize(std::size_t size) {
        if (size > capacity_) {
            auto grown = std::make_unique_for_overwrite<std::uint8_t[]>(size);
            if (size_) std::memcpy(grown.get(), bytes_.get(), size_);
            bytes_ = std::move(grown);
            capacity_ = size;
        }
        size_ = size;
    }
    void assign(std::size_t size, std::uint8_t value) {
        resize(size);
        if (size) std::memset(bytes_.get(), value, size);
    }

    std::uint8_t* data() { return bytes_.get(); }
    const std::uint8_t* data() const { return bytes_.get(); }
    std::size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }
    std::uint8_t& operator[](std::size_t index) { return bytes_[index]; }
    std::uint8_t operator[](std::size_t index) const { return bytes_[index]; }
    iterator begin() { return data(); }
    iterator end() { return data() + size_; }
    const_iterator begin() const { return data(); }
    const_iterator end() const { return data() + size_; }

    operator std::vector<std::uint8_t>() const { return {begin(), end()}; }
    friend bool operator==(const PixelBytes& a, const PixelBytes& b) { return same(a.data(), a.size(), b.data(), b.size()); }
    friend bool operator==(const PixelBytes& a, const std::vector<std::uint8_t>& b) {
        return same(a.data(), a.size(), b.data(), b.size());
    }

private:
    static bool same(const std::uint8_t* a, std::size_t aSize, const std::uint8_t* b, std::size_t bSize) {
        return aSize == bSize && (aSize == 0 || std::memcmp(a, b, aSize) == 0);
    }

    std::unique_ptr<std::uint8_t[]> bytes_;
    std::size_t size_ = 0;
    std::size_t capacity_ = 0;
};

// Pixels in Cairo's ARGB32 layout: one native-endian 32-bit word a pixel, alpha in the high byte,
// colour premultiplied by alpha. Rows are `stride` bytes apart (a multiple of 4).
struct Bitmap {
    int width = 0;
    int height = 0;
    int stride = 0;
    PixelBytes pixels;

    // Transparent black.
    static Bitmap make(int width, int height) {
        Bitmap bitmap = unwritten(width, height);
        bitmap.pixels.assign(bitmap.pixels.size(), 0);
        return bitmap;
    }
    bool empty() const { return width <= 0 || height <= 0; }
    std::uint32_t pixel(int x, int y) const {
        return *reinterpret_cast<const std::uint32_t*>(pixels.data() + static_cast<std::size_t>(y) * stride + x * 4);
    }
    std::uint32_t* row(int y) {
        return reinterpret_cast<std::uint32_t*>(pixels.data() + static_cast<std::size_t>(y) * stride);
    }
    const std::uint32_t* row(int y) const {
        return reinterpret_cast<const std::uint32_t*>(pixels.data() + static_cast<std::size_t>(y) * stride);
    }

private:
    // Pixels holding whatever the memory held: the context writes each before anyone reads it.
    friend class Context;
    static Bitmap unwritten(int width, int height) {
        Bitmap bitmap;
        bitmap.width = width;
        bitmap.height = height;
        bitmap.stride = width * 4;
        bitmap.pixels.resize(static_cast<std::size_t>(bitmap.stride) * height);
        return bitmap;
    }
};

// Decoders refuse images with more pixels than this (a 16384 x 16384 image); it bounds what hostile
// input can make us allocate.
inline constexpr std::int64_t maximumPixelCount = 16384LL * 16384LL;

}  // namespace gfx
