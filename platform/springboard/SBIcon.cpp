#include "SBIcon.h"

#include "UIKitSupport.h"

using UIKitSupport::objectAs;

namespace {

SBIcon& iconOf(const id& self) { return objectAs<SBIcon>(self, "SBIcon"); }

} // namespace

std::string SBIcon::bundleIdentifier() const
{
    return UIKitSupport::stringValue(m_applicationBundleID);
}

id SBIcon::applicationIcon(const std::string& bundleIdentifier)
{
    id bundleID = NSString::string(bundleIdentifier);
    return send<id>(send<id>(UIKitSupport::classNamed("SBApplicationIcon"), "alloc"), "initWithLeafIdentifier:applicationBundleID:", bundleID,
        bundleID);
}

id SBIcon::iconForStateEntry(const id& entry)
{
    if (auto bundleID = entry.as<NSString>())
        return applicationIcon(bundleID->utf8());
    auto folder = entry.as<NSDictionary>();
    id icon = UIKitSupport::allocInit(folder && folder->objectForKey("iconLists") ? "SBFolderIcon" : "SBLeafIcon");
    SBIcon& object = iconOf(icon);
    object.m_stateEntry = entry;
    if (folder)
        object.m_displayName = folder->objectForKey("displayName");
    return icon;
}

void SBIcon::declareIcon(ClassBuilder& builder, int)
{
    builder.instancesOf<SBIcon>()
        .method("applicationBundleID", [](id self, SEL) -> id { return iconOf(self).m_applicationBundleID; })
        .method("displayName", [](id self, SEL) -> id { return iconOf(self).m_displayName; })
        .method("nodeIdentifier", [](id self, SEL) -> id { return iconOf(self).m_stateEntry; })
        .method("isApplicationIcon", [](id, SEL) -> bool { return false; })
        .method("isFolderIcon", [](id, SEL) -> bool { return false; });
}

void SBIcon::declareLeafIcon(ClassBuilder& builder, int)
{
    builder.method("initWithLeafIdentifier:applicationBundleID:", [](id self, SEL, id leafIdentifier, id bundleID) -> id {
        SBIcon& icon = iconOf(self);
        icon.m_stateEntry = leafIdentifier;
        icon.m_applicationBundleID = bundleID;
        icon.m_displayName = bundleID;
        return self;
    });
    builder.method("leafIdentifier", [](id self, SEL) -> id { return iconOf(self).m_stateEntry; });
}

void SBIcon::declareApplicationIcon(ClassBuilder& builder, int)
{
    builder.method("isApplicationIcon", [](id, SEL) -> bool { return true; });
}

void SBIcon::declareFolderIcon(ClassBuilder& builder, int)
{
    builder.method("isFolderIcon", [](id, SEL) -> bool { return true; });
}
