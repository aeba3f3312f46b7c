#pragma once
// Small text files read in one go, without the stream library: reading a
// process's name or a desktop entry should not cost an idle Dimwell the
// iostream locale machinery.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace dimwell::x11 {

/// The whole of a regular file up to `limit` bytes; nothing when it cannot be
/// read, is not a regular file (a FIFO would block) or is larger.
std::optional<std::string> readSmallFile(const std::string& path, std::size_t limit = std::size_t(1) << 20);

/// The process's own name (/proc/PID/comm); nothing when it is gone or unreadable.
std::optional<std::string> processName(std::int32_t pid);

} // namespace dimwell::x11
