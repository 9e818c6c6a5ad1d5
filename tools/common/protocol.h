// The protocol as the tools share it: the server's default port, and the
// inbound messages as plain data, without the library's value model (what
// the simulator plays and what a recording holds). Numbers are kept as the
// server sends them; nothing here interprets them.
#pragma once

#include <string>
#include <variant>
#include <vector>

namespace vornmt::tools {

// The port a touch server listens on unless told otherwise; the simulator,
// the monitor and the view all default to it.
constexpr int kDefaultServerPort = 7100;

// One point of a "frame" message, its six numbers in wire order.
struct WirePoint {
    int code_0 = 0;
    int code_1 = 0;
    int x = 0;
    int y = 0;
    int aux_0 = 0;
    int aux_1 = 0;
};

struct WireFrame {
    int value_0 = 0;
    int value_1 = 0;
    std::vector<WirePoint> points;
};

// A "gesture" message: the code, then as many parameters as it says.
struct WireGesture {
    int code = 0;
    std::vector<double> params;
};

struct WireInformation {
    int value_0 = 0;
    int value_1 = 0;
    std::string text;
};

struct WireResolution {
    int x = 0;
    int y = 0;
};

using WireEvent = std::variant<WireFrame, WireGesture, WireInformation, WireResolution>;

bool operator==(const WirePoint& a, const WirePoint& b);
bool operator==(const WireFrame& a, const WireFrame& b);
bool operator==(const WireGesture& a, const WireGesture& b);
bool operator==(const WireInformation& a, const WireInformation& b);
bool operator==(const WireResolution& a, const WireResolution& b);
inline bool operator!=(const WirePoint& a, const WirePoint& b) { return !(a == b); }
inline bool operator!=(const WireFrame& a, const WireFrame& b) { return !(a == b); }
inline bool operator!=(const WireGesture& a, const WireGesture& b) { return !(a == b); }

}  // namespace vornmt::tools
