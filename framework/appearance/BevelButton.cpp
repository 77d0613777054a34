#include "BevelButton.h"

#include <QApplication>
#include <QToolButton>

#include "runtime/ClassRegistry.h"
#include "runtime/Plugins.h"
#include "ui/Picture.h"

const ClassInfo& BevelButton::ClassObject() {
    if (const ClassInfo* cls = RuntimeFindClass("BevelButton")) return *cls;
    return ClassBuilder("BevelButton", &RectControl::ClassObject(), [] { return std::make_shared<BevelButton>(); })
        .Events({"MouseUp", "MouseDown", "Action"})
        .Properties({
            MakeProperty("Caption", &BevelButton::SetCaption, &BevelButton::Caption),
            MakeProperty("TextUnit", &BevelButton::SetTextUnit, &BevelButton::TextUnit),
            MakeProperty("Bold", &BevelButton::SetBold, &BevelButton::Bold),
            MakeProperty("Italic", &BevelButton::SetItalic, &BevelButton::Italic),
            MakeProperty("Underline", &BevelButton::SetUnderline, &BevelButton::Underline),
            MakeProperty("TextFont", &BevelButton::SetTextFont, &BevelButton::TextFont),
            MakeProperty("AcceptFocus", &BevelButton::SetAcceptFocus, &BevelButton::AcceptFocus),
            MakeProperty("ButtonType", &BevelButton::SetButtonType, &BevelButton::ButtonType),
            MakeProperty("MenuValue", &BevelButton::SetMenuValue, &BevelButton::MenuValue),
            MakeProperty("Value", &BevelButton::SetValue, &BevelButton::Value),
            MakeProperty("TextColor", &BevelButton::SetTextColor, &BevelButton::TextColor),
            MakeProperty("BackColor", &BevelButton::SetBackColor, &BevelButton::BackColor),
            MakeProperty("HasBackColor", &BevelButton::SetHasBackColor, &BevelButton::HasBackColor),
            MakeProperty("HasMenu", &BevelButton::SetHasMenu, &BevelButton::HasMenu),
            MakeProperty("Bevel", &BevelButton::SetBevel, &BevelButton::Bevel),
            MakeProperty("IconDX", &BevelButton::SetIconDX, &BevelButton::IconDX),
            MakeProperty("IconDY", &BevelButton::SetIconDY, &BevelButton::IconDY),
            MakeProperty("IconAlign", &BevelButton::SetIconAlign, &BevelButton::IconAlign),
            MakeProperty("CaptionDelta", &BevelButton::SetCaptionDelta, &BevelButton::CaptionDelta),
            MakeProperty("CaptionPlacement", &BevelButton::SetCaptionPlacement, &BevelButton::CaptionPlacement),
            MakeProperty("CaptionAlign", &BevelButton::SetCaptionAlign, &BevelButton::CaptionAlign),
        })
        .Declare("Icon", "Picture", {})
        .Register();
}

template <class T>
T BevelButton::Get(std::string_view member) const {
    return CallPluginEntrypoint<T, const BevelButton&>(member, *this);
}

template <class T>
void BevelButton::Set(std::string_view member, T value) {
    CallPluginEntrypoint<void, BevelButton&, T>(member, *this, std::move(value));
}

Ref<Picture> BevelButton::Icon() const { return Get<Ref<Picture>>("BevelButton.Icon.Get"); }
void BevelButton::SetIcon(Ref<Picture> value) { Set("BevelButton.Icon.Set", std::move(value)); }
String BevelButton::Caption() const { return Get<String>("BevelButton.Caption.Get"); }
void BevelButton::SetCaption(String value) { Set("BevelButton.Caption.Set", std::move(value)); }
int32_t BevelButton::TextUnit() const { return Get<int32_t>("BevelButton.TextUnit.Get"); }
void BevelButton::SetTextUnit(int32_t value) { Set("BevelButton.TextUnit.Set", value); }
bool BevelButton::Bold() const { return Get<bool>("BevelButton.Bold.Get"); }
void BevelButton::SetBold(bool value) { Set("BevelButton.Bold.Set", value); }
bool BevelButton::Italic() const { return Get<bool>("BevelButton.Italic.Get"); }
void BevelButton::SetItalic(bool value) { Set("BevelButton.Italic.Set", value); }
bool BevelButton::Underline() const { return Get<bool>("BevelButton.Underline.Get"); }
void BevelButton::SetUnderline(bool value) { Set("BevelButton.Underline.Set", value); }
String BevelButton::TextFont() const { return Get<String>("BevelButton.TextFont.Get"); }
void BevelButton::SetTextFont(String value) { Set("BevelButton.TextFont.Set", std::move(value)); }
bool BevelButton::AcceptFocus() const { return Get<bool>("BevelButton.AcceptFocus.Get"); }
void BevelButton::SetAcceptFocus(bool value) { Set("BevelButton.AcceptFocus.Set", value); }
int32_t BevelButton::ButtonType() const { return Get<int32_t>("BevelButton.ButtonType.Get"); }
void BevelButton::SetButtonType(int32_t value) { Set("BevelButton.ButtonType.Set", value); }
int32_t BevelButton::MenuValue() const { return Get<int32_t>("BevelButton.MenuValue.Get"); }
void BevelButton::SetMenuValue(int32_t value) { Set("BevelButton.MenuValue.Set", value); }
bool BevelButton::Value() const { return Get<bool>("BevelButton.Value.Get"); }
void BevelButton::SetValue(bool value) { Set("BevelButton.Value.Set", value); }
Color BevelButton::TextColor() const { return Get<Color>("BevelButton.TextColor.Get"); }
void BevelButton::SetTextColor(Color value) { Set("BevelButton.TextColor.Set", value); }
Color BevelButton::BackColor() const { return Get<Color>("BevelButton.BackColor.Get"); }
void BevelButton::SetBackColor(Color value) { Set("BevelButton.BackColor.Set", value); }
bool BevelButton::HasBackColor() const { return Get<bool>("BevelButton.HasBackColor.Get"); }
void BevelButton::SetHasBackColor(bool value) { Set("BevelButton.HasBackColor.Set", value); }
int32_t BevelButton::HasMenu() const { return Get<int32_t>("BevelButton.HasMenu.Get"); }
void BevelButton::SetHasMenu(int32_t value) { Set("BevelButton.HasMenu.Set", value); }
int32_t BevelButton::Bevel() const { return Get<int32_t>("BevelButton.Bevel.Get"); }
void BevelButton::SetBevel(int32_t value) { Set("BevelButton.Bevel.Set", value); }
int32_t BevelButton::IconDX() const { return Get<int32_t>("BevelButton.IconDX.Get"); }
void BevelButton::SetIconDX(int32_t value) { Set("BevelButton.IconDX.Set", value); }
int32_t BevelButton::IconDY() const { return Get<int32_t>("BevelButton.IconDY.Get"); }
void BevelButton::SetIconDY(int32_t value) { Set("BevelButton.IconDY.Set", value); }
int32_t BevelButton::IconAlign() const { return Get<int32_t>("BevelButton.IconAlign.Get"); }
void BevelButton::SetIconAlign(int32_t value) { Set("BevelButton.IconAlign.Set", value); }
int32_t BevelButton::CaptionDelta() const { return Get<int32_t>("BevelButton.CaptionDelta.Get"); }
void BevelButton::SetCaptionDelta(int32_t value) { Set("BevelButton.CaptionDelta.Set", value); }
int32_t BevelButton::CaptionPlacement() const { return Get<int32_t>("BevelButton.CaptionPlacement.Get"); }
void BevelButton::SetCaptionPlacement(int32_t value) { Set("BevelButton.CaptionPlacement.Set", value); }
int32_t BevelButton::CaptionAlign() const { return Get<int32_t>("BevelButton.CaptionAlign.Get"); }
void BevelButton::SetCaptionAlign(int32_t value) { Set("BevelButton.CaptionAlign.Set", value); }

void BevelButton::Push() { RaiseEvent<BevelButton&>(kActionEvent, *this); }

QWidget* BevelButton::MakeWidget(QWidget* parent) {
    auto* button = new QToolButton(parent);
    QObject::connect(button, &QToolButton::clicked, button, [this] { Push(); });
    return button;
}

void BevelButton::Apply() {
    RectControl::Apply();
    Restyle();
}

void BevelButton::Restyle() {
    if (!HasWidget()) return;
    auto* button = static_cast<QToolButton*>(Widget());
    const State& s = state_;
    button->setIcon(s.icon ? QIcon(QPixmap::fromImage(s.icon->Image())) : QIcon());
    if (s.icon) button->setIconSize(s.icon->Image().size());
    button->setText(QString::fromStdString(s.caption.Bytes()).replace('&', QStringLiteral("&&")));
    button->setToolButtonStyle(s.caption.IsEmpty() ? Qt::ToolButtonIconOnly
                               : s.icon             ? Qt::ToolButtonTextBesideIcon
                                                    : Qt::ToolButtonTextOnly);
    QFont font = QApplication::font(button);
    if (s.textFont.View() != "System" && !s.textFont.IsEmpty()) font.setFamily(QString::fromStdString(s.textFont.Bytes()));
    font.setBold(s.bold);
    font.setItalic(s.italic);
    font.setUnderline(s.underline);
    button->setFont(font);
    QPalette palette = QApplication::palette(button);
    palette.setColor(QPalette::ButtonText, QColor(s.textColor.red, s.textColor.green, s.textColor.blue));
    if (s.hasBackColor) palette.setColor(QPalette::Button, QColor(s.backColor.red, s.backColor.green, s.backColor.blue));
    button->setPalette(palette);
    if (!s.acceptFocus) button->setFocusPolicy(Qt::NoFocus);
}
