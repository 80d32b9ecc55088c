#include "SpringBoardState.h"

#include "UIKitSupport.h"

SpringBoardState& SpringBoardState::shared()
{
    static auto* state = new SpringBoardState;
    return *state;
}

void SpringBoardState::reset(int iosMajor)
{
    SpringBoardState& state = shared();
    state.iosMajor = iosMajor;
    state.sharedInstances.clear();
}

id SpringBoardState::sharedInstanceOf(const id& cls)
{
    auto* classObject = static_cast<Class>(cls.get());
    std::string name = class_getName(classObject);
    if (auto found = shared().sharedInstances.find(name); found != shared().sharedInstances.end())
        return found->second;
    // Made before it is stored: its init may ask for other shared instances.
    id instance = send<id>(send<id>(cls, "alloc"), "init");
    shared().sharedInstances[name] = instance;
    return instance;
}

id SpringBoardState::sharedInstanceOf(const char* className)
{
    return sharedInstanceOf(id(UIKitSupport::classNamed(className)));
}
