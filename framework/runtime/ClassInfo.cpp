#include "ClassInfo.h"

#include <algorithm>
#include <cctype>

namespace {
bool SameIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}
}  // namespace

const VirtualOperation* ClassInfo::FindVirtual(std::string_view operation) const {
    // A subclass's own operations come after the inherited ones, so the last match overrides.
    auto found = std::find_if(vtable.rbegin(), vtable.rend(),
                              [&](const VirtualOperation& op) { return op.name == operation; });
    return found == vtable.rend() ? nullptr : &*found;
}

const Property* ClassInfo::FindProperty(std::string_view propertyName) const {
    for (const ClassInfo* c = this; c; c = c->base)
        for (const Property& p : c->properties)
            if (SameIgnoringCase(p.name, propertyName)) return &p;
    return nullptr;
}

const std::string* ClassInfo::HookFor(std::string_view event) const {
    for (const ClassInfo* c = this; c; c = c->base)
        for (const auto& [hooked, handler] : c->eventHooks)
            if (hooked == event) return &handler;
    return nullptr;
}

int ClassInfo::EventNumber(std::string_view event) const {
    auto found = std::find(events.begin(), events.end(), event);
    return found == events.end() ? -1 : static_cast<int>(found - events.begin());
}

const char* PropertyTypeName(PropertyType type) {
    switch (type) {
        case PropertyType::Boolean: return "Boolean";
        case PropertyType::Integer: return "Integer";
        case PropertyType::Color: return "Color";
        case PropertyType::String: return "String";
    }
    return "?";
}
