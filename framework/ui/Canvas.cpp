#include "Canvas.h"

#include <QPainter>
#include <QPixmap>
#include <QWidget>

#include "Picture.h"
#include "runtime/ClassRegistry.h"

namespace {
class CanvasWidget : public QWidget {
public:
    CanvasWidget(QWidget* parent, const Canvas& canvas) : QWidget(parent), canvas_(canvas) {}

protected:
    void paintEvent(QPaintEvent*) override {
        Ref<Picture> backdrop = canvas_.Backdrop();
        if (!backdrop) return;
        // The picture goes into the screen's own format once. Drawn as it was read, it would be
        // converted anew at every paint, and the first conversion starts threads for it.
        if (backdrop != shown_) {
            shown_ = backdrop;
            pixmap_ = QPixmap::fromImage(backdrop->Image());
        }
        QPainter painter(this);
        painter.drawPixmap(0, 0, pixmap_);
    }

private:
    const Canvas& canvas_;
    Ref<Picture> shown_;
    QPixmap pixmap_;
};
}  // namespace

const ClassInfo& Canvas::ClassObject() {
    if (const ClassInfo* cls = RuntimeFindClass("Canvas")) return *cls;
    return ClassBuilder("Canvas", &RectControl::ClassObject(), [] { return std::make_shared<Canvas>(); })
        .Properties({
            MakeProperty("Transparent", &Canvas::SetTransparent, &Canvas::Transparent),
            MakeProperty("EraseBackground", &Canvas::SetEraseBackground, &Canvas::EraseBackground),
            MakeProperty("DoubleBuffer", &Canvas::SetDoubleBuffer, &Canvas::DoubleBuffer),
            MakeProperty("AcceptTabs", &Canvas::SetAcceptTabs, &Canvas::AcceptTabs),
            MakeProperty("AcceptFocus", &Canvas::SetAcceptFocus, &Canvas::AcceptFocus),
            MakeProperty("UseFocusRing", &Canvas::SetUseFocusRing, &Canvas::UseFocusRing),
        })
        .Declare("Backdrop", "Picture", {})
        .Register();
}

void Canvas::SetBackdrop(Ref<Picture> value) {
    backdrop_ = std::move(value);
    if (HasWidget()) Widget()->update();
}

void Canvas::SetTransparent(bool value) { transparent_ = value; Changed(); }

void Canvas::Open() { RaiseEvent<Canvas&>(kOpenEvent, *this); }

void Canvas::DropObject(Ref<DragItem> item, int32_t action) {
    RaiseEvent<Canvas&, Ref<DragItem>, int32_t>(kDropObjectEvent, *this, std::move(item), action);
}

QWidget* Canvas::MakeWidget(QWidget* parent) { return new CanvasWidget(parent, *this); }

void Canvas::Apply() {
    RectControl::Apply();
    if (!HasWidget()) return;
    // An opaque canvas fills its rectangle with the window's background before it draws.
    Widget()->setAutoFillBackground(!transparent_);
}
