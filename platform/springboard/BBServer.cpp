#include "BBServer.h"

#include "BBBulletin.h"
#include "SpringBoardState.h"
#include "Trace.h"
#include "UIKitSupport.h"

using UIKitSupport::objectAs;

namespace {

BBServer& serverOf(const id& self) { return objectAs<BBServer>(self, "BBServer"); }

} // namespace

void BBServer::publish(const id& bulletin, unsigned long long destinations)
{
    if (!bulletin)
        return;
    m_published.push_back({ bulletin, destinations });
    auto* details = dynamic_cast<BBBulletin*>(bulletin.get());
    Trace::emit("bulletin-published",
        { { "sectionID", details ? details->sectionID() : "" }, { "title", details ? details->title() : "" },
            { "message", details ? details->message() : "" }, { "destinations", std::to_string(destinations) } });
}

void BBServer::declare(ClassBuilder& builder, int)
{
    builder.instancesOf<BBServer>()
        .classMethod("sharedInstance", [](id cls, SEL) -> id { return SpringBoardState::sharedInstanceOf(cls); })
        .method("publishBulletin:destinations:", [](id self, SEL, id bulletin, unsigned long long destinations) { serverOf(self).publish(bulletin, destinations); });
}
