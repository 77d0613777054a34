#pragma once

#include "TextControl.h"

// A one-line text field. What the user types is held to the mask and to LimitText; the
// program's own SetText is taken whole. Return or Enter in it presses the window's enabled
// default button.
class TextField : public TextControl {
public:
    static const ClassInfo& ClassObject();  // registers the class on first use

    String Text() const;  // UTF-8
    void SetText(String value);

    // 0 default, 1 left, 2 centre, 3 right.
    int32_t Alignment() const { return alignment_; }
    void SetAlignment(int32_t value);
    // The most characters a user may type; 0 is no limit.
    int32_t LimitText() const { return limitText_; }
    void SetLimitText(int32_t value) { limitText_ = value; }
    // Empty, or digit places only ("0", "9", "#"): then a user types digits alone, at most one
    // for each place. Another mask raises UnsupportedOperationException.
    String Mask() const { return mask_; }
    void SetMask(String value);
    bool ReadOnly() const { return readOnly_; }
    void SetReadOnly(bool value);
    bool Password() const { return password_; }
    void SetPassword(bool value);
    bool Border() const { return border_; }
    void SetBorder(bool value);
    String CueText() const { return cueText_; }
    void SetCueText(String value);
    Color BackColor() const { return backColor_; }
    void SetBackColor(Color value);
    Color TextColor() const { return textColor_; }
    void SetTextColor(Color value);

    String DataField() const { return dataField_; }
    void SetDataField(String value) { dataField_ = std::move(value); }
    String DataSource() const { return dataSource_; }
    void SetDataSource(String value) { dataSource_ = std::move(value); }
    bool AutomaticallyCheckSpelling() const { return checkSpelling_; }
    void SetAutomaticallyCheckSpelling(bool value) { checkSpelling_ = value; }
    bool AcceptTabs() const { return acceptTabs_; }
    void SetAcceptTabs(bool value) { acceptTabs_ = value; }
    String Format() const { return format_; }
    void SetFormat(String value) { format_ = std::move(value); }
    bool UseFocusRing() const { return useFocusRing_; }
    void SetUseFocusRing(bool value) { useFocusRing_ = value; }

    // Whether a user's edit that changes the text before into the text edited is admitted: with
    // a mask, what it puts in must be digits, so that deleting is always admitted; and it may
    // make the text no longer than the limit, unless it shortens it.
    bool Admits(const String& edited, const String& before) const;
    void PressDefaultButton();  // Return or Enter in the field

protected:
    QWidget* MakeWidget(QWidget* parent) override;
    void Apply() override;

private:
    String text_;  // until the widget exists
    int32_t alignment_ = 0, limitText_ = 0;
    String mask_, cueText_, dataField_, dataSource_, format_;
    bool readOnly_ = false, password_ = false, border_ = true;
    bool checkSpelling_ = false, acceptTabs_ = false, useFocusRing_ = true;
    Color backColor_{255, 255, 255}, textColor_{0, 0, 0};
};
