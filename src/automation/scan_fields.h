// Reading several whole numbers from a line the way a scanf pattern of %d fields does, for the
// script's arguments ("%d:%d", "%d-%d-%d %d:%d:%d"), without the C library's locale.
#pragma once

namespace sorv {

// pattern: 'd' reads a whole number (leading white space skipped), ' ' skips any white space,
// any other character must match itself. Returns how many numbers were read before the first
// mismatch; out holds at least as many ints as the pattern has 'd's.
int ScanIntFields(const char* text, const char* pattern, int* out);

}  // namespace sorv
