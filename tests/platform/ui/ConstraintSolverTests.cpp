#include "ui/ConstraintSolver.h"

#include <gtest/gtest.h>

namespace ui {
namespace {

using Relation = ConstraintSolver::Relation;

// x (relation) value at strength.
ConstraintSolver::Constraint fix(ConstraintSolver::Variable x, Relation relation, double value,
                                 double strength = ConstraintSolver::requiredStrength) {
    return {{{x, 1}}, -value, relation, strength};
}

TEST(ConstraintSolver, SolvesRequiredEqualitiesAndInequalities) {
    ConstraintSolver solver;
    auto left = solver.makeVariable();
    auto width = solver.makeVariable();
    auto right = solver.makeVariable();
    // right = left + width, left = 20, right <= 300, width >= 100, width wants 500 weakly.
    ASSERT_TRUE(solver.add({{{right, 1}, {left, -1}, {width, -1}}, 0, Relation::equal}));
    ASSERT_TRUE(solver.add(fix(left, Relation::equal, 20)));
    ASSERT_TRUE(solver.add(fix(right, Relation::lessThanOrEqual, 300)));
    ASSERT_TRUE(solver.add(fix(width, Relation::greaterThanOrEqual, 100)));
    ASSERT_TRUE(solver.add(fix(width, Relation::equal, 500, 250)));
    EXPECT_NEAR(solver.value(left), 20, 1e-9);
    EXPECT_NEAR(solver.value(width), 280, 1e-9);
    EXPECT_NEAR(solver.value(right), 300, 1e-9);
}

TEST(ConstraintSolver, StrongerPreferenceWinsOverWeaker) {
    ConstraintSolver solver;
    auto x = solver.makeVariable();
    ASSERT_TRUE(solver.add(fix(x, Relation::equal, 10, 250)));
    ASSERT_TRUE(solver.add(fix(x, Relation::equal, 40, 251)));
    EXPECT_NEAR(solver.value(x), 40, 1e-9);
    auto strong = solver.add(fix(x, Relation::lessThanOrEqual, 25, 750));
    ASSERT_TRUE(strong);
    EXPECT_NEAR(solver.value(x), 25, 1e-9);
    solver.remove(*strong);
    EXPECT_NEAR(solver.value(x), 40, 1e-9);
}

TEST(ConstraintSolver, ContradictingRequiredConstraintIsRefusedAndLeavesSolutionIntact) {
    ConstraintSolver solver;
    auto a = solver.makeVariable();
    auto b = solver.makeVariable();
    ASSERT_TRUE(solver.add({{{b, 1}, {a, -1}}, -10, Relation::equal}));  // b = a + 10
    ASSERT_TRUE(solver.add(fix(a, Relation::greaterThanOrEqual, 5)));
    ASSERT_TRUE(solver.add(fix(b, Relation::equal, 30)));
    EXPECT_FALSE(solver.add(fix(a, Relation::greaterThanOrEqual, 25)));  // would need b >= 35
    EXPECT_FALSE(solver.add(fix(b, Relation::equal, 31)));
    EXPECT_EQ(solver.constraintCount(), 3u);
    EXPECT_NEAR(solver.value(a), 20, 1e-9);
    EXPECT_TRUE(solver.add(fix(a, Relation::lessThanOrEqual, 20)));  // still consistent afterwards
    EXPECT_NEAR(solver.value(b), 30, 1e-9);
}

TEST(ConstraintSolver, RemovingConstraintsReleasesVariables) {
    ConstraintSolver solver;
    auto x = solver.makeVariable();
    auto y = solver.makeVariable();
    ASSERT_TRUE(solver.add(fix(x, Relation::equal, 0, 1)));
    ASSERT_TRUE(solver.add(fix(y, Relation::equal, 0, 1)));
    auto sum = solver.add({{{x, 1}, {y, 1}}, -100, Relation::equal});
    auto pin = solver.add(fix(x, Relation::equal, 70));
    ASSERT_TRUE(sum && pin);
    EXPECT_NEAR(solver.value(y), 30, 1e-9);
    solver.remove(*pin);
    solver.remove(*sum);
    EXPECT_FALSE(solver.contains(*sum));
    EXPECT_NEAR(solver.value(x), 0, 1e-9);
    EXPECT_NEAR(solver.value(y), 0, 1e-9);
}

TEST(ConstraintSolver, RefusesVariablesOfAnotherSolver) {
    ConstraintSolver first;
    ConstraintSolver second;
    auto foreign = first.makeVariable();
    foreign = first.makeVariable();
    EXPECT_FALSE(second.add(fix(foreign, Relation::equal, 1)));
}

}  // namespace
}  // namespace ui
