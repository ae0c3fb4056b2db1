// Text to number, the one conversion the whole program uses: settings,
// edit fields, report values and address parts.
#pragma once

#include <cstdint>
#include <string_view>

// Skips leading blanks and tabs, takes one optional "-" or "+", then decimal
// digits up to the first other character; no digit gives 0. Too many digits
// wrap as 32-bit arithmetic would, so "4294967297" is 1 and "2147483648" is
// INT32_MIN: there is no range check, and no undefined behaviour either.
std::int32_t text_to_int(std::string_view text);
