#pragma once

#include <memory>

class ClassInfo;

// Every framework object is reference counted: a Ref holds it, and it is freed when the last
// Ref goes.
template <class T>
using Ref = std::shared_ptr<T>;

class Object : public std::enable_shared_from_this<Object> {
public:
    virtual ~Object() = default;

    // The registered class the object was made from, or nullptr for plain framework objects
    // (files, streams, pictures) that carry no run-time metadata.
    const ClassInfo* Class() const { return class_; }

    // Called before and after a property table is applied, so that an object can take all of
    // the table's values first and show them once, rather than once for every value.
    virtual void BeginProperties() {}
    virtual void EndProperties() {}

private:
    friend Ref<Object> RuntimeNewObject(const ClassInfo& cls);
    const ClassInfo* class_ = nullptr;
};
