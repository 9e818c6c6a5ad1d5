// The typed datum of the message format: every argument of an invoke message
// is one Value, and arrays and objects nest further Values. A Value owns its
// whole tree: copying copies every nested array and object. Values are plain
// data with no shared state; each tree belongs to the one thread that built it.
#pragma once

#include <boost/variant.hpp>

#include <map>
#include <string>
#include <utility>
#include <vector>

namespace vornmt::message {

// The payload of a Null value. Carries nothing; all NullValues are equal.
struct NullValue {};
inline bool operator==(NullValue, NullValue) { return true; }
inline bool operator!=(NullValue, NullValue) { return false; }

class Value;

// Elements in insertion order, indexed from 0.
using ValueArray = std::vector<Value>;
// Properties in ascending byte order of their keys (std::less<std::string>),
// which is also the order they are written in. Adding a property uses the
// map's insert, so when a key repeats the first value stays.
using ValueObject = std::map<std::string, Value>;

// The kind index (what which() returns) is part of the format's contract and
// must not be reordered; ValueKind mirrors it.
using ValueVariant = boost::variant<NullValue, bool, int, double, std::string,
                                    boost::recursive_wrapper<ValueArray>,
                                    boost::recursive_wrapper<ValueObject>>;

enum class ValueKind { Null, Boolean, Integer, Real, String, Array, Object };

class Value : public ValueVariant {
public:
    Value() = default;  // Null
    Value(NullValue null) : ValueVariant(null) {}
    Value(bool boolean) : ValueVariant(boolean) {}
    Value(int integer) : ValueVariant(integer) {}
    Value(double real) : ValueVariant(real) {}
    Value(std::string text) : ValueVariant(std::move(text)) {}
    // A character string is always a String: without this constructor a
    // pointer would convert to bool and silently become a Boolean. A null
    // pointer gives the empty String.
    Value(const char* text) : ValueVariant(std::string(text != nullptr ? text : "")) {}
    Value(ValueArray array) : ValueVariant(std::move(array)) {}
    Value(ValueObject object) : ValueVariant(std::move(object)) {}

    // Same kind and equal payload, compared through the whole tree.
    bool operator==(const Value& other) const {
        return static_cast<const ValueVariant&>(*this) == static_cast<const ValueVariant&>(other);
    }
    bool operator!=(const Value& other) const { return !(*this == other); }
};

ValueKind KindOf(const Value& value);

// Integer as is; Real truncated toward zero, or -2147483648 when the
// truncated value does not fit 32 bits or the Real is not a number. Any other
// kind throws boost::bad_get. No kind is parsed from text.
int ToInteger(const Value& value);
// Real as is; Integer converted. Any other kind throws boost::bad_get.
double ToReal(const Value& value);

// Views of an Array or an Object, without copying. They return nullptr for
// every other kind, Null included, so callers that take Null as "empty" must
// check for it themselves.
// The pointer stays valid while `value` is neither changed nor destroyed.
const ValueArray* AsArray(const Value& value);
const ValueObject* AsObject(const Value& value);

}  // namespace vornmt::message
