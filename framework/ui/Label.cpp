#include "Label.h"

#include <QLabel>

#include "runtime/ClassRegistry.h"

const ClassInfo& Label::ClassObject() {
    if (const ClassInfo* cls = RuntimeFindClass("Label")) return *cls;
    return ClassBuilder("Label", &RectControl::ClassObject(), [] { return std::make_shared<Label>(); })
        .Properties({
            MakeProperty("Text", &Label::SetText, &Label::Text),
            MakeProperty("TextAlign", &Label::SetTextAlign, &Label::TextAlign),
            MakeProperty("TextColor", &Label::SetTextColor, &Label::TextColor),
            MakeProperty("Selectable", &Label::SetSelectable, &Label::Selectable),
            MakeProperty("Transparent", &Label::SetTransparent, &Label::Transparent),
            MakeProperty("MultiLine", &Label::SetMultiLine, &Label::MultiLine),
            MakeProperty("DataField", &Label::SetDataField, &Label::DataField),
            MakeProperty("DataSource", &Label::SetDataSource, &Label::DataSource),
        })
        .Properties(TextControl::StyleProperties())
        .Register();
}

void Label::SetText(String value) { text_ = std::move(value); Changed(); }
void Label::SetTextAlign(int32_t value) { textAlign_ = value; Changed(); }
void Label::SetTextColor(Color value) { textColor_ = value; Changed(); }
void Label::SetSelectable(bool value) { selectable_ = value; Changed(); }
void Label::SetTransparent(bool value) { transparent_ = value; Changed(); }
void Label::SetMultiLine(bool value) { multiLine_ = value; Changed(); }

QWidget* Label::MakeWidget(QWidget* parent) {
    auto* label = new QLabel(parent);
    // A file's name is shown as it is, never read as markup.
    label->setTextFormat(Qt::PlainText);
    // A label never fills its rectangle: the window has no colour of its own for it to match,
    // and a filled label would hide the control that it overlaps.
    label->setAutoFillBackground(false);
    return label;
}

void Label::Apply() {
    TextControl::Apply();
    if (!HasWidget()) return;
    auto* label = static_cast<QLabel*>(Widget());
    label->setText(QString::fromStdString(text_.Bytes()));
    const Qt::Alignment alignments[] = {Qt::AlignLeft, Qt::AlignHCenter, Qt::AlignRight};
    label->setAlignment((textAlign_ >= 0 && textAlign_ <= 2 ? alignments[textAlign_] : Qt::AlignLeft) |
                        Qt::AlignVCenter);
    label->setWordWrap(multiLine_);
    label->setTextInteractionFlags(selectable_ ? Qt::TextSelectableByMouse : Qt::NoTextInteraction);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, QColor(textColor_.red, textColor_.green, textColor_.blue));
    label->setPalette(palette);
}
