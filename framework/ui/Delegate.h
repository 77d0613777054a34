#pragma once

#include <any>
#include <functional>
#include <string>

#include "runtime/ClassInfo.h"

// A method bound to the object it runs on. The delegate holds its target weakly: once the
// target is gone, calling the delegate raises NilObjectException instead.
struct Delegate {
    std::weak_ptr<Object> target;
    std::any method;         // the std::function<void(Object&, A...)> of a virtual-table entry
    std::string parameters;  // the parameter text, "( PushButton )"
};

// The routines that serve one parameter shape: Invoke calls a delegate with the event's
// arguments, Dispatch is what a control's event calls. EventShape<PushButton&> serves every
// handler that takes one push button.
template <class... A>
struct EventShape {
    static void Invoke(const Delegate& delegate, A... args) {
        Ref<Object> target = delegate.target.lock();
        if (!target) throw NilObjectException("the object that handles this event no longer exists");
        const auto* method = std::any_cast<std::function<void(Object&, A...)>>(&delegate.method);
        if (!method) throw IllegalCastException("the handler does not take " + delegate.parameters);
        (*method)(*target, args...);
    }
};

// Makes a delegate for a handler of the shape given. A handler of another shape is refused here,
// when the event is wired, rather than when the event first fires.
template <class... A>
Ref<Delegate> RuntimeCreateDelegateOfShape(const VirtualOperation& method, const Ref<Object>& target,
                                           std::string parameters, EventShape<A...>*) {
    if (!std::any_cast<std::function<void(Object&, A...)>>(&method.code))
        throw IllegalCastException("the handler " + method.name + " does not take " + parameters);
    return std::make_shared<Delegate>(Delegate{target, method.code, std::move(parameters)});
}
template <class Shape>
Ref<Delegate> RuntimeCreateDelegate(const VirtualOperation& method, const Ref<Object>& target,
                                    std::string parameters) {
    return RuntimeCreateDelegateOfShape(method, target, std::move(parameters), static_cast<Shape*>(nullptr));
}
