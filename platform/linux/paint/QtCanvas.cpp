#include "platform/linux/paint/QtCanvas.h"

#include <QColor>
#include <QLineF>
#include <QPainter>
#include <QPen>
#include <QRectF>

namespace dimwell::x11 {

namespace {

QColor toQColor(const Color& c) {
    return QColor::fromRgbF(static_cast<float>(c.red), static_cast<float>(c.green), static_cast<float>(c.blue),
                            static_cast<float>(c.alpha));
}

} // namespace

QtCanvas::QtCanvas(QPainter& painter, double heightPoints, double logicalPerPoint)
    : painter_(painter), height_(heightPoints), scale_(logicalPerPoint) {}

void QtCanvas::fillCopy(const Rect& rect, const Color& color) {
    if (rect.isEmpty()) {
        return;
    }
    // Source mode replaces the pixels, alpha included: the hole becomes truly
    // transparent instead of black blended over black. No antialiasing, so a
    // fill never leaves a half-dimmed seam.
    painter_.save();
    painter_.setRenderHint(QPainter::Antialiasing, false);
    painter_.setCompositionMode(QPainter::CompositionMode_Source);
    const QRectF r(rect.x * scale_, (height_ - rect.y - rect.height) * scale_, rect.width * scale_,
                   rect.height * scale_);
    painter_.fillRect(r, toQColor(color));
    painter_.restore();
}

void QtCanvas::strokeLine(Point from, Point to, double width, const Color& color) {
    painter_.save();
    painter_.setRenderHint(QPainter::Antialiasing, true);
    painter_.setCompositionMode(QPainter::CompositionMode_SourceOver);
    QPen pen(toQColor(color));
    pen.setWidthF(width * scale_);
    pen.setCapStyle(Qt::FlatCap);
    painter_.setPen(pen);
    painter_.drawLine(QLineF(from.x * scale_, (height_ - from.y) * scale_, to.x * scale_, (height_ - to.y) * scale_));
    painter_.restore();
}

} // namespace dimwell::x11
