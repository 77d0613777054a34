#include "TextControl.h"

#include <QApplication>
#include <QWidget>

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
