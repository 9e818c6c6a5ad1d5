#include "message/value.h"

#include <cmath>
#include <limits>

namespace vornmt::message {

namespace {

const ValueVariant& AsVariant(const Value& value) { return value; }

}  // namespace

ValueKind KindOf(const Value& value) { return static_cast<ValueKind>(value.which()); }

int ToInteger(const Value& value) {
    if (const int* integer = boost::get<int>(&AsVariant(value))) {
        return *integer;
    }
    const double real = boost::get<double>(AsVariant(value));  // throws for other kinds
    // The comparisons are false for NaN, so NaN takes the out-of-range result.
    const double truncated = std::trunc(real);
    if (truncated >= -2147483648.0 && truncated <= 2147483647.0) {
        return static_cast<int>(truncated);
    }
    return std::numeric_limits<int>::min();
}

double ToReal(const Value& value) {
    if (const int* integer = boost::get<int>(&AsVariant(value))) {
        return *integer;
    }
    return boost::get<double>(AsVariant(value));
}

const ValueArray* AsArray(const Value& value) { return boost::get<ValueArray>(&AsVariant(value)); }

const ValueObject* AsObject(const Value& value) { return boost::get<ValueObject>(&AsVariant(value)); }

}  // namespace vornmt::message
