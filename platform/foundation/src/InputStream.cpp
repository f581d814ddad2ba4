#include "foundation/InputStream.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

namespace foundation {

namespace {

// Holds its bytes alone or with others; either way they are read where they lie.
class DataInputStream final : public InputStream {
public:
    explicit DataInputStream(std::shared_ptr<const Data> data) : data_(std::move(data)) {}

private:
    bool openSource() override { return true; }
    std::ptrdiff_t readSource(std::uint8_t* buffer, std::size_t maxLength) override {
        const auto bytes = take(maxLength);
        std::copy(bytes.begin(), bytes.end(), buffer);
        return static_cast<std::ptrdiff_t>(bytes.size());
    }
    bool sourceHasBytes() const override { return offset_ < data_->size(); }
    void closeSource() override {}
    std::optional<std::span<const std::uint8_t>> lendSource(std::size_t maxLength) override { return take(maxLength); }

    std::span<const std::uint8_t> take(std::size_t maxLength) {
        const std::size_t count = std::min(maxLength, data_->size() - offset_);
        const std::span<const std::uint8_t> bytes(data_->data() + offset_, count);
        offset_ += count;
        return bytes;
    }

    std::shared_ptr<const Data> data_;
    std::size_t offset_ = 0;
};

class FileInputStream final : public InputStream {
public:
    explicit FileInputStream(std::filesystem::path path) : path_(std::move(path)) {}
    ~FileInputStream() override { closeSource(); }

private:
    bool openSource() override {
        descriptor_ = ::open(path_.c_str(), O_RDONLY | O_CLOEXEC);
        if (descriptor_ < 0) {
            fail(FileError::fromErrno(errno, "open", path_));
            return false;
        }
        return true;
    }
    std::ptrdiff_t readSource(std::uint8_t* buffer, std::size_t maxLength) override {
        for (;;) {
            const ssize_t count = ::read(descriptor_, buffer, maxLength);
            if (count >= 0) {
                if (count == 0) atEnd_ = true;
                return count;
            }
            if (errno == EINTR) continue;
            fail(FileError::fromErrno(errno, "read", path_));
            return -1;
        }
    }
    // A file may still grow, so only a read that found nothing ends it.
    bool sourceHasBytes() const override { return !atEnd_; }
    void closeSource() override {
        if (descriptor_ >= 0) ::close(descriptor_);
        descriptor_ = -1;
    }

    std::filesystem::path path_;
    int descriptor_ = -1;
    bool atEnd_ = false;
};

}  // namespace

std::shared_ptr<InputStream> InputStream::withData(Data data) {
    return std::make_shared<DataInputStream>(std::make_shared<const Data>(std::move(data)));
}

std::shared_ptr<InputStream> InputStream::withSharedData(std::shared_ptr<const Data> data) {
    return std::make_shared<DataInputStream>(data ? std::move(data) : std::make_shared<const Data>());
}

std::shared_ptr<InputStream> InputStream::withFileAtPath(std::filesystem::path path) {
    return std::make_shared<FileInputStream>(std::move(path));
}

std::shared_ptr<InputStream> InputStream::withURL(const URL& url) {
    if (!url.isFileURL()) return nullptr;
    return withFileAtPath(url.path());
}

void InputStream::open() {
    if (status_ != StreamStatus::notOpen) return;
    status_ = StreamStatus::opening;
    if (openSource()) status_ = StreamStatus::open;
}

void InputStream::close() {
    if (status_ == StreamStatus::closed) return;
    closeSource();
    status_ = StreamStatus::closed;
}

std::ptrdiff_t InputStream::read(std::uint8_t* buffer, std::size_t maxLength) {
    if (status_ == StreamStatus::atEnd) return 0;
    if (status_ != StreamStatus::open) {
        if (status_ != StreamStatus::error) {
            error_ = FileError{EBADF, "read: the stream is not open"};
        }
        return -1;
    }
    if (maxLength == 0) return 0;
    status_ = StreamStatus::reading;
    const std::ptrdiff_t count = readSource(buffer, maxLength);
    if (count < 0) return -1;  // fail() has set the error status
    status_ = count == 0 ? StreamStatus::atEnd : StreamStatus::open;
    return count;
}

std::optional<std::span<const std::uint8_t>> InputStream::readInPlace(std::size_t maxLength) {
    if (status_ == StreamStatus::atEnd) return std::span<const std::uint8_t>();
    if (status_ != StreamStatus::open) return std::nullopt;
    auto bytes = lendSource(maxLength);
    if (bytes && maxLength != 0) status_ = bytes->empty() ? StreamStatus::atEnd : StreamStatus::open;
    return bytes;
}

bool InputStream::hasBytesAvailable() const {
    return status_ == StreamStatus::open && sourceHasBytes();
}

void InputStream::fail(FileError error) {
    error_ = std::move(error);
    status_ = StreamStatus::error;
}

}  // namespace foundation
