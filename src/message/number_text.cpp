#include "message/number_text.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>
#include <system_error>

namespace vornmt::message {

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// The white space of the classic locale; isspace would follow the host's locale.
bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }

// Exponents are clamped here: past this the result is infinity or zero for
// any mantissa a message can hold, and the sum with the point position stays
// far from overflowing.
constexpr std::int64_t kExponentClamp = 100000000;

// Beyond these decimal exponents (of 0.d1d2d3...) every double over- or
// underflows, so from_chars need not see them.
constexpr std::int64_t kOverflowExponent = 400;
constexpr std::int64_t kUnderflowExponent = -400;

}  // namespace

double ReadLeadingNumber(std::string_view text) {
    std::size_t at = 0;
    while (at < text.size() && IsSpace(text[at])) {
        ++at;
    }
    bool negative = false;
    if (at < text.size() && (text[at] == '+' || text[at] == '-')) {
        negative = text[at] == '-';
        ++at;
    }

    // The significant digits, leading zeros dropped, and the position of the
    // decimal point relative to them: the value is 0.<digits> * 10^point.
    std::string digits;
    std::int64_t point = 0;
    bool any_digit = false;
    while (at < text.size() && IsDigit(text[at])) {
        any_digit = true;
        if (!digits.empty() || text[at] != '0') {
            digits.push_back(text[at]);
            ++point;
        }
        ++at;
    }
    if (at < text.size() && text[at] == '.') {
        ++at;
        while (at < text.size() && IsDigit(text[at])) {
            any_digit = true;
            if (!digits.empty() || text[at] != '0') {
                digits.push_back(text[at]);
            } else {
                --point;  // a zero between the point and the first significant digit
            }
            ++at;
        }
    }
    if (!any_digit) {
        return 0.0;  // "", "-", ".", "abc": no leading number
    }

    std::int64_t exponent = 0;
    if (at < text.size() &&
        (text[at] == 'e' || text[at] == 'E' || text[at] == 'd' || text[at] == 'D')) {
        std::size_t exponent_at = at + 1;
        bool exponent_negative = false;
        if (exponent_at < text.size() && (text[exponent_at] == '+' || text[exponent_at] == '-')) {
            exponent_negative = text[exponent_at] == '-';
            ++exponent_at;
        }
        // Without digits the letter is not part of the number ("2e", "2e+").
        while (exponent_at < text.size() && IsDigit(text[exponent_at])) {
            if (exponent < kExponentClamp) {
                exponent = exponent * 10 + (text[exponent_at] - '0');
            }
            ++exponent_at;
        }
        if (exponent_negative) {
            exponent = -exponent;
        }
    }

    while (!digits.empty() && digits.back() == '0') {
        digits.pop_back();
    }
    const double zero = negative ? -0.0 : 0.0;
    if (digits.empty()) {
        return zero;
    }
    const double infinity = negative ? -std::numeric_limits<double>::infinity()
                                     : std::numeric_limits<double>::infinity();
    const std::int64_t scale = point + exponent;
    if (scale > kOverflowExponent) {
        return infinity;
    }
    if (scale < kUnderflowExponent) {
        return zero;
    }

    std::string normal = "0.";
    normal += digits;
    normal += 'e';
    normal += std::to_string(scale);
    double magnitude = 0.0;
    const std::from_chars_result result =
        std::from_chars(normal.data(), normal.data() + normal.size(), magnitude);
    if (result.ec == std::errc::result_out_of_range) {
        return scale > 0 ? infinity : zero;
    }
    return negative ? -magnitude : magnitude;
}

namespace {

// The common case, a sign and at most nine digits and nothing else, read
// directly: such a number always fits an int and ReadLeadingNumber would
// give the same value. False for everything else.
bool ReadShortInteger(std::string_view text, int* value) {
    std::size_t at = 0;
    const bool negative = !text.empty() && text[0] == '-';
    if (!text.empty() && (text[0] == '-' || text[0] == '+')) {
        at = 1;
    }
    const std::size_t digits = text.size() - at;
    if (digits == 0 || digits > 9) {
        return false;
    }
    int magnitude = 0;
    for (; at < text.size(); ++at) {
        if (!IsDigit(text[at])) {
            return false;
        }
        magnitude = magnitude * 10 + (text[at] - '0');
    }
    *value = negative ? -magnitude : magnitude;
    return true;
}

}  // namespace

Value NumberFromText(std::string_view text) {
    int integer = 0;
    if (ReadShortInteger(text, &integer)) {
        return integer;
    }
    const double number = ReadLeadingNumber(text);
    if (text.find('.') != std::string_view::npos) {
        return number;
    }
    // False for infinities (trunc keeps them, the range test does not).
    if (std::trunc(number) == number && number >= -2147483648.0 && number <= 2147483647.0) {
        return static_cast<int>(number);
    }
    return number;
}

void AppendIntegerText(std::string& out, int value) {
    char buffer[16];
    const std::to_chars_result result = std::to_chars(buffer, buffer + sizeof buffer, value);
    out.append(buffer, result.ptr);
}

void AppendRealText(std::string& out, double value) {
    // The largest double has 309 integer digits; with sign, point and six
    // decimals that is 317 characters.
    char buffer[330];
    const std::to_chars_result result =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, 6);
    out.append(buffer, result.ptr);
}

}  // namespace vornmt::message
