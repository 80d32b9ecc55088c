#include "BBBulletin.h"

#include "UIKitSupport.h"

using UIKitSupport::objectAs;
using UIKitSupport::stringValue;

namespace {

BBBulletin& bulletinOf(const id& self) { return objectAs<BBBulletin>(self, "BBBulletin"); }

int nextBulletinNumber = 1;

} // namespace

id BBBulletin::make(const std::string& sectionID, const std::string& title, const std::string& message)
{
    id bulletin = UIKitSupport::allocInit("BBBulletin");
    BBBulletin& object = bulletinOf(bulletin);
    object.m_sectionID = NSString::string(sectionID);
    object.m_title = NSString::string(title);
    object.m_message = NSString::string(message);
    object.m_bulletinID = NSString::string(fmt::format("bulletin-{}", nextBulletinNumber++));
    return bulletin;
}

std::string BBBulletin::sectionID() const { return stringValue(m_sectionID); }
std::string BBBulletin::title() const { return stringValue(m_title); }
std::string BBBulletin::message() const { return stringValue(m_message); }

void BBBulletin::declare(ClassBuilder& builder, int)
{
    builder.instancesOf<BBBulletin>()
        .method("sectionID", [](id self, SEL) -> id { return bulletinOf(self).m_sectionID; })
        .method("setSectionID:", [](id self, SEL, id value) { bulletinOf(self).m_sectionID = value; })
        .method("title", [](id self, SEL) -> id { return bulletinOf(self).m_title; })
        .method("setTitle:", [](id self, SEL, id value) { bulletinOf(self).m_title = value; })
        .method("message", [](id self, SEL) -> id { return bulletinOf(self).m_message; })
        .method("setMessage:", [](id self, SEL, id value) { bulletinOf(self).m_message = value; })
        .method("bulletinID", [](id self, SEL) -> id { return bulletinOf(self).m_bulletinID; })
        .method("setBulletinID:", [](id self, SEL, id value) { bulletinOf(self).m_bulletinID = value; });
}
