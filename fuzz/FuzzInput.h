#pragma once

// Reads a fuzzer's input as a sequence of choices, then the rest as bytes; past the end every choice is 0.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <string_view>

namespace fuzz {

class Input {
public:
    Input(const std::uint8_t* bytes, std::size_t size) : bytes_(bytes), size_(size) {}

    std::uint8_t byte() { return offset_ < size_ ? bytes_[offset_++] : 0; }
    bool flag() { return byte() & 1; }
    // One of `count` choices.
    std::size_t pick(std::size_t count) { return count ? byte() % count : 0; }
    std::uint64_t any64() {
        std::uint64_t bits = 0;
        for (int i = 0; i < 8; ++i) bits = bits << 8 | byte();
        return bits;
    }
    // A double from eight bytes: every value, NaN and infinities included.
    double anyDouble() {
        std::uint64_t bits = any64();
        double value;
        std::memcpy(&value, &bits, sizeof value);
        return value;
    }
    // Text up to a zero byte or `limit` bytes.
    std::string text(std::size_t limit = 64) {
        std::string result;
        while (offset_ < size_ && result.size() < limit) {
            char c = char(bytes_[offset_++]);
            if (c == 0) break;
            result += c;
        }
        return result;
    }
    std::string_view rest() {
        std::string_view all(reinterpret_cast<const char*>(bytes_) + offset_, size_ - offset_);
        offset_ = size_;
        return all;
    }
    bool empty() const { return offset_ >= size_; }

private:
    const std::uint8_t* bytes_;
    std::size_t size_;
    std::size_t offset_ = 0;
};

// A folder of the process's own under the temporary directory, removed at exit.
inline const std::filesystem::path& scratchFolder(const std::string& prefix) {
    // Never destroyed: the exit handler that removes it runs after the destructors of statics.
    static const auto& folder = *new std::filesystem::path([&] {
        std::string name = (std::filesystem::temp_directory_path() / (prefix + "-XXXXXX")).string();
        if (!::mkdtemp(name.data())) std::abort();
        std::atexit([] { std::filesystem::remove_all(scratchFolder({})); });
        return name;
    }());
    return folder;
}

}  // namespace fuzz
