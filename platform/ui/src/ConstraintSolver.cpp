#include "ui/ConstraintSolver.h"

#include <cmath>
#include <limits>
#include <optional>

#include "SolverRow.h"

namespace ui {

namespace {

using Symbol = SolverRow::Symbol;
constexpr Symbol noSymbol = 0;

enum class SymbolKind : std::uint8_t { invalid, external, slack, error, dummy };

// Strengths below required become objective weights. Each hundred of strength is a factor of ten, so
// that a constraint of strength 750 outweighs one of 250 by five orders of magnitude and a violation
// of a weaker one has to be vastly larger before it is preferred.
double weightOf(double strength) { return std::pow(10.0, std::clamp(strength, 1.0, 999.0) / 100.0); }

bool isRequired(double strength) { return strength >= ConstraintSolver::requiredStrength; }

// A reduced cost this small beside the objective's largest is rounding. With weights up to about
// 10^10 that is 10^-3: the weakest weight layouts use (priority 50, about 3) is thousands of times
// more, the dust a long-lived solver collects (about 10^-6) a thousand times less.
constexpr double costTolerance = 1e-13;

}  // namespace

struct ConstraintSolver::Tableau {
    // How a constraint shows in the tableau: the marker identifies its row, `other` is its second
    // error symbol (non-required equalities) or its error symbol (non-required inequalities).
    struct Tag {
        Symbol marker = noSymbol;
        Symbol other = noSymbol;
        double weight = 0;
    };

    std::vector<SymbolKind> kinds{SymbolKind::invalid};
    std::map<Symbol, SolverRow> rows;
    std::map<std::uint32_t, Tag> constraints;
    SolverRow objective;
    std::optional<SolverRow> artificial;  // the phase-one objective while a row is added artificially
    std::uint32_t nextConstraint = 1;

    Symbol makeSymbol(SymbolKind kind) {
        kinds.push_back(kind);
        return static_cast<Symbol>(kinds.size() - 1);
    }
    SymbolKind kindOf(Symbol symbol) const { return kinds[symbol]; }
    bool isPivotable(Symbol symbol) const {
        SymbolKind kind = kindOf(symbol);
        return kind == SymbolKind::slack || kind == SymbolKind::error;
    }

    SolverRow makeRow(const Constraint& constraint, Tag& tag) {
        SolverRow row(constraint.constant);
        for (const Term& term : constraint.terms) {
            if (SolverRow::nearZero(term.coefficient)) continue;
            auto basic = rows.find(term.variable.id);
            if (basic != rows.end()) {
                row.insert(basic->second, term.coefficient);
            } else {
                row.insert(term.variable.id, term.coefficient);
            }
        }
        bool required = isRequired(constraint.strength);
        tag.weight = required ? 0 : weightOf(constraint.strength);
        if (constraint.relation == Relation::equal) {
            if (required) {
                tag.marker = makeSymbol(SymbolKind::dummy);
                row.insert(tag.marker, 1);
            } else {
                tag.marker = makeSymbol(SymbolKind::error);
                tag.other = makeSymbol(SymbolKind::error);
                row.insert(tag.marker, -1);
                row.insert(tag.other, 1);
                addToObjective(tag.marker, tag.weight);
                addToObjective(tag.other, tag.weight);
            }
        } else {
            // expression <= 0 becomes expression + slack = 0; >= becomes expression - slack = 0.
            double sign = constraint.relation == Relation::lessThanOrEqual ? 1.0 : -1.0;
            tag.marker = makeSymbol(SymbolKind::slack);
            row.insert(tag.marker, sign);
            if (!required) {
                tag.other = makeSymbol(SymbolKind::error);
                row.insert(tag.other, -sign);
                addToObjective(tag.other, tag.weight);
            }
        }
        if (row.constant() < 0) row.reverseSign();
        return row;
    }

    void addToObjective(Symbol symbol, double weight) {
        auto basic = rows.find(symbol);
        if (basic != rows.end()) {
            objective.insert(basic->second, weight);
        } else {
            objective.insert(symbol, weight);
        }
    }

    Symbol chooseSubject(const SolverRow& row, const Tag& tag) const {
        for (const auto& cell : row.cells()) {
            if (kindOf(cell.symbol) == SymbolKind::external) return cell.symbol;
        }
        for (Symbol candidate : {tag.marker, tag.other}) {
            if (candidate != noSymbol && isPivotable(candidate) && row.coefficientFor(candidate) < 0) {
                return candidate;
            }
        }
        return noSymbol;
    }

    bool allDummies(const SolverRow& row) const {
        for (const auto& cell : row.cells()) {
            if (kindOf(cell.symbol) != SymbolKind::dummy) return false;
        }
        return true;
    }

    void substitute(Symbol symbol, const SolverRow& row) {
        for (auto& [basic, basicRow] : rows) basicRow.substitute(symbol, row);
        objective.substitute(symbol, row);
        if (artificial) artificial->substitute(symbol, row);
    }

    void pivot(Symbol leaving, Symbol entering) {
        SolverRow row = std::move(rows.at(leaving));
        rows.erase(leaving);
        row.solveFor(leaving, entering);
        substitute(entering, row);
        rows.emplace(entering, std::move(row));
    }

    // Primal simplex: drive the objective down while keeping every restricted symbol non-negative.
    //
    // The objective sums weights from about 1 to 10^10, so a reduced cost that is zero in exact
    // arithmetic is left as rounding dust after a few thousand additions and removals (a window's
    // solver sees that many within minutes of scrolling). Taken for a real cost, dust pivots to an
    // arbitrary equally good solution, or, where nothing bounds the move, would end the
    // optimisation for good: every later change in the solver, so every list in the window, would
    // stay unoptimised. So costs within a tolerance of the largest count as zero, and a direction
    // nothing bounds is dust by definition (the objective cannot go below zero) and is dropped.
    void optimize(SolverRow& target) {
        for (;;) {
            dropCostDust(target);
            Symbol entering = noSymbol;
            for (const auto& cell : target.cells()) {
                if (kindOf(cell.symbol) != SymbolKind::dummy && cell.coefficient < 0) {
                    entering = cell.symbol;
                    break;
                }
            }
            if (entering == noSymbol) return;
            Symbol leaving = noSymbol;
            double bestRatio = std::numeric_limits<double>::max();
            for (const auto& [basic, row] : rows) {
                if (kindOf(basic) == SymbolKind::external) continue;
                double coefficient = row.coefficientFor(entering);
                if (coefficient >= 0) continue;
                double ratio = -row.constant() / coefficient;
                if (ratio < bestRatio) {
                    bestRatio = ratio;
                    leaving = basic;
                }
            }
            if (leaving == noSymbol) {
                target.remove(entering);
                continue;
            }
            pivot(leaving, entering);
        }
    }

    // Removes the cells of `target` too small, beside its largest, to be anything but rounding.
    static void dropCostDust(SolverRow& target) {
        double largest = 0;
        for (const auto& cell : target.cells()) largest = std::max(largest, std::fabs(cell.coefficient));
        double tolerance = largest * costTolerance;
        std::vector<Symbol> dust;
        for (const auto& cell : target.cells())
            if (std::fabs(cell.coefficient) <= tolerance) dust.push_back(cell.symbol);
        for (Symbol symbol : dust) target.remove(symbol);
    }

    // Adds `row` through an artificial variable when no subject can be chosen; false when the row
    // cannot be satisfied together with the required rows already present.
    bool addWithArtificialVariable(const SolverRow& row) {
        Symbol artificialSymbol = makeSymbol(SymbolKind::slack);
        rows.emplace(artificialSymbol, row);
        artificial = row;
        optimize(*artificial);
        bool satisfied = SolverRow::nearZero(artificial->constant());
        artificial.reset();
        if (!satisfied) return false;

        auto artificialRow = rows.find(artificialSymbol);
        if (artificialRow != rows.end()) {
            SolverRow basicRow = std::move(artificialRow->second);
            rows.erase(artificialRow);
            if (basicRow.cells().empty()) return true;
            Symbol entering = noSymbol;
            for (const auto& cell : basicRow.cells()) {
                if (isPivotable(cell.symbol)) {
                    entering = cell.symbol;
                    break;
                }
            }
            if (entering == noSymbol) return false;
            basicRow.solveFor(artificialSymbol, entering);
            substitute(entering, basicRow);
            rows.emplace(entering, std::move(basicRow));
        }
        for (auto& [basic, basicRow] : rows) basicRow.remove(artificialSymbol);
        objective.remove(artificialSymbol);
        return true;
    }

    // The row to pivot out when removing a constraint whose marker is not basic.
    std::optional<Symbol> markerLeavingRow(Symbol marker) const {
        double firstRatio = std::numeric_limits<double>::max();
        double secondRatio = firstRatio;
        Symbol first = noSymbol, second = noSymbol, third = noSymbol;
        for (const auto& [basic, row] : rows) {
            double coefficient = row.coefficientFor(marker);
            if (coefficient == 0) continue;
            if (kindOf(basic) == SymbolKind::external) {
                third = basic;
            } else if (coefficient < 0) {
                double ratio = -row.constant() / coefficient;
                if (ratio < firstRatio) {
                    firstRatio = ratio;
                    first = basic;
                }
            } else {
                double ratio = row.constant() / coefficient;
                if (ratio < secondRatio) {
                    secondRatio = ratio;
                    second = basic;
                }
            }
        }
        for (Symbol candidate : {first, second, third}) {
            if (candidate != noSymbol) return candidate;
        }
        return std::nullopt;
    }

    void removeFromObjective(Symbol symbol, double weight) {
        if (symbol == noSymbol || kindOf(symbol) != SymbolKind::error) return;
        addToObjective(symbol, -weight);
    }
};

ConstraintSolver::ConstraintSolver() : tableau_(std::make_unique<Tableau>()) {}
ConstraintSolver::~ConstraintSolver() = default;
ConstraintSolver::ConstraintSolver(ConstraintSolver&&) noexcept = default;
ConstraintSolver& ConstraintSolver::operator=(ConstraintSolver&&) noexcept = default;

ConstraintSolver::Variable ConstraintSolver::makeVariable() {
    return Variable{tableau_->makeSymbol(SymbolKind::external)};
}

std::expected<ConstraintSolver::ConstraintId, ConstraintSolver::Error> ConstraintSolver::add(
    const Constraint& constraint) {
    Tableau& t = *tableau_;
    for (const Term& term : constraint.terms) {
        if (term.variable.id >= t.kinds.size() || t.kindOf(term.variable.id) != SymbolKind::external) {
            return std::unexpected(Error{"constraint names a variable this solver did not make"});
        }
    }
    Tableau::Tag tag;
    SolverRow row = t.makeRow(constraint, tag);
    Symbol subject = t.chooseSubject(row, tag);
    if (subject == noSymbol && t.allDummies(row)) {
        if (!SolverRow::nearZero(row.constant())) {
            return std::unexpected(Error{"required constraint contradicts the required constraints present"});
        }
        subject = tag.marker;
    }
    if (subject == noSymbol) {
        // Only required constraints get here (weaker ones always have a negative error symbol to
        // solve for), and the artificial variable may pivot the whole tableau before failing: keep a
        // copy to roll back to.
        std::map<Symbol, SolverRow> savedRows = t.rows;
        SolverRow savedObjective = t.objective;
        if (!t.addWithArtificialVariable(row)) {
            t.rows = std::move(savedRows);
            t.objective = std::move(savedObjective);
            return std::unexpected(Error{"required constraint contradicts the required constraints present"});
        }
    } else {
        row.solveFor(subject);
        t.substitute(subject, row);
        t.rows.emplace(subject, std::move(row));
    }
    ConstraintId id{t.nextConstraint++};
    t.constraints.emplace(id.value, tag);
    t.optimize(t.objective);
    return id;
}

void ConstraintSolver::remove(ConstraintId id) {
    Tableau& t = *tableau_;
    auto found = t.constraints.find(id.value);
    if (found == t.constraints.end()) return;
    Tableau::Tag tag = found->second;
    t.constraints.erase(found);
    t.removeFromObjective(tag.marker, tag.weight);
    t.removeFromObjective(tag.other, tag.weight);
    auto basic = t.rows.find(tag.marker);
    if (basic != t.rows.end()) {
        t.rows.erase(basic);
    } else if (auto leaving = t.markerLeavingRow(tag.marker)) {
        SolverRow row = std::move(t.rows.at(*leaving));
        t.rows.erase(*leaving);
        row.solveFor(*leaving, tag.marker);
        t.substitute(tag.marker, row);
    }
    t.optimize(t.objective);
}

bool ConstraintSolver::contains(ConstraintId id) const { return tableau_->constraints.contains(id.value); }

double ConstraintSolver::value(Variable variable) const {
    auto found = tableau_->rows.find(variable.id);
    return found == tableau_->rows.end() ? 0 : found->second.constant();
}

std::size_t ConstraintSolver::constraintCount() const { return tableau_->constraints.size(); }

}  // namespace ui
