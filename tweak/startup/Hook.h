#pragma once
// How the library declares a method it replaces or adds: once, beside the behaviour.
//
//   KAVLOR_HOOK(isForeground) = replace({ 11, HookGroup::Guest, "FBProcess", "isForeground" },
//       [](const Previous<bool()>& previous, id self, SEL _cmd) -> bool {
//           ...
//           return previous(self, _cmd);
//       });
//
// That one declaration is the table row (its place in the order of installation, its
// group, the class as the running system spells it, the selector), the replacement, and
// the slot that keeps the previous implementation. The linker collects every declaration
// into one section, the way the object runtime collects a binary's classes, so the hook
// table (HookTable.h) is the declarations in the order of their places, with no list to
// keep in step by hand.
//
// The slot keeps the replaced method's type encoding: calling the previous implementation
// is type-checked exactly as a message send is. An added method's encoding comes from its
// function's type, as for every method of the platform (ClassBuilder).
//
// A replacement never lets an error unwind into SpringBoard: SpringBoard's call gets the
// previous implementation's answer instead (run now, unless the replacement already ran
// it), and the error is logged once per method. An added method that fails answers zero.

#include "ClassBuilder.h"

#include <optional>
#include <string>
#include <type_traits>

enum class HookGroup { Panel, Base, Switching, Guest };
enum class HookKind { Replaced, Added };
// iOS 13 renamed the lock screen's classes; their rows are declared once per spelling.
enum class Systems { All, IOS13AndLater, BeforeIOS13 };

struct HookRow {
    int place;             // the row's place in the hook table, the order of installation
    HookGroup group;
    const char* className; // as the systems of `systems` spell it
    const char* selector;
    Systems systems = Systems::All;

    constexpr bool appliesTo(bool atLeastIOS13) const
    {
        return systems == Systems::All || (systems == Systems::IOS13AndLater) == atLeastIOS13;
    }
};

// Where a replacement keeps what callers ran before it.
struct PreviousSlot {
    IMP imp { nullptr };
    std::string types;       // the replaced method's encoding
    bool typesMatch { true }; // whether `types` is the replacement's own encoding

    // Called at installation with what MSHookMessageEx handed back.
    void keep(IMP previous, const char* replacedTypes, const std::string& ownTypes);
};

namespace hook_detail {

// The innermost replacement running on this thread, so that a failure can answer what
// the previous implementation answered if it already ran.
struct FrameBase {
    const PreviousSlot* slot;
    bool previousRan { false };
    FrameBase* outer;
};
FrameBase*& currentFrame();

template<class R>
struct Frame : FrameBase {
    std::optional<R> answer;
};
template<>
struct Frame<void> : FrameBase { };

void logFailureOnce(bool& logged, const id& self, SEL, const char* what);
[[noreturn]] void raiseTypeMismatch(const PreviousSlot&, const id& self, SEL, const std::string& called);

} // namespace hook_detail

template<class Signature>
class Previous;

// The previous implementation of a replaced method, called like the method itself. An empty
// slot (the class or selector was missing) answers zero, NO or nil.
template<class R, class... Args>
class Previous<R(Args...)> : public PreviousSlot {
public:
    R operator()(const id& self, SEL cmd, Args... args) const
    {
        if (!typesMatch)
            hook_detail::raiseTypeMismatch(*this, self, cmd, methodEncoding<R, Args...>());
        if (!imp)
            return runtime_detail::zeroValue<R>();
        auto* frame = hook_detail::currentFrame();
        bool ownFrame = frame && frame->slot == this;
        using Function = R (*)(id, SEL, Args...);
        auto function = reinterpret_cast<Function>(imp);
        if constexpr (std::is_void_v<R>) {
            function(self, cmd, args...);
            if (ownFrame)
                frame->previousRan = true;
        } else {
            R answer = function(self, cmd, args...);
            if (ownFrame) {
                frame->previousRan = true;
                static_cast<hook_detail::Frame<R>*>(frame)->answer = answer;
            }
            return answer;
        }
    }
};

// What the linker collects: one per declared hook.
struct HookDeclaration {
    HookRow row;
    HookKind kind;
    IMP (*function)();             // the replacement or added method's implementation
    PreviousSlot* slot;            // replacements only
    const std::string& (*encoding)(); // of the function, as its C++ type says
};

namespace hook_detail {

template<class F>
struct BodyTraits : BodyTraits<decltype(&F::operator())> { };

// A replacement's body: (previous, self, _cmd, arguments...).
template<class C, class R, class... Args>
struct BodyTraits<R (C::*)(const Previous<R(Args...)>&, id, SEL, Args...) const> {
    using Result = R;
    using Signature = R(Args...);
    static constexpr bool replaces = true;
};

// An added method's body: (self, _cmd, arguments...).
template<class C, class R, class... Args>
struct BodyTraits<R (C::*)(id, SEL, Args...) const> {
    using Result = R;
    using Signature = R(Args...);
    static constexpr bool replaces = false;
};

template<class Signature>
struct CanonicalCheck;
template<class R, class... Args>
struct CanonicalCheck<R(Args...)> {
    static_assert((std::is_same_v<Args, CanonicalType<Args>> && ...),
        "a hook takes canonical types: id for every object, long long for NSInteger");
    static_assert(std::is_void_v<R> || std::is_same_v<R, CanonicalType<R>>, "a hook answers a canonical type");
    static const std::string& encoding()
    {
        static const std::string types = methodEncoding<R, Args...>();
        return types;
    }
};

template<class Body, class Signature>
struct Replacement;

template<class Body, class R, class... Args>
struct Replacement<Body, R(Args...)> {
    // Constant-initialised: the slot is filled at installation, whatever the order in
    // which the library's objects are initialised.
    static constinit inline Previous<R(Args...)> previous {};
    static constinit inline bool failureLogged = false;

    static R run(id self, SEL cmd, Args... args)
    {
        Frame<R> frame;
        frame.slot = &previous;
        frame.outer = currentFrame();
        currentFrame() = &frame;
        struct Restore {
            FrameBase* outer;
            ~Restore() { currentFrame() = outer; }
        } restore { frame.outer };
        try {
            return Body {}(previous, self, cmd, args...);
        } catch (const std::exception& error) {
            logFailureOnce(failureLogged, self, cmd, error.what());
        } catch (...) {
            logFailureOnce(failureLogged, self, cmd, "an unknown error");
        }
        return answerAfterFailure(frame, self, cmd, args...);
    }

    static R answerAfterFailure(Frame<R>& frame, const id& self, SEL cmd, Args... args)
    {
        if constexpr (std::is_void_v<R>) {
            if (frame.previousRan)
                return;
        } else {
            if (frame.answer)
                return *frame.answer;
        }
        try {
            return previous(self, cmd, args...);
        } catch (...) {
            return runtime_detail::zeroValue<R>();
        }
    }

    static IMP function() { return reinterpret_cast<IMP>(&run); }
};

template<class Body, class Signature>
struct Addition;

template<class Body, class R, class... Args>
struct Addition<Body, R(Args...)> {
    static constinit inline bool failureLogged = false;

    static R run(id self, SEL cmd, Args... args)
    {
        try {
            return Body {}(self, cmd, args...);
        } catch (const std::exception& error) {
            logFailureOnce(failureLogged, self, cmd, error.what());
        } catch (...) {
            logFailureOnce(failureLogged, self, cmd, "an unknown error");
        }
        return runtime_detail::zeroValue<R>();
    }

    static IMP function() { return reinterpret_cast<IMP>(&run); }
};

} // namespace hook_detail

// A replacement of an existing method: the body gets the previous implementation first.
template<class Body>
constexpr HookDeclaration replace(HookRow row, Body)
{
    using Traits = hook_detail::BodyTraits<Body>;
    static_assert(Traits::replaces, "a replacement's body takes (const Previous<R(Args...)>&, id self, SEL _cmd, Args...)");
    using Signature = typename Traits::Signature;
    using Implementation = hook_detail::Replacement<Body, Signature>;
    return { row, HookKind::Replaced, &Implementation::function, &Implementation::previous, &hook_detail::CanonicalCheck<Signature>::encoding };
}

// A method added to a class that does not have it (an existing one is kept).
template<class Body>
constexpr HookDeclaration add(HookRow row, Body)
{
    using Traits = hook_detail::BodyTraits<Body>;
    static_assert(!Traits::replaces, "an added method's body takes (id self, SEL _cmd, Args...)");
    using Signature = typename Traits::Signature;
    using Implementation = hook_detail::Addition<Body, Signature>;
    return { row, HookKind::Added, &Implementation::function, nullptr, &hook_detail::CanonicalCheck<Signature>::encoding };
}

// Declares a hook and puts it into the library's hook section. Use inside an unnamed
// namespace: `KAVLOR_HOOK(name) = replace(...)` or `= add(...)`.
#define KAVLOR_HOOK(name)                                                                                 \
    extern const HookDeclaration name;                                                                    \
    [[gnu::used, gnu::section("kavlor_hooks")]] constinit const HookDeclaration* const name##InTable = &name; \
    constinit const HookDeclaration name
