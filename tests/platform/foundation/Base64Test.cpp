#include <gtest/gtest.h>

#include "foundation/Data.h"

using foundation::Data;

TEST(Base64, decodesTheRfc4648Vectors) {
    const std::pair<const char*, const char*> vectors[] = {
        {"", ""},         {"Zg==", "f"},         {"Zm8=", "fo"},       {"Zm9v", "foo"},
        {"Zm9vYg==", "foob"}, {"Zm9vYmE=", "fooba"}, {"Zm9vYmFy", "foobar"},
    };
    for (auto [encoded, plain] : vectors) {
        auto decoded = Data::fromBase64(encoded);
        ASSERT_TRUE(decoded) << encoded;
        EXPECT_EQ(decoded->toString(), plain) << encoded;
    }
}

TEST(Base64, decodesEveryByteValueAndBothHighCharacters) {
    auto decoded = Data::fromBase64("AP8+/w==");
    ASSERT_TRUE(decoded);
    EXPECT_EQ(decoded->bytes(), (std::vector<std::uint8_t>{0x00, 0xff, 0x3e, 0xff}));
}

TEST(Base64, refusesTextOutsideTheStrictForm) {
    for (const char* text : {"Zg", "Zm9", "Zm9vY", "Zm9v\nYmFy", "Zm9v YmFy", "Zm-v", "Zm_v", "Z===", "====",
                             "Zg==Zg==", "Z=g=", "Zm9vYmFy="}) {
        EXPECT_FALSE(Data::fromBase64(text)) << text;
    }
}
