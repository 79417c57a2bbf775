// The deadlines of the script's "wait for" and "wait until" commands, in UTC seconds.
#pragma once

#include <cstdint>
#include <string>

#include "engine/platform_services.h"

namespace sorv {

enum class DeadlineStatus {
    NotRead,        // the argument holds no time: the line is passed over
    Ok,             // deadline set
    OutOfRange,     // a field outside its range: the script ends with a message
    Unconvertible,  // the platform cannot convert the date: the script ends with a message
};

// "h:m:s" from now; no range limits, so a span of zero or less makes no wait.
DeadlineStatus DeadlineAfter(IPlatformServices& platform, const std::string& argument, int64_t& deadline);

// "Y-M-D h:m:s" or "h:m:s" in local time. A time of day that has already passed today means
// the same clock time on the next calendar day.
DeadlineStatus DeadlineAt(IPlatformServices& platform, const std::string& argument, int64_t& deadline);

}  // namespace sorv
