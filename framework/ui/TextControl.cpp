#include "TextControl.h"

#include <QApplication>
#include <QWidget>

std::vector<Property> TextControl::StyleProperties() {
    return {
        MakeProperty("Bold", &TextControl::SetBold, &TextControl::Bold),
        MakeProperty("Italic", &TextControl::SetItalic, &TextControl::Italic),
        MakeProperty("Underline", &TextControl::SetUnderline, &TextControl::Underline),
        MakeProperty("TextFont", &TextControl::SetTextFont, &TextControl::TextFont),
        MakeProperty("TextUnit", &TextControl::SetTextUnit, &TextControl::TextUnit),
    };
}

void TextControl::SetBold(bool value) { bold_ = value; Changed(); }
void TextControl::SetItalic(bool value) { italic_ = value; Changed(); }
void TextControl::SetUnderline(bool value) { underline_ = value; Changed(); }
void TextControl::SetTextFont(String value) { textFont_ = std::move(value); Changed(); }

void TextControl::Apply() {
    RectControl::Apply();
    if (!HasWidget()) return;
    QFont font = QApplication::font(Widget());
    if (textFont_.View() != "System" && !textFont_.IsEmpty()) font.setFamily(QString::fromStdString(textFont_.Bytes()));
    font.setBold(bold_);
    font.setItalic(italic_);
    font.setUnderline(underline_);
    Widget()->setFont(font);
}
