#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "ClassInfo.h"

// The run time's registry of classes. A class is registered once, after its base; a second
// registration of the same name changes nothing.
const ClassInfo* RuntimeFindClass(std::string_view name);
const ClassInfo& RuntimeRegisterClass(std::unique_ptr<ClassInfo> cls);
std::vector<const ClassInfo*> RuntimeRegisteredClasses();  // in registration order
void RuntimeClearClasses();  // for tests: no object of a registered class may be left

// A new object of the class, not yet constructed: its Constructor runs through the virtual table.
Ref<Object> RuntimeNewObject(const ClassInfo& cls);

// The type-checked cast: nil stays nil, an object of another class raises IllegalCastException.
template <class T>
Ref<T> RuntimeCheckCast(const Ref<Object>& object) {
    if (!object) return nullptr;
    if (auto cast = std::dynamic_pointer_cast<T>(object)) return cast;
    const ClassInfo* cls = object->Class();
    throw IllegalCastException("cannot cast an object of class " +
                               (cls ? cls->name : std::string("(unregistered)")) +
                               " to the requested class");
}

// Helps a class's registration function: starts a class that inherits its base's members,
// events and virtual table, and appends the class's own.
class ClassBuilder {
public:
    ClassBuilder(std::string name, const ClassInfo* base, std::function<Ref<Object>()> allocate);

    ClassBuilder& Attribute(std::string name, std::string value = {});
    ClassBuilder& Method(std::string name, MemberKind kind, std::string signature,
                         std::vector<struct Attribute> attributes);
    ClassBuilder& Virtual(VirtualOperation op);
    ClassBuilder& Events(std::vector<std::string> ownEvents);
    ClassBuilder& Hook(std::string event, std::string handler);
    ClassBuilder& Properties(std::vector<Property> properties);
    ClassBuilder& Declare(std::string name, std::string type, std::vector<struct Attribute> attributes);

    const ClassInfo& Register();

private:
    std::unique_ptr<ClassInfo> cls_;
};
