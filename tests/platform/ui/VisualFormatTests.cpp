#include "ui/VisualFormat.h"

#include <gtest/gtest.h>

#include <string_view>
#include <vector>

#include "TestItems.h"

namespace ui {
namespace {

using testing::TestItem;

class VisualFormat : public ::testing::Test {
protected:
    void SetUp() override {
        for (auto& [name, view] : views_) {
            auto item = TestItem::make(name);
            root_->addSubitem(item);
            view = item;
        }
        views_.emplace("orphan", TestItem::make("orphan"));
    }

    Rect layout(std::initializer_list<const char*> formats, const std::string& name) {
        for (const char* format : formats) {
            auto constraints = constraintsWithVisualFormat(format, metrics_, views_);
            EXPECT_TRUE(constraints) << (constraints ? "" : constraints.error().message);
            if (constraints) root_->addConstraints(*constraints);
        }
        root_->layoutSubtree();
        return views_.at(name)->frame();
    }

    std::shared_ptr<TestItem> root_ = TestItem::root(300, 100);
    VisualFormatViews views_{{"a", nullptr}, {"b", nullptr}, {"c", nullptr}};
    VisualFormatMetrics metrics_{{"gap", 12}, {"side", 40}, {"weak", 250}};
};

TEST_F(VisualFormat, ChainsPlaceViewsAtTheirGapsBetweenTheEdges) {
    layout({"H:|-20-[a(50)]-15-[b]-20-|", "V:|-10-[a(30)]-5-[b(20)]"}, "a");
    EXPECT_EQ(views_["a"]->frame(), (Rect{{20, 10}, {50, 30}}));
    EXPECT_EQ(views_["b"]->frame(), (Rect{{85, 45}, {195, 20}}));
}

TEST_F(VisualFormat, MetricsNameGapsSizesAndPriorities) {
    Rect a = layout({"H:|-gap-[a(side)]", "H:[a(90@weak)]", "V:|-gap-[a(side)]"}, "a");
    EXPECT_EQ(a, (Rect{{12, 12}, {40, 40}}));
}

TEST_F(VisualFormat, StandardGapIsEightBetweenViewsAndTheMarginAtTheSuperview) {
    root_->setLayoutMargins({4, 16, 4, 24});
    layout({"H:|-[a(50)]-[b]-|", "V:|-[a(10)]"}, "a");
    EXPECT_EQ(views_["a"]->frame(), (Rect{{16, 4}, {50, 10}}));
    EXPECT_EQ(views_["b"]->frame().minX(), 74);
    EXPECT_EQ(views_["b"]->frame().maxX(), 276);
}

TEST_F(VisualFormat, AdjacentViewsSitFlush) {
    layout({"H:|[a(30)][b(40)][c]|"}, "a");
    EXPECT_EQ(views_["b"]->frame().minX(), 30);
    EXPECT_EQ(views_["c"]->frame().minX(), 70);
    EXPECT_EQ(views_["c"]->frame().width(), 230);
}

TEST_F(VisualFormat, InequalityGapsAndSizesBoundTheLayout) {
    // b keeps at least 20 from the right edge and stays at most 100 wide though pulled wider.
    Rect b = layout({"H:|-(>=20)-[b(<=100,>=30)]-20-|", "H:[b(250@500)]"}, "b");
    EXPECT_EQ(b.width(), 100);
    EXPECT_EQ(b.maxX(), 280);
}

TEST_F(VisualFormat, EqualWidthPredicateSharesTheRow) {
    layout({"H:|-20-[a]-12-[b(==a)]-20-|"}, "a");
    EXPECT_EQ(views_["a"]->frame().width(), 124);
    EXPECT_EQ(views_["b"]->frame(), (Rect{{156, 0}, {124, 0}}));
}

TEST_F(VisualFormat, ParenthesisedGapTakesPriorityAndSign) {
    layout({"H:|-10-[a(20)]-(-5)-[b(20)]", "H:[b]-(30@300)-[c(20)]", "H:[c]-(<=15)-|"}, "c");
    EXPECT_EQ(views_["b"]->frame().minX(), 25);
    EXPECT_EQ(views_["c"]->frame().maxX(), 300 - 15);  // the required gap limit beats the weak 30
}

struct MalformedFormat {
    const char* format;
    const char* messagePart;
    std::size_t position;
};

TEST_F(VisualFormat, MalformedFormatsReportWhatAndWhere) {
    const MalformedFormat cases[] = {
        {"", "expected '['", 0},
        {"H:|-[a", "expected ']'", 6},
        {"H:|-[a]]", "expected '-', '[' or '|'", 7},
        {"H:|-[nobody]-|", "unknown view 'nobody'", 5},
        {"H:[a(bogus)]", "unknown metric or view 'bogus'", 5},
        {"H:|-bogus-[a]", "unknown metric 'bogus'", 4},
        {"H:|-(b)-[a]", "unknown metric 'b'", 5},
        {"X:[a]", "orientation must be H or V", 0},
        {"H:[a]-", "expected a number or metric name", 6},
        {"H:[a(>=)]", "expected a number, metric or view name", 7},
        {"H:[a(50@2000)]", "priority must lie between 1 and 1000", 12},
        {"H:|-(20-[a]", "expected ')'", 7},
        {"H:[a]|-[b]", "unexpected text after the closing '|'", 6},
        {"H:|-[orphan]", "has none", 2},
        {"H:[a]-20[b]", "expected '-' after the gap", 8},
        {"V:[]", "expected a view name", 3},
        {"H:[a(50,)]", "expected a number, metric or view name", 8},
    };
    for (const auto& malformed : cases) {
        auto result = constraintsWithVisualFormat(malformed.format, metrics_, views_);
        ASSERT_FALSE(result) << malformed.format;
        EXPECT_NE(result.error().message.find(malformed.messagePart), std::string::npos)
            << malformed.format << ": " << result.error().message;
        EXPECT_NE(result.error().message.find(malformed.format), std::string::npos) << result.error().message;
        EXPECT_EQ(result.error().position, malformed.position) << malformed.format;
    }
}

// Formats that end where a number is expected, handed over without a NUL after them: nothing may be
// read past the last character (found by fuzzing; ASan reports the over-read).
TEST_F(VisualFormat, FormatsEndingWhereANumberIsDueAreReadOnlyToTheirEnd) {
    const MalformedFormat cases[] = {
        {"|-", "expected a number or metric name", 2},
        {"[b(", "expected a number, metric or view name", 3},
        {"H:[a]-", "expected a number or metric name", 6},
        {"H:[a(50@", "expected a number or metric name", 8},
    };
    for (const auto& malformed : cases) {
        std::string_view text = malformed.format;
        std::vector<char> exact(text.begin(), text.end());  // heap block of exactly the format's bytes
        auto result = constraintsWithVisualFormat(std::string_view(exact.data(), exact.size()), metrics_, views_);
        ASSERT_FALSE(result) << malformed.format;
        EXPECT_NE(result.error().message.find(malformed.messagePart), std::string::npos)
            << malformed.format << ": " << result.error().message;
        EXPECT_EQ(result.error().position, malformed.position) << malformed.format;
    }
}

}  // namespace
}  // namespace ui
