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
    std::vector<std::vector<double>> rows(m, std::vector<double>(width, 0.0));
    double scale = 1.0;
    double constantScale = 1.0;
    for (size_t i = 0; i < m; ++i) {
        for (const Term& term : m_equations[i].terms) {
            rows[i][term.variable] += term.coefficient;
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
        size_t best = rank;
        for (size_t r = rank + 1; r < m; ++r) {
            if (std::fabs(rows[r][column]) > std::fabs(rows[best][column]))
                best = r;
        }
        if (std::fabs(rows[best][column]) <= zero)
            continue;
        std::swap(rows[rank], rows[best]);
        // A layout's rows are mostly zeros: dividing the pivot row and subtracting it from
        // the others touch only the columns where it has a value (elsewhere the entries
        // would stay as they are, but for the sign of a zero).
        pivotEntries.clear();
        for (size_t c = 0; c < width; ++c) {
            if (rows[rank][c] != 0.0)
                pivotEntries.push_back(c);
        }
        double pivot = rows[rank][column];
        for (size_t c : pivotEntries)
            rows[rank][c] /= pivot;
        for (size_t r = 0; r < m; ++r) {
            if (r == rank || rows[r][column] == 0.0)
                continue;
            double factor = rows[r][column];
            for (size_t c : pivotEntries)
                rows[r][c] -= factor * rows[rank][c];
            rows[r][column] = 0.0;
        }
        pivotColumn.push_back(column);
        ++rank;
    }

    Result result;
    for (size_t r = rank; r < m; ++r) {
        if (std::fabs(rows[r][n]) <= constantZero)
            continue; // an equation that repeats others
        std::vector<size_t> involved;
        for (size_t e = 0; e < m; ++e) {
            if (std::fabs(rows[r][n + 1 + e]) > zero)
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
        double value = rows[r][n];
        for (size_t c = 0; c < n; ++c) {
            if (isPivot[c] || std::fabs(rows[r][c]) <= zero)
                continue;
            value -= rows[r][c] * result.values[c];
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
