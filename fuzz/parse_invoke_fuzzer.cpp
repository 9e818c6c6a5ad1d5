// Fuzzes ParseInvoke with arbitrary bytes, as a server could send them.
// Checks beyond "no crash":
// - the nesting scan never reports less depth than TinyXML builds, since
//   TinyXML's recursion is only bounded by that scan;
// - every argument of a parsed message, written back with ValueToXml, parses
//   again as a message with exactly one argument, which is the same value as
//   far as the writer promises (SurvivesRoundTrip).
// Run: parse_invoke_fuzzer -dict=fuzz/parse_invoke.dict <scratch dir> fuzz/corpus/parse_invoke
#include <tinyxml.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "message/invoke.h"
#include "message/nesting_scan.h"
#include "tinyxml_depth.h"
#include "value_round_trip.h"

namespace {

using vornmt::message::InvokeMessage;
using vornmt::message::kMaxMessageDepth;

using vornmt::fuzzing::BuiltDepth;
using vornmt::fuzzing::SurvivesRoundTrip;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);

    const int measured = vornmt::message::MeasureNesting(text, kMaxMessageDepth);
    if (measured >= 0 && measured <= kMaxMessageDepth && BuiltDepth(text) > measured) {
        std::abort();
    }

    InvokeMessage message;
    if (!vornmt::message::ParseInvoke(text, message)) {
        return 0;
    }
    for (const vornmt::message::Value& argument : message.arguments) {
        InvokeMessage again;
        const std::string written = vornmt::message::BuildInvoke("again", vornmt::message::ValueToXml(argument));
        if (!vornmt::message::ParseInvoke(written, again) || again.arguments.size() != 1 ||
            !SurvivesRoundTrip(argument, again.arguments[0])) {
            std::abort();
        }
    }
    return 0;
}
