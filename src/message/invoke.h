// The invoke envelope every message travels in: a function name and a list of
// argument Values. The builders write outbound texts on the application's
// thread that sends a request; ParseInvoke reads inbound texts on the
// dispatch thread. No state is shared between calls.
#pragma once

#include <string>

#include "message/value.h"
#include "message/value_xml.h"

namespace vornmt::message {

// One parsed inbound message.
struct InvokeMessage {
    std::string name;       // the invoke element's name attribute
    ValueArray arguments;   // one Value per child element of <arguments>, in document order
};

// The text <invoke name='NAME' returntype="xml"><arguments>ARGUMENTS</arguments></invoke>
// with `name` and `arguments_xml` copied in unchanged. `name` is not escaped:
// the library passes only its own fixed names, which need none. No XML
// declaration, line break or terminating NUL is added.
std::string BuildInvoke(const std::string& name, const std::string& arguments_xml);

// A message whose single argument is `object` (see ValueToXml).
std::string BuildInvokeWithObject(const std::string& name, const ValueObject& object);

// A message with an empty <arguments></arguments>.
std::string BuildInvokeWithoutArguments(const std::string& name);

// Parses one received message text. Returns true when it is an invoke
// message: a top-level element "invoke" (need not be the first node) with a
// "name" attribute (may be empty) and a child element "arguments". Then the
// name is stored in `message.name` and each child element of the first
// arguments element, read with the value reader, is appended to
// `message.arguments`; an element the reader does not know still adds a Null.
// Returns false, leaving `message` unchanged, when the text is not
// well-formed XML, lacks any of these parts, or is refused by MeasureNesting
// before parsing: elements nested deeper than kMaxMessageDepth, a start tag
// with more than kMaxAttributesPerElement attributes, or markup TinyXML might
// split otherwise than the scan (see nesting_scan.h). So no text can exhaust
// the stack or keep the parser busy for long. The text is read up to its
// first NUL byte. Only bad_alloc can leave.
bool ParseInvoke(const std::string& text, InvokeMessage& message);

}  // namespace vornmt::message
