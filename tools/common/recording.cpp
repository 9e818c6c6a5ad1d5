#include "common/recording.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>

#include "common/text_parsing.h"

namespace vornmt::tools {

const char* const kRecordingMagic = "vornmt-recording 1";

namespace {

std::string EscapeText(const std::string& text) {
    std::string escaped;
    for (char c : text) {
        switch (c) {
            case '\\': escaped += "\\\\"; break;
            case '\n': escaped += "\\n"; break;
            case '\r': escaped += "\\r"; break;
            case '\t': escaped += "\\t"; break;
            default: escaped += c;
        }
    }
    return escaped;
}

bool UnescapeText(std::string_view text, std::string* out) {
    out->clear();
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\') {
            *out += text[i];
            continue;
        }
        if (++i == text.size()) return false;
        switch (text[i]) {
            case '\\': *out += '\\'; break;
            case 'n': *out += '\n'; break;
            case 'r': *out += '\r'; break;
            case 't': *out += '\t'; break;
            default: return false;
        }
    }
    return true;
}

struct LineFormatter {
    std::string operator()(const WireFrame& frame) const {
        std::string line = "frame " + time + " " + std::to_string(frame.value_0) + " " +
                           std::to_string(frame.value_1) + " " + std::to_string(frame.points.size());
        for (const WirePoint& p : frame.points) {
            for (int v : {p.code_0, p.code_1, p.x, p.y, p.aux_0, p.aux_1}) line += " " + std::to_string(v);
        }
        return line;
    }
    std::string operator()(const WireGesture& gesture) const {
        std::string line = "gesture " + time + " " + std::to_string(gesture.code) + " " +
                           std::to_string(gesture.params.size());
        for (double p : gesture.params) line += " " + FormatReal(p);
        return line;
    }
    std::string operator()(const WireInformation& info) const {
        return "information " + time + " " + std::to_string(info.value_0) + " " + std::to_string(info.value_1) + " " +
               EscapeText(info.text);
    }
    std::string operator()(const WireResolution& resolution) const {
        return "resolution " + time + " " + std::to_string(resolution.x) + " " + std::to_string(resolution.y);
    }
    std::string time;
};

// Reads the integer fields [first, first + count) of `fields` into `values`.
bool ParseIntegers(const std::vector<std::string_view>& fields, std::size_t first, std::size_t count, int* values) {
    for (std::size_t i = 0; i < count; ++i) {
        if (!ParseInteger(fields[first + i], &values[i])) return false;
    }
    return true;
}

// Parses one non-comment line; on failure sets *error without the line number.
bool ParseEventLine(std::string_view line, RecordedEvent* event, std::string* error) {
    std::vector<std::string_view> fields = SplitFields(line);
    const std::string_view kind = fields[0];
    if (fields.size() < 2 || !ParseReal(fields[1], &event->time_ms) || event->time_ms < 0 ||
        event->time_ms > kMaxRecordedTimeMs) {
        *error = std::string(kind) + ": expected a time in milliseconds (0 to 1e12) after the kind";
        return false;
    }
    if (kind == "frame") {
        int head[3];
        if (fields.size() < 5 || !ParseIntegers(fields, 2, 3, head)) {
            *error = "frame: expected the time, two frame numbers and the point count";
            return false;
        }
        if (head[2] < 0 || head[2] > kMaxRecordedPoints) {
            *error = "frame: the point count must be 0 to " + std::to_string(kMaxRecordedPoints);
            return false;
        }
        if (fields.size() != 5 + 6 * static_cast<std::size_t>(head[2])) {
            *error = "frame: expected 6 whole numbers per point (" + std::to_string(head[2]) + " points)";
            return false;
        }
        WireFrame frame;
        frame.value_0 = head[0];
        frame.value_1 = head[1];
        for (int i = 0; i < head[2]; ++i) {
            int v[6];
            if (!ParseIntegers(fields, 5 + 6 * static_cast<std::size_t>(i), 6, v)) {
                *error = "frame: point " + std::to_string(i) + " holds something other than whole numbers";
                return false;
            }
            frame.points.push_back(WirePoint{v[0], v[1], v[2], v[3], v[4], v[5]});
        }
        event->event = std::move(frame);
        return true;
    }
    if (kind == "gesture") {
        int head[2];
        if (fields.size() < 4 || !ParseIntegers(fields, 2, 2, head)) {
            *error = "gesture: expected the time, the code and the parameter count";
            return false;
        }
        if (head[1] < 0 || head[1] > kMaxRecordedParams || fields.size() != 4 + static_cast<std::size_t>(head[1])) {
            *error = "gesture: expected as many parameters as the count says (at most " +
                     std::to_string(kMaxRecordedParams) + ")";
            return false;
        }
        WireGesture gesture;
        gesture.code = head[0];
        for (int i = 0; i < head[1]; ++i) {
            double p = 0;
            if (!ParseReal(fields[4 + static_cast<std::size_t>(i)], &p)) {
                *error = "gesture: parameter " + std::to_string(i) + " is not a number";
                return false;
            }
            gesture.params.push_back(p);
        }
        event->event = std::move(gesture);
        return true;
    }
    if (kind == "information") {
        int head[2];
        if (fields.size() < 4 || !ParseIntegers(fields, 2, 2, head)) {
            *error = "information: expected the time, two whole numbers and the text";
            return false;
        }
        // The text is everything after the single space that follows the
        // second number, so leading blanks of the text survive.
        std::size_t text_at = static_cast<std::size_t>(fields[3].data() + fields[3].size() - line.data()) + 1;
        WireInformation info{head[0], head[1], {}};
        if (text_at < line.size() && !UnescapeText(line.substr(text_at), &info.text)) {
            *error = "information: the text has a backslash not followed by \\, n, r or t";
            return false;
        }
        event->event = std::move(info);
        return true;
    }
    if (kind == "resolution") {
        int v[2];
        if (fields.size() != 4 || !ParseIntegers(fields, 2, 2, v)) {
            *error = "resolution: expected the time, x and y";
            return false;
        }
        event->event = WireResolution{v[0], v[1]};
        return true;
    }
    *error = "unknown kind '" + std::string(kind) + "' (expected frame, gesture, information or resolution)";
    return false;
}

}  // namespace

std::string FormatRecordedEvent(const RecordedEvent& event) {
    return std::visit(LineFormatter{FormatReal(event.time_ms)}, event.event);
}

bool ParseRecording(const std::string& text, Recording* recording, std::string* error) {
    std::vector<std::string_view> lines = SplitLines(text);
    if (lines.empty() || lines[0] != kRecordingMagic) {
        *error = std::string("line 1: not a recording (the first line must be '") + kRecordingMagic + "')";
        return false;
    }
    Recording result;
    for (std::size_t i = 1; i < lines.size(); ++i) {
        std::string_view line = lines[i];
        std::vector<std::string_view> fields = SplitFields(line);
        if (fields.empty() || fields[0][0] == '#') continue;
        RecordedEvent event;
        std::string message;
        if (!ParseEventLine(line, &event, &message)) {
            *error = "line " + std::to_string(i + 1) + ": " + message;
            return false;
        }
        if (!result.events.empty() && event.time_ms < result.events.back().time_ms) {
            *error = "line " + std::to_string(i + 1) + ": the time goes backwards";
            return false;
        }
        result.events.push_back(std::move(event));
    }
    *recording = std::move(result);
    return true;
}

bool ReadTextFile(const std::string& path, std::string* text, std::string* error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        *error = "cannot open " + path + ": " + std::strerror(errno);
        return false;
    }
    std::ostringstream content;
    content << in.rdbuf();
    if (in.bad()) {
        *error = "cannot read " + path;
        return false;
    }
    *text = content.str();
    return true;
}

RecordingWriter::~RecordingWriter() {
    std::string ignored;
    Close(&ignored);
}

bool RecordingWriter::Open(const std::string& path, std::string* error) {
    std::lock_guard<std::mutex> hold(mutex_);
    if (file_) std::fclose(file_);
    file_ = std::fopen(path.c_str(), "wb");
    path_ = path;
    failed_ = false;
    if (!file_) {
        *error = "cannot create " + path + ": " + std::strerror(errno);
        return false;
    }
    failed_ = std::fprintf(file_, "%s\n", kRecordingMagic) < 0;
    return true;
}

void RecordingWriter::Write(const RecordedEvent& event) {
    std::string line = FormatRecordedEvent(event);
    line += '\n';
    std::lock_guard<std::mutex> hold(mutex_);
    if (!file_) return;
    if (std::fwrite(line.data(), 1, line.size(), file_) != line.size()) failed_ = true;
}

bool RecordingWriter::Close(std::string* error) {
    std::lock_guard<std::mutex> hold(mutex_);
    if (!file_) return true;
    bool ok = !failed_;
    if (std::fclose(file_) != 0) ok = false;
    file_ = nullptr;
    if (!ok) *error = "writing " + path_ + " failed";
    return ok;
}

}  // namespace vornmt::tools
