#pragma once

#include "RectControl.h"

class Picture;

// A drawing area; it draws its backdrop picture at its top left corner. Its Open event comes
// with the canvas itself as the argument, Canvas&.
class Canvas : public RectControl {
public:
    static const ClassInfo& ClassObject();  // registers the class on first use

    Ref<Picture> Backdrop() const { return backdrop_; }
    void SetBackdrop(Ref<Picture> value);

    bool Transparent() const { return transparent_; }
    void SetTransparent(bool value);
    bool EraseBackground() const { return eraseBackground_; }
    void SetEraseBackground(bool value) { eraseBackground_ = value; }
    bool DoubleBuffer() const { return doubleBuffer_; }
    void SetDoubleBuffer(bool value) { doubleBuffer_ = value; }
    bool AcceptTabs() const { return acceptTabs_; }
    void SetAcceptTabs(bool value) { acceptTabs_ = value; }
    bool AcceptFocus() const { return acceptFocus_; }
    void SetAcceptFocus(bool value) { acceptFocus_ = value; }
    bool UseFocusRing() const { return useFocusRing_; }
    void SetUseFocusRing(bool value) { useFocusRing_ = value; }

    void Open() override;

protected:
    QWidget* MakeWidget(QWidget* parent) override;
    void Apply() override;

private:
    Ref<Picture> backdrop_;
    bool transparent_ = false, eraseBackground_ = true, doubleBuffer_ = false;
    bool acceptTabs_ = false, acceptFocus_ = false, useFocusRing_ = true;
};
