#include "view/json_text.h"

#include <cmath>
#include <cstdio>

#include "common/text_parsing.h"

namespace vornmt::tools::view {
void AppendJsonString(std::string* out, std::string_view text) {
    out->push_back('"');
    for (std::size_t at = 0; at < text.size();) {
        const unsigned char c = static_cast<unsigned char>(text[at]);
        const std::size_t length = Utf8SequenceLength(text, at);
        if (length == 0) {
            *out += "\\ufffd";
            ++at;
            continue;
        }
        if (length > 1) {
            out->append(text.substr(at, length));
        } else if (c == '"' || c == '\\') {
            out->push_back('\\');
            out->push_back(static_cast<char>(c));
        } else if (c < 0x20 || c == 0x7F) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
            *out += escaped;
        } else {
            out->push_back(static_cast<char>(c));
        }
        at += length;
    }
    out->push_back('"');
}

void AppendJsonNumber(std::string* out, double value) {
    if (!std::isfinite(value)) {
        *out += "null";
        return;
    }
    *out += FormatReal(value);
}

}  // namespace vornmt::tools::view
