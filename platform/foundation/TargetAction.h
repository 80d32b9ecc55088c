#pragma once
// Target-action calls, as NSTimer and the notification centre make them: the target's
// method is sent the sender (the timer, the notification) as its one argument. A method
// declared without an argument ("v@:") is called without it, as on the device, where the
// extra argument is simply ignored. A method of any other type is a loud RuntimeError.

#include "MessageSend.h"

inline void performTargetAction(const id& target, SEL selector, const id& sender)
{
    if (!target)
        return;
    Method method = class_getInstanceMethod(object_getClass(target), selector);
    if (method && method->types == "v@:")
        send<void>(target, selector);
    else
        send<void>(target, selector, sender);
}
