#include "RectControl.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QTextDocument>
#include <QUrl>
#include <QWidget>

#include "DragItem.h"
#include "FileAddress.h"
#include "Window.h"
#include "runtime/ClassRegistry.h"

namespace {
// The local files and folders that a drag carries, in order. An address that names no local
// file brings no item.
Ref<DragItem> ItemsOf(const QMimeData* data) {
    std::vector<Ref<FolderItem>> items;
    if (data && data->hasUrls())
        for (const QUrl& url : data->urls())
            if (Ref<FolderItem> item = FolderItemOfFileAddress(url)) items.push_back(std::move(item));
    return std::make_shared<DragItem>(std::move(items));
}

// Qt shows a help tag as markup where it might be markup; such a tag is escaped, so that it is
// shown as written. Any other tag is handed over as it is, and shows as before.
QString PlainToolTip(const QString& text) {
    if (!Qt::mightBeRichText(text)) return text;
    const QString escaped = text.toHtmlEscaped().replace(u'\n', QStringLiteral("<br>"));
    return QStringLiteral("<p style=\"white-space:pre-wrap\">") + escaped + QStringLiteral("</p>");
}

// Takes the drag-and-drop events of a control's widget for the control.
class DropFilter : public QObject {
public:
    explicit DropFilter(RectControl& control) : control_(control) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        switch (event->type()) {
            case QEvent::DragEnter:
            case QEvent::DragMove: {
                auto* drag = static_cast<QDragMoveEvent*>(event);
                if (control_.AcceptsDrop(*ItemsOf(drag->mimeData()))) drag->acceptProposedAction();
                else drag->ignore();
                return true;
            }
            case QEvent::Drop: {
                auto* drop = static_cast<QDropEvent*>(event);
                drop->acceptProposedAction();
                control_.DropObject(ItemsOf(drop->mimeData()), static_cast<int32_t>(drop->dropAction()));
                return true;
            }
            default:
                return QObject::eventFilter(watched, event);
        }
    }

private:
    RectControl& control_;
};
}  // namespace

const ClassInfo& RectControl::ClassObject() {
    if (const ClassInfo* cls = RuntimeFindClass("RectControl")) return *cls;
    return ClassBuilder("RectControl", &Control::ClassObject(), nullptr)
        .Events({"ConstructContextualMenu", "ContextualMenuAction", "DragEnter", "DragExit", "DragOver",
                 "DropObject", "KeyDown", "KeyUp", "MouseEnter", "MouseExit", "MouseMove", "MouseWheel"})
        .Properties({
            MakeProperty("Left", &RectControl::SetLeft, &RectControl::Left),
            MakeProperty("Top", &RectControl::SetTop, &RectControl::Top),
            MakeProperty("Width", &RectControl::SetWidth, &RectControl::Width),
            MakeProperty("Height", &RectControl::SetHeight, &RectControl::Height),
            MakeProperty("Visible", &RectControl::SetVisible, &RectControl::Visible),
            MakeProperty("Enabled", &RectControl::SetEnabled, &RectControl::Enabled),
            MakeProperty("HelpTag", &RectControl::SetHelpTag, &RectControl::HelpTag),
            MakeProperty("TabIndex", &RectControl::SetTabIndex, &RectControl::TabIndex),
            MakeProperty("TabStop", &RectControl::SetTabStop, &RectControl::TabStop),
            MakeProperty("TabPanelIndex", &RectControl::SetTabPanelIndex, &RectControl::TabPanelIndex),
            MakeProperty("LockLeft", &RectControl::SetLockLeft, &RectControl::LockLeft),
            MakeProperty("LockTop", &RectControl::SetLockTop, &RectControl::LockTop),
            MakeProperty("LockRight", &RectControl::SetLockRight, &RectControl::LockRight),
            MakeProperty("LockBottom", &RectControl::SetLockBottom, &RectControl::LockBottom),
            MakeProperty("AutoDeactivate", &RectControl::SetAutoDeactivate, &RectControl::AutoDeactivate),
            MakeProperty("InitialParent", &RectControl::SetInitialParent, &RectControl::InitialParent),
        })
        .Virtual(::Virtual("Constructor", &RectControl::Constructor))
        .Register();
}

RectControl::~RectControl() {
    if (widget_ && dropFilter_) widget_->removeEventFilter(dropFilter_.get());
    delete widget_;
}

void RectControl::Constructor() {
    QWidget* parent = NotNilOwner().Widget();
    widget_ = MakeWidget(parent);
    // The window's widget deletes its children when it goes first.
    QObject::connect(widget_, &QObject::destroyed, [this] { widget_ = nullptr; });
    defaultFocusPolicy_ = widget_->focusPolicy();
    Changed();
}

Window& RectControl::NotNilOwner() const {
    Ref<Window> owner = Owner();
    if (!owner) throw NilObjectException("control " + Name().Bytes() + " belongs to no window");
    return *owner;
}

QWidget* RectControl::Widget() const {
    if (!widget_) throw NilObjectException("control " + Name().Bytes() + " has no widget yet");
    return widget_;
}

void RectControl::SetLeft(int32_t value) { left_ = value; Changed(); }
void RectControl::SetTop(int32_t value) { top_ = value; Changed(); }
void RectControl::SetWidth(int32_t value) { width_ = value; Changed(); }
void RectControl::SetHeight(int32_t value) { height_ = value; Changed(); }
void RectControl::SetVisible(bool value) { visible_ = value; Changed(); }
void RectControl::SetEnabled(bool value) { enabled_ = value; Changed(); }
void RectControl::SetHelpTag(String value) { helpTag_ = std::move(value); Changed(); }
void RectControl::SetTabStop(bool value) { tabStop_ = value; Changed(); }

void RectControl::AcceptFileDrop(String fileType) {
    acceptedFileTypes_.push_back(fileType.Bytes());
    if (dropFilter_) return;
    dropFilter_ = std::make_unique<DropFilter>(*this);
    Widget()->installEventFilter(dropFilter_.get());
    Widget()->setAcceptDrops(true);
}

bool RectControl::AcceptsDrop(const DragItem& item) const {
    // A drag that brings no file at all still reaches a control that takes files, so that the
    // control can refuse it in its own way rather than the drop silently doing nothing.
    if (!item.FolderItemAvailable()) return !acceptedFileTypes_.empty();
    for (const std::string& kind : acceptedFileTypes_)
        if (IsOfFileKind(*item.FolderItem(), kind)) return true;
    return false;
}

void RectControl::DropObject(Ref<DragItem> item, int32_t action) {
    RaiseEvent<RectControl&, Ref<DragItem>, int32_t>(kDropObjectEvent, *this, std::move(item), action);
}

void RectControl::EndProperties() {
    if (--takingProperties_ == 0) Apply();
}

void RectControl::Changed() {
    if (takingProperties_ == 0) Apply();
}

void RectControl::Apply() {
    if (!widget_) return;
    widget_->setGeometry(left_, top_, width_, height_);
    widget_->setVisible(visible_);
    widget_->setEnabled(enabled_);
    widget_->setToolTip(PlainToolTip(QString::fromStdString(helpTag_.Bytes())));
    // A control that is no tab stop can still take the focus by a click, if its kind does.
    const auto policy = static_cast<Qt::FocusPolicy>(defaultFocusPolicy_);
    widget_->setFocusPolicy(tabStop_ ? policy : (policy & Qt::ClickFocus) ? Qt::ClickFocus : Qt::NoFocus);
}
