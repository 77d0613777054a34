#include <gtest/gtest.h>

#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QTest>
#include <QToolButton>
#include <algorithm>
#include <climits>

#include "TestSupport.h"
#include "runtime/ClassRegistry.h"
#include "runtime/NotNil.h"
#include "runtime/PropertyTable.h"
#include "shell/PluginEntrypointNames.h"
#include "ui/Picture.h"
#include "window/ControlTables.h"

namespace {
QLineEdit* LineEdit(TextField& field) { return static_cast<QLineEdit*>(field.Widget()); }

// The leftmost and rightmost columns that hold a dark pixel, and the darkest lightness.
struct Ink {
    int left = INT_MAX, right = -1, lightness = 255;
};
Ink InkOf(const QImage& image) {
    Ink ink;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (const int l = image.pixelColor(x, y).lightness(); l < 128) {
                ink.left = std::min(ink.left, x);
                ink.right = std::max(ink.right, x);
                ink.lightness = std::min(ink.lightness, l);
            }
    return ink;
}

// Reads a design-time property table back into (name, value) entries, by the class's types.
std::vector<std::pair<std::string, PropertyValue>> Entries(const ClassInfo& cls, std::string_view table) {
    std::vector<std::pair<std::string, PropertyValue>> entries;
    size_t at = 0;
    auto number = [&](int bytes) {
        uint32_t value = 0;
        for (int i = 0; i < bytes; ++i) value = (value << 8) | static_cast<unsigned char>(table.at(at++));
        return value;
    };
    while (at < table.size()) {
        const size_t blank = table.find(' ', at);
        const std::string name(table.substr(at, blank - at));
        at = blank + 1;
        const Property* property = cls.FindProperty(name);
        if (!property) throw PropertyTableException("no property " + name);
        switch (property->type) {
            case PropertyType::Boolean: entries.emplace_back(property->name, number(1) == 1); break;
            case PropertyType::Integer: entries.emplace_back(property->name, static_cast<int32_t>(number(4))); break;
            case PropertyType::Color: {
                const uint32_t rgb = number(3);
                entries.emplace_back(property->name, Color{uint8_t(rgb >> 16), uint8_t(rgb >> 8), uint8_t(rgb)});
                break;
            }
            case PropertyType::String: {
                const uint32_t count = number(4);
                entries.emplace_back(property->name, String(table.substr(at, count)));
                at += count;
                break;
            }
        }
    }
    return entries;
}
}  // namespace

TEST_F(ProgramWindowTest, AFieldTakesFourDigitsFromTheUserButShowsTheProgramsTextWhole) {
    auto& field = NotNil(window().TextFieldMargL(), "TextFieldMargL");
    QTest::keyClicks(LineEdit(field), "12a3456");
    EXPECT_EQ(field.Text().Bytes(), "1234");

    field.SetText("123456");
    EXPECT_EQ(field.Text().Bytes(), "123456");
    EXPECT_EQ(LineEdit(field)->text(), "123456");
    LineEdit(field)->end(false);
    QTest::keyClicks(LineEdit(field), "7");
    EXPECT_EQ(field.Text().Bytes(), "123456");
    QTest::keyClick(LineEdit(field), Qt::Key_Backspace);  // a long value can still be shortened
    EXPECT_EQ(field.Text().Bytes(), "12345");

    EXPECT_THROW(field.SetMask("(999)"), UnsupportedOperationException);
}

TEST_F(ProgramWindowTest, AFieldShowsBlackTextOnWhiteAtItsRight) {
    auto& field = NotNil(window().TextFieldMargT(), "TextFieldMargT");
    field.SetText("1440");
    const QImage image = field.Widget()->grab().toImage();
    EXPECT_EQ(image.pixelColor(image.width() / 2, 4), QColor(Qt::white));
    const QImage inside = image.copy(3, 3, image.width() - 6, image.height() - 6);  // within the border
    const Ink ink = InkOf(inside);
    EXPECT_LT(ink.lightness, 40);
    EXPECT_LT(inside.width() - ink.right, ink.left);  // right-aligned
}

TEST_F(ProgramWindowTest, TheDropAreaDrawsItsPicture) {
    auto& drop = NotNil(window().CanvasDrop(), "CanvasDrop");
    const QImage picture = NotNil(drop.Backdrop(), "the backdrop").Image().convertToFormat(QImage::Format_ARGB32);
    const QImage shown = drop.Widget()->grab().toImage().convertToFormat(QImage::Format_ARGB32);
    int compared = 0;
    for (int y = 0; y < picture.height(); y += 8)
        for (int x = 0; x < picture.width(); x += 8)
            if (qAlpha(picture.pixel(x, y)) == 255) {
                EXPECT_EQ(shown.pixel(x, y), picture.pixel(x, y)) << x << "," << y;
                ++compared;
            }
    EXPECT_GT(compared, 0);
}

TEST_F(ProgramWindowTest, TheBevelButtonsMembersGoThroughTheAppearancePlugin) {
    for (const auto& [name, code] : FindBuiltInPlugin("AppearancePak.plugin:0")->entrypoints)
        EXPECT_NE(std::find(kPluginEntrypointNames.begin(), kPluginEntrypointNames.end(), name),
                  kPluginEntrypointNames.end()) << name;

    auto& send = NotNil(window().BevelButtonSend(), "BevelButtonSend");
    auto* button = static_cast<QToolButton*>(send.Widget());
    EXPECT_FALSE(button->icon().isNull());
    EXPECT_EQ(button->toolButtonStyle(), Qt::ToolButtonIconOnly);
    send.SetIcon(nullptr);
    EXPECT_EQ(send.Icon(), nullptr);
    EXPECT_TRUE(button->icon().isNull());

    RuntimeClearPlugins();
    EXPECT_THROW(send.SetIcon(nullptr), UnsupportedOperationException);
}

TEST_F(ProgramWindowTest, EveryControlReadsBackItsTable) {
    for (const char* name : {"PushButtonWeb", "CanvasDrop", "TextFieldMargR", "PushButtonChange", "LabelAuthor",
                             "LabelVersion", "BevelButtonClear"}) {
        // A control of its own, in a window of the framework's, with nothing but its table.
        const ClassInfo& cls = *window()._ControlByName(name)->Class();
        Ref<Object> control = window().__New(cls);
        CallVirtual<void>(*control, "Constructor");
        const std::string& table = ControlTable(name);
        RuntimeMassPropertySetter(*control, table);
        for (const auto& [property, value] : Entries(cls, table))
            EXPECT_EQ(cls.FindProperty(property)->get(*control), value) << name << "." << property;
    }
}

// A control takes a table's values first and shows them once it has read them all, even when
// the table turns out to be faulty half way: it is never left waiting for the table's end.
TEST_F(ProgramWindowTest, AControlShowsWhatATableGaveItEvenWhenTheTableFails) {
    auto& label = NotNil(window().LabelFile(), "LabelFile");
    auto* widget = static_cast<QLabel*>(label.Widget());
    const std::string table = PropertyTable().String("Text", "read.rtf").Integer("Heigth", 1).Bytes();

    EXPECT_THROW(RuntimeMassPropertySetter(label, table), PropertyTableException);
    EXPECT_EQ(widget->text(), "read.rtf");

    label.SetText("later.rtf");
    EXPECT_EQ(widget->text(), "later.rtf");
}

TEST(ControlTables, EncodeAsTheFrameworkReadsThem) {
    const std::string& web = ControlTable("PushButtonWeb");
    EXPECT_NE(web.find(std::string("Caption \0\0\0\x01W", 12)), std::string::npos);
    EXPECT_NE(web.find(std::string("Height \0\0\0\x1E", 11)), std::string::npos);
    EXPECT_NE(web.find(std::string("Index \x80\0\0\0", 10)), std::string::npos);
    EXPECT_EQ(ControlTable("PushButtonChange").find("Caption "), std::string::npos);
    EXPECT_EQ(ControlTable("LabelHelp").find("Text "), std::string::npos);
    EXPECT_NE(ControlTable("LabelFile").find("Multiline "), std::string::npos);
    EXPECT_THROW(ControlTable("PushButtonNone"), UnsupportedOperationException);
}

TEST_F(ProgramWindowTest, AMarginLabelDoesNotHideTheTopOfTheFieldBelowIt) {
    auto& field = NotNil(window().TextFieldMargT(), "TextFieldMargT");
    auto& label = NotNil(window().LabelMargT(), "LabelMargT");
    const int overlap = label.Top() + label.Height() - field.Top();
    ASSERT_EQ(overlap, 4);
    const QImage own = field.Widget()->grab().toImage().convertToFormat(QImage::Format_RGB32);
    const QImage whole = window().Widget()->grab().toImage().convertToFormat(QImage::Format_RGB32);
    for (int y = 0; y < overlap; ++y)
        for (int x = 0; x < own.width(); ++x)
            ASSERT_EQ(whole.pixel(field.Left() + x, field.Top() + y), own.pixel(x, y)) << x << "," << y;
}
