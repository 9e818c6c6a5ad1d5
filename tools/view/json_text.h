// The few pieces of JSON the view writes for its page. Texts come from the
// touch server (device information) and may hold any bytes; the page's JSON
// parser must never see anything but valid UTF-8.
#pragma once

#include <string>
#include <string_view>

namespace vornmt::tools::view {

// Appends `text` as a quoted JSON string. Quotes, backslashes and control
// characters are escaped; bytes that are not part of valid UTF-8 (a Latin-1
// text, a sequence cut short) become U+FFFD each.
void AppendJsonString(std::string* out, std::string_view text);

// Appends `value` in its shortest exact form; NaN and infinities, which JSON
// cannot hold, become null.
void AppendJsonNumber(std::string* out, double value);

}  // namespace vornmt::tools::view
