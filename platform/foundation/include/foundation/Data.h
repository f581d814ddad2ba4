#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace foundation {

// A byte buffer with value semantics.
class Data {
public:
    Data() = default;
    explicit Data(std::vector<std::uint8_t> bytes) : bytes_(std::move(bytes)) {}
    Data(const void* bytes, std::size_t count)
        : bytes_(static_cast<const std::uint8_t*>(bytes), static_cast<const std::uint8_t*>(bytes) + count) {}
    static Data fromString(std::string_view text) { return Data(text.data(), text.size()); }
    // Standard Base64 (RFC 4648 alphabet, "=" padding to a multiple of four characters). Anything else,
    // line breaks and missing padding included, gives nothing.
    static std::optional<Data> fromBase64(std::string_view text);

    std::size_t size() const { return bytes_.size(); }
    bool empty() const { return bytes_.empty(); }
    const std::uint8_t* data() const { return bytes_.data(); }
    std::uint8_t* data() { return bytes_.data(); }
    std::span<const std::uint8_t> span() const { return bytes_; }
    const std::vector<std::uint8_t>& bytes() const { return bytes_; }
    std::vector<std::uint8_t>& bytes() { return bytes_; }
    std::string_view view() const { return {reinterpret_cast<const char*>(bytes_.data()), bytes_.size()}; }
    std::string toString() const { return std::string(view()); }

    std::uint8_t operator[](std::size_t index) const { return bytes_[index]; }
    void append(const void* bytes, std::size_t count) {
        auto* first = static_cast<const std::uint8_t*>(bytes);
        bytes_.insert(bytes_.end(), first, first + count);
    }
    void append(const Data& other) { bytes_.insert(bytes_.end(), other.bytes_.begin(), other.bytes_.end()); }
    // Bytes [offset, offset + count), clamped to what exists.
    Data subdata(std::size_t offset, std::size_t count) const {
        if (offset >= bytes_.size()) return {};
        count = std::min(count, bytes_.size() - offset);
        return Data(bytes_.data() + offset, count);
    }

    friend bool operator==(const Data&, const Data&) = default;

private:
    std::vector<std::uint8_t> bytes_;
};

}  // namespace foundation
