#pragma once
// A system of linear equalities over named unknowns, solved exactly: Gauss-Jordan
// elimination with partial pivoting, no iteration and no heuristics. It is the core of
// the layout pass (LayoutEngine.h), where the unknowns are views' edges and sizes, but it
// knows nothing of views and is tested on its own.
//
// Besides the values it tells what is wrong with a system:
// - a conflict: equations that cannot hold together (their combination reads 0 = c with
//   c not 0); each conflict names the equations that take part in it;
// - unknowns that no equation fixes: a free unknown, and every unknown whose value
//   depends on one. They take the fallback value the caller gives (their current value).
// Equations that merely repeat others are accepted.

#include <cstddef>
#include <string>
#include <vector>

class LayoutSolver {
public:
    struct Term {
        size_t variable;
        double coefficient;
    };
    // sum(coefficient * variable) == constant
    struct Equation {
        std::vector<Term> terms;
        double constant { 0 };
    };
    struct Result {
        std::vector<double> values;
        // Each conflict: the indices of the equations whose combination is contradictory.
        std::vector<std::vector<size_t>> conflicts;
        // Unknowns whose value the equations leave open (they took their fallback).
        std::vector<size_t> undetermined;
        bool exact() const { return conflicts.empty() && undetermined.empty(); }
    };

    size_t addVariable(std::string name);
    size_t addEquation(Equation equation);
    size_t variableCount() const { return m_variables.size(); }
    size_t equationCount() const { return m_equations.size(); }
    const std::string& variableName(size_t variable) const { return m_variables.at(variable); }
    const Equation& equation(size_t index) const { return m_equations.at(index); }

    // `fallback` (one value per unknown, or empty for zeros) gives the undetermined
    // unknowns their values.
    Result solve(const std::vector<double>& fallback = {}) const;

private:
    std::vector<std::string> m_variables;
    std::vector<Equation> m_equations;
};
