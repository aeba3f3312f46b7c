#pragma once
// X root-window pixels versus the core's two spaces. The main display is Qt's
// primary screen; top-left space has its origin at that screen's top-left corner,
// Cocoa space at its bottom-left corner with y up. One point is one X pixel.

#include "common/Geometry.h"

#include <QGuiApplication>
#include <QPoint>
#include <QRect>
#include <QScreen>

namespace dimwell::x11 {

class ScreenSpace {
public:
    /// Reads the primary screen afresh; displays come and go.
    static ScreenSpace current() {
        const QScreen* primary = QGuiApplication::primaryScreen();
        if (!primary) {
            return ScreenSpace(QRect(0, 0, 1, 1));
        }
        return ScreenSpace(nativeGeometry(primary));
    }

    /// A screen's geometry in X pixels (Qt's own is in device-independent pixels).
    static QRect nativeGeometry(const QScreen* screen) {
        const QRect g = screen->geometry();
        const qreal r = screen->devicePixelRatio();
        return QRect(qRound(g.x() * r), qRound(g.y() * r), qRound(g.width() * r), qRound(g.height() * r));
    }

    explicit ScreenSpace(const QRect& mainDisplay) : main_(mainDisplay) {}

    double mainHeight() const { return main_.height(); }

    Point rootToTopLeft(double x, double y) const { return {x - main_.x(), y - main_.y()}; }
    Rect rootToTopLeft(const QRect& r) const {
        return {double(r.x() - main_.x()), double(r.y() - main_.y()), double(r.width()), double(r.height())};
    }
    Point topLeftToRoot(Point p) const { return {p.x + main_.x(), p.y + main_.y()}; }

    Point rootToCocoa(double x, double y) const { return {x - main_.x(), mainHeight() - (y - main_.y())}; }
    /// A Cocoa-space rectangle as X root pixels (top-left corner, size).
    QRect cocoaToRoot(const Rect& r) const {
        const Rect tl = cocoaToTopLeft(r, mainHeight());
        return QRect(qRound(tl.x + main_.x()), qRound(tl.y + main_.y()), qRound(tl.width), qRound(tl.height));
    }

private:
    QRect main_;
};

} // namespace dimwell::x11
