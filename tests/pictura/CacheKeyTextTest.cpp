#include <gtest/gtest.h>

#include "pictura/CacheKeyText.h"
#include "pictura/MD5.h"

namespace pictura {
namespace {

std::string md5(const std::string& text) { return pc(text).md5(); }

TEST(MD5Test, matchesTheRfc1321Vectors) {
    EXPECT_EQ(md5(""), "d41d8cd98f00b204e9800998ecf8427e");
    EXPECT_EQ(md5("a"), "0cc175b9c0f1b6a831c399e269772661");
    EXPECT_EQ(md5("abc"), "900150983cd24fb0d6963f7d28e17f72");
    EXPECT_EQ(md5("message digest"), "f96b697d7cb7938d525a2f31aaf161d0");
    EXPECT_EQ(md5("abcdefghijklmnopqrstuvwxyz"), "c3fcd3d76192e4007dfb496cca67e13b");
    EXPECT_EQ(md5("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789"), "d174ab98d277d9f5a5611c2c9f419d9f");
    EXPECT_EQ(md5("12345678901234567890123456789012345678901234567890123456789012345678901234567890"),
              "57edf4a22be3c955ac49da2e2107b67a");
}

TEST(MD5Test, lengthsAroundThePaddingBoundary) {
    // Digests of that many "a"s: 55 fits one block with its length, 56 to 63 need a second block.
    EXPECT_EQ(md5(std::string(55, 'a')), "ef1772b6dff9a122358552954ad0df65");
    EXPECT_EQ(md5(std::string(56, 'a')), "3b0c8ac703f828b04c6c197006d17218");
    EXPECT_EQ(md5(std::string(63, 'a')), "b06521f39153d618550606be297466d5");
    EXPECT_EQ(md5(std::string(64, 'a')), "014842d480b571495a4a0363793f7367");
    EXPECT_EQ(md5(std::string(65, 'a')), "c743a45e0d2e6a95cb859adae0248435");
}

TEST(MD5Test, digestsTheUtf8BytesOfText) {
    EXPECT_EQ(md5("\xc3\xa9"), "66ddcd97cfdeabb2f6fb8a999b4bc76f");  // "é"
    EXPECT_EQ(md5("https://flags.test/\xc3\xa9.svg@com.appidentifier.webpprocessor"),
              "8f5c6a9514d6e6089f73ada737890299");
    const std::vector<std::uint8_t> bytes{'a', 'b', 'c'};
    const auto digest = MD5(bytes).calculate();
    EXPECT_EQ(digest[0], 0x90);
    EXPECT_EQ(digest[15], 0x72);
}

TEST(FileExtensionTest, takesWhatFollowsTheLastDotCutAtAnAt) {
    auto extension = [](const std::string& key) { return pc(key).fileExtension(); };
    EXPECT_EQ(extension("photo.jpg"), "jpg");
    EXPECT_EQ(extension("archive.tar.gz"), "gz");
    EXPECT_EQ(extension("photo.jpg@2x"), "jpg");
    EXPECT_EQ(extension("photo"), std::nullopt);
    EXPECT_EQ(extension("photo."), std::nullopt);
    EXPECT_EQ(extension("photo.@"), std::nullopt);
    EXPECT_EQ(extension("photo.@x"), "x");
    EXPECT_EQ(extension("https://media.test/a@com.tolvane.Pictura.BlackWhiteProcessor"), "BlackWhiteProcessor");
    EXPECT_EQ(extension("https://media.test/flag@com.appidentifier.webpprocessor"), "webpprocessor");
    EXPECT_EQ(extension("https://media.formula1.com/image/upload/flag"), "com/image/upload/flag");
}

}  // namespace
}  // namespace pictura
