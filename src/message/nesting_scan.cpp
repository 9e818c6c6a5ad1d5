#include "message/nesting_scan.h"

#include <tinyxml.h>

#include <algorithm>
#include <cstddef>

namespace vornmt::message {

namespace {

constexpr std::size_t kNotFound = std::string_view::npos;

bool StartsWith(std::string_view text, std::size_t at, std::string_view prefix) {
    return text.size() - at >= prefix.size() && text.substr(at, prefix.size()) == prefix;
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

// FindInText's result when TinyXML would fail on a character reference.
constexpr std::size_t kUnreadable = kNotFound - 1;

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsHexDigit(char c) { return IsDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }

// Where TinyXML's text reader goes on after the '&' at `at`, or kNotFound
// where it fails. A numeric reference "&#" runs to the next ';' anywhere
// after it, over '<', '>' and quotes alike, as long as the characters between
// the last '#' (or 'x' after "&#x") before that ';' and the ';' are digits:
// TinyXML checks them walking back from the ';'. Named references ("&amp;")
// hold no '<' and no quote, so stepping over them byte by byte finds the
// same stops.
std::size_t AfterReference(std::string_view text, std::size_t at) {
    if (at + 2 >= text.size() || text[at + 1] != '#') {
        return at + 1;
    }
    const bool hex = text[at + 2] == 'x';
    if (hex && at + 3 >= text.size()) {
        return kNotFound;
    }
    const std::size_t semicolon = text.find(';', at + (hex ? 3 : 2));
    if (semicolon == kNotFound) {
        return kNotFound;
    }
    const char marker = hex ? 'x' : '#';  // text[at + 2] or text[at + 1] ends the walk at the latest
    for (std::size_t back = semicolon - 1; text[back] != marker; --back) {
        if (!(hex ? IsHexDigit(text[back]) : IsDigit(text[back]))) {
            return kNotFound;
        }
    }
    return semicolon + 1;
}

// The first `stop` that TinyXML's text reader, started at `at`, looks at:
// '<' in element content, the closing quote in an attribute value. Returns
// kNotFound at the end of the text and kUnreadable where TinyXML would fail.
// (In UTF-8 mode TinyXML also steps over whole sequences; once
// StepsStayInsideSequences holds, those hold no ASCII and change nothing here.)
// A plain byte loop: this runs over nearly every byte of a message, and
// find_first_of would call memchr on the stop set for each of them.
std::size_t FindInText(std::string_view text, std::size_t at, char stop) {
    const char* const bytes = text.data();
    const std::size_t size = text.size();
    while (at < size) {
        const char c = bytes[at];
        if (c == stop) {
            return at;
        }
        if (c != '&') {
            ++at;
            continue;
        }
        at = AfterReference(text, at);
        if (at == kNotFound) {
            return kUnreadable;
        }
    }
    return kNotFound;
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
// runs across it; an unclosed quote after '=' is therefore refused, and so is
// '&', which could start a reference running past the quote. Bytes from 0x80
// up are refused because TinyXML's case-insensitive "<?xml" test and its
// white space test depend on the host's locale for them.
bool ProcessingInstructionIsPlain(std::string_view construct) {
    for (std::size_t at = 0; at < construct.size(); ++at) {
        if (IsHighByte(construct[at]) || construct[at] == '&') {
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

// Counts the nodes TinyXML would build, against kMaxMessageNodes.
class NodeBudget {
public:
    // False once the text holds more nodes than the bound.
    bool Spend() { return ++nodes_ <= kMaxMessageNodes; }

private:
    int nodes_ = 0;
};

}  // namespace

int MeasureNesting(std::string_view text, int limit) {
    text = text.substr(0, text.find('\0'));
    if (MayReadAsUtf8(text) && !StepsStayInsideSequences(text)) {
        return kNestingRefused;
    }

    int depth = 0;
    int deepest = 0;
    NodeBudget budget;
    std::size_t at = 0;
    // Between markup TinyXML reads text (at the top level it stops at text,
    // which is no deeper either).
    while ((at = FindInText(text, at, '<')) != kNotFound) {
        if (at == kUnreadable) {
            return kNestingRefused;
        }
        // The byte after '<' tells the kinds apart (text holds no NUL).
        const char next = at + 1 < text.size() ? text[at + 1] : '\0';
        // Every construct below but an end tag is a node of its own.
        const bool end_tag = next == '/' && depth > 0;
        if (!end_tag && !budget.Spend()) {
            return kNestingRefused;
        }
        if (next == '!' && StartsWith(text, at, "<!--")) {
            at = After(text, "-->", at + 4);
        } else if (next == '!' && StartsWith(text, at, "<![CDATA[")) {
            at = After(text, "]]>", at + 9);
        } else if (next == '?') {
            const std::size_t end = text.find('>', at + 2);
            if (end != kNotFound && !ProcessingInstructionIsPlain(text.substr(at, end - at))) {
                return kNestingRefused;
            }
            at = end == kNotFound ? kNotFound : end + 1;
        } else if (end_tag) {
            // TinyXML either closes the open element here or stops with an error.
            --depth;
            at = After(text, ">", at + 2);
        } else if (OpensElement(next)) {
            // A quote anywhere but after '=' is an error to TinyXML, so taking
            // every quote as opening a value follows it wherever it goes on.
            std::size_t end = at + 2;
            int attributes = 0;
            while (end < text.size() && text[end] != '>') {
                const char c = text[end];
                if (c == '"' || c == '\'') {
                    end = FindInText(text, end + 1, c);
                    if (end == kUnreadable) {
                        return kNestingRefused;
                    }
                    if (end == kNotFound) {
                        end = text.size();
                        break;
                    }
                } else if (c == '=') {
                    if (++attributes > kMaxAttributesPerElement || !budget.Spend()) {
                        return kNestingRefused;
                    }
                } else if (c == '<') {
                    return kNestingRefused;
                }
                ++end;
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
