#include "SBAppLayout.h"

#include "SBDisplayItem.h"
#include "UIKitSupport.h"

using UIKitSupport::objectAs;

namespace {

SBAppLayout& layoutOf(const id& self) { return objectAs<SBAppLayout>(self, "SBAppLayout"); }

} // namespace

id SBAppLayout::layoutForApplication(const std::string& bundleIdentifier)
{
    id layout = UIKitSupport::allocInit("SBAppLayout");
    layoutOf(layout).m_items.push_back(SBDisplayItem::applicationItem(bundleIdentifier));
    return layout;
}

bool SBAppLayout::containsApplication(const std::string& bundleIdentifier) const
{
    for (const auto& item : m_items) {
        if (item.as<SBDisplayItem>()->bundleIdentifier() == bundleIdentifier)
            return true;
    }
    return false;
}

std::vector<std::string> SBAppLayout::bundleIdentifiers() const
{
    std::vector<std::string> result;
    for (const auto& item : m_items)
        result.push_back(item.as<SBDisplayItem>()->bundleIdentifier());
    return result;
}

void SBAppLayout::declare(ClassBuilder& builder, int)
{
    builder.instancesOf<SBAppLayout>()
        .method("allItems", [](id self, SEL) -> id { return NSArray::array(layoutOf(self).items()); })
        .method("containsItemWithBundleIdentifier:", [](id self, SEL, id bundleID) -> bool {
            return layoutOf(self).containsApplication(UIKitSupport::stringValue(bundleID));
        });
}
