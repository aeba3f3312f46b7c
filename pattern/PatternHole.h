#pragma once
// From a captured window to a hole in Cocoa space: the pointer goes into the
// capture's pixels relative to the window's bottom-left corner, the region found
// there comes back out.

#include "common/Geometry.h"
#include "common/Log.h"
#include "pattern/GrayBitmap.h"

namespace dimwell {

/// A detection result in capture pixels as a Cocoa-space rectangle, for a window
/// whose bottom-left corner is `origin`. A capture with more than one pixel per
/// point is scaled back into points.
Rect holeFromDetection(const Rect& detected, Point origin, double pixelsPerPoint = 1.0);

/// Runs the detection on `capture` for the pointer (Cocoa space) over the window
/// whose bottom-left corner is `origin`, and returns the hole in Cocoa space.
Rect detectHole(const GrayBitmap& capture, double pixelsPerPoint, Point pointer, Point origin, const Logger& log);

} // namespace dimwell
