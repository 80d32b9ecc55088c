#include "NSIndexPath.h"

#include "NSObjectValues.h"
#include "UIKitSupport.h"

using UIKitSupport::objectAs;

namespace {

NSIndexPath& pathOf(const id& self) { return objectAs<NSIndexPath>(self, "NSIndexPath"); }

} // namespace

id NSIndexPath::indexPath(long long item, long long section)
{
    id path = UIKitSupport::allocInit("NSIndexPath");
    pathOf(path).m_item = item;
    pathOf(path).m_section = section;
    return path;
}

void NSIndexPath::declare()
{
    ClassBuilder("NSIndexPath", "NSObject")
        .instancesOf<NSIndexPath>()
        .classMethod("indexPathForItem:inSection:", [](id, SEL, long long item, long long section) -> id { return indexPath(item, section); })
        .classMethod("indexPathForRow:inSection:", [](id, SEL, long long row, long long section) -> id { return indexPath(row, section); })
        .method("item", [](id self, SEL) -> long long { return pathOf(self).item(); })
        .method("row", [](id self, SEL) -> long long { return pathOf(self).item(); })
        .method("section", [](id self, SEL) -> long long { return pathOf(self).section(); })
        .method("isEqual:", [](id self, SEL, id other) -> bool {
            auto path = other.as<NSIndexPath>();
            return path && path->item() == pathOf(self).item() && path->section() == pathOf(self).section();
        })
        .method("description", [](id self, SEL) -> id {
            return NSString::string(fmt::format("<NSIndexPath> {{length = 2, path = {} - {}}}", pathOf(self).section(), pathOf(self).item()));
        });
}
