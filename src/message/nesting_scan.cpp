#include "message/nesting_scan.h"

#include <tinyxml.h>

#include <algorithm>
#include <cstddef>

namespace vornmt::message {

namespace {

constexpr std::size_t kNotFound = std::string_view::npos;

bool StartsWith(std::string_view text, std::size_t at, std::string_view prefix) {
    return text.compare(at, prefix.size(), prefix) == 0;
}

bool IsHighByte(char c) { return static_cast<unsigned char>(c) >= 0x80; }

// Classic-locale white space, which is what TinyXML skips in plain ASCII.
bool IsAsciiSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }

// What TinyXML takes for the first character of an element name: isalpha
// below 0x7F, and every byte from 0x7F up.
bool OpensElement(char c) {
    const unsigned char byte = static_cast<unsigned char>(c);
    return byte >= 0x7F || (byte >= 'a' && byte <= 'z') || (byte >= 'A' && byte <= 'Z') || byte == '_';
}

// Position just past the next `terminator` at or after `from`, or kNotFound.
std::size_t After(std::string_view text, std::string_view terminator, std::size_t from) {
    const std::size_t found = text.find(terminator, from);
    return found == kNotFound ? kNotFound : found + terminator.size();
}

// TinyXML switches to UTF-8 on a byte order mark at the start or after an XML
// declaration. "<?xml" anywhere is taken as a possible declaration.
bool MayReadAsUtf8(std::string_view text) {
    if (StartsWith(text, 0, "\xEF\xBB\xBF")) {
        return true;
    }
    for (std::size_t at = text.find("<?"); at != kNotFound; at = text.find("<?", at + 2)) {
        if (at + 4 < text.size() && (text[at + 2] | 0x20) == 'x' && (text[at + 3] | 0x20) == 'm' &&
            (text[at + 4] | 0x20) == 'l') {
            return true;
        }
    }
    return false;
}

// In UTF-8 mode TinyXML copies a lead byte and the next bytes its table names
// as one character without looking at them. That is harmless only when those
// bytes are never ASCII (and never the terminating NUL), wherever TinyXML's
// steps happen to start, so every position is checked.
bool StepsStayInsideSequences(std::string_view text) {
    for (std::size_t at = 0; at < text.size(); ++at) {
        const int length = TiXmlBase::utf8ByteTable[static_cast<unsigned char>(text[at])];
        if (length <= 1) {
            continue;
        }
        if (at + static_cast<std::size_t>(length) > text.size()) {
            return false;
        }
        for (int next = 1; next < length; ++next) {
            if (!IsHighByte(text[at + static_cast<std::size_t>(next)])) {
                return false;
            }
        }
    }
    return true;
}

// A "<?" construct, from its '<' up to (not including) its first '>'. TinyXML
// ends an XML declaration at that '>' too, unless a quoted attribute value
// runs across it; an unclosed quote after '=' is therefore refused. Bytes from
// 0x80 up are refused because TinyXML's case-insensitive "<?xml" test and its
// white space test depend on the host's locale for them.
bool ProcessingInstructionIsPlain(std::string_view construct) {
    for (std::size_t at = 0; at < construct.size(); ++at) {
        if (IsHighByte(construct[at])) {
            return false;
        }
    }
    for (std::size_t at = construct.find('='); at != kNotFound; at = construct.find('=', at + 1)) {
        std::size_t value = at + 1;
        while (value < construct.size() && IsAsciiSpace(construct[value])) {
            ++value;
        }
        if (value < construct.size() && (construct[value] == '"' || construct[value] == '\'')) {
            if (construct.find(construct[value], value + 1) == kNotFound) {
                return false;
            }
        }
    }
    return true;
}

}  // namespace

int MeasureNesting(std::string_view text, int limit) {
    text = text.substr(0, text.find('\0'));
    if (MayReadAsUtf8(text) && !StepsStayInsideSequences(text)) {
        return kNestingRefused;
    }

    int depth = 0;
    int deepest = 0;
    std::size_t at = 0;
    while ((at = text.find('<', at)) != kNotFound) {
        if (StartsWith(text, at, "<!--")) {
            at = After(text, "-->", at + 4);
        } else if (StartsWith(text, at, "<![CDATA[")) {
            at = After(text, "]]>", at + 9);
        } else if (StartsWith(text, at, "<?")) {
            const std::size_t end = text.find('>', at + 2);
            if (end != kNotFound && !ProcessingInstructionIsPlain(text.substr(at, end - at))) {
                return kNestingRefused;
            }
            at = end == kNotFound ? kNotFound : end + 1;
        } else if (StartsWith(text, at, "</") && depth > 0) {
            // TinyXML either closes the open element here or stops with an error.
            --depth;
            at = After(text, ">", at + 2);
        } else if (at + 1 < text.size() && OpensElement(text[at + 1])) {
            std::size_t end = at + 2;
            char quote = 0;
            int attributes = 0;
            for (; end < text.size(); ++end) {
                const char c = text[end];
                if (quote != 0) {
                    if (c == quote) {
                        quote = 0;
                    }
                } else if (c == '"' || c == '\'') {
                    quote = c;
                } else if (c == '=') {
                    if (++attributes > kMaxAttributesPerElement) {
                        return kNestingRefused;
                    }
                } else if (c == '<') {
                    return kNestingRefused;
                } else if (c == '>') {
                    break;
                }
            }
            if (end == text.size() || text[end - 1] != '/') {
                ++depth;
                deepest = std::max(deepest, depth);
            } else {
                deepest = std::max(deepest, depth + 1);
            }
            if (deepest > limit) {
                return limit + 1;
            }
            at = end == text.size() ? kNotFound : end + 1;
        } else {
            // Any other markup ("<!DOCTYPE", "< x", "</" at the top level) is
            // an unknown node to TinyXML, which runs to the first '>'.
            at = After(text, ">", at + 1);
        }
    }
    return deepest;
}

}  // namespace vornmt::message
