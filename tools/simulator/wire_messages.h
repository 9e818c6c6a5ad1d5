// The simulator's side of the protocol: the texts of the messages it sends
// (without their NUL terminator) and a readable form of a client's request
// for the log. Clients read these with the library's own decoder.
#pragma once

#include <string>

#include "common/protocol.h"
#include "message/invoke.h"

namespace vornmt::tools {

// The version the simulator announces: 2.0, which no client takes for an old
// server (only 1.x with x below 10 is).
constexpr int kAnnouncedVersionMajor = 2;
constexpr int kAnnouncedVersionMinor = 0;

std::string FrameMessageText(const WireFrame& frame);
// Whole parameters travel as integers, others as reals with six decimals.
std::string GestureMessageText(const WireGesture& gesture);
std::string InformationMessageText(const WireInformation& information);
std::string ResolutionMessageText(const WireResolution& resolution);
// "version" with five arguments: major, minor, 0, 0, "vornmt-sim".
std::string VersionMessageText();

// The arguments of a received message for the log: objects as key=value
// pairs in key order, strings quoted, e.g. `move_threshold=5`.
std::string DescribeArguments(const message::ValueArray& arguments);

}  // namespace vornmt::tools
