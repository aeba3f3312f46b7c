#pragma once
// Points and rectangles in points, double precision, and the two global spaces:
// Cocoa space (origin bottom-left of the main display, y up) and top-left space
// (origin top-left of the main display, y down).

#include <algorithm>

namespace dimwell {

struct Point {
    double x = 0.0;
    double y = 0.0;
    friend bool operator==(const Point&, const Point&) = default;
};

struct Size {
    double width = 0.0;
    double height = 0.0;
    friend bool operator==(const Size&, const Size&) = default;
};

struct Rect {
    double x = 0.0;
    double y = 0.0;
    double width = 0.0;
    double height = 0.0;

    Point origin() const { return {x, y}; }
    double maxX() const { return x + width; }
    double maxY() const { return y + height; }
    bool isEmpty() const { return !(width > 0.0) || !(height > 0.0); }
    bool isZero() const { return x == 0.0 && y == 0.0 && width == 0.0 && height == 0.0; }
    friend bool operator==(const Rect&, const Rect&) = default;
};

/// Left and bottom edges belong to the rectangle, right and top edges do not.
inline bool pointInRect(Point p, const Rect& r) {
    return r.x <= p.x && p.x < r.x + r.width && r.y <= p.y && p.y < r.y + r.height;
}

/// The largest rectangle inside both; the zero rectangle when they do not overlap.
inline Rect intersection(const Rect& a, const Rect& b) {
    const double x0 = std::max(a.x, b.x);
    const double y0 = std::max(a.y, b.y);
    const double x1 = std::min(a.maxX(), b.maxX());
    const double y1 = std::min(a.maxY(), b.maxY());
    if (x1 <= x0 || y1 <= y0) {
        return {};
    }
    return {x0, y0, x1 - x0, y1 - y0};
}

inline bool intersects(const Rect& a, const Rect& b) { return !intersection(a, b).isEmpty(); }

/// A top-left-space rectangle in Cocoa space, for the height H of the reference display.
inline Rect topLeftToCocoa(const Rect& r, double H) { return {r.x, H - r.y - r.height, r.width, r.height}; }

/// The same flip back; the conversion is its own inverse.
inline Rect cocoaToTopLeft(const Rect& r, double H) { return topLeftToCocoa(r, H); }

/// Event locations: the crosshair and drag start use H - y - 1, drag updates and
/// the click-out test use H - y.
inline Point eventToCocoa(Point l, double H, bool minusOne) {
    return {l.x, H - l.y - (minusOne ? 1.0 : 0.0)};
}

inline Point minus(Point p, Point origin) { return {p.x - origin.x, p.y - origin.y}; }

} // namespace dimwell
