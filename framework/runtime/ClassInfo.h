#pragma once

#include <any>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "Object.h"
#include "Property.h"
#include "RuntimeException.h"

struct Attribute {
    std::string name;
    std::string value;  // empty for attributes without a value ("Hidden", "__Shared")
};

enum class MemberKind { Instance, Shared };

struct Member {
    std::string name;
    MemberKind kind;
    std::string signature;
    std::vector<Attribute> attributes;
};

// One entry of a virtual table: the operation's name and its code, a
// std::function<R(Object&, A...)> kept type-erased so one table holds every signature.
struct VirtualOperation {
    std::string name;
    std::any code;
};

// The declared type of an object-valued property ("FolderItem", "TextInputStream", ...), kept
// as metadata; these properties are reached in C++ directly, not by name.
struct DeclaredProperty {
    std::string name;
    std::string type;
    std::vector<Attribute> attributes;
};

// A registered class: name, base, members, properties, events, event hooks and virtual
// table, in the order in which they were declared.
class ClassInfo {
public:
    std::string name;
    const ClassInfo* base = nullptr;
    std::function<Ref<Object>()> allocate;  // an object of the class, not yet constructed
    std::vector<Attribute> attributes;
    std::vector<Member> members;            // the class's own, after the base's
    std::vector<Property> properties;       // settable by name, the class's own
    std::vector<DeclaredProperty> declaredProperties;
    std::vector<std::string> events;        // the events the class raises, inherited first
    std::vector<std::pair<std::string, std::string>> eventHooks;  // event -> handler operation
    std::vector<VirtualOperation> vtable;   // the base's operations first

    const VirtualOperation* FindVirtual(std::string_view operation) const;
    const Property* FindProperty(std::string_view propertyName) const;  // letter case ignored
    const std::string* HookFor(std::string_view event) const;
    int EventNumber(std::string_view event) const;  // -1 when the class raises no such event
};

// A virtual-table entry made from a member function of C.
template <class C, class R, class... A>
VirtualOperation Virtual(std::string name, R (C::*method)(A...)) {
    std::function<R(Object&, A...)> code = [method](Object& self, A... args) -> R {
        return (static_cast<C&>(self).*method)(std::forward<A>(args)...);
    };
    return {std::move(name), std::move(code)};
}

// Calls an operation through the object's virtual table: CallVirtual<bool, Ref<FolderItem>>(w, "Margins", item).
template <class R, class... A>
R CallVirtual(Object& self, std::string_view operation, std::type_identity_t<A>... args) {
    const ClassInfo* cls = self.Class();
    const VirtualOperation* op = cls ? cls->FindVirtual(operation) : nullptr;
    if (!op) throw UnsupportedOperationException("no virtual operation " + std::string(operation));
    const auto* code = std::any_cast<std::function<R(Object&, A...)>>(&op->code);
    if (!code) throw IllegalCastException("virtual operation " + std::string(operation) + " called with the wrong signature");
    return (*code)(self, std::forward<A>(args)...);
}

// Raises a class-level event: calls the handler that the object's class hooked to it.
// Returns false when no class in the chain handles the event.
template <class... A>
bool RaiseClassEvent(Object& self, std::string_view event, std::type_identity_t<A>... args) {
    const std::string* handler = self.Class() ? self.Class()->HookFor(event) : nullptr;
    if (!handler) return false;
    CallVirtual<void, A...>(self, *handler, std::forward<A>(args)...);
    return true;
}
