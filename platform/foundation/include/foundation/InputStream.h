#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <span>

#include "foundation/Data.h"
#include "foundation/FileError.h"
#include "foundation/URL.h"

namespace foundation {

enum class StreamStatus { notOpen, opening, open, reading, atEnd, closed, error };

// A one-way, read-once source of bytes: over a file or over bytes in memory. It must be opened
// before it is read; after close() it stays closed. Not safe to share between threads.
class InputStream {
public:
    static std::shared_ptr<InputStream> withData(Data data);
    // Over bytes that others hold as well: read where they lie, never copied.
    static std::shared_ptr<InputStream> withSharedData(std::shared_ptr<const Data> data);
    // The file is opened by open(), so a missing file shows as an error status then, not here.
    static std::shared_ptr<InputStream> withFileAtPath(std::filesystem::path path);
    // A stream over a "file" URL's file; nothing for other schemes (read those with contentsOfURL).
    static std::shared_ptr<InputStream> withURL(const URL& url);

    virtual ~InputStream() = default;
    InputStream(const InputStream&) = delete;
    InputStream& operator=(const InputStream&) = delete;

    void open();
    void close();

    // Up to `maxLength` bytes into `buffer`: their count, 0 at the end, -1 when the stream is not open
    // or a read failed (streamError() says why).
    std::ptrdiff_t read(std::uint8_t* buffer, std::size_t maxLength);
    // As read(), but a stream over bytes in memory lends up to `maxLength` of them where they lie
    // (valid while the stream lives): empty at the end. Nothing, and nothing read, where it cannot
    // lend (files) or read() would fail; read() then says why.
    std::optional<std::span<const std::uint8_t>> readInPlace(std::size_t maxLength);
    bool hasBytesAvailable() const;

    StreamStatus streamStatus() const { return status_; }
    const std::optional<FileError>& streamError() const { return error_; }

protected:
    InputStream() = default;
    // Subclass hooks: open the underlying source, read from it (-1 with errno set on failure), release it.
    virtual bool openSource() = 0;
    virtual std::ptrdiff_t readSource(std::uint8_t* buffer, std::size_t maxLength) = 0;
    virtual bool sourceHasBytes() const = 0;
    virtual void closeSource() = 0;
    // Sources in memory answer the next bytes and move past them; the others nothing.
    virtual std::optional<std::span<const std::uint8_t>> lendSource(std::size_t) { return std::nullopt; }
    void fail(FileError error);

private:
    StreamStatus status_ = StreamStatus::notOpen;
    std::optional<FileError> error_;
};

}  // namespace foundation
