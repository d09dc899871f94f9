#pragma once
// The system's time zone.

#include <ctime>

namespace tarvex::platform {

// The local time of the moment, as the system's time zone has it.
std::tm localTime(std::time_t time);

// Called first thing in main(): names the system's own time zone in TZ when
// nothing does, so that the C library reads it once instead of at every time
// conversion (reading a pk3's directory converts the time of every entry:
// five times faster this way). The zone is the same as before.
void settleTimeZone();

}  // namespace tarvex::platform
