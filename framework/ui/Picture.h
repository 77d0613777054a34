#pragma once

#include <QImage>

#include "runtime/Object.h"

// An image the window shows: a canvas's backdrop or a button's icon.
class Picture : public Object {
public:
    explicit Picture(QImage image) : image_(std::move(image)) {}
    const QImage& Image() const { return image_; }
    int Width() const { return image_.width(); }
    int Height() const { return image_.height(); }

private:
    QImage image_;
};
