#pragma once

#include "TextControl.h"

// A static text. Its text is shown as plain text, never as markup. It is drawn over the controls
// made before it, but the mouse over an enabled one of them reaches that control.
class Label : public TextControl {
public:
    static const ClassInfo& ClassObject();  // registers the class on first use

    String Text() const { return text_; }
    void SetText(String value);
    // 0 left, 1 centre, 2 right.
    int32_t TextAlign() const { return textAlign_; }
    void SetTextAlign(int32_t value);
    Color TextColor() const { return textColor_; }
    void SetTextColor(Color value);
    bool Selectable() const { return selectable_; }
    void SetSelectable(bool value);
    bool Transparent() const { return transparent_; }
    void SetTransparent(bool value);
    bool MultiLine() const { return multiLine_; }
    void SetMultiLine(bool value);

    String DataField() const { return dataField_; }
    void SetDataField(String value) { dataField_ = std::move(value); }
    String DataSource() const { return dataSource_; }
    void SetDataSource(String value) { dataSource_ = std::move(value); }

protected:
    QWidget* MakeWidget(QWidget* parent) override;
    void Apply() override;

private:
    String text_, dataField_, dataSource_;
    int32_t textAlign_ = 0;
    Color textColor_{0, 0, 0};
    bool selectable_ = false, transparent_ = false, multiLine_ = false;
};
