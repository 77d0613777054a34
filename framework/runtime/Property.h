#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <type_traits>
#include <variant>

#include "Object.h"
#include "String.h"

struct Color {
    uint8_t red = 0, green = 0, blue = 0;
    friend bool operator==(const Color&, const Color&) = default;
};

// The value types a design-time property table can carry.
enum class PropertyType { Boolean, Integer, Color, String };
using PropertyValue = std::variant<bool, int32_t, Color, String>;

const char* PropertyTypeName(PropertyType type);

// A property of a registered class: its name, declared type, and how to set and read it.
struct Property {
    std::string name;
    PropertyType type;
    std::function<void(Object&, const PropertyValue&)> set;
    std::function<PropertyValue(const Object&)> get;
};

namespace property_detail {
template <class T>
constexpr PropertyType TypeOf() {
    if constexpr (std::is_same_v<T, bool>) return PropertyType::Boolean;
    else if constexpr (std::is_same_v<T, int32_t>) return PropertyType::Integer;
    else if constexpr (std::is_same_v<T, Color>) return PropertyType::Color;
    else {
        static_assert(std::is_same_v<T, String>, "unsupported property type");
        return PropertyType::String;
    }
}
}  // namespace property_detail

// Makes a Property from a class's setter and getter, its type taken from the getter:
//   MakeProperty("Width", &RectControl::SetWidth, &RectControl::Width)
template <class C, class T, class A>
Property MakeProperty(std::string name, void (C::*setter)(A), T (C::*getter)() const) {
    return Property{
        std::move(name),
        property_detail::TypeOf<T>(),
        [setter](Object& self, const PropertyValue& value) {
            (static_cast<C&>(self).*setter)(std::get<T>(value));
        },
        [getter](const Object& self) -> PropertyValue {
            return (static_cast<const C&>(self).*getter)();
        },
    };
}
