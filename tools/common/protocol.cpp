#include "common/protocol.h"

namespace vornmt::tools {

bool operator==(const WirePoint& a, const WirePoint& b) {
    return a.code_0 == b.code_0 && a.code_1 == b.code_1 && a.x == b.x && a.y == b.y && a.aux_0 == b.aux_0 &&
           a.aux_1 == b.aux_1;
}

bool operator==(const WireFrame& a, const WireFrame& b) {
    return a.value_0 == b.value_0 && a.value_1 == b.value_1 && a.points == b.points;
}

bool operator==(const WireGesture& a, const WireGesture& b) { return a.code == b.code && a.params == b.params; }

bool operator==(const WireInformation& a, const WireInformation& b) {
    return a.value_0 == b.value_0 && a.value_1 == b.value_1 && a.text == b.text;
}

bool operator==(const WireResolution& a, const WireResolution& b) { return a.x == b.x && a.y == b.y; }

}  // namespace vornmt::tools
