#include "PropertyTable.h"

#include <cctype>

#include "ClassInfo.h"

PropertyTable& PropertyTable::Boolean(std::string_view name, bool value) {
    Name(name);
    bytes_.push_back(value ? '\x01' : '\x00');
    return *this;
}

PropertyTable& PropertyTable::Integer(std::string_view name, int32_t value) {
    Name(name);
    BigEndian(static_cast<uint32_t>(value), 4);
    return *this;
}

PropertyTable& PropertyTable::Color(std::string_view name, uint32_t rgb) {
    Name(name);
    BigEndian(rgb, 3);
    return *this;
}

PropertyTable& PropertyTable::String(std::string_view name, std::string_view utf8) {
    Name(name);
    BigEndian(static_cast<uint32_t>(utf8.size()), 4);
    bytes_.append(utf8);
    return *this;
}

void PropertyTable::Name(std::string_view name) {
    bytes_.append(name);
    bytes_.push_back(' ');
}

void PropertyTable::BigEndian(uint32_t value, int bytes) {
    for (int shift = 8 * (bytes - 1); shift >= 0; shift -= 8)
        bytes_.push_back(static_cast<char>((value >> shift) & 0xFF));
}

namespace {
class TableReader {
public:
    TableReader(const ClassInfo& cls, std::string_view table) : cls_(cls), table_(table) {}

    void ApplyTo(Object& object) {
        while (at_ < table_.size()) {
            const size_t entryStart = at_;
            const std::string name = ReadName();
            const Property* property = cls_.FindProperty(name);
            if (!property) Fail("unknown property " + name + " of class " + cls_.name + AfterPrevious(), entryStart);
            if (!property->set) Fail("property " + name + " cannot be set", entryStart);
            property->set(object, ReadValue(*property));
            previous_ = property->name;
        }
    }

private:
    std::string ReadName() {
        const size_t start = at_;
        while (at_ < table_.size() && std::isalpha(static_cast<unsigned char>(table_[at_]))) ++at_;
        if (at_ == table_.size())
            Fail("the table ends inside the name " + std::string(table_.substr(start)), start);
        if (table_[at_] != ' ' || at_ == start) Fail("expected a property name and a blank" + AfterPrevious(), at_);
        ++at_;  // the blank
        return std::string(table_.substr(start, at_ - 1 - start));
    }

    PropertyValue ReadValue(const Property& property) {
        switch (property.type) {
            case PropertyType::Boolean: {
                const uint32_t byte = Unsigned(1, property);
                if (byte > 1) Fail("Boolean " + property.name + " is neither 00 nor 01", at_ - 1);
                return byte == 1;
            }
            case PropertyType::Integer: return static_cast<int32_t>(Unsigned(4, property));
            case PropertyType::Color: {
                const uint32_t rgb = Unsigned(3, property);
                return ::Color{uint8_t(rgb >> 16), uint8_t(rgb >> 8), uint8_t(rgb)};
            }
            case PropertyType::String: {
                const size_t count = Unsigned(4, property);
                if (table_.size() - at_ < count)
                    Fail("the table ends inside the text of " + property.name, at_);
                const std::string_view text = table_.substr(at_, count);
                at_ += count;
                return ::String(text);
            }
        }
        Fail("property " + property.name + " has no table form", at_);
    }

    uint32_t Unsigned(int bytes, const Property& property) {
        if (table_.size() - at_ < static_cast<size_t>(bytes))
            Fail("the table ends inside the " + std::string(PropertyTypeName(property.type)) +
                     " value of " + property.name, at_);
        uint32_t value = 0;
        for (int i = 0; i < bytes; ++i) value = (value << 8) | static_cast<unsigned char>(table_[at_++]);
        return value;
    }

    std::string AfterPrevious() const {
        // A value read with the wrong size leaves the reader in the middle of the next entry.
        return previous_.empty() ? std::string()
                                 : " after the value of " + previous_ + " (a value of the wrong size?)";
    }

    [[noreturn]] void Fail(const std::string& what, size_t offset) const {
        throw PropertyTableException(what + ", at byte " + std::to_string(offset));
    }

    const ClassInfo& cls_;
    std::string_view table_;
    size_t at_ = 0;
    std::string previous_;
};
}  // namespace

void RuntimeMassPropertySetter(Object& object, std::string_view table) {
    if (!object.Class()) throw PropertyTableException("the object has no registered class");
    object.BeginProperties();
    try {
        TableReader(*object.Class(), table).ApplyTo(object);
    } catch (...) {
        object.EndProperties();
        throw;
    }
    object.EndProperties();
}
