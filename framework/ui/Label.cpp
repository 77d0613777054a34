#include "Label.h"

#include <QLabel>
#include <QSinglePointEvent>
#include <QWindow>

#include "runtime/ClassRegistry.h"

namespace {
// A label shows its text over the controls that it overlaps, but the mouse there belongs to
// them: a press, a hover or a help tag over an enabled control beneath the label reaches that
// control. A label that is neither selectable nor carries a help tag has no use for the mouse
// and lets it through everywhere. One that has watches the mouse events of its window first,
// since Qt finds the widget under the pointer anew for each of them, and lets them through
// itself where such a control lies beneath.
class LabelWidget : public QLabel {
public:
    using QLabel::QLabel;

    void SetTakesMouse(bool value) {
        if (value == takesMouse_) return;
        takesMouse_ = value;
        setAttribute(Qt::WA_TransparentForMouseEvents, !takesMouse_);
        if (QWindow* handle = window()->windowHandle()) Watch(handle);
    }

protected:
    bool event(QEvent* event) override {
        // The window has its handle once it shows, and a new one each time Qt makes it anew;
        // a filter installed again is not installed twice.
        if (event->type() == QEvent::Show)
            if (QWindow* handle = window()->windowHandle()) Watch(handle);
        return QLabel::event(event);
    }

    bool eventFilter(QObject* watched, QEvent* event) override {
        const QEvent::Type type = event->type();
        if (type == QEvent::Enter || type == QEvent::MouseMove || type == QEvent::MouseButtonPress ||
            type == QEvent::MouseButtonDblClick || type == QEvent::MouseButtonRelease) {
            const auto* pointer = static_cast<const QSinglePointEvent*>(event);
            // While a button is held, the widget that took the press keeps the mouse.
            const bool pressing = type == QEvent::MouseButtonPress || type == QEvent::MouseButtonDblClick;
            if (pressing || pointer->buttons() == Qt::NoButton) {
                const QPoint at = mapFrom(window(), pointer->position().toPoint());
                setAttribute(Qt::WA_TransparentForMouseEvents, rect().contains(at) && OverControl(mapToParent(at)));
            }
        }
        return QLabel::eventFilter(watched, event);
    }

private:
    void Watch(QWindow* handle) {
        if (takesMouse_) handle->installEventFilter(this);
        else handle->removeEventFilter(this);
    }

    // Whether a control that takes the mouse, enabled and no other label, stands beneath the
    // label at this point of the parent.
    bool OverControl(QPoint at) const {
        for (const QObject* child : parentWidget()->children()) {
            if (child == this) return false;  // the children after the label stand above it
            const auto* widget = qobject_cast<const QWidget*>(child);
            if (widget && !qobject_cast<const QLabel*>(widget) && widget->isVisible() && widget->isEnabled() &&
                !widget->testAttribute(Qt::WA_TransparentForMouseEvents) && widget->geometry().contains(at))
                return true;
        }
        return false;
    }

    bool takesMouse_ = true;
};
}  // namespace

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
    auto* label = new LabelWidget(parent);
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
    auto* label = static_cast<LabelWidget*>(Widget());
    label->setText(QString::fromStdString(text_.Bytes()));
    const Qt::Alignment alignments[] = {Qt::AlignLeft, Qt::AlignHCenter, Qt::AlignRight};
    label->setAlignment((textAlign_ >= 0 && textAlign_ <= 2 ? alignments[textAlign_] : Qt::AlignLeft) |
                        Qt::AlignVCenter);
    label->setWordWrap(multiLine_);
    label->setTextInteractionFlags(selectable_ ? Qt::TextSelectableByMouse : Qt::NoTextInteraction);
    label->SetTakesMouse(selectable_ || !HelpTag().IsEmpty());
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, QColor(textColor_.red, textColor_.green, textColor_.blue));
    label->setPalette(palette);
}
