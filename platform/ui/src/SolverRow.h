#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

namespace ui {

// One row of the simplex tableau: constant + sum(coefficient x symbol). As a basic row it reads
// "basic symbol = constant + cells". Cells stay sorted by symbol so that the pivot rules pick the
// lowest symbol first (Bland's rule, no cycling) and results do not depend on insertion order.
class SolverRow {
public:
    using Symbol = std::uint32_t;
    struct Cell {
        Symbol symbol;
        double coefficient;
    };

    explicit SolverRow(double constant = 0) : constant_(constant) {}

    static bool nearZero(double value) { return std::fabs(value) < 1e-8; }

    double constant() const { return constant_; }
    const std::vector<Cell>& cells() const { return cells_; }

    double add(double value) { return constant_ += value; }

    double coefficientFor(Symbol symbol) const {
        auto found = find(symbol);
        return found != cells_.end() && found->symbol == symbol ? found->coefficient : 0;
    }

    // Adds coefficient x symbol, dropping the cell when it cancels out.
    void insert(Symbol symbol, double coefficient) {
        auto found = find(symbol);
        if (found != cells_.end() && found->symbol == symbol) {
            found->coefficient += coefficient;
            if (nearZero(found->coefficient)) cells_.erase(found);
            return;
        }
        if (!nearZero(coefficient)) cells_.insert(found, Cell{symbol, coefficient});
    }

    // Adds coefficient x other.
    void insert(const SolverRow& other, double coefficient) {
        constant_ += other.constant_ * coefficient;
        std::vector<Cell> merged;
        merged.reserve(cells_.size() + other.cells_.size());
        auto mine = cells_.begin();
        for (const Cell& theirs : other.cells_) {
            while (mine != cells_.end() && mine->symbol < theirs.symbol) merged.push_back(*mine++);
            double sum = theirs.coefficient * coefficient;
            if (mine != cells_.end() && mine->symbol == theirs.symbol) sum += (mine++)->coefficient;
            if (!nearZero(sum)) merged.push_back(Cell{theirs.symbol, sum});
        }
        merged.insert(merged.end(), mine, cells_.end());
        cells_ = std::move(merged);
    }

    void remove(Symbol symbol) {
        auto found = find(symbol);
        if (found != cells_.end() && found->symbol == symbol) cells_.erase(found);
    }

    void reverseSign() {
        constant_ = -constant_;
        for (Cell& cell : cells_) cell.coefficient = -cell.coefficient;
    }

    // Rewrites "0 = constant + ... + a x symbol + ..." as "symbol = ..." (the symbol leaves the cells).
    void solveFor(Symbol symbol) {
        double scale = -1.0 / coefficientFor(symbol);
        remove(symbol);
        constant_ *= scale;
        for (Cell& cell : cells_) cell.coefficient *= scale;
    }

    // Rewrites "lhs = constant + ... + a x rhs + ..." as "rhs = ...".
    void solveFor(Symbol lhs, Symbol rhs) {
        insert(lhs, -1.0);
        solveFor(rhs);
    }

    // Replaces `symbol` by the right-hand side of `row`.
    void substitute(Symbol symbol, const SolverRow& row) {
        double coefficient = coefficientFor(symbol);
        if (coefficient == 0) return;
        remove(symbol);
        insert(row, coefficient);
    }

private:
    std::vector<Cell>::iterator find(Symbol symbol) {
        return std::lower_bound(cells_.begin(), cells_.end(), symbol,
                                [](const Cell& cell, Symbol wanted) { return cell.symbol < wanted; });
    }
    std::vector<Cell>::const_iterator find(Symbol symbol) const {
        return std::lower_bound(cells_.begin(), cells_.end(), symbol,
                                [](const Cell& cell, Symbol wanted) { return cell.symbol < wanted; });
    }

    double constant_ = 0;
    std::vector<Cell> cells_;
};

}  // namespace ui
