#include "SBMainSwitcherViewController.h"

#include "FBProcessManager.h"
#include "SBAppLayout.h"
#include "SpringBoardState.h"
#include "Trace.h"
#include "UIKitSupport.h"

#include <algorithm>

using UIKitSupport::objectAs;

namespace {

SBMainSwitcherViewController& switcherOf(const id& self) { return objectAs<SBMainSwitcherViewController>(self, "SBMainSwitcherViewController"); }

// The reason SpringBoard gives when the user removes a card.
constexpr long long userRemovalReason = 1;

} // namespace

void SBMainSwitcherViewController::noteApplicationLaunched(const std::string& bundleIdentifier)
{
    auto found = std::find_if(m_appLayouts.begin(), m_appLayouts.end(),
        [&](const id& layout) { return layout.as<SBAppLayout>()->containsApplication(bundleIdentifier); });
    id layout = found != m_appLayouts.end() ? *found : SBAppLayout::layoutForApplication(bundleIdentifier);
    if (found != m_appLayouts.end())
        m_appLayouts.erase(found);
    m_appLayouts.insert(m_appLayouts.begin(), layout);
}

void SBMainSwitcherViewController::removeLayout(const id& layout, long long reason, const char* how)
{
    auto appLayout = layout.as<SBAppLayout>();
    if (!appLayout || std::find(m_appLayouts.begin(), m_appLayouts.end(), layout) == m_appLayouts.end())
        return;
    id keepAlive = layout;
    std::erase(m_appLayouts, layout);
    auto& processes = UIKitSupport::objectAs<FBProcessManager>(FBProcessManager::shared(), "FBProcessManager");
    for (const auto& bundleID : appLayout->bundleIdentifiers()) {
        Trace::emit("switcher-layout-removed", { { "bundleIdentifier", bundleID }, { "reason", std::to_string(reason) }, { "how", how } });
        processes.terminate(bundleID, "switcher");
    }
}

void SBMainSwitcherViewController::removeLayoutsOfApplication(const std::string& bundleIdentifier)
{
    auto layouts = m_appLayouts;
    for (const auto& layout : layouts) {
        if (layout.as<SBAppLayout>()->containsApplication(bundleIdentifier))
            removeLayout(layout, userRemovalReason, "matching bundle identifier");
    }
}

std::vector<std::string> SBMainSwitcherViewController::bundleIdentifiers() const
{
    std::vector<std::string> result;
    for (const auto& layout : m_appLayouts) {
        auto ids = layout.as<SBAppLayout>()->bundleIdentifiers();
        result.push_back(ids.empty() ? std::string() : ids.front());
    }
    return result;
}

void SBMainSwitcherViewController::declare(ClassBuilder& builder, int iosMajor)
{
    builder.instancesOf<SBMainSwitcherViewController>()
        .classMethod("sharedInstance", [](id cls, SEL) -> id { return SpringBoardState::sharedInstanceOf(cls); })
        .method("_quitAppsRepresentedByAppLayout:forReason:", [](id self, SEL, id layout, long long reason) {
            switcherOf(self).removeLayout(layout, reason, "quit");
        });
    auto layoutsOf = [](id self, SEL) -> id { return NSArray::array(switcherOf(self).appLayouts()); };
    if (iosMajor <= 12)
        builder.method("appLayouts", layoutsOf);
    if (iosMajor >= 13) {
        builder.method("recentAppLayouts", layoutsOf)
            .method("_deleteAppLayout:forReason:", [](id self, SEL, id layout, long long reason) { switcherOf(self).removeLayout(layout, reason, "delete"); });
    }
    if (iosMajor >= 14) {
        builder.method("_deleteAppLayoutsMatchingBundleIdentifier:", [](id self, SEL, id bundleID) {
            switcherOf(self).removeLayoutsOfApplication(UIKitSupport::stringValue(bundleID));
        });
    }
}
