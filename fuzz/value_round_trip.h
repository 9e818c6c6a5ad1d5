// What a Value keeps when ValueToXml writes it and the reader reads it back,
// for the round-trip checks of the parse_invoke fuzzer and the corpus replay.
// The writer promises the same tree, kinds included, with two exceptions:
// a Real comes back rounded to six decimals; and a Real that is not finite
// (the reader makes one of a number too large) has no text the reader takes
// back, so any number stands for it.
#pragma once

#include <cfloat>
#include <cmath>
#include <cstddef>
#include <string>

#include "message/value.h"

namespace vornmt::fuzzing {

inline bool SurvivesRoundTrip(const message::Value& written, const message::Value& read) {
    using message::ValueKind;
    const ValueKind kind = message::KindOf(written);
    if (kind == ValueKind::Real) {
        const double value = boost::get<double>(written);
        if (!std::isfinite(value)) {
            return message::KindOf(read) == ValueKind::Integer || message::KindOf(read) == ValueKind::Real;
        }
        if (message::KindOf(read) != ValueKind::Real) return false;
        // Half the sixth decimal, and the reader's own rounding of the digits.
        const double slack = 5e-7 * (1 + 1e-9) + std::fabs(value) * 4 * DBL_EPSILON;
        return std::fabs(boost::get<double>(read) - value) <= slack;
    }
    if (message::KindOf(read) != kind) return false;
    if (const message::ValueArray* array = message::AsArray(written)) {
        const message::ValueArray& other = *message::AsArray(read);
        if (array->size() != other.size()) return false;
        for (std::size_t i = 0; i < array->size(); ++i) {
            if (!SurvivesRoundTrip((*array)[i], other[i])) return false;
        }
        return true;
    }
    if (const message::ValueObject* object = message::AsObject(written)) {
        const message::ValueObject& other = *message::AsObject(read);
        if (object->size() != other.size()) return false;
        for (auto mine = object->begin(), theirs = other.begin(); mine != object->end(); ++mine, ++theirs) {
            if (mine->first != theirs->first || !SurvivesRoundTrip(mine->second, theirs->second)) return false;
        }
        return true;
    }
    return written == read;
}

}  // namespace vornmt::fuzzing
