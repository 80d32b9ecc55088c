#include "LayoutSolver.h"
#include "SystemLog.h"
#include "UIKit.h"
#include "UIKitSupport.h"

#include <fmt/format.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>

namespace {

using UIKitSupport::allocInitWithFrame;

// --- the solver on its own -------------------------------------------------------------

TEST(LayoutSolverTest, SolvesASmallSystemExactly)
{
    LayoutSolver solver;
    size_t x = solver.addVariable("x");
    size_t y = solver.addVariable("y");
    size_t z = solver.addVariable("z");
    solver.addEquation({ { { x, 1 }, { y, 1 } }, 10 });           // x + y = 10
    solver.addEquation({ { { x, 1 }, { y, -1 } }, 2 });           // x - y = 2
    solver.addEquation({ { { z, 1 }, { x, -0.5 }, { y, -0.5 } }, 1 }); // z = (x + y) / 2 + 1
    solver.addEquation({ { { x, 2 }, { y, 2 } }, 20 });           // repeats the first: accepted
    auto result = solver.solve();
    EXPECT_TRUE(result.exact());
    EXPECT_EQ(result.values[x], 6.0);
    EXPECT_EQ(result.values[y], 4.0);
    EXPECT_EQ(result.values[z], 6.0);
}

TEST(LayoutSolverTest, NamesTheEquationsOfAConflict)
{
    LayoutSolver solver;
    size_t x = solver.addVariable("x");
    size_t y = solver.addVariable("y");
    solver.addEquation({ { { y, 1 } }, 7 });                  // 0: not part of it
    solver.addEquation({ { { x, 1 } }, 1 });                  // 1
    solver.addEquation({ { { x, 1 }, { y, 1 } }, 9 });        // 2: x = 2
    auto result = solver.solve();
    ASSERT_EQ(result.conflicts.size(), 1u);
    EXPECT_EQ(result.conflicts[0], (std::vector<size_t> { 0, 1, 2 }));
    EXPECT_TRUE(result.undetermined.empty());

    LayoutSolver plain;
    size_t a = plain.addVariable("a");
    plain.addVariable("b");
    plain.addEquation({ { { a, 1 } }, 50 });
    plain.addEquation({ { { a, 1 } }, 60 });
    auto clash = plain.solve();
    ASSERT_EQ(clash.conflicts.size(), 1u);
    EXPECT_EQ(clash.conflicts[0], (std::vector<size_t> { 0, 1 }));
}

TEST(LayoutSolverTest, OpenUnknownsTakeTheirFallbackAndTheirDependentsFollow)
{
    LayoutSolver solver;
    size_t x = solver.addVariable("x");
    size_t w = solver.addVariable("w");
    size_t h = solver.addVariable("h");
    solver.addEquation({ { { x, 1 }, { w, 0.5 } }, 100 }); // centre at 100, width open
    solver.addEquation({ { { h, 1 } }, 30 });
    auto result = solver.solve({ 0, 40, 0 });
    EXPECT_FALSE(result.exact());
    EXPECT_EQ(result.undetermined, (std::vector<size_t> { x, w }));
    EXPECT_EQ(result.values[w], 40.0);
    EXPECT_EQ(result.values[x], 80.0);
    EXPECT_EQ(result.values[h], 30.0);
}

// Gauss-Jordan elimination over whole rows, as the solver did before it visited only the
// rows and columns holding values: the reference its answers must equal exactly.
LayoutSolver::Result solveDensely(const LayoutSolver& system, const std::vector<double>& fallback)
{
    const size_t n = system.variableCount();
    const size_t m = system.equationCount();
    const size_t width = n + 1 + m;
    std::vector<std::vector<double>> rows(m, std::vector<double>(width, 0.0));
    double scale = 1.0, constantScale = 1.0;
    for (size_t i = 0; i < m; ++i) {
        for (const auto& term : system.equation(i).terms) {
            rows[i][term.variable] += term.coefficient;
            scale = std::max(scale, std::fabs(term.coefficient));
        }
        rows[i][n] = system.equation(i).constant;
        constantScale = std::max(constantScale, std::fabs(system.equation(i).constant));
        rows[i][n + 1 + i] = 1.0;
    }
    const double zero = 1e-9 * scale, constantZero = 1e-9 * scale * constantScale;
    std::vector<size_t> pivotColumn;
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
        double pivot = rows[rank][column];
        for (double& value : rows[rank])
            value /= pivot;
        for (size_t r = 0; r < m; ++r) {
            if (r == rank || rows[r][column] == 0.0)
                continue;
            double factor = rows[r][column];
            for (size_t c = 0; c < width; ++c)
                rows[r][c] -= factor * rows[rank][c];
            rows[r][column] = 0.0;
        }
        pivotColumn.push_back(column);
        ++rank;
    }
    LayoutSolver::Result result;
    for (size_t r = rank; r < m; ++r) {
        if (std::fabs(rows[r][n]) <= constantZero)
            continue;
        std::vector<size_t> involved;
        for (size_t e = 0; e < m; ++e) {
            if (std::fabs(rows[r][n + 1 + e]) > zero)
                involved.push_back(e);
        }
        result.conflicts.push_back(std::move(involved));
    }
    std::vector<bool> isPivot(n, false), undetermined(n, false);
    for (size_t column : pivotColumn)
        isPivot[column] = true;
    result.values.assign(n, 0.0);
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
        result.values[v] = value;
    }
    for (size_t v = 0; v < n; ++v) {
        if (undetermined[v])
            result.undetermined.push_back(v);
    }
    return result;
}

// Layout-like systems (few unknowns an equation, coefficients of ±1 and ±0.5, so that pivots
// tie often; some repeated, contradictory or missing equations): the same values (a zero's
// sign aside), conflicts in the same order naming the same equations, the same open unknowns.
TEST(LayoutSolverTest, AnswersExactlyAsEliminationOverWholeRows)
{
    std::mt19937 random(7);
    const double coefficients[] = { 1, -1, 0.5, -0.5, 2 };
    for (int round = 0; round < 300; ++round) {
        LayoutSolver solver;
        size_t unknowns = 1 + random() % 40;
        for (size_t v = 0; v < unknowns; ++v)
            solver.addVariable(fmt::format("v{}", v));
        size_t equations = random() % (unknowns + 6);
        for (size_t e = 0; e < equations; ++e) {
            LayoutSolver::Equation equation;
            size_t terms = 1 + random() % 3;
            for (size_t t = 0; t < terms; ++t)
                equation.terms.push_back({ random() % unknowns, coefficients[random() % 5] });
            equation.constant = double(int(random() % 41) - 20);
            if (e > 0 && random() % 8 == 0)
                equation = solver.equation(random() % e); // a repeat, or with a new constant a conflict
            if (random() % 8 == 0)
                equation.constant += 3;
            solver.addEquation(equation);
        }
        std::vector<double> fallback(unknowns);
        for (auto& value : fallback)
            value = double(random() % 100);
        auto sparse = solver.solve(fallback);
        auto dense = solveDensely(solver, fallback);
        SCOPED_TRACE(fmt::format("round {}: {} unknowns, {} equations", round, unknowns, equations));
        ASSERT_EQ(sparse.values.size(), dense.values.size());
        for (size_t v = 0; v < unknowns; ++v)
            EXPECT_EQ(sparse.values[v], dense.values[v] + 0.0) << "unknown " << v;
        EXPECT_EQ(sparse.conflicts, dense.conflicts);
        EXPECT_EQ(sparse.undetermined, dense.undetermined);
    }
}

// --- the layout pass on views ----------------------------------------------------------

class LayoutTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        objc_resetRuntimeForTesting();
        registerUIKitClasses();
        m_root = allocInitWithFrame("UIView", CGRectMake(0, 0, 300, 200));
    }

    static id view(const char* className = "UIView")
    {
        id made = allocInitWithFrame(className, CGRectZero);
        send(made, "setTranslatesAutoresizingMaskIntoConstraints:", false);
        return made;
    }
    static id pin(const id& a, const char* anchorA, const id& b, const char* anchorB, double constant = 0)
    {
        id constraint = send<id>(send<id>(a, anchorA), "constraintEqualToAnchor:constant:", send<id>(b, anchorB), constant);
        send(constraint, "setActive:", true);
        return constraint;
    }
    static id fix(const id& a, const char* dimension, double constant)
    {
        id constraint = send<id>(send<id>(a, dimension), "constraintEqualToConstant:", constant);
        send(constraint, "setActive:", true);
        return constraint;
    }
    static CGRect frameOf(const id& v) { return send<CGRect>(v, "frame"); }

    id m_root;
};

TEST_F(LayoutTest, EdgesCentresAndSizesAcrossNestedViewsAreSolvedExactly)
{
    id bar = view();
    send(m_root, "addSubview:", bar);
    pin(bar, "topAnchor", m_root, "topAnchor", 5);
    pin(bar, "leadingAnchor", m_root, "leadingAnchor", 10);
    pin(bar, "trailingAnchor", m_root, "trailingAnchor", -10);
    pin(bar, "bottomAnchor", m_root, "bottomAnchor", -25);
    id button = view();
    send(bar, "addSubview:", button);
    fix(button, "widthAnchor", 50);
    fix(button, "heightAnchor", 50);
    pin(button, "centerXAnchor", bar, "centerXAnchor");
    pin(button, "centerYAnchor", bar, "centerYAnchor", -5);
    id left = view();
    send(bar, "addSubview:", left);
    fix(left, "widthAnchor", 50);
    fix(left, "heightAnchor", 50);
    pin(left, "trailingAnchor", button, "leadingAnchor", -35);
    pin(left, "centerYAnchor", bar, "centerYAnchor", -5);

    send(m_root, "layoutIfNeeded");
    EXPECT_EQ(frameOf(bar), CGRectMake(10, 5, 280, 170));
    // Frames are in the superview's coordinates: the bar's centre is (140, 85).
    EXPECT_EQ(frameOf(button), CGRectMake(115, 55, 50, 50));
    EXPECT_EQ(frameOf(left), CGRectMake(30, 55, 50, 50));

    // A changed constant is laid out again.
    id constraint = send<id>(send<id>(bar, "constraints"), "objectAtIndex:", 0ULL);
    send(constraint, "setConstant:", 15.0);
    send(m_root, "layoutIfNeeded");
    EXPECT_EQ(frameOf(bar).origin.y, 15);
}

TEST_F(LayoutTest, LabelsAndButtonsTakeTheirIntrinsicSizeWhereTheConstraintsLeaveItOpen)
{
    id label = view("UILabel");
    send(label, "setText:", "Respring"_ns);
    send(label, "setFont:", send<id>(UIKitSupport::classNamed("UIFont"), "systemFontOfSize:", 8.0));
    send(m_root, "addSubview:", label);
    pin(label, "centerXAnchor", m_root, "centerXAnchor");
    pin(label, "topAnchor", m_root, "topAnchor", 20);
    // 8 characters of 4 points, one line of 9.6 rounded up to 10.
    send(m_root, "layoutIfNeeded");
    EXPECT_EQ(frameOf(label), CGRectMake(134, 20, 32, 10));

    id stretched = view("UILabel");
    send(stretched, "setText:", "Hi"_ns);
    send(m_root, "addSubview:", stretched);
    pin(stretched, "leadingAnchor", m_root, "leadingAnchor");
    pin(stretched, "trailingAnchor", m_root, "trailingAnchor");
    pin(stretched, "topAnchor", m_root, "topAnchor");
    send(m_root, "layoutIfNeeded");
    EXPECT_EQ(frameOf(stretched).size.width, 300); // the constraints decide, not the text
    EXPECT_EQ(frameOf(stretched).size.height, 21);  // 17-point system font

    id bold = send<id>(UIKitSupport::classNamed("UIFont"), "boldSystemFontOfSize:", 10.0);
    EXPECT_EQ(bold.as<UIFont>()->sizeOfText("abcd\nab"), CGSizeMake(22, 24));
    EXPECT_EQ(bold.as<UIFont>()->sizeOfText("abcd\nab\nc", 2), CGSizeMake(22, 24));
    EXPECT_EQ(bold.as<UIFont>()->sizeOfText(""), CGSizeZero);
}

TEST_F(LayoutTest, AConflictIsLoggedNamingTheViewsAndTheLatestConstraintIsBroken)
{
    SystemLog::Capture log;
    id box = view();
    send(m_root, "addSubview:", box);
    pin(box, "topAnchor", m_root, "topAnchor");
    pin(box, "leadingAnchor", m_root, "leadingAnchor");
    fix(box, "heightAnchor", 10);
    fix(box, "widthAnchor", 50);
    fix(box, "widthAnchor", 60);
    EXPECT_NO_THROW(send(m_root, "layoutIfNeeded"));
    EXPECT_EQ(frameOf(box), CGRectMake(0, 0, 50, 10));
    std::string boxName = fmt::format("UIView:{}", static_cast<const void*>(box.get()));
    ASSERT_EQ(log.lines().size(), 1u);
    std::string line = log.lines()[0];
    EXPECT_NE(line.find("Unable to simultaneously satisfy constraints"), std::string::npos) << line;
    EXPECT_NE(line.find(boxName + ".width == 50"), std::string::npos) << line;
    EXPECT_NE(line.find("breaking " + boxName + ".width == 60"), std::string::npos) << line;
}

TEST_F(LayoutTest, AnAmbiguousViewIsLoggedByNameAndKeepsItsFrame)
{
    SystemLog::Capture log;
    id box = allocInitWithFrame("UIView", CGRectMake(7, 8, 9, 10));
    send(box, "setTranslatesAutoresizingMaskIntoConstraints:", false);
    send(m_root, "addSubview:", box);
    fix(box, "widthAnchor", 40);
    send(m_root, "layoutIfNeeded");
    EXPECT_EQ(frameOf(box), CGRectMake(7, 8, 40, 10));
    ASSERT_EQ(log.lines().size(), 1u);
    std::string expected = fmt::format("UIView:{}: x, y, height", static_cast<const void*>(box.get()));
    EXPECT_NE(log.lines()[0].find("Ambiguous layout"), std::string::npos);
    EXPECT_NE(log.lines()[0].find(expected), std::string::npos) << log.lines()[0];
}

TEST_F(LayoutTest, TranslatingViewsFollowTheirAutoresizingMask)
{
    id panel = view();
    send(m_root, "addSubview:", panel);
    pin(panel, "topAnchor", m_root, "topAnchor");
    pin(panel, "leadingAnchor", m_root, "leadingAnchor");
    id width = fix(panel, "widthAnchor", 100);
    fix(panel, "heightAnchor", 100);
    send(m_root, "layoutIfNeeded");

    id stretching = allocInitWithFrame("UIView", CGRectMake(10, 10, 80, 80));
    send(stretching, "setAutoresizingMask:", static_cast<unsigned long long>(UIViewAutoresizingFlexibleWidth | UIViewAutoresizingFlexibleHeight));
    id fixedCorner = allocInitWithFrame("UIView", CGRectMake(70, 0, 30, 30));
    send(fixedCorner, "setAutoresizingMask:", static_cast<unsigned long long>(UIViewAutoresizingFlexibleLeftMargin));
    send(panel, "addSubview:", stretching);
    send(panel, "addSubview:", fixedCorner);
    // A constrained view may hang on a translating one: its position follows it.
    id badge = view();
    send(fixedCorner, "addSubview:", badge);
    fix(badge, "widthAnchor", 4);
    fix(badge, "heightAnchor", 4);
    pin(badge, "centerXAnchor", fixedCorner, "centerXAnchor");
    pin(badge, "centerYAnchor", fixedCorner, "centerYAnchor");

    send(width, "setConstant:", 200.0);
    send(m_root, "layoutIfNeeded");
    EXPECT_EQ(frameOf(stretching), CGRectMake(10, 10, 180, 80));
    EXPECT_EQ(frameOf(fixedCorner), CGRectMake(170, 0, 30, 30));
    EXPECT_EQ(frameOf(badge), CGRectMake(13, 13, 4, 4));
}

TEST_F(LayoutTest, AStackViewPlacesAConstrainedViewThatFixesOnlyItsOwnHeight)
{
    SystemLog::Capture log;
    id stack = allocInitWithFrame("UIStackView", CGRectMake(0, 0, 300, 400));
    send(stack, "setAxis:", 1LL);
    send(stack, "setSpacing:", 8.0);
    send(m_root, "addSubview:", stack);
    id below = allocInitWithFrame("UIView", CGRectMake(0, 0, 10, 40));
    send(stack, "addArrangedSubview:", below);
    id panel = view();
    send(stack, "insertArrangedSubview:atIndex:", panel, 0ULL);
    fix(panel, "heightAnchor", 125);
    id strip = view();
    send(panel, "addSubview:", strip);
    pin(strip, "topAnchor", panel, "topAnchor");
    pin(strip, "leadingAnchor", panel, "leadingAnchor");
    pin(strip, "trailingAnchor", panel, "trailingAnchor");
    pin(strip, "bottomAnchor", panel, "bottomAnchor", -25);

    send(m_root, "layoutIfNeeded");
    EXPECT_EQ(frameOf(panel), CGRectMake(0, 0, 300, 125));
    EXPECT_EQ(frameOf(strip), CGRectMake(0, 0, 300, 100));
    EXPECT_EQ(frameOf(below), CGRectMake(0, 133, 300, 40));
    EXPECT_TRUE(log.lines().empty()) << log.lines().front();
}

TEST_F(LayoutTest, ConstraintsGoWithAViewThatLeavesAndRelatingUnrelatedViewsIsRefused)
{
    id box = view();
    send(m_root, "addSubview:", box);
    id top = pin(box, "topAnchor", m_root, "topAnchor", 3);
    id inner = view();
    send(box, "addSubview:", inner);
    id innerTop = pin(inner, "topAnchor", box, "topAnchor");
    send(box, "removeFromSuperview");
    EXPECT_FALSE(send<bool>(top, "isActive"));
    EXPECT_TRUE(send<bool>(innerTop, "isActive")); // both views left together
    EXPECT_EQ(send<id>(box, "constraints").as<NSArray>()->count(), 0u);

    id stranger = view();
    id unrelated = send<id>(send<id>(stranger, "topAnchor"), "constraintEqualToAnchor:", send<id>(m_root, "topAnchor"));
    EXPECT_THROW(send(unrelated, "setActive:", true), RuntimeError);
    EXPECT_THROW(send<id>(send<id>(box, "topAnchor"), "constraintEqualToAnchor:", send<id>(m_root, "leadingAnchor")), RuntimeError);

    // A view that is freed leaves no dangling constraint behind.
    id orphan = send<id>(send<id>(stranger, "widthAnchor"), "constraintEqualToConstant:", 5.0);
    send(orphan, "setActive:", true);
    stranger = nil;
    EXPECT_FALSE(send<bool>(orphan, "isActive"));
    EXPECT_FALSE(send<id>(orphan, "firstItem"));
}

} // namespace
