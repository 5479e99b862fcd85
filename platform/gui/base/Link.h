#pragma once
// Link: a control's handler {object, member}, kept in the control and copied aside before it is
// replaced.  A copyable std::function; calling an empty link does nothing and answers 0.
//
// Qt-free.

#include <functional>
#include <utility>

template <typename Arg>
class LinkOf {
public:
    LinkOf() = default;
    LinkOf(std::function<long(Arg)> f) : f_(std::move(f)) {}
    template <typename Obj>
    LinkOf(Obj* obj, long (Obj::*member)(Arg)) : f_([obj, member](Arg a) { return (obj->*member)(a); }) {}

    bool isSet() const { return static_cast<bool>(f_); }
    long call(Arg a) const { return f_ ? f_(a) : 0; }
    long operator()(Arg a) const { return call(a); }
    void clear() { f_ = nullptr; }

private:
    std::function<long(Arg)> f_;
};

// The usual handler receives the object that calls it (a control, a timer, a menu).
using Link = LinkOf<void*>;
