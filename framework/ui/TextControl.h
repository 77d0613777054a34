#pragma once

#include "RectControl.h"

// The text style that push buttons, fields and labels share. The run time knows no class of
// this name: each of the three registers these properties with its own class.
class TextControl : public RectControl {
public:
    bool Bold() const { return bold_; }
    void SetBold(bool value);
    bool Italic() const { return italic_; }
    void SetItalic(bool value);
    bool Underline() const { return underline_; }
    void SetUnderline(bool value);
    String TextFont() const { return textFont_; }  // "System" is the platform's font
    void SetTextFont(String value);
    // The unit of the text size. No size is set anywhere, so every unit gives the platform's
    // default size; the value is kept and can be read back.
    int32_t TextUnit() const { return textUnit_; }
    void SetTextUnit(int32_t value) { textUnit_ = value; }

    // The properties above, for the property table of each class that has them.
    static std::vector<Property> StyleProperties();

protected:
    void Apply() override;

private:
    bool bold_ = false, italic_ = false, underline_ = false;
    String textFont_ = "System";
    int32_t textUnit_ = 0;
};
