#pragma once
// Blocks: objects that hold a callable. They are retained by whoever keeps them, and they
// hold strongly whatever their callable captured, as blocks do on the device.

#include "MessageSend.h"

#include <functional>

Class blockClass();

template<class Signature>
class Block;

template<class R, class... Args>
class Block<R(Args...)> : public objc_object {
public:
    explicit Block(std::function<R(Args...)> function)
        : objc_object(blockClass())
        , m_function(std::move(function))
    {
    }
    R operator()(Args... args) const { return m_function(std::forward<Args>(args)...); }

private:
    std::function<R(Args...)> m_function;
};

template<class Signature, class F>
id makeBlock(F&& function)
{
    return id(new Block<Signature>(std::function<Signature>(std::forward<F>(function))));
}

// Calls a block of the given signature; a nil block does nothing and answers zero.
template<class R = void, class... Args>
R callBlock(const id& block, Args&&... args)
{
    if (!block)
        return runtime_detail::zeroValue<R>();
    auto* typed = dynamic_cast<Block<R(CanonicalType<Args>...)>*>(block.get());
    if (!typed)
        throw RuntimeError("a block was called with arguments of another type");
    return (*typed)(CanonicalType<Args>(std::forward<Args>(args))...);
}
