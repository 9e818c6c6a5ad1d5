// The XML encoding of Values: a writer that produces the message format's
// element texts, and a reader that turns a node of a parsed TinyXML document
// back into a Value. Both are pure functions; the writer runs on whichever
// thread builds a request, the reader on the dispatch thread.
#pragma once

#include <string>

#include <VornMTClient.h>

#include "message/value.h"

class TiXmlNode;

namespace vornmt::message {

// Deepest element nesting a received message may have, the invoke element
// counting as level 1 (so its arguments sit at level 3). ParseInvoke refuses
// deeper texts before parsing them, and the reader never reads below it.
constexpr int kMaxMessageDepth = Vorn_SDK_MultiTouch::MAX_MESSAGE_DEPTH;

// Writes one Value:
//   Null     <null/>
//   Boolean  <boolean>true</boolean> or <boolean>false</boolean>
//   Integer  <number>-5</number>
//   Real     <number>0.500000</number> (six decimals, never an exponent)
//   String   <string>text</string>
//   Array    <array><property id="0">element</property>...</array>
//   Object   <object><property id="key">value</property>...</object>
// Object properties come in key order. In string texts and keys '&', '<' and
// '>' are written as &amp; &lt; &gt;, in keys '"' also as &quot;, and a NUL
// byte (which would end the message on the wire) as &#0;, and white space
// the reader would trim or condense as references, so the reader gets back
// exactly the bytes written. Numbers do not depend on the host's locale. Recursion is as
// deep as the tree; only bad_alloc can leave.
std::string ValueToXml(const Value& value);
// The same texts as for a Value holding the array or the object.
std::string ValueToXml(const ValueArray& array);
std::string ValueToXml(const ValueObject& object);

// Appends the text of `value` to `out`; what the three functions above use.
void AppendValueXml(std::string& out, const Value& value);

// Reads the Value that `node` encodes. Never fails: whatever is not
// recognised becomes a value. Only element nodes carry values; any other node
// (text, comment, ...) reads as Null. By element name (case-sensitive):
//   number   its first child's text by NumberFromText; no child gives Integer 0
//   string   its first child's text; no child gives the empty String
//   boolean  true exactly when its first child's text is "true"; no child gives false
//   array    for every child node in document order (elements or not), the
//            value of that child's first child node; a child without a child
//            of its own is skipped; ids are not read
//   object   for every child element with an id attribute, in document order,
//            the value of its first child node under the id (Null when it has
//            no child); the first property of a repeated id stays; children
//            without id are skipped; the child element's name does not matter
//   anything else  Null
// The nesting of the reader stays within kMaxMessageDepth, counting `level`,
// the node's level in its document (its element ancestors plus one; the
// invoke element is level 1): a node below that level reads as Null, and an
// array or object whose values would lie below it reads as empty.
Value ValueFromXmlAtLevel(const TiXmlNode& node, int level);

}  // namespace vornmt::message
