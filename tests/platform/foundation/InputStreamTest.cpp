#include <gtest/gtest.h>

#include <sys/utsname.h>

#include <filesystem>
#include <fstream>

#include "foundation/DataURL.h"
#include "foundation/InputStream.h"
#include "foundation/Machine.h"

namespace {

using foundation::Data;
using foundation::InputStream;
using foundation::StreamStatus;

std::string readAll(InputStream& stream, std::size_t step) {
    std::string text;
    std::vector<std::uint8_t> buffer(step);
    for (;;) {
        const auto count = stream.read(buffer.data(), buffer.size());
        if (count <= 0) break;
        text.append(reinterpret_cast<const char*>(buffer.data()), static_cast<std::size_t>(count));
    }
    return text;
}

std::filesystem::path scratchFile(const std::string& name, const std::string& contents) {
    auto path = std::filesystem::temp_directory_path() / ("sorvane-stream-" + std::to_string(::getpid()) + "-" + name);
    std::ofstream(path, std::ios::binary) << contents;
    return path;
}

}  // namespace

TEST(InputStream, ByteStreamReadsInStepsThenReportsItsEnd) {
    auto stream = InputStream::withData(Data::fromString("0123456789"));
    std::uint8_t buffer[4];
    EXPECT_EQ(stream->read(buffer, 4), -1) << "an unopened stream cannot be read";
    EXPECT_EQ(stream->streamStatus(), StreamStatus::notOpen);
    stream->open();
    EXPECT_TRUE(stream->hasBytesAvailable());
    EXPECT_EQ(stream->read(buffer, 4), 4);
    EXPECT_EQ(readAll(*stream, 4), "456789");
    EXPECT_EQ(stream->streamStatus(), StreamStatus::atEnd);
    EXPECT_FALSE(stream->hasBytesAvailable());
    stream->close();
    EXPECT_EQ(stream->streamStatus(), StreamStatus::closed);
    EXPECT_EQ(stream->read(buffer, 4), -1);
}

TEST(InputStream, SharedBytesAreLentWhereTheyLieAndFilesAreNot) {
    const auto bytes = std::make_shared<const Data>(Data::fromString("0123456789"));
    auto stream = InputStream::withSharedData(bytes);
    EXPECT_FALSE(stream->readInPlace(4)) << "an unopened stream lends nothing";
    stream->open();
    const auto first = stream->readInPlace(4);
    ASSERT_TRUE(first);
    EXPECT_EQ(first->data(), bytes->data()) << "not a copy";
    EXPECT_EQ(first->size(), 4u);
    std::uint8_t buffer[3];
    ASSERT_EQ(stream->read(buffer, 3), 3) << "lending and reading share one position";
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(buffer), 3), "456");
    const auto rest = stream->readInPlace(64);
    ASSERT_TRUE(rest);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(rest->data()), rest->size()), "789");
    EXPECT_EQ(stream->streamStatus(), StreamStatus::open);
    const auto end = stream->readInPlace(64);
    ASSERT_TRUE(end);
    EXPECT_TRUE(end->empty());
    EXPECT_EQ(stream->streamStatus(), StreamStatus::atEnd);
    EXPECT_EQ(stream->read(buffer, 3), 0);
    EXPECT_EQ(InputStream::withSharedData(bytes)->streamStatus(), StreamStatus::notOpen) << "each stream starts afresh";

    auto none = InputStream::withSharedData(nullptr);
    none->open();
    EXPECT_EQ(readAll(*none, 4), "");

    const auto path = scratchFile("lend.svg", "<svg/>");
    auto file = InputStream::withFileAtPath(path);
    file->open();
    EXPECT_FALSE(file->readInPlace(4)) << "files are read, not lent";
    EXPECT_EQ(readAll(*file, 4), "<svg/>") << "and a refused lend reads nothing";
    std::filesystem::remove(path);
}

TEST(InputStream, FileStreamReadsTheFileAndAMissingFileIsAnErrorOnOpen) {
    const auto path = scratchFile("a.svg", "<svg/>");
    auto stream = InputStream::withFileAtPath(path);
    EXPECT_EQ(stream->streamStatus(), StreamStatus::notOpen);
    stream->open();
    ASSERT_EQ(stream->streamStatus(), StreamStatus::open);
    EXPECT_EQ(readAll(*stream, 2), "<svg/>");
    std::filesystem::remove(path);

    auto missing = InputStream::withFileAtPath(path);
    missing->open();
    EXPECT_EQ(missing->streamStatus(), StreamStatus::error);
    ASSERT_TRUE(missing->streamError());
    EXPECT_TRUE(missing->streamError()->isNoSuchFile());
    std::uint8_t byte;
    EXPECT_EQ(missing->read(&byte, 1), -1);
}

TEST(InputStream, URLStreamsExistOnlyForFileURLs) {
    const auto path = scratchFile("b.svg", "bytes");
    auto stream = InputStream::withURL(foundation::URL::fileURL(path.string()));
    ASSERT_TRUE(stream);
    stream->open();
    EXPECT_EQ(readAll(*stream, 64), "bytes");
    std::filesystem::remove(path);
    EXPECT_FALSE(InputStream::withURL(*foundation::URL::fromString("https://example.com/a.svg")));
}

TEST(DataURL, DecodesBase64AndPercentEncodedPayloadsWithTheirMediaType) {
    auto image = foundation::DataURL::decode("data:image/png;base64,iVBORw0KGgo=");
    ASSERT_TRUE(image);
    EXPECT_EQ(image->mediaType, "image/png");
    EXPECT_TRUE(image->isBase64);
    EXPECT_EQ(image->data, Data(std::vector<std::uint8_t>{0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'}));

    auto text = foundation::DataURL::decode("data:,A%20brief%20note");
    ASSERT_TRUE(text);
    EXPECT_EQ(text->mediaType, "text/plain;charset=US-ASCII");
    EXPECT_EQ(text->data.toString(), "A brief note");

    auto wrapped = foundation::DataURL::decode("DATA:;charset=utf-8;BASE64,SGVs\nbG8");
    ASSERT_TRUE(wrapped) << "line breaks and missing padding are accepted";
    EXPECT_EQ(wrapped->mediaType, "text/plain;charset=utf-8");
    EXPECT_EQ(wrapped->data.toString(), "Hello");
}

TEST(DataURL, RefusesWhatIsNotADecodableDataURL) {
    EXPECT_FALSE(foundation::DataURL::decode("http://example.com/,x"));
    EXPECT_FALSE(foundation::DataURL::decode("data:image/png;base64"));       // no comma
    EXPECT_FALSE(foundation::DataURL::decode("data:;base64,ab*d"));           // foreign character
    EXPECT_FALSE(foundation::DataURL::decode("data:;base64,QQ==QQ=="));       // data after padding
    EXPECT_FALSE(foundation::DataURL::decode("data:;base64,Q"));              // half a byte
    EXPECT_FALSE(foundation::DataURL::decode("data:,%zz"));                   // malformed escape
    auto empty = foundation::DataURL::decode("data:;base64,");
    ASSERT_TRUE(empty);
    EXPECT_TRUE(empty->data.empty());
}

TEST(DataURL, ContentsOfURLReadsDataAndFileURLsOnly) {
    auto data = foundation::contentsOfURL(*foundation::URL::fromString("data:text/plain;base64,c3Zn"));
    ASSERT_TRUE(data);
    EXPECT_EQ(data->toString(), "svg");

    const auto path = scratchFile("c.svg", "file bytes");
    auto file = foundation::contentsOfURL(foundation::URL::fileURL(path.string()));
    ASSERT_TRUE(file);
    EXPECT_EQ(file->toString(), "file bytes");
    std::filesystem::remove(path);
    EXPECT_FALSE(foundation::contentsOfURL(foundation::URL::fileURL(path.string())));

    auto remote = foundation::contentsOfURL(*foundation::URL::fromString("https://example.com/a.svg"));
    ASSERT_FALSE(remote);
    EXPECT_EQ(remote.error().code, EPROTONOSUPPORT);
}

TEST(Machine, HardwareNameIsUnamesMachineField) {
    utsname names{};
    ASSERT_EQ(::uname(&names), 0);
    EXPECT_EQ(foundation::machineHardwareName(), names.machine);
    EXPECT_FALSE(foundation::machineHardwareName().empty());
}
