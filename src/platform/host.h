#pragma once

namespace leafward::platform {

// Whether this program was built for Windows, for the few choices that differ between the
// systems without being calls to them: which ODBC drivers to look for, how a message words it.
#ifdef _WIN32
inline constexpr bool kOnWindows = true;
#else
inline constexpr bool kOnWindows = false;
#endif

}  // namespace leafward::platform
