#include "SBDisplayItem.h"

#include "UIKitSupport.h"

using UIKitSupport::objectAs;

namespace {

SBDisplayItem& itemOf(const id& self) { return objectAs<SBDisplayItem>(self, "SBDisplayItem"); }

} // namespace

id SBDisplayItem::applicationItem(const std::string& bundleIdentifier)
{
    id item = UIKitSupport::allocInit("SBDisplayItem");
    itemOf(item).m_bundleIdentifier = NSString::string(bundleIdentifier);
    return item;
}

std::string SBDisplayItem::bundleIdentifier() const
{
    return UIKitSupport::stringValue(m_bundleIdentifier);
}

void SBDisplayItem::declare(ClassBuilder& builder, int)
{
    builder.instancesOf<SBDisplayItem>()
        .method("bundleIdentifier", [](id self, SEL) -> id { return itemOf(self).m_bundleIdentifier; })
        .method("type", [](id self, SEL) -> long long { return itemOf(self).m_type; });
}
