#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "Object.h"
#include "Property.h"

// Builds a design-time property table: a run of entries, each a property's name, one blank and
// the value (Boolean 1 byte; Integer 4 bytes and Color 3 bytes, most significant first; String
// a 4-byte count and the bytes). The table carries no type marks: the class's declared types
// tell the reader how long each value is.
class PropertyTable {
public:
    PropertyTable& Boolean(std::string_view name, bool value);
    PropertyTable& Integer(std::string_view name, int32_t value);
    PropertyTable& Color(std::string_view name, uint32_t rgb);  // 0xRRGGBB
    PropertyTable& String(std::string_view name, std::string_view utf8);

    const std::string& Bytes() const { return bytes_; }

private:
    void Name(std::string_view name);
    void BigEndian(uint32_t value, int bytes);
    std::string bytes_;
};

// Applies a table to an object, entry by entry in order, through the setters of its class's
// properties (names matched without regard to letter case). An unknown name, a value that does
// not fit, or a table that ends inside an entry raises PropertyTableException naming the
// property and the byte offset; nothing is skipped.
void RuntimeMassPropertySetter(Object& object, std::string_view table);
