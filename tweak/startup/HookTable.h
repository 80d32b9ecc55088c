#pragma once
// The library's method replacements and added methods, in the order of installation.
// Each row names its class, selector, group and, for replacements, the slot that keeps
// the previous implementation. The first five rows exist in two spellings: the lock
// screen's classes were renamed in iOS 13, so each of those rows carries a function and
// slot per spelling.

#include "ClassBuilder.h"

#include <optional>
#include <string>
#include <vector>

enum class HookGroup { Panel, Base, Switching, Guest };
enum class HookKind { Replaced, Added };
// How an added method's type encoding is built (see installAddedMethod).
enum class AddedEncoding { None, Getter, Setter, Action };

struct HookTarget {
    const char* className;
    IMP function;
    IMP* slot;            // replacements only
    std::string encoding; // of the function, as its C++ type says
};

struct HookRow {
    int number;
    HookGroup group;
    HookKind kind;
    const char* selector;
    HookTarget target;                // iOS 13 or later, or every version
    std::optional<HookTarget> legacy; // before iOS 13, for the rows that differ
    AddedEncoding addedEncoding { AddedEncoding::None };

    const HookTarget& targetFor(bool atLeastIOS13) const { return legacy && !atLeastIOS13 ? *legacy : target; }
};

const std::vector<HookRow>& hookTable();
const char* hookGroupName(HookGroup);

// A target whose encoding comes from the function's own type, so the table cannot claim
// a signature the function does not have.
template<class F>
HookTarget hookTarget(const char* className, F function, IMP* slot = nullptr)
{
    using Traits = runtime_detail::MethodFunction<F>;
    typename Traits::Pointer pointer = function;
    return { className, reinterpret_cast<IMP>(pointer), slot, Traits::encoding() };
}
