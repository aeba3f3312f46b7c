#pragma once
// The border detection written as plainly as it is defined: every probe read in
// full, one pixel at a time. findRegion must agree with it on every picture; it
// is the yardstick for the fast walk and for what the probes read.

#include "common/Geometry.h"
#include "common/Log.h"
#include "pattern/Image.h"

#include <cstdint>
#include <functional>

namespace dimwell {

/// One probe evaluated: the pixels `from` through `to` (inclusive) across the
/// row or column `line`.
struct ProbeTouch {
    enum class Kind { ShortRow, Column, FullRow };
    Kind kind = Kind::ShortRow;
    std::int32_t line = 0;
    std::int32_t from = 0;
    std::int32_t to = 0;
};

using ProbeObserver = std::function<void(const ProbeTouch&)>;

Rect findRegionPlain(const Image& image, std::int32_t x, std::int32_t y, const Logger& log,
                     const ProbeObserver& observe = {});

} // namespace dimwell
