#include "UIViewAnimation.h"

#include "Dispatch.h"
#include "RunLoop.h"
#include "Trace.h"
#include "UIKitSupport.h"

#include <fmt/format.h>

namespace UIViewAnimation {

namespace {

void runCompletion(double duration, const id& completion)
{
    if (!completion)
        return;
    id held = completion;
    auto finish = [held] { UIKitSupport::callBlockLeniently(held, true); };
    if (duration > 0)
        RunLoop::main().addTimer(Seconds(duration), finish);
    else
        dispatch_async(dispatch_get_main_queue(), finish);
}

void animate(const char* kind, const id& view, double duration, unsigned long long options, const id& animations, const id& completion)
{
    Trace::emit("view-animation",
        { { "kind", kind }, { "view", view ? object_getClassName(view) : "" }, { "duration", fmt::format("{}", duration) },
            { "options", std::to_string(options) } });
    callBlock<void>(animations);
    runCompletion(duration, completion);
}

} // namespace

void declare()
{
    ClassBuilder::extend(UIKitSupport::classNamed("UIView"))
        .classMethod("animateWithDuration:animations:", [](id, SEL, double duration, id animations) {
            animate("animate", nil, duration, 0, animations, nil);
        })
        .classMethod("animateWithDuration:animations:completion:", [](id, SEL, double duration, id animations, id completion) {
            animate("animate", nil, duration, 0, animations, completion);
        })
        .classMethod("transitionWithView:duration:options:animations:completion:",
            [](id, SEL, id view, double duration, unsigned long long options, id animations, id completion) {
                animate("transition", view, duration, options, animations, completion);
            });
}

} // namespace UIViewAnimation
