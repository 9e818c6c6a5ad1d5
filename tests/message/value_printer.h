// Lets GoogleTest show Values in failure messages as their XML text.
#pragma once

#include <ostream>

#include "message/value.h"
#include "message/value_xml.h"

namespace vornmt::message {

inline void PrintTo(const Value& value, std::ostream* out) { *out << ValueToXml(value); }

}  // namespace vornmt::message
