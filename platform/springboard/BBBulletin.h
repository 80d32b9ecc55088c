#pragma once
// BBBulletin: one notification: sectionID (the bundle identifier of the app it belongs
// to), title, message and bulletinID, each a string property with its setter.

#include "ClassBuilder.h"

#include <string>

class BBBulletin : public objc_object {
public:
    static void declare(ClassBuilder&, int iosMajor);
    static id make(const std::string& sectionID, const std::string& title, const std::string& message);

    std::string sectionID() const;
    std::string title() const;
    std::string message() const;

private:
    id m_sectionID;
    id m_title;
    id m_message;
    id m_bulletinID;
};
