// Text for people: each record the library delivers as the line the monitor
// prints, statuses with their numbers, and any text with its control
// characters escaped. The monitor, the view and the simulator's log print
// through these; files for machines (recordings, the view's JSON) keep the
// bytes as they came. Uses the public header's GetGestureNameOfCode and
// GetStatusText, so a program that links this links the library too.
#pragma once

#include <VornMTClient.h>

#include <cstdint>
#include <string>
#include <string_view>

#include "common/protocol.h"

namespace vornmt::tools {

// The library's records as the tools' plain data. A gesture keeps at most
// MAX_GESTURE_PARAMS parameters; the information text ends at its NUL or at
// the end of the record.
WireFrame FrameOf(int32_t value_0, int32_t value_1, int32_t count, const Vorn_SDK_MultiTouch::TouchPoint* points);
WireGesture GestureOf(const Vorn_SDK_MultiTouch::TouchGesture& gesture);
WireInformation InformationOf(const Vorn_SDK_MultiTouch::TouchDeviceInfo& info);

// GetGestureNameOfCode of the code: "TG_CLICK" for 8, empty for a code
// without a name or outside 0 to 65535.
const char* GestureName(int code);

// One line per record, without the line break (docs/simulator.md shows them):
// frame 0 0: 1 point [1 1 960,540 30x30]
std::string FrameLine(const WireFrame& frame);
// gesture TG_CLICK (8) 960 540; "(unnamed)" for a code without a name
std::string GestureLine(const WireGesture& gesture);
// information 3 100 "text", the text escaped with PrintableText
std::string InformationLine(const WireInformation& information);
// resolution 1920x1080
std::string ResolutionLine(const WireResolution& resolution);
// server break: the server closed or reset the connection
std::string ServerBreakLine();
// error 0x31000001 bad message from the server (skipped)
std::string ErrorLine(int32_t status);

// The status as the header writes it: hexadecimal for the ERR_ codes
// (0x31000001), decimal for the others (10061).
std::string StatusNumber(int32_t status);
// GetStatusText with the number: "connection refused (10061)".
std::string StatusWithNumber(int32_t status);

// `text` fit for a terminal: C0 controls but tab, and DEL, as \xNN; the C1
// controls (U+0080 to U+009F, the UTF-8 bytes C2 80 to C2 9F) as \u0080 to
// \u009f; and every byte that is not part of a valid UTF-8 sequence (among
// them a lone 0x80 to 0x9F, which a terminal in an 8-bit mode would read
// as C1) as \xNN. Everything else, backslashes included, is kept.
std::string PrintableText(std::string_view text);

}  // namespace vornmt::tools
