#pragma once
// Where the running program lives: installed trees and build trees alike keep
// its companions (resources, the tutorial, helpers) relative to it.

#include <string>

namespace dimwell::x11 {

/// The folder of /proc/self/exe, or "." when it cannot be read.
std::string programFolder();

} // namespace dimwell::x11
