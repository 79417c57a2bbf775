// printf- and scanf-style formatting and parsing that never depend on the user's locale:
// numbers are always written and read with a decimal point.
#pragma once

#include <string>

namespace sorv {

// Formats like snprintf in the "C" locale.
std::string FormatC(const char* fmt, ...) __attribute__((format(printf, 1, 2)));

// Reads a number the way "%lf" does: leading white space, an optional sign, then as many
// characters as continue a decimal number ("12abc" gives 12). "nan" and "inf" are refused.
// On success stores the value and the count of characters consumed (if end is given).
bool ScanDouble(const char* text, double& value, size_t* consumed = nullptr);

// Reads a whole number the way "%d" does ("1000.5" gives 1000, "-200" gives -200).
// Values outside the 32-bit range are refused.
bool ScanInt(const char* text, int& value, size_t* consumed = nullptr);

// Reads a hexadecimal number the way "%x" does, from at most maxChars characters.
bool ScanHex(const char* text, size_t maxChars, unsigned& value);

}  // namespace sorv
