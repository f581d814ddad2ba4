#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <limits>

#include "VellumLogCapture.h"
#include "foundation/Assertion.h"
#include "gfx/Image.h"
#include "vellum/VellumFixedContent.h"
#include "vellum/VellumFoundationAdditions.h"
#include "vellum/Element.h"
#include "vellum/SVGDocument.h"
#include "vellum/VellumParseResult.h"
#include "vellum/VellumParser.h"
#include "vellum/VellumSourceLocalFile.h"
#include "vellum/VellumSourceNSData.h"
#include "vellum/VellumSourceString.h"
#include "vellum/VellumSourceURL.h"

using namespace vellum;
namespace fs = std::filesystem;

namespace {

constexpr const char* smallDocument = R"(<svg xmlns="http://www.w3.org/2000/svg" width="4" height="4"><rect width="4" height="4"/></svg>)";

// A folder of its own per test, removed afterwards.
class ScratchFolder {
public:
    ScratchFolder() : path_(fs::temp_directory_path() / ("vellum-" + std::to_string(::getpid()) + "-" + std::to_string(counter++))) {
        fs::create_directories(path_);
    }
    ~ScratchFolder() { fs::remove_all(path_); }
    fs::path write(const std::string& name, const std::string& contents) const {
        fs::create_directories((path_ / name).parent_path());
        std::ofstream(path_ / name, std::ios::binary) << contents;
        return path_ / name;
    }
    const fs::path& path() const { return path_; }

private:
    static inline int counter = 0;
    fs::path path_;
};

std::string streamText(const VellumSource& source) {
    source.stream()->open();
    auto data = dataWithContentsOfStream(source.stream().get(), 4096);
    source.stream()->close();
    return data ? data->toString() : "(error)";
}

}  // namespace

TEST(VellumSource, AStringSourceKeepsItsTextAsKeyAndLength) {
    auto source = VellumSourceString::sourceFromContentsOfString(smallDocument);
    EXPECT_EQ(source->rawString(), smallDocument);
    EXPECT_EQ(source->keyForAppleDictionaries(), smallDocument);
    EXPECT_EQ(source->approximateLengthInBytesOr0(), std::string(smallDocument).size());
    EXPECT_EQ(streamText(*source), smallDocument);
    EXPECT_EQ(source->sourceFromRelativePath("other.svg"), nullptr);
}

TEST(VellumSource, CopiesHaveFreshUnopenedStreamsOverTheSameContent) {
    auto source = VellumSourceString::sourceFromContentsOfString(smallDocument);
    EXPECT_EQ(streamText(*source), smallDocument);
    auto copy = source->copy();
    EXPECT_NE(copy->stream(), source->stream());
    EXPECT_EQ(copy->stream()->streamStatus(), foundation::StreamStatus::notOpen);
    EXPECT_EQ(streamText(*copy), smallDocument);
    EXPECT_EQ(copy->keyForAppleDictionaries(), source->keyForAppleDictionaries());

    auto bytes = VellumSourceNSData::sourceFromData(foundation::Data::fromString("<svg/>"), std::nullopt);
    EXPECT_EQ(streamText(*bytes), "<svg/>");
    EXPECT_EQ(streamText(*bytes->copy()), "<svg/>");
}

TEST(VellumSource, ByteSourcesParseWholeAcrossManyReadsAndTheirCopiesReadTheSameBytes) {
    // Several of the parser's reads long, with an element cut at each read's end somewhere.
    std::string text = R"(<svg xmlns="http://www.w3.org/2000/svg" width="4" height="4">)";
    for (int index = 0; index < 1500; ++index) text += "<rect id=\"r" + std::to_string(index) + "\" width=\"1\"/>\n";
    text += "</svg>";
    auto source = VellumSourceNSData::sourceFromData(foundation::Data::fromString(text), std::nullopt);
    for (const auto& each : {std::static_pointer_cast<VellumSource>(source), source->copy()}) {
        auto result = VellumParser::parseSourceUsingDefaultVellumParser(each);
        ASSERT_TRUE(result->parsedDocument());
        const auto rects = result->parsedDocument()->getElementsByTagName("rect");
        ASSERT_EQ(rects->length(), 1500u);
        EXPECT_EQ(std::static_pointer_cast<Element>(rects->item(1499))->getAttribute("id"), "r1499");
    }
    EXPECT_EQ(&source->rawData(), &std::static_pointer_cast<VellumSourceNSData>(source->copy())->rawData())
        << "a copy shares the bytes";
    EXPECT_EQ(source->rawData().size(), text.size());
}

TEST(VellumSource, ByteSourcesAreKeyedByTheirTextWhenItIsUTF8) {
    auto text = VellumSourceNSData::sourceFromData(foundation::Data::fromString("<svg/>"), std::nullopt);
    EXPECT_EQ(text->keyForAppleDictionaries(), "<svg/>");
    EXPECT_EQ(text->approximateLengthInBytesOr0(), 0u);
    auto binary = VellumSourceNSData::sourceFromData(foundation::Data(std::vector<std::uint8_t>{0xff, 0xfe}), std::nullopt);
    EXPECT_EQ(binary->keyForAppleDictionaries(), std::nullopt);
}

TEST(VellumSource, ByteSourcesResolveRelativeLinksOnlyWithABaseURL) {
    VellumLogCapture log;
    auto anonymous = VellumSourceNSData::sourceFromData(foundation::Data::fromString("<svg/>"), std::nullopt);
    EXPECT_EQ(anonymous->sourceFromRelativePath("style.css"), nullptr);
    const auto messages = log.messages();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_TRUE(messages[0].starts_with("Cannot construct a relative link for this VellumSource; it was created from "
                                        "anonymous NSData with no source URL provided. Source = "));

    ScratchFolder folder;
    folder.write("flags/style.css", "rect{fill:red}");
    auto based = VellumSourceNSData::sourceFromData(foundation::Data::fromString("<svg/>"),
                                                    foundation::URL::fileURL((folder.path() / "flags/gb.svg").string()));
    auto linked = std::dynamic_pointer_cast<VellumSourceURL>(based->sourceFromRelativePath("style.css"));
    ASSERT_TRUE(linked);
    EXPECT_EQ(streamText(*linked), "rect{fill:red}");
}

TEST(VellumSource, FileSourcesKnowTheirSizeAndReportUnreadableOnesAsAllBitsSet) {
    ScratchFolder folder;
    const auto path = folder.write("a.svg", smallDocument);
    auto source = VellumSourceLocalFile::sourceFromFilename(path);
    EXPECT_EQ(source->approximateLengthInBytesOr0(), std::string(smallDocument).size());
    EXPECT_EQ(source->keyForAppleDictionaries(), path.string());
    EXPECT_EQ(streamText(*source), smallDocument);
    EXPECT_EQ(source->description(), "File: \"" + path.string() + "\" (" + std::to_string(source->approximateLengthInBytesOr0()) + " bytes)");

    auto missing = VellumSourceLocalFile::sourceFromFilename(folder.path() / "missing.svg");
    ASSERT_TRUE(missing) << "not checked when made";
    EXPECT_EQ(missing->approximateLengthInBytesOr0(), std::numeric_limits<std::uint64_t>::max());
    EXPECT_TRUE(missing->description().starts_with("File: NOT FOUND!  \""));
    missing->stream()->open();
    EXPECT_EQ(missing->stream()->streamStatus(), foundation::StreamStatus::error);
}

TEST(VellumSource, FileSourcesResolveRelativePathsToFilesThatExist) {
    ScratchFolder folder;
    const auto path = folder.write("art/a.svg", smallDocument);
    folder.write("css/b.css", "g{}");
    auto source = VellumSourceLocalFile::sourceFromFilename(path);
    auto linked = std::dynamic_pointer_cast<VellumSourceLocalFile>(source->sourceFromRelativePath("../css/b.css"));
    ASSERT_TRUE(linked);
    EXPECT_TRUE(linked->wasRelative());
    EXPECT_EQ(fs::path(linked->filePath()), folder.path() / "css/b.css");
    EXPECT_TRUE(linked->description().starts_with("File: (relative) \""));
    EXPECT_EQ(source->sourceFromRelativePath("nothing-here.css"), nullptr);
    auto copy = std::dynamic_pointer_cast<VellumSourceLocalFile>(linked->copy());
    EXPECT_TRUE(copy->wasRelative());
    EXPECT_EQ(streamText(*copy), "g{}");
}

TEST(VellumSource, NamedFilesAreLookedUpAsSVGInDocumentsBeforeTheBundle) {
    ScratchFolder folder;
    foundation::FileManager files({.documentsDirectory = folder.path() / "Documents"});
    const auto bundle = folder.path() / "bundle";
    folder.write("bundle/flag.svg", "bundle");
    folder.write("bundle/other.svgz", "z");
    auto fromBundle = VellumSourceLocalFile::internalSourceAnywhereInBundle(bundle, "flag", files);
    ASSERT_TRUE(fromBundle);
    EXPECT_EQ(fs::path(fromBundle->filePath()), bundle / "flag.svg");

    folder.write("Documents/flag.svg", "documents");
    auto fromDocuments = VellumSourceLocalFile::internalSourceAnywhereInBundle(bundle, "flag.svg", files);
    ASSERT_TRUE(fromDocuments);
    EXPECT_EQ(streamText(*fromDocuments), "documents");
    EXPECT_TRUE(VellumSourceLocalFile::internalSourceAnywhereInBundle(bundle, "other.svgz", files));
    folder.write("bundle/flags/flag.svg", "in a folder");
    auto inFolder = VellumSourceLocalFile::internalSourceAnywhereInBundle(bundle, "flags/flag", files);
    ASSERT_TRUE(inFolder);
    EXPECT_EQ(fs::path(inFolder->filePath()), bundle / "flags/flag.svg") << "a name keeps its folder";

    VellumLogCapture log;
    EXPECT_EQ(VellumSourceLocalFile::internalSourceAnywhereInBundle(std::nullopt, "gone", files), nullptr);
    EXPECT_EQ(log.messages(), std::vector<std::string>{"[VellumSourceLocalFile] MISSING FILE (not found in App-bundle, not "
                                                       "found in Documents folder), COULD NOT CREATE DOCUMENT: filename = "
                                                       "gone, extension = svg"});
    EXPECT_THROW(VellumSourceLocalFile::internalSourceAnywhereInBundle(bundle, "", files),
                 foundation::InternalInconsistencyException);
}

TEST(VellumSource, URLSourcesStreamFilesReadDataURLsAndRefuseTheUnreadable) {
    ScratchFolder folder;
    const auto path = folder.write("u.svg", smallDocument);
    auto file = VellumSourceURL::sourceFromURL(foundation::URL::fileURL(path.string()));
    ASSERT_TRUE(file);
    EXPECT_EQ(streamText(*file), smallDocument);
    EXPECT_EQ(file->description(), "[VellumSource: URL = \"" + foundation::URL::fileURL(path.string()).absoluteString() + "\"]");
    EXPECT_EQ(streamText(*file->copy()), smallDocument);

    auto inline_ = VellumSourceURL::sourceFromURL(*foundation::URL::fromString("data:image/svg+xml;base64,PHN2Zy8+"));
    ASSERT_TRUE(inline_);
    EXPECT_EQ(streamText(*inline_), "<svg/>");

    VellumLogCapture log;
    EXPECT_EQ(VellumSourceURL::sourceFromURL(*foundation::URL::fromString("data:;base64,@@@@")), nullptr);
    EXPECT_EQ(VellumSourceURL::internalCreateInputStreamFromURL(std::nullopt), nullptr);
    const auto messages = log.messages();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_TRUE(messages[0].starts_with("Error internally in Apple's NSData trying to read from URL 'data:;base64,@@@@'."));
}

TEST(VellumSource, TheBaseClassHasNoKeyOfItsOwn) {
    VellumSource base(nullptr);
    EXPECT_THROW(base.keyForAppleDictionaries(), foundation::InternalInconsistencyException);
    base.setApproximateLengthInBytesOr0(7);
    EXPECT_EQ(base.copy()->approximateLengthInBytesOr0(), 7u);
}

TEST(StreamReading, ReadsToTheEndInStepsOfTheCapacity) {
    const std::string text(10'000, 'x');
    auto stream = foundation::InputStream::withData(foundation::Data::fromString(text));
    stream->open();
    auto data = dataWithContentsOfStream(stream.get(), 4096);
    ASSERT_TRUE(data);
    EXPECT_EQ(data->toString(), text);

    auto empty = foundation::InputStream::withData({});
    empty->open();
    EXPECT_TRUE(dataWithContentsOfStream(empty.get(), 4096)->empty());

    for (std::uint64_t capacity : {std::uint64_t{0}, std::uint64_t{1}, std::numeric_limits<std::uint64_t>::max()}) {
        auto again = foundation::InputStream::withData(foundation::Data::fromString("abc"));
        again->open();
        EXPECT_EQ(dataWithContentsOfStream(again.get(), capacity)->toString(), "abc") << capacity;
    }
}

TEST(StreamReading, FailuresArePOSIXErrors) {
    EXPECT_EQ(dataWithContentsOfStream(nullptr, 4096).error().code, ENOENT);
    auto unopened = foundation::InputStream::withData(foundation::Data::fromString("abc"));
    EXPECT_EQ(dataWithContentsOfStream(unopened.get(), 4096).error().code, EBADF);
    auto missing = foundation::InputStream::withFileAtPath("/nonexistent/vellum.svg");
    missing->open();
    EXPECT_EQ(dataWithContentsOfStream(missing.get(), 4096).error().code, ENOENT);
}

TEST(ParseResult, AFreshResultDescribesThreeZeroCountsAndNoError) {
    VellumParseResult result;
    EXPECT_EQ(result.description(),
              "[Parse result: 0 warnings, 0 errors(recoverable), 0 errors (fatal). Last recoverable error: (n/a)");
    EXPECT_EQ(result.parsedDocument(), nullptr);
    EXPECT_EQ(result.parseProgressFractionApproximate(), 0);
}

TEST(ParseResult, ProblemsGoToTheirListsAndEachIsLogged) {
    VellumLogCapture log;
    VellumParseResult result;
    result.addSourceError(VellumError::make("Vellum", 2354, "no stream"));
    result.addParseWarning(VellumError::make("1", 99, "odd"));
    result.addParseErrorRecoverable(VellumError::make("1", 5, "bad attribute"));
    EXPECT_EQ(result.description(),
              "[Parse result: 1 warnings, 2 errors(recoverable), 0 errors (fatal). Last recoverable error: "
              "Error Domain=1 Code=5 \"bad attribute\"");
    result.addSAXError(VellumError::make("SVG-SAX", 1, "printf-style"));
    result.addParseErrorFatal(VellumError::make("Vellum Parsing", 32523432, "Exception = x"));
    EXPECT_EQ(result.errorsFatal().size(), 2u) << "SAX errors are fatal";
    EXPECT_EQ(result.errorsRecoverable().front().code, 2354) << "source errors are recoverable";
    EXPECT_EQ(result.description(),
              "[Parse result: 1 warnings, 2 errors(recoverable), 2 errors (fatal). First fatal error: "
              "Error Domain=SVG-SAX Code=1 \"printf-style\"");
    EXPECT_EQ(log.messages(), (std::vector<std::string>{
                                  "[VellumParseResult] SVG ERROR: Error Domain=Vellum Code=2354 \"no stream\"",
                                  "[VellumParseResult] SVG WARNING: Error Domain=1 Code=99 \"odd\"",
                                  "[VellumParseResult] SVG WARNING (recoverable): Error Domain=1 Code=5 \"bad attribute\"",
                                  "[VellumParseResult] SVG ERROR: printf-style",
                                  "[VellumParseResult] SVG ERROR: Error Domain=Vellum Parsing Code=32523432 \"Exception = x\"",
                              }));
}

TEST(FixedContent, TheBrokenImageIsDecodedOnceAt32By32) {
    auto image = VellumGetBrokenImageRepresentation();
    ASSERT_TRUE(image);
    EXPECT_EQ(image->size(), (gfx::Size{32, 32}));
    EXPECT_EQ(VellumGetBrokenImageRepresentation(), image);
}

TEST(FixedContent, TheDefaultDocumentIsAHundredSquareInItsColours) {
    const std::string_view text = VellumGetDefaultContentString();
    EXPECT_NE(text.find("width=\"100\" height=\"100\" viewBox=\"0 0 100 100\""), std::string_view::npos);
    EXPECT_NE(text.find("xmlns=\"http://www.w3.org/2000/svg\""), std::string_view::npos);
    EXPECT_NE(text.find("fill=\"#BF01FF\""), std::string_view::npos);
    std::size_t legends = 0;
    for (std::size_t at = text.find("<path fill=\"#F8E81C\""); at != std::string_view::npos;
         at = text.find("<path fill=\"#F8E81C\"", at + 1)) {
        ++legends;
    }
    EXPECT_EQ(legends, 2u);
}

TEST(FoundationAdditions, SVGWhitespaceIsBlankTabReturnAndLineFeed) {
    const auto& set = SVGWhitespaceCharacterSet();
    for (char32_t character : {U' ', U'\t', U'\r', U'\n'}) EXPECT_TRUE(set.contains(character));
    for (char32_t character : {U'\f', U'\v', U'\u00A0', U','}) EXPECT_FALSE(set.contains(character));
    EXPECT_EQ(&SVGWhitespaceCharacterSet(), &set);
}
