#include <gtest/gtest.h>

#include "foundation/Progress.h"

namespace foundation {
namespace {

TEST(Progress, fractionFollowsTheCountsAndIsZeroWhileTheTotalIsUnknown) {
    Progress progress;
    EXPECT_EQ(progress.fractionCompleted(), 0.0);
    progress.setCompletedUnitCount(40);
    progress.setTotalUnitCount(-1);  // a download without a stated length
    EXPECT_EQ(progress.fractionCompleted(), 0.0);
    progress.setTotalUnitCount(160);
    EXPECT_DOUBLE_EQ(progress.fractionCompleted(), 0.25);
    EXPECT_EQ(progress.completedUnitCount(), 40);
    EXPECT_EQ(progress.totalUnitCount(), 160);
}

}  // namespace
}  // namespace foundation
