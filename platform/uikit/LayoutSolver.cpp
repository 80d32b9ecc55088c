#include "LayoutSolver.h"

#include <algorithm>
#include <cmath>

namespace {

// Coefficients below this (after scaling to the largest in the system) count as zero: the
// systems of a layout hold small whole numbers and halves, so true zeros come out far
// below it and true values far above.
constexpr double kZeroTolerance = 1e-9;

} // namespace

size_t LayoutSolver::addVariable(std::string name)
{
    m_variables.push_back(std::move(name));
    return m_variables.size() - 1;
}

size_t LayoutSolver::addEquation(Equation equation)
{
    m_equations.push_back(std::move(equation));
    return m_equations.size() - 1;
}

LayoutSolver::Result LayoutSolver::solve(const std::vector<double>& fallback) const
{
    const size_t n = m_variables.size();
    const size_t m = m_equations.size();
    // Each row: n coefficients, the constant, then m entries that record which original
    // equations the row has become a combination of (so a contradiction can name them).
    const size_t width = n + 1 + m;
    // Rows stay where they are made; `order` is the elimination's order of them (a swap of
    // two rows swaps their places there). `holders[c]` lists the rows that may have a
    // value in unknown c's column, so that finding a pivot and clearing its column visit
    // those rows only: a layout's rows are mostly zeros. Every such visit reads the row's
    // value first, so a row listed twice, or no longer holding a value, changes nothing.
    std::vector<std::vector<double>> rows(m, std::vector<double>(width, 0.0));
    std::vector<size_t> order(m);
    std::vector<size_t> place(m);
    std::vector<std::vector<size_t>> holders(n);
    double scale = 1.0;
    double constantScale = 1.0;
    for (size_t i = 0; i < m; ++i) {
        order[i] = place[i] = i;
        for (const Term& term : m_equations[i].terms) {
            rows[i][term.variable] += term.coefficient;
            holders[term.variable].push_back(i);
            scale = std::max(scale, std::fabs(term.coefficient));
        }
        rows[i][n] = m_equations[i].constant;
        constantScale = std::max(constantScale, std::fabs(m_equations[i].constant));
        rows[i][n + 1 + i] = 1.0;
    }
    const double zero = kZeroTolerance * scale;
    const double constantZero = kZeroTolerance * scale * constantScale;

    std::vector<size_t> pivotColumn;
    std::vector<size_t> pivotEntries;
    size_t rank = 0;
    for (size_t column = 0; column < n && rank < m; ++column) {
        // The largest value at or below the rank's place; of equals, the first in order.
        size_t best = rank;
        double bestValue = std::fabs(rows[order[rank]][column]);
        for (size_t row : holders[column]) {
            double value = std::fabs(rows[row][column]);
            if (place[row] > rank && (value > bestValue || (value == bestValue && place[row] < best))) {
                best = place[row];
                bestValue = value;
            }
        }
        if (bestValue <= zero)
            continue;
        std::swap(order[rank], order[best]);
        place[order[rank]] = rank;
        place[order[best]] = best;
        std::vector<double>& pivotRow = rows[order[rank]];
        // Dividing the pivot row and subtracting it from the others touch only the columns
        // where it has a value (elsewhere the entries would stay as they are, but for the
        // sign of a zero).
        pivotEntries.clear();
        for (size_t c = 0; c < width; ++c) {
            if (pivotRow[c] != 0.0)
                pivotEntries.push_back(c);
        }
        double pivot = pivotRow[column];
        for (size_t c : pivotEntries)
            pivotRow[c] /= pivot;
        for (size_t index = 0; index < holders[column].size(); ++index) {
            size_t row = holders[column][index];
            if (row == order[rank] || rows[row][column] == 0.0)
                continue;
            double factor = rows[row][column];
            for (size_t c : pivotEntries) {
                if (c < n && rows[row][c] == 0.0 && c != column)
                    holders[c].push_back(row);
                rows[row][c] -= factor * pivotRow[c];
            }
            rows[row][column] = 0.0;
        }
        pivotColumn.push_back(column);
        ++rank;
    }

    Result result;
    for (size_t r = rank; r < m; ++r) {
        const std::vector<double>& row = rows[order[r]];
        if (std::fabs(row[n]) <= constantZero)
            continue; // an equation that repeats others
        std::vector<size_t> involved;
        for (size_t e = 0; e < m; ++e) {
            if (std::fabs(row[n + 1 + e]) > zero)
                involved.push_back(e);
        }
        result.conflicts.push_back(std::move(involved));
    }

    std::vector<bool> isPivot(n, false);
    for (size_t column : pivotColumn)
        isPivot[column] = true;
    result.values.assign(n, 0.0);
    std::vector<bool> undetermined(n, false);
    for (size_t v = 0; v < n; ++v) {
        if (!isPivot[v]) {
            result.values[v] = v < fallback.size() ? fallback[v] : 0.0;
            undetermined[v] = true;
        }
    }
    for (size_t r = 0; r < rank; ++r) {
        size_t v = pivotColumn[r];
        const std::vector<double>& row = rows[order[r]];
        double value = row[n];
        for (size_t c = 0; c < n; ++c) {
            if (isPivot[c] || std::fabs(row[c]) <= zero)
                continue;
            value -= row[c] * result.values[c];
            undetermined[v] = true;
        }
        result.values[v] = value == 0.0 ? 0.0 : value; // never a frame at -0
    }
    for (size_t v = 0; v < n; ++v) {
        if (undetermined[v])
            result.undetermined.push_back(v);
    }
    return result;
}
