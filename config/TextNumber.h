#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// Number conversions with the C library's semantics, independent of the
// process locale (Qt sets LC_ALL from the environment, which would turn
// "1.5" into 1 under a comma locale).
//
// ParseInt/ParseDouble behave like atoi/atof: leading white space and a sign
// are accepted, the leading number is taken, anything after it is ignored,
// and text without a leading number gives 0. Out-of-range integers clamp to
// the int range instead of being undefined.
namespace textnum {

int ParseInt(std::string_view text);
long long ParseLong(std::string_view text);
double ParseDouble(std::string_view text);
// Leading hexadecimal digits, no prefix, as sscanf "%x" does; 0 when none.
uint32_t ParseHex(std::string_view text);

// printf "%f" with the given number of decimals ("%f" = 6).
std::string FormatFixed(double value, int decimals = 6);
// Up to 15 significant digits, no trailing zeros ("%.15g"); 100000.0 -> "100000".
std::string FormatShortest15(double value);
// printf "%x": lower-case hexadecimal, no prefix.
std::string FormatHex(uint32_t value);

// Appends without allocating a temporary string (hot paths of the plan writer).
void AppendFixed(std::string& out, double value, int decimals = 6);
void AppendInt(std::string& out, long long value);

}  // namespace textnum
