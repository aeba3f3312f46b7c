#pragma once
// Line breaking for page texts: words are placed left to right and wrap at
// blanks only. A key cap never breaks inside, and text written against it
// ("Control" followed by ".") stays on its line, as a browser would keep it.

#include "tutorial/PageMarkup.h"

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace dimwell {

struct FlowPiece {
    size_t run = 0;   ///< index into the runs
    std::string text; ///< for a key cap, its whole name
    double x = 0.0;   ///< from the left edge of the text column
    double width = 0.0;
    friend bool operator==(const FlowPiece&, const FlowPiece&) = default;
};

using FlowLine = std::vector<FlowPiece>;

/// Width of `text` set in `run`'s style; for a key cap, the whole cap with its
/// padding and border.
using FlowMeasure = std::function<double(const MarkupRun& run, std::string_view text)>;

/// The lines of `runs` in a column `width` wide. Runs of blanks count as one
/// space and vanish at line ends; a word wider than the column gets a line of its own.
std::vector<FlowLine> flowText(const std::vector<MarkupRun>& runs, double width, const FlowMeasure& measure);

} // namespace dimwell
