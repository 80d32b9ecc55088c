#include "SBDefaultIconModelStore.h"

#include "FileSystem.h"
#include "PropertyList.h"
#include "Trace.h"
#include "UIKitSupport.h"

using UIKitSupport::objectAs;

namespace {

SBDefaultIconModelStore& storeOf(const id& self) { return objectAs<SBDefaultIconModelStore>(self, "SBDefaultIconModelStore"); }

std::string parentOf(const std::string& path)
{
    auto slash = path.find_last_of('/');
    return slash == std::string::npos || slash == 0 ? std::string("/") : path.substr(0, slash);
}

void setError(id* error, const std::string& message)
{
    if (error)
        *error = NSString::string(message);
}

} // namespace

id SBDefaultIconModelStore::load(id* error) const
{
    if (!FileSystem::fileExists(m_path)) {
        setError(error, fmt::format("The icon state file {} does not exist", m_path));
        Trace::emit("icon-state-load", { { "path", m_path }, { "result", "missing" } });
        return nil;
    }
    auto state = PropertyList::readDictionaryFile(m_path);
    if (!state) {
        setError(error, fmt::format("The icon state file {} is not a property-list dictionary", m_path));
        Trace::emit("icon-state-load", { { "path", m_path }, { "result", "unreadable" } });
        return nil;
    }
    Trace::emit("icon-state-load", { { "path", m_path }, { "result", "loaded" } });
    return state;
}

bool SBDefaultIconModelStore::save(const id& state, id* error) const
{
    if (!state.as<NSDictionary>()) {
        setError(error, fmt::format("The icon state to save in {} is {}, not a dictionary", m_path, state ? object_getClassName(state) : "nil"));
        Trace::emit("icon-state-save", { { "path", m_path }, { "result", "not a dictionary" } });
        return false;
    }
    FileSystem::createDirectories(parentOf(m_path));
    if (!PropertyList::writeFile(m_path, state)) {
        setError(error, fmt::format("The icon state file {} could not be written", m_path));
        Trace::emit("icon-state-save", { { "path", m_path }, { "result", "write failed" } });
        return false;
    }
    Trace::emit("icon-state-save", { { "path", m_path }, { "result", "saved" } });
    return true;
}

void SBDefaultIconModelStore::declare(ClassBuilder& builder, int)
{
    builder.instancesOf<SBDefaultIconModelStore>()
        .method("loadCurrentIconState:", [](id self, SEL, id* error) -> id { return storeOf(self).load(error); })
        .method("saveCurrentIconState:error:", [](id self, SEL, id state, id* error) -> bool { return storeOf(self).save(state, error); });
}
