#pragma once

#include <any>
#include <functional>
#include <map>
#include <memory>
#include <vector>

#include "Delegate.h"
#include "runtime/ClassInfo.h"
#include "runtime/Runtime.h"

class Window;

// The base of every control. Its events are numbered in the order of its class's event list
// (Close 0, CreatePane 1, Open 2, then the subclasses' own); handlers are added at run time.
class Control : public Object {
public:
    static const ClassInfo& ClassObject();

    void SetOwner(Window& window);
    Ref<Window> Owner() const { return owner_.lock(); }

    int32_t Index() const { return index_; }
    void SetIndex(int32_t value) { index_ = value; }
    String Name() const { return name_; }
    void SetName(String value) { name_ = std::move(value); }

    // Raised by the window once all its controls exist. A class whose Open handlers take the
    // control as its own class raises the event with that shape.
    virtual void Open();

    // Adds a handler of the given shape to the event with the number given.
    template <class... A>
    void AddEventHandler(int event, Ref<Delegate> delegate) {
        handlers_[event].push_back(std::function<void(A...)>(
            [delegate](A... args) { EventShape<A...>::Invoke(*delegate, args...); }));
    }

    // Calls the handlers of an event, each through the run time's dispatch. Returns whether
    // any was called.
    template <class... A>
    bool RaiseEvent(int event, A... args) {
        auto found = handlers_.find(event);
        if (found == handlers_.end()) return false;
        for (const std::any& handler : found->second) {
            RuntimeDispatch([&] {
                const auto* call = std::any_cast<std::function<void(A...)>>(&handler);
                if (!call) throw IllegalCastException("event " + std::to_string(event) + " raised with another shape");
                (*call)(args...);
            });
        }
        return true;
    }

    static constexpr int kOpenEvent = 2;

private:
    std::weak_ptr<Window> owner_;
    std::map<int, std::vector<std::any>> handlers_;
    int32_t index_ = -2147483647 - 1;
    String name_;
};

// Adds a handler to a control's event: RuntimeAddEventHandler<EventShape<PushButton&>>(button, 15, delegate).
template <class... A>
void RuntimeAddEventHandlerOfShape(Control& control, int event, Ref<Delegate> delegate, EventShape<A...>*) {
    control.AddEventHandler<A...>(event, std::move(delegate));
}
template <class Shape>
void RuntimeAddEventHandler(Control& control, int event, Ref<Delegate> delegate) {
    RuntimeAddEventHandlerOfShape(control, event, std::move(delegate), static_cast<Shape*>(nullptr));
}
