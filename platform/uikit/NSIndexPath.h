#pragma once
// NSIndexPath with UIKit's two-level reading: a section and an item (or row) in it
// (indexPathForItem:inSection:, indexPathForRow:inSection:, section, item, row). Two index
// paths are equal when both numbers are.

#include "ClassBuilder.h"

class NSIndexPath : public objc_object {
public:
    static void declare();
    static id indexPath(long long item, long long section);

    long long item() const { return m_item; }
    long long section() const { return m_section; }

private:
    long long m_item { 0 };
    long long m_section { 0 };
};
