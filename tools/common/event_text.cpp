#include "common/event_text.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "common/text_parsing.h"

namespace vornmt::tools {
namespace {

namespace mt = Vorn_SDK_MultiTouch;

// The ERR_ codes share the high byte 0x31.
constexpr int32_t kFirstLibraryCode = 0x31000000;

void AppendEscape(std::string* out, const char* form, unsigned value) {
    char escape[8];
    std::snprintf(escape, sizeof escape, form, value);
    *out += escape;
}

}  // namespace

WireFrame FrameOf(int32_t value_0, int32_t value_1, int32_t count, const mt::TouchPoint* points) {
    WireFrame frame{value_0, value_1, {}};
    frame.points.reserve(static_cast<std::size_t>(std::max<int32_t>(count, 0)));
    for (int32_t i = 0; i < count; ++i) {
        const mt::TouchPoint& p = points[i];
        frame.points.push_back(WirePoint{p.code_0, p.code_1, p.x, p.y, p.aux_0, p.aux_1});
    }
    return frame;
}

WireGesture GestureOf(const mt::TouchGesture& gesture) {
    const int count = std::min<int>(gesture.param_count, mt::MAX_GESTURE_PARAMS);
    return WireGesture{gesture.code, std::vector<double>(gesture.params, gesture.params + count)};
}

WireInformation InformationOf(const mt::TouchDeviceInfo& info) {
    return WireInformation{info.info_value_0, info.info_value_1,
                           std::string(info.info_text, strnlen(info.info_text, sizeof info.info_text))};
}

std::string FrameLine(const WireFrame& frame) {
    const std::size_t count = frame.points.size();
    std::string line = "frame " + std::to_string(frame.value_0) + " " + std::to_string(frame.value_1) + ": " +
                       std::to_string(count) + (count == 1 ? " point" : " points");
    for (const WirePoint& p : frame.points) {
        line += " [" + std::to_string(p.code_0) + " " + std::to_string(p.code_1) + " " + std::to_string(p.x) + "," +
                std::to_string(p.y) + " " + std::to_string(p.aux_0) + "x" + std::to_string(p.aux_1) + "]";
    }
    return line;
}

const char* GestureName(int code) {
    return code < 0 || code > 0xFFFF ? "" : GetGestureNameOfCode(static_cast<uint16_t>(code));
}

std::string GestureLine(const WireGesture& gesture) {
    const char* name = GestureName(gesture.code);
    std::string line = "gesture " + std::string(*name ? name : "(unnamed)") + " (" +
                       std::to_string(gesture.code) + ")";
    for (double param : gesture.params) {
        char text[48];
        std::snprintf(text, sizeof text, " %g", param);
        line += text;
    }
    return line;
}

std::string InformationLine(const WireInformation& information) {
    return "information " + std::to_string(information.value_0) + " " + std::to_string(information.value_1) +
           " \"" + PrintableText(information.text) + "\"";
}

std::string ResolutionLine(const WireResolution& resolution) {
    return "resolution " + std::to_string(resolution.x) + "x" + std::to_string(resolution.y);
}

std::string ServerBreakLine() { return "server break: the server closed or reset the connection"; }

std::string ErrorLine(int32_t status) { return "error " + StatusNumber(status) + " " + GetStatusText(status); }

std::string StatusNumber(int32_t status) {
    char number[32];
    if (status >= kFirstLibraryCode) {
        std::snprintf(number, sizeof number, "0x%08X", static_cast<unsigned>(status));
    } else {
        std::snprintf(number, sizeof number, "%d", static_cast<int>(status));
    }
    return number;
}

std::string StatusWithNumber(int32_t status) {
    return std::string(GetStatusText(status)) + " (" + StatusNumber(status) + ")";
}

std::string PrintableText(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t at = 0; at < text.size();) {
        const unsigned char c = static_cast<unsigned char>(text[at]);
        if (c < 0x80) {
            if ((c < 0x20 && c != '\t') || c == 0x7F) {
                AppendEscape(&out, "\\x%02x", c);
            } else {
                out += static_cast<char>(c);
            }
            ++at;
            continue;
        }
        const std::size_t length = Utf8SequenceLength(text, at);
        if (length == 0) {
            AppendEscape(&out, "\\x%02x", c);
            ++at;
        } else if (length == 2 && c == 0xC2 && static_cast<unsigned char>(text[at + 1]) <= 0x9F) {
            AppendEscape(&out, "\\u%04x", static_cast<unsigned char>(text[at + 1]));
            at += 2;
        } else {
            out.append(text, at, length);
            at += length;
        }
    }
    return out;
}

}  // namespace vornmt::tools
