#include "FBProcess.h"

#include "UIKitSupport.h"

using UIKitSupport::objectAs;

namespace {

FBProcess& processOf(const id& self) { return objectAs<FBProcess>(self, "FBProcess"); }

} // namespace

std::string FBProcess::bundleIdentifier() const
{
    return UIKitSupport::stringValue(m_bundleIdentifier);
}

std::string FBProcess::name() const
{
    return UIKitSupport::stringValue(m_name);
}

void FBProcess::declare(ClassBuilder& builder, int)
{
    builder.instancesOf<FBProcess>()
        .method("bundleIdentifier", [](id self, SEL) -> id { return processOf(self).m_bundleIdentifier; })
        .method("name", [](id self, SEL) -> id { return processOf(self).m_name; })
        .method("pid", [](id self, SEL) -> int { return processOf(self).pid(); })
        .method("isRunning", [](id self, SEL) -> bool { return processOf(self).isRunning(); })
        .method("isForeground", [](id self, SEL) -> bool { return processOf(self).isForeground(); });
}
