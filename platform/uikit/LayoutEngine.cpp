#include "LayoutEngine.h"

#include "LayoutSolver.h"
#include "NSLayoutConstraint.h"
#include "SystemLog.h"
#include "Trace.h"
#include "UIStackView.h"
#include "UIView.h"

#include <fmt/format.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <set>
#include <unordered_map>

namespace LayoutEngine {

AxisShares autoresizingShares(double origin, double length, double superviewLength, bool flexibleBefore, bool flexibleLength,
    bool flexibleAfter)
{
    double before = flexibleBefore ? std::max(origin, 0.0) : 0;
    double own = flexibleLength ? std::max(length, 0.0) : 0;
    double after = flexibleAfter ? std::max(superviewLength - origin - length, 0.0) : 0;
    double total = before + own + after;
    int flexibleParts = int(flexibleBefore) + int(flexibleLength) + int(flexibleAfter);
    if (flexibleParts == 0)
        return {};
    if (total <= 0)
        return { flexibleBefore ? 1.0 / flexibleParts : 0.0, flexibleLength ? 1.0 / flexibleParts : 0.0 };
    return { before / total, own / total };
}

CGRect autoresizedFrame(CGRect frame, unsigned long long mask, CGSize oldSize, CGSize newSize)
{
    AxisShares horizontal = autoresizingShares(frame.origin.x, frame.size.width, oldSize.width, mask & UIViewAutoresizingFlexibleLeftMargin,
        mask & UIViewAutoresizingFlexibleWidth, mask & UIViewAutoresizingFlexibleRightMargin);
    AxisShares vertical = autoresizingShares(frame.origin.y, frame.size.height, oldSize.height, mask & UIViewAutoresizingFlexibleTopMargin,
        mask & UIViewAutoresizingFlexibleHeight, mask & UIViewAutoresizingFlexibleBottomMargin);
    double dx = newSize.width - oldSize.width;
    double dy = newSize.height - oldSize.height;
    return CGRectMake(frame.origin.x + horizontal.origin * dx, frame.origin.y + vertical.origin * dy,
        frame.size.width + horizontal.length * dx, frame.size.height + vertical.length * dy);
}

namespace {

// Solved values are exact up to the rounding of doubles; a frame reads 50, not 49.999999999.
double tidy(double value)
{
    double rounded = std::round(value * 1e6) / 1e6;
    return rounded == 0 ? 0 : rounded;
}

struct Participant {
    UIView* view;
    size_t x, y, width, height; // unknowns
    CGRect absolute;            // the frame now, in the root's coordinates
};

// Where an equation came from, so that a problem can be told in a person's words.
struct EquationSource {
    enum class Kind { Root, Translated, Arranged, Constraint, Intrinsic } kind;
    UIView* view { nullptr };
    NSLayoutConstraint* constraint { nullptr };
    const char* dimension { "" };
};

class HierarchySystem {
public:
    HierarchySystem(UIView* root, std::set<std::string>* reported) : m_root(root), m_reported(reported) { }

    bool gather();
    std::vector<std::string> solveAndApply();

private:
    using Terms = std::vector<LayoutSolver::Term>;

    Terms expression(const Participant& p, NSLayoutAttribute attribute, double factor) const;
    void addTranslatedEquations(const Participant& p, std::vector<std::pair<LayoutSolver::Equation, EquationSource>>& out) const;
    void addArrangedEquations(const Participant& p, const UIStackView& stack, std::vector<std::pair<LayoutSolver::Equation, EquationSource>>& out) const;
    std::vector<std::pair<LayoutSolver::Equation, EquationSource>> baseEquations() const;
    std::string describeSource(const EquationSource& source) const;
    std::string describeUnknown(size_t variable) const;
    void apply(const std::vector<double>& values);

    void report(const std::string& kind, const std::string& line);

    UIView* m_root;
    std::set<std::string>* m_reported;
    std::vector<UIView*> m_views; // the hierarchy, superviews first
    std::vector<NSLayoutConstraint*> m_constraints;
    std::vector<Participant> m_participants;
    std::unordered_map<const UIView*, size_t> m_index;
    size_t m_variableCount { 0 };
};

void collect(UIView* view, std::vector<UIView*>& out)
{
    out.push_back(view);
    for (const auto& child : view->subviews())
        collect(UIView::from(child).get(), out);
}

bool HierarchySystem::gather()
{
    collect(m_root, m_views);
    for (UIView* view : m_views) {
        for (const auto& installed : view->installedConstraints()) {
            auto* constraint = dynamic_cast<NSLayoutConstraint*>(installed.get());
            if (!constraint || !constraint->isActive() || !constraint->firstItem())
                continue;
            if (constraint->secondItem() && !constraint->secondItem()->isDescendantOf(m_root))
                continue;
            m_constraints.push_back(constraint);
        }
    }
    if (m_constraints.empty())
        return false;
    std::sort(m_constraints.begin(), m_constraints.end(),
        [](const NSLayoutConstraint* a, const NSLayoutConstraint* b) { return a->activationSerial() < b->activationSerial(); });

    std::set<const UIView*> wanted;
    auto want = [&](UIView* view) {
        for (UIView* v = view; v && wanted.insert(v).second && v != m_root; v = v->superview()) { }
    };
    for (NSLayoutConstraint* constraint : m_constraints) {
        want(constraint->firstItem());
        if (constraint->secondItem())
            want(constraint->secondItem());
    }
    std::unordered_map<const UIView*, CGRect> absolute;
    for (UIView* view : m_views) {
        CGRect frame = view == m_root ? CGRect { CGPointZero, view->frame().size } : view->frame();
        if (view != m_root) {
            CGRect parent = absolute.at(view->superview());
            frame.origin = { parent.origin.x + frame.origin.x, parent.origin.y + frame.origin.y };
        }
        absolute[view] = frame;
        if (!wanted.count(view))
            continue;
        size_t first = m_variableCount;
        m_variableCount += 4;
        m_index[view] = m_participants.size();
        m_participants.push_back({ view, first, first + 1, first + 2, first + 3, frame });
    }
    return true;
}

HierarchySystem::Terms HierarchySystem::expression(const Participant& p, NSLayoutAttribute attribute, double factor) const
{
    switch (attribute) {
    case NSLayoutAttributeLeft:
    case NSLayoutAttributeLeading:
        return { { p.x, factor } };
    case NSLayoutAttributeRight:
    case NSLayoutAttributeTrailing:
        return { { p.x, factor }, { p.width, factor } };
    case NSLayoutAttributeCenterX:
        return { { p.x, factor }, { p.width, factor / 2 } };
    case NSLayoutAttributeWidth:
        return { { p.width, factor } };
    case NSLayoutAttributeTop:
        return { { p.y, factor } };
    case NSLayoutAttributeBottom:
        return { { p.y, factor }, { p.height, factor } };
    case NSLayoutAttributeCenterY:
        return { { p.y, factor }, { p.height, factor / 2 } };
    case NSLayoutAttributeHeight:
        return { { p.height, factor } };
    case NSLayoutAttributeNotAnAttribute:
        break;
    }
    return {};
}

void HierarchySystem::addTranslatedEquations(const Participant& p, std::vector<std::pair<LayoutSolver::Equation, EquationSource>>& out) const
{
    const Participant& parent = m_participants.at(m_index.at(p.view->superview()));
    CGRect frame = p.view->frame();
    CGSize parentSize = parent.view->frame().size;
    unsigned long long mask = p.view->autoresizingMask();
    auto h = autoresizingShares(frame.origin.x, frame.size.width, parentSize.width, mask & UIViewAutoresizingFlexibleLeftMargin,
        mask & UIViewAutoresizingFlexibleWidth, mask & UIViewAutoresizingFlexibleRightMargin);
    auto v = autoresizingShares(frame.origin.y, frame.size.height, parentSize.height, mask & UIViewAutoresizingFlexibleTopMargin,
        mask & UIViewAutoresizingFlexibleHeight, mask & UIViewAutoresizingFlexibleBottomMargin);
    EquationSource source { EquationSource::Kind::Translated, p.view };
    // x = parent.x + frame.x + share * (parent.width - its width now), and so on.
    out.push_back({ { { { p.x, 1 }, { parent.x, -1 }, { parent.width, -h.origin } }, frame.origin.x - h.origin * parentSize.width }, source });
    out.push_back({ { { { p.y, 1 }, { parent.y, -1 }, { parent.height, -v.origin } }, frame.origin.y - v.origin * parentSize.height }, source });
    out.push_back({ { { { p.width, 1 }, { parent.width, -h.length } }, frame.size.width - h.length * parentSize.width }, source });
    out.push_back({ { { { p.height, 1 }, { parent.height, -v.length } }, frame.size.height - v.length * parentSize.height }, source });
}

// A stack view places its arranged views itself (UIStackView.h): along its axis where the
// previous one ends, across it at its full breadth. Those are the arranged view's frame
// as the stack view last set it; its length along the axis is its own (its constraints).
void HierarchySystem::addArrangedEquations(const Participant& p, const UIStackView& stack,
    std::vector<std::pair<LayoutSolver::Equation, EquationSource>>& out) const
{
    const Participant& parent = m_participants.at(m_index.at(p.view->superview()));
    CGRect frame = p.view->frame();
    EquationSource source { EquationSource::Kind::Arranged, p.view };
    out.push_back({ { { { p.x, 1 }, { parent.x, -1 } }, frame.origin.x }, source });
    out.push_back({ { { { p.y, 1 }, { parent.y, -1 } }, frame.origin.y }, source });
    if (stack.axis() == UILayoutConstraintAxisVertical)
        out.push_back({ { { { p.width, 1 } }, frame.size.width }, source });
    else
        out.push_back({ { { { p.height, 1 } }, frame.size.height }, source });
}

std::vector<std::pair<LayoutSolver::Equation, EquationSource>> HierarchySystem::baseEquations() const
{
    std::vector<std::pair<LayoutSolver::Equation, EquationSource>> equations;
    for (const Participant& p : m_participants) {
        if (p.view == m_root) {
            EquationSource source { EquationSource::Kind::Root, p.view };
            CGSize size = p.view->frame().size;
            equations.push_back({ { { { p.x, 1 } }, 0 }, source });
            equations.push_back({ { { { p.y, 1 } }, 0 }, source });
            equations.push_back({ { { { p.width, 1 } }, size.width }, source });
            equations.push_back({ { { { p.height, 1 } }, size.height }, source });
        } else if (p.view->translatesAutoresizingMaskIntoConstraints()) {
            addTranslatedEquations(p, equations);
        } else if (auto* stack = dynamic_cast<const UIStackView*>(p.view->superview()); stack && stack->isArranged(p.view)) {
            addArrangedEquations(p, *stack, equations);
        }
    }
    for (NSLayoutConstraint* constraint : m_constraints) {
        const Participant& first = m_participants.at(m_index.at(constraint->firstItem()));
        LayoutSolver::Equation equation { expression(first, constraint->firstAttribute(), 1), constraint->constant() };
        if (constraint->secondItem()) {
            const Participant& second = m_participants.at(m_index.at(constraint->secondItem()));
            auto terms = expression(second, constraint->secondAttribute(), -constraint->multiplier());
            equation.terms.insert(equation.terms.end(), terms.begin(), terms.end());
        }
        equations.push_back({ equation, { EquationSource::Kind::Constraint, constraint->firstItem(), constraint } });
    }
    return equations;
}

std::string HierarchySystem::describeSource(const EquationSource& source) const
{
    switch (source.kind) {
    case EquationSource::Kind::Root:
        return fmt::format("{} keeps its frame (the top of the hierarchy)", describeViewForLayout(source.view));
    case EquationSource::Kind::Translated:
        return fmt::format("{} keeps its frame (translatesAutoresizingMaskIntoConstraints)", describeViewForLayout(source.view));
    case EquationSource::Kind::Arranged:
        return fmt::format("{} is placed by its stack view", describeViewForLayout(source.view));
    case EquationSource::Kind::Intrinsic:
        return fmt::format("{}.{} == its intrinsic size", describeViewForLayout(source.view), source.dimension);
    case EquationSource::Kind::Constraint:
        return source.constraint->description();
    }
    return {};
}

std::string HierarchySystem::describeUnknown(size_t variable) const
{
    static const char* const names[] = { "x", "y", "width", "height" };
    return names[variable % 4];
}

void HierarchySystem::apply(const std::vector<double>& values)
{
    std::unordered_map<const UIView*, CGRect> solved;
    for (const Participant& p : m_participants) {
        CGRect absolute = CGRectMake(values[p.x], values[p.y], values[p.width], values[p.height]);
        solved[p.view] = absolute;
        if (p.view == m_root)
            continue;
        CGRect parent = solved.at(p.view->superview());
        CGRect frame = CGRectMake(tidy(absolute.origin.x - parent.origin.x), tidy(absolute.origin.y - parent.origin.y),
            tidy(absolute.size.width), tidy(absolute.size.height));
        if (frame == p.view->frame())
            continue;
        bool resized = frame.size != p.view->frame().size;
        send(id(p.view), "setFrame:", frame);
        // A stack view lines its arranged views up by their lengths: it arranges again.
        if (auto* stack = dynamic_cast<UIStackView*>(p.view->superview()); resized && stack && stack->isArranged(p.view))
            stack->setNeedsLayout();
    }
}

void HierarchySystem::report(const std::string& kind, const std::string& line)
{
    if (m_reported && !m_reported->insert(line).second)
        return;
    SystemLog::write(line);
    Trace::emit("layout-error", { { "kind", kind }, { "detail", line } });
}

std::vector<std::string> HierarchySystem::solveAndApply()
{
    auto equations = baseEquations();
    std::vector<double> fallback(m_variableCount);
    for (const Participant& p : m_participants) {
        fallback[p.x] = p.absolute.origin.x;
        fallback[p.y] = p.absolute.origin.y;
        fallback[p.width] = p.absolute.size.width;
        fallback[p.height] = p.absolute.size.height;
    }
    std::vector<std::string> problems;
    std::set<size_t> broken;
    std::set<size_t> intrinsicAdded;
    for (size_t round = 0; round <= equations.size() + m_variableCount; ++round) {
        LayoutSolver solver;
        for (size_t v = 0; v < m_variableCount; ++v)
            solver.addVariable(describeUnknown(v));
        std::vector<size_t> used;
        for (size_t e = 0; e < equations.size(); ++e) {
            if (!broken.count(e)) {
                solver.addEquation(equations[e].first);
                used.push_back(e);
            }
        }
        LayoutSolver::Result result = solver.solve(fallback);
        if (!result.conflicts.empty()) {
            const auto& conflict = result.conflicts.front();
            std::string listing;
            size_t toBreak = equations.size();
            for (size_t index : conflict) {
                size_t e = used[index];
                listing += fmt::format("\n    {}", describeSource(equations[e].second));
                if (equations[e].second.kind == EquationSource::Kind::Constraint)
                    toBreak = e;
            }
            if (toBreak == equations.size())
                toBreak = used[conflict.back()];
            std::string line = fmt::format("[LayoutConstraints] Unable to simultaneously satisfy constraints:{}\n  Will attempt to recover by "
                                           "breaking {}",
                listing, describeSource(equations[toBreak].second));
            report("conflict", line);
            problems.push_back(line);
            broken.insert(toBreak);
            continue;
        }
        // An open width or height of a view that has a size of its own takes that size.
        bool added = false;
        for (size_t variable : result.undetermined) {
            if (variable % 4 < 2 || intrinsicAdded.count(variable))
                continue;
            const Participant& p = m_participants[variable / 4];
            CGSize intrinsic = send<CGSize>(id(p.view), "intrinsicContentSize");
            bool isWidth = variable % 4 == 2;
            double size = isWidth ? intrinsic.width : intrinsic.height;
            if (size < 0)
                continue;
            intrinsicAdded.insert(variable);
            equations.push_back({ { { { variable, 1 } }, size }, { EquationSource::Kind::Intrinsic, p.view, nullptr, isWidth ? "width" : "height" } });
            added = true;
        }
        if (added)
            continue;
        if (!result.undetermined.empty()) {
            std::map<size_t, std::vector<std::string>> open;
            for (size_t variable : result.undetermined)
                open[variable / 4].push_back(describeUnknown(variable));
            std::string listing;
            for (const auto& [participant, unknowns] : open) {
                std::string names;
                for (const auto& name : unknowns)
                    names += (names.empty() ? "" : ", ") + name;
                listing += fmt::format("\n    {}: {}", describeViewForLayout(m_participants[participant].view), names);
            }
            std::string line = fmt::format("[LayoutConstraints] Ambiguous layout: the constraints leave open{}\n  These views keep their frames", listing);
            report("ambiguous", line);
            problems.push_back(line);
        }
        apply(result.values);
        return problems;
    }
    return problems;
}

} // namespace

std::vector<std::string> layoutHierarchy(UIView* root, std::set<std::string>* alreadyReported)
{
    if (!root)
        return {};
    HierarchySystem system(root, alreadyReported);
    if (!system.gather())
        return {};
    return system.solveAndApply();
}

} // namespace LayoutEngine
