#include <gtest/gtest.h>

#include "runtime/ClassRegistry.h"
#include "runtime/PropertyTable.h"

namespace {
// A class with one property of each table type.
class Sample : public Object {
public:
    static const ClassInfo& ClassObject() {
        if (const ClassInfo* cls = RuntimeFindClass("Sample")) return *cls;
        return ClassBuilder("Sample", nullptr, [] { return std::make_shared<Sample>(); })
            .Properties({
                MakeProperty("Visible", &Sample::SetVisible, &Sample::Visible),
                MakeProperty("Height", &Sample::SetHeight, &Sample::Height),
                MakeProperty("BackColor", &Sample::SetBackColor, &Sample::BackColor),
                MakeProperty("Caption", &Sample::SetCaption, &Sample::Caption),
                MakeProperty("MultiLine", &Sample::SetMultiLine, &Sample::MultiLine),
            })
            .Register();
    }
    bool Visible() const { return visible; }
    void SetVisible(bool v) { visible = v; applied.push_back("Visible"); }
    int32_t Height() const { return height; }
    void SetHeight(int32_t v) { height = v; applied.push_back("Height"); }
    Color BackColor() const { return color; }
    void SetBackColor(Color v) { color = v; applied.push_back("BackColor"); }
    String Caption() const { return caption; }
    void SetCaption(String v) { caption = v; applied.push_back("Caption"); }
    bool MultiLine() const { return multiLine; }
    void SetMultiLine(bool v) { multiLine = v; applied.push_back("MultiLine"); }

    bool visible = false, multiLine = false;
    int32_t height = 0;
    Color color;
    String caption;
    std::vector<std::string> applied;
};

Ref<Sample> NewSample() { return RuntimeCheckCast<Sample>(RuntimeNewObject(Sample::ClassObject())); }

std::string Bytes(std::initializer_list<int> bytes) {
    std::string s;
    for (int b : bytes) s.push_back(static_cast<char>(b));
    return s;
}
}  // namespace

TEST(PropertyTable, EncodesTheTwoExamplesByteForByte) {
    EXPECT_EQ(PropertyTable().String("Caption", "W").Bytes(), "Caption " + Bytes({0, 0, 0, 1, 0x57}));
    EXPECT_EQ(PropertyTable().Integer("Height", 30).Bytes(), "Height " + Bytes({0, 0, 0, 0x1E}));
    EXPECT_EQ(PropertyTable().Integer("Index", -2147483647 - 1).Color("C", 0xE2E2E2).Boolean("B", true).Bytes(),
              "Index " + Bytes({0x80, 0, 0, 0}) + "C " + Bytes({0xE2, 0xE2, 0xE2}) + "B " + Bytes({1}));
    EXPECT_EQ(PropertyTable().String("Text", "").Bytes(), "Text " + Bytes({0, 0, 0, 0}));
}

TEST(PropertyTable, AppliesEveryTypeInTableOrderWithNamesInAnyCase) {
    auto sample = NewSample();
    const std::string table = PropertyTable()
                                  .String("caption", "D\xC3\xA9poser")
                                  .Integer("HEIGHT", -2)
                                  .Color("BackColor", 0x0000FF)
                                  .Boolean("Multiline", true)
                                  .Boolean("Visible", true)
                                  .Bytes();
    RuntimeMassPropertySetter(*sample, table);

    EXPECT_EQ(sample->caption, String("D\xC3\xA9poser"));
    EXPECT_EQ(sample->height, -2);
    EXPECT_EQ(sample->color, (Color{0, 0, 255}));
    EXPECT_TRUE(sample->multiLine);
    EXPECT_TRUE(sample->visible);
    EXPECT_EQ(sample->applied, (std::vector<std::string>{"Caption", "Height", "BackColor", "MultiLine", "Visible"}));
}

TEST(PropertyTable, RefusesABadTableNamingThePropertyAndTheByte) {
    struct Case {
        const char* what;
        std::string table;
        const char* message;
    };
    const std::string height = PropertyTable().Integer("Height", 30).Bytes();
    const std::vector<Case> cases = {
        {"unknown name", PropertyTable().Integer("Heigth", 1).Bytes(), "unknown property Heigth of class Sample, at byte 0"},
        {"ends inside a name", height + "Visi", "the table ends inside the name Visi, at byte 11"},
        {"ends inside a value", height.substr(0, 9), "the table ends inside the Integer value of Height, at byte 7"},
        {"ends inside a text", PropertyTable().String("Caption", "Velloran").Bytes().substr(0, 14),
         "the table ends inside the text of Caption, at byte 12"},
        {"a value of the wrong size", PropertyTable().Boolean("Height", true).Boolean("Visible", true).Bytes(),
         "unknown property ible of class Sample after the value of Height (a value of the wrong size?), at byte 11"},
        {"a name that is no name", height + "1x " + Bytes({1}),
         "expected a property name and a blank after the value of Height (a value of the wrong size?), at byte 11"},
        {"a Boolean that is neither", "Visible " + Bytes({2}), "Boolean Visible is neither 00 nor 01, at byte 8"},
    };
    for (const Case& c : cases) {
        auto sample = NewSample();
        try {
            RuntimeMassPropertySetter(*sample, c.table);
            ADD_FAILURE() << c.what << ": no exception";
        } catch (const PropertyTableException& e) {
            EXPECT_STREQ(e.what(), c.message) << c.what;
        }
    }
}
