#include <gtest/gtest.h>

#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QTest>
#include <QToolButton>
#include <QWindow>
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

TEST_F(ProgramWindowTest, DeletingInAFieldAlwaysWorksAndWhatIsTypedMustBeDigitsUpToFour) {
    struct Case {
        const char* text;
        int start, selected;  // the cursor, and how many characters after it are selected
        Qt::Key key;          // pressed first, unless Qt::Key_unknown
        const char* typed;
        const char* result;
    };
    const Case cases[] = {
        {"-360", 4, 0, Qt::Key_Backspace, "", "-36"},
        {"-360", 0, 0, Qt::Key_Delete, "", "360"},
        {"-360", 1, 2, Qt::Key_Backspace, "", "-0"},
        {"-360", 0, 4, Qt::Key_unknown, "7", "7"},
        {"-360", 0, 1, Qt::Key_unknown, "7", "7360"},
        {"-360", 4, 0, Qt::Key_unknown, "5", "-360"},  // a fifth character
        {"-36", 3, 0, Qt::Key_unknown, "5x", "-365"},
        {"-36", 1, 0, Qt::Key_unknown, "-", "-36"},
        {"12 3", 2, 0, Qt::Key_Delete, "", "123"},
    };
    auto& field = NotNil(window().TextFieldMargL(), "TextFieldMargL");
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.text) + " at " + std::to_string(c.start) + ", then " + c.typed);
        field.SetText(c.text);
        LineEdit(field)->setSelection(c.start, c.selected);
        if (c.key != Qt::Key_unknown) QTest::keyClick(LineEdit(field), c.key);
        QTest::keyClicks(LineEdit(field), c.typed);
        EXPECT_EQ(field.Text().Bytes(), c.result);
    }
}

// The margin labels lie over the edges of their fields and the maker's name over the lower half
// of the web button; the events come through the window as the window system sends them.
TEST_F(ProgramWindowTest, TheMouseOverAControlBeneathALabelReachesTheControl) {
    QWindow* handle = window().Widget()->windowHandle();
    ASSERT_NE(handle, nullptr);
    auto& web = NotNil(window().PushButtonWeb(), "PushButtonWeb");
    auto& author = NotNil(window().LabelAuthor(), "LabelAuthor");
    ASSERT_TRUE(author.Widget()->geometry().contains(29, 308));
    const QPoint kNowhere(5, 180);  // on no control: the pointer comes from there

    struct Click {
        QPoint at;
        bool webEnabled, opens;
    };
    const Click clicks[] = {
        {{29, 308}, true, true}, {{29, 292}, true, true}, {{29, 318}, true, false},
        {{50, 310}, true, false}, {{29, 308}, false, false},
    };
    for (const Click& click : clicks) {
        SCOPED_TRACE(std::to_string(click.at.x()) + "," + std::to_string(click.at.y()));
        web.SetEnabled(click.webEnabled);
        Recorded().calls.clear();
        QTest::mouseMove(handle, kNowhere);
        QTest::mouseMove(handle, click.at);
        EXPECT_EQ(web.Widget()->underMouse(), click.opens);  // and so its help tag shows
        QTest::mouseClick(handle, Qt::LeftButton, {}, click.at);
        EXPECT_EQ(Recorded().calls, click.opens ? std::vector<std::string>{"OpenURL http://example.org/durodiz/"}
                                                : std::vector<std::string>{});
    }
    web.SetEnabled(true);

    // Where the label overlaps no control, its text is still selected by the mouse: from there
    // the drag goes on over the button.
    QTest::mousePress(handle, Qt::LeftButton, {}, QPoint(60, 310));
    QTest::mouseMove(handle, QPoint(14, 310));
    QTest::mouseRelease(handle, Qt::LeftButton, {}, QPoint(14, 310));
    EXPECT_TRUE(Recorded().calls.empty());
    EXPECT_EQ(static_cast<QLabel*>(author.Widget())->selectedText(), "Zell");

    struct Edge {
        Ref<TextField> field;
        Ref<Label> label;
        QPoint at;
    };
    const Edge edges[] = {
        {window().TextFieldMargT(), window().LabelMargT(), {141, 47}},
        {window().TextFieldMargL(), window().LabelMargL(), {42, 124}},
        {window().TextFieldMargB(), window().LabelMargB(), {141, 222}},
    };
    for (const Edge& edge : edges) {
        auto& field = NotNil(edge.field);
        SCOPED_TRACE(field.Name().Bytes());
        ASSERT_TRUE(NotNil(edge.label).Widget()->geometry().contains(edge.at));
        NotNil(window().TextFieldMargR()).Widget()->setFocus();
        field.SetText("");
        QTest::mouseClick(handle, Qt::LeftButton, {}, edge.at);
        EXPECT_EQ(window().Widget()->focusWidget(), field.Widget());
        for (char key : std::string("567")) QTest::keyClick(handle, key);
        EXPECT_EQ(field.Text().Bytes(), "567");
    }
    EXPECT_EQ(NotNil(window().TextFieldMargR()).Text().Bytes(), "");
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

// A label that is neither selectable nor has a help tag leaves the mouse to what lies beneath
// it, here the window; given a help tag or made selectable, it takes the mouse where no control
// lies beneath it, so that its tag shows and its text can be selected.
TEST_F(ProgramWindowTest, ALabelTakesTheMouseOnlyWhileItHasAUseForIt) {
    QWindow* handle = window().Widget()->windowHandle();
    ASSERT_NE(handle, nullptr);
    auto& file = NotNil(window().LabelFile(), "LabelFile");
    const QPoint at(141, 263), kNowhere(5, 180);
    ASSERT_TRUE(file.Widget()->geometry().contains(at));

    struct Step {
        const char* helpTag;
        bool selectable, takesMouse;
    };
    const Step steps[] = {
        {"", false, false}, {"The document's name", false, true}, {"", false, false}, {"", true, true},
        {"", false, false},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(std::string(step.helpTag) + (step.selectable ? ", selectable" : ""));
        file.SetHelpTag(step.helpTag);
        file.SetSelectable(step.selectable);
        QTest::mouseMove(handle, kNowhere);
        QTest::mouseMove(handle, at);
        EXPECT_EQ(file.Widget()->underMouse(), step.takesMouse);
    }
}
