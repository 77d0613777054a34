#include "ClassRegistry.h"

#include "Trace.h"

namespace {
std::vector<std::unique_ptr<ClassInfo>>& Registry() {
    static std::vector<std::unique_ptr<ClassInfo>> classes;
    return classes;
}
}  // namespace

const ClassInfo* RuntimeFindClass(std::string_view name) {
    for (const auto& cls : Registry())
        if (cls->name == name) return cls.get();
    return nullptr;
}

const ClassInfo& RuntimeRegisterClass(std::unique_ptr<ClassInfo> cls) {
    if (const ClassInfo* existing = RuntimeFindClass(cls->name)) return *existing;
    RuntimeTrace("RegisterClass " + cls->name);
    Registry().push_back(std::move(cls));
    return *Registry().back();
}

std::vector<const ClassInfo*> RuntimeRegisteredClasses() {
    std::vector<const ClassInfo*> classes;
    for (const auto& cls : Registry()) classes.push_back(cls.get());
    return classes;
}

void RuntimeClearClasses() { Registry().clear(); }

Ref<Object> RuntimeNewObject(const ClassInfo& cls) {
    if (!cls.allocate) throw UnsupportedOperationException("class " + cls.name + " cannot be instantiated");
    Ref<Object> object = cls.allocate();
    object->class_ = &cls;
    return object;
}

ClassBuilder::ClassBuilder(std::string name, const ClassInfo* base, std::function<Ref<Object>()> allocate)
    : cls_(std::make_unique<ClassInfo>()) {
    cls_->name = std::move(name);
    cls_->base = base;
    cls_->allocate = std::move(allocate);
    if (base) {
        cls_->events = base->events;
        cls_->vtable = base->vtable;
    }
}

ClassBuilder& ClassBuilder::Attribute(std::string name, std::string value) {
    cls_->attributes.push_back({std::move(name), std::move(value)});
    return *this;
}

ClassBuilder& ClassBuilder::Method(std::string name, MemberKind kind, std::string signature,
                                   std::vector<struct Attribute> attributes) {
    cls_->members.push_back({std::move(name), kind, std::move(signature), std::move(attributes)});
    return *this;
}

ClassBuilder& ClassBuilder::Virtual(VirtualOperation op) {
    cls_->vtable.push_back(std::move(op));
    return *this;
}

ClassBuilder& ClassBuilder::Events(std::vector<std::string> ownEvents) {
    cls_->events.insert(cls_->events.end(), ownEvents.begin(), ownEvents.end());
    return *this;
}

ClassBuilder& ClassBuilder::Hook(std::string event, std::string handler) {
    if (cls_->EventNumber(event) < 0)
        throw UnsupportedOperationException("class " + cls_->name + " has no event " + event + " to hook");
    cls_->eventHooks.emplace_back(std::move(event), std::move(handler));
    return *this;
}

ClassBuilder& ClassBuilder::Properties(std::vector<Property> properties) {
    for (auto& p : properties) cls_->properties.push_back(std::move(p));
    return *this;
}

ClassBuilder& ClassBuilder::Declare(std::string name, std::string type, std::vector<struct Attribute> attributes) {
    cls_->declaredProperties.push_back({std::move(name), std::move(type), std::move(attributes)});
    return *this;
}

const ClassInfo& ClassBuilder::Register() { return RuntimeRegisterClass(std::move(cls_)); }
