#include <gtest/gtest.h>

#include "foundation/Assertion.h"

TEST(Assertion, AFailedConditionRaisesWithItsMessageAndSourceFileName) {
    EXPECT_NO_THROW(foundation::assertion(true, "never raised"));
    try {
        foundation::assertion(false, "Directory must be set.");
        ADD_FAILURE() << "no exception";
    } catch (const foundation::InternalInconsistencyException& failure) {
        EXPECT_STREQ(failure.what(), "Directory must be set.");
        EXPECT_EQ(failure.file(), "AssertionTest.cpp");
        EXPECT_GT(failure.line(), 0u);
    }
}
