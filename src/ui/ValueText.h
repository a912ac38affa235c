#pragma once

#include <string>

#include "log/DriverLog.h"

// How the sheet turns parameter values into control texts and back.
namespace sheet_text {

// printf into a string of whatever length the result needs.
std::string Format(const char* format, ...) ZAVADED_PRINTF(1, 2);

// An integer edit's text as a number, as the C library's atoi reads it:
// optional blanks and sign, then the leading digits; 0 when the text does
// not start with a number. Numbers beyond the int range saturate at its
// ends instead of being undefined.
int ReadInteger(const std::string& text);

// A decimal edit's text as a number, as atof reads it: the longest leading
// decimal number, 0.0 when there is none; overflow gives an infinity.
double ReadDecimal(const std::string& text);

// A decimal value rounded down to two decimals, "%.2f". A value that lies
// within the rounding error of single precision below a hundredth counts as
// that hundredth: the camera stores 0.7 as 0.69999999, which is shown as
// 0.70, not 0.69.
std::string FormatTwoDecimals(double value);

// Range labels: "[%d ... %d]", "[%.1f ... %.1f]" and "[%.3f ... %.3f]".
enum class RangeFormat { None, Integer, OneDecimal, ThreeDecimals };
std::string FormatRange(RangeFormat format, double minimum, double maximum);

// text cut to at most maxLength characters.
std::string Truncated(std::string text, std::size_t maxLength);

}  // namespace sheet_text
