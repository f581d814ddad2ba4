#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "foundation/Assertion.h"
#include "foundation/Clock.h"
#include "pictura/SizeGeometry.h"
#include "pictura/StorageExpiration.h"

namespace pictura {
namespace {

using gfx::Point;
using gfx::Rect;
using gfx::Size;

TEST(SizeGeometryTest, constrainedAndFillingKeepTheAspectRatio) {
    EXPECT_EQ(pc(Size{400, 200}).constrained({100, 100}), (Size{100, 50}));
    EXPECT_EQ(pc(Size{400, 200}).filling({100, 100}), (Size{200, 100}));
    EXPECT_EQ(pc(Size{300, 200}).constrained({100, 100}), (Size{100, 67}));
    EXPECT_EQ(pc(Size{300, 200}).filling({100, 100}), (Size{150, 100}));
    EXPECT_EQ(pc(Size{10, 0}).constrained({80, 50}), (Size{50, 50}));  // height 0 counts as ratio 1
    EXPECT_EQ(pc(Size{10, 0}).filling({80, 50}), (Size{80, 80}));
    // w equals W: both give (w, H).
    EXPECT_EQ(pc(Size{200, 100}).constrained({100, 50}), (Size{100, 50}));
    EXPECT_EQ(pc(Size{200, 100}).filling({100, 50}), (Size{100, 50}));
}

TEST(SizeGeometryTest, resizeByContentMode) {
    EXPECT_EQ(pc(Size{400, 200}).resize({100, 100}, ContentMode::none), (Size{100, 100}));
    EXPECT_EQ(pc(Size{400, 200}).resize({100, 100}, ContentMode::aspectFit), (Size{100, 50}));
    EXPECT_EQ(pc(Size{400, 200}).resize({100, 100}, ContentMode::aspectFill), (Size{200, 100}));
}

TEST(SizeGeometryTest, constrainedRectPlacesByTheClampedAnchorAndClips) {
    const auto base = pc(Size{100, 100});
    EXPECT_EQ(base.constrainedRect({50, 50}, {0.5, 0.5}), Rect(25, 25, 50, 50));
    EXPECT_EQ(base.constrainedRect({50, 50}, {0, 0}), Rect(0, 0, 50, 50));
    EXPECT_EQ(base.constrainedRect({50, 50}, {1, 1}), Rect(50, 50, 50, 50));
    EXPECT_EQ(base.constrainedRect({50, 50}, {-3, 7}), Rect(0, 50, 50, 50));
    EXPECT_EQ(base.constrainedRect({200, 50}, {0.5, 0.5}), Rect(0, 25, 100, 50));
    EXPECT_EQ(pc(Size{0, 0}).constrainedRect({50, 50}, {0.5, 0.5}), Rect(0, 0, 0, 0));
}

class StorageExpirationTest : public ::testing::Test {
protected:
    void SetUp() override { foundation::Clock::setCurrent(clock); }
    void TearDown() override { foundation::Clock::setCurrent(nullptr); }

    const foundation::Date now{700000000};
    std::shared_ptr<foundation::ManualClock> clock = std::make_shared<foundation::ManualClock>(now);
};

TEST_F(StorageExpirationTest, zeroAndNegativePeriodsAreExpiredAtOnce) {
    EXPECT_TRUE(StorageExpiration::seconds(0).isExpired());
    EXPECT_TRUE(StorageExpiration::days(0).isExpired());
    EXPECT_TRUE(StorageExpiration::seconds(-1).isExpired());
    EXPECT_TRUE(StorageExpiration::days(-1).isExpired());
    EXPECT_FALSE(StorageExpiration::seconds(0.001).isExpired());
    EXPECT_FALSE(StorageExpiration::never().isExpired());
    EXPECT_TRUE(StorageExpiration::expired().isExpired());
}

TEST_F(StorageExpirationTest, anInfinitePeriodNeverEndsAndNoPeriodIsRefused) {
    const auto forever = StorageExpiration::seconds(std::numeric_limits<double>::infinity());
    EXPECT_EQ(forever.kind(), StorageExpiration::Kind::never);
    EXPECT_EQ(forever.estimatedExpirationSinceNow(), foundation::Date::distantFuture());
    EXPECT_TRUE(StorageExpiration::seconds(-std::numeric_limits<double>::infinity()).isExpired());
    EXPECT_THROW(StorageExpiration::seconds(std::numeric_limits<double>::quiet_NaN()),
                 foundation::InternalInconsistencyException);
}

TEST_F(StorageExpirationTest, datesCountFromNow) {
    EXPECT_TRUE(StorageExpiration::date(now).isExpired());
    EXPECT_FALSE(StorageExpiration::date(now.addingTimeInterval(1)).isExpired());
    EXPECT_TRUE(StorageExpiration::date(now.addingTimeInterval(-1)).isExpired());

    EXPECT_EQ(StorageExpiration::days(7).estimatedExpirationSinceNow(), now.addingTimeInterval(604800));
    EXPECT_EQ(StorageExpiration::seconds(300).estimatedExpirationSinceNow(), now.addingTimeInterval(300));
    const auto past = now.addingTimeInterval(-50);
    EXPECT_EQ(StorageExpiration::date(past).estimatedExpirationSinceNow(), past);
    EXPECT_EQ(StorageExpiration::never().estimatedExpirationSinceNow(), foundation::Date::distantFuture());
    EXPECT_EQ(StorageExpiration::expired().estimatedExpirationSinceNow(), foundation::Date::distantPast());
}

TEST_F(StorageExpirationTest, hugeDayCountsDoNotOverflow) {
    const auto huge = StorageExpiration::days(std::numeric_limits<std::int64_t>::max());
    EXPECT_FALSE(huge.isExpired());
    EXPECT_GT(huge.estimatedExpirationSinceNow(), foundation::Date::distantFuture());
    EXPECT_TRUE(StorageExpiration::days(std::numeric_limits<std::int64_t>::min()).isExpired());
}

TEST(ExpirationExtendingTest, carriesItsExpiration) {
    EXPECT_EQ(ExpirationExtending::expirationTime(StorageExpiration::seconds(5)).expiration(), StorageExpiration::seconds(5));
    EXPECT_EQ(ExpirationExtending::none().kind(), ExpirationExtending::Kind::none);
    EXPECT_EQ(ExpirationExtending::cacheTime().kind(), ExpirationExtending::Kind::cacheTime);
    EXPECT_NE(ExpirationExtending::expirationTime(StorageExpiration::seconds(5)),
              ExpirationExtending::expirationTime(StorageExpiration::seconds(6)));
}

}  // namespace
}  // namespace pictura
