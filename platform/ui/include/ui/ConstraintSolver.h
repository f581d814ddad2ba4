#pragma once

#include <cstdint>
#include <expected>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace ui {

// A linear arithmetic constraint solver after the Cassowary algorithm: an incremental simplex tableau
// that keeps required constraints exactly and violates weaker ones as little as their strengths
// allow. Adding and removing one constraint re-optimises from the current solution instead of
// starting again, which is what makes re-layout after a small change cheap.
class ConstraintSolver {
public:
    struct Variable {
        std::uint32_t id = 0;
        friend auto operator<=>(const Variable&, const Variable&) = default;
    };
    struct Term {
        Variable variable;
        double coefficient = 1;
        friend bool operator==(const Term&, const Term&) = default;
    };
    enum class Relation { lessThanOrEqual, equal, greaterThanOrEqual };

    // sum(terms) + constant  (relation)  0, at a strength from 1 to 1000; 1000 is required.
    struct Constraint {
        std::vector<Term> terms;
        double constant = 0;
        Relation relation = Relation::equal;
        double strength = requiredStrength;
        friend bool operator==(const Constraint&, const Constraint&) = default;
    };
    struct ConstraintId {
        std::uint32_t value = 0;
        friend auto operator<=>(const ConstraintId&, const ConstraintId&) = default;
    };
    struct Error {
        std::string message;
    };

    static constexpr double requiredStrength = 1000;

    ConstraintSolver();
    ~ConstraintSolver();
    ConstraintSolver(ConstraintSolver&&) noexcept;
    ConstraintSolver& operator=(ConstraintSolver&&) noexcept;

    Variable makeVariable();

    // Fails, leaving the solver as it was, when a required constraint contradicts the required ones
    // already added.
    std::expected<ConstraintId, Error> add(const Constraint& constraint);
    void remove(ConstraintId id);
    bool contains(ConstraintId id) const;

    // The value of `variable` in the current optimal solution.
    double value(Variable variable) const;

    std::size_t constraintCount() const;

private:
    struct Tableau;
    std::unique_ptr<Tableau> tableau_;
};

}  // namespace ui
