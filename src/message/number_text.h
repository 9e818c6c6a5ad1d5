// Number texts of the message format, written and read in the classic locale
// whatever locale the host application has set: the decimal point is always
// '.', and there are no thousands separators. Pure functions, any thread.
#pragma once

#include <string>
#include <string_view>

#include "message/value.h"

namespace vornmt::message {

// Reads the number at the start of `text` as C's atof does in the classic
// locale: white space (space, \t, \n, \v, \f, \r) is skipped; then an optional
// sign, decimal digits with at most one '.', and an optional exponent
// introduced by 'e', 'E', 'd' or 'D' with an optional sign and digits. Reading
// stops at the first character that does not fit; a text without a leading
// number gives 0. There are no hexadecimal, infinity or not-a-number forms.
// Too large a magnitude gives an infinity of the right sign, too small a zero.
double ReadLeadingNumber(std::string_view text);

// The value of a number element's text: a Real when the text contains a '.'
// anywhere; otherwise an Integer when the number read is whole and within
// 32 bits; otherwise a Real (a fraction reached through an exponent, a value
// out of range).
Value NumberFromText(std::string_view text);

// Appends `value` in signed decimal without leading zeros ("-5", "0").
void AppendIntegerText(std::string& out, int value);

// Appends `value` in fixed-point notation with exactly six digits after the
// point and no exponent, the text of printf "%f": 2.0 is "2.000000", 1e-7 is
// "0.000000", -0.0 is "-0.000000"; any magnitude is written in full.
// Infinities and NaN come out as "inf", "-inf", "nan", "-nan".
void AppendRealText(std::string& out, double value);

}  // namespace vornmt::message
