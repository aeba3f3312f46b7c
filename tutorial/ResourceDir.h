#pragma once
// Where the tutorial's pictures are.

#include <QString>

namespace dimwell {

/// The folder the pictures are loaded from: $DIMWELL_RESOURCES when set; else
/// the installed data folder beside the program (<prefix>/bin/../share/dimwell);
/// else the source tree's resources when running from a build tree; else the
/// data folder of the configured install prefix.
QString tutorialResourceDir();

} // namespace dimwell
