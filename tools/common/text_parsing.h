// Reading the tools' text: command-line options, the fields and lines of
// their line-based formats, and strict, locale-independent numbers.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace vornmt::tools {

// The whitespace-separated fields of `line`.
std::vector<std::string_view> SplitFields(std::string_view line);

// Strict conversions: the whole text must be the number (optional leading
// '-', for reals also a fraction and an exponent); no white space, no '+'.
bool ParseInteger(std::string_view text, int* value);
bool ParseReal(std::string_view text, double* value);

// Command-line values: a whole number from low to high, and a size "WxH"
// whose two numbers lie from low to high. False for a null text.
bool ParseIntegerOption(const char* text, int low, int high, int* value);
bool ParseSizeOption(const char* text, int low, int high, int* x, int* y);

// The shortest text that converts back to exactly `value`.
std::string FormatReal(double value);

// Splits `text` into lines at '\n', dropping a '\r' before it, so files
// edited on Windows read alike. A final line without a break counts.
std::vector<std::string_view> SplitLines(std::string_view text);

// Length of the valid UTF-8 sequence at text[at], or 0 when the byte there
// does not start one (overlong forms, surrogates and values above U+10FFFF
// are invalid too).
std::size_t Utf8SequenceLength(std::string_view text, std::size_t at);

}  // namespace vornmt::tools
