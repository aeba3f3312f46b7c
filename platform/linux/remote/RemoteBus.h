#pragma once
// Where a running Dimwell answers on the session bus.

namespace dimwell::linuxdesktop {

inline constexpr const char* remoteService = "com.Orvalen.Dimwell";
inline constexpr const char* remotePath = "/com/Orvalen/Dimwell";
inline constexpr const char* remoteInterface = "com.Orvalen.Dimwell";

} // namespace dimwell::linuxdesktop
