// Measures how deeply the elements of a received text nest before the XML
// parser sees it. TinyXML parses nested elements recursively without a limit,
// so an inbound text must be measured first or a server could exhaust the
// dispatch thread's stack. Pure function, any thread.
#pragma once

#include <VornMTClient.h>

#include <string_view>

namespace vornmt::message {

// MeasureNesting's result for a text it will not vouch for (see below).
constexpr int kNestingRefused = -1;

// Most attributes one start tag may carry. TinyXML compares every new
// attribute with all earlier ones of its element, so a message full of
// attributes on one element would keep the dispatch thread busy for seconds;
// the message format uses at most two.
constexpr int kMaxAttributesPerElement = 16;

// Most nodes one message may make TinyXML build: elements, attributes,
// comments, CDATA sections and other "<!"/"<?" constructs together. Each
// costs TinyXML a few hundred bytes and its share of the parse time, so a
// message full of "<a/>" would build a document of a dozen megabytes;
// with this bound a message costs a few megabytes and milliseconds at most.
// A frame of MAX_FRAME_POINTS points has about 2,100 such nodes.
constexpr int kMaxMessageNodes = Vorn_SDK_MultiTouch::MAX_MESSAGE_NODES;

// Returns the deepest element nesting of `text` (an element at the top level
// is at depth 1, a self-closing element counts for its own level), or
// `limit + 1` as soon as the nesting passes `limit`, or kNestingRefused.
//
// The scan is linear and uses no recursion. It reads the text up to its first
// NUL byte, as the parser does, and splits it where TinyXML does, so that the
// depth it reports is never below the depth TinyXML builds:
// - comments run to "-->", CDATA sections to "]]>";
// - every other "<!" or "<?" construct ends at its first '>', as TinyXML ends
//   it there (not at "?>");
// - text and quoted attribute values are read as TinyXML reads them: a
//   numeric character reference "&#...;" can run past '<' and quotes to a
//   far ';', and does so here too; a start tag with more than
//   kMaxAttributesPerElement '=' signs outside quotes is refused;
// - "</" closes one level (at the top level it is skipped like "<!");
// - '<' followed by a letter, '_' or a byte of 0x7F and up opens an element.
// Text TinyXML might split differently is refused rather than guessed at: a
// '<' outside quotes inside a start tag; a character reference TinyXML fails
// on; a "<?" construct with '&' or a byte of 0x80 and up, or with a quoted
// value after '=' that is not closed before its first '>'; and, when TinyXML
// may read the text as UTF-8 (it starts with a byte order mark or holds
// "<?xml"), a lead byte not followed by as many continuation bytes as TinyXML
// steps over, since TinyXML would then swallow the '<' or quote after it.
// Refusing costs nothing in practice: a well-formed message holds none of
// these. A text with more than kMaxMessageNodes nodes is refused as well.
int MeasureNesting(std::string_view text, int limit);

}  // namespace vornmt::message
