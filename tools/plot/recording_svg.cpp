#include "plot/recording_svg.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <vector>

#include "common/text_parsing.h"

namespace vornmt::tools::plot {
namespace {

constexpr double kWidth = 1000;        // of the whole picture, in SVG units
constexpr double kMargin = 20;
constexpr double kLegendWidth = 150;
constexpr double kRowHeight = 16;      // one point id on the time axis
constexpr double kGestureRow = 110;    // room for the gesture names, written upwards

struct Sample {
    double time_ms;
    double x, y;
    bool starts_contact;
};

std::string Number(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", value);
    return text;
}

std::string Color(int id) {
    return "hsl(" + std::to_string(static_cast<int>(std::fmod(id * 137.5, 360.0))) + ",70%,45%)";
}

// Text for an XML attribute or element. Bytes that cannot appear in XML
// (control characters, broken UTF-8) become '?'.
std::string Escape(const std::string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (c == '&') out += "&amp;";
        else if (c == '<') out += "&lt;";
        else if (c == '>') out += "&gt;";
        else if (c == '"') out += "&quot;";
        else if (c < 0x20 && c != '\t') out += '?';
        else if (c < 0x80) out += static_cast<char>(c);
        else if (std::size_t length = Utf8SequenceLength(text, i)) {
            out.append(text, i, length);
            i += length - 1;
        } else {
            out += '?';
        }
    }
    return out;
}

// Ticks 1, 2 or 5 times a power of ten apart, about eight on the axis.
double TickStep(double span_ms) {
    double raw = std::max(span_ms, 1.0) / 8;
    double power = std::pow(10.0, std::floor(std::log10(raw)));
    for (double factor : {1.0, 2.0, 5.0, 10.0}) {
        if (raw <= factor * power) return factor * power;
    }
    return 10 * power;
}

}  // namespace

std::string RecordingToSvg(const Recording& recording, const GestureNamer& name, const std::string& title,
                           SvgSummary* summary) {
    // Gather the contacts of every id, the gestures and the extent.
    std::map<int, std::vector<Sample>> trails;
    struct Mark {
        double time_ms;
        int code;
        std::string name;
        bool has_place;
        double x, y;
    };
    std::vector<Mark> marks;
    double screen_x = 0, screen_y = 0, max_x = 1, max_y = 1;
    double first_ms = -1, last_ms = 0;
    std::string device;  // the first information text
    std::map<int, bool> present;  // ids in the previous frame
    const WireFrame* last_frame = nullptr;
    for (const RecordedEvent& event : recording.events) {
        if (const auto* resolution = std::get_if<WireResolution>(&event.event)) {
            if (screen_x <= 0 && resolution->x > 0 && resolution->y > 0) {
                screen_x = resolution->x;
                screen_y = resolution->y;
            }
            continue;
        }
        if (const auto* information = std::get_if<WireInformation>(&event.event)) {
            if (device.empty()) device = information->text;
            continue;
        }
        if (first_ms < 0) first_ms = event.time_ms;
        last_ms = event.time_ms;
        if (const auto* frame = std::get_if<WireFrame>(&event.event)) {
            std::map<int, bool> now;
            for (const WirePoint& p : frame->points) {
                const bool starts = p.code_0 == 1 || !present.count(p.code_1);
                trails[p.code_1].push_back(Sample{event.time_ms, double(p.x), double(p.y), starts});
                now[p.code_1] = true;
                max_x = std::max(max_x, double(p.x));
                max_y = std::max(max_y, double(p.y));
            }
            present.swap(now);
            last_frame = frame;
        } else if (const auto* gesture = std::get_if<WireGesture>(&event.event)) {
            Mark mark{event.time_ms, gesture->code, name(gesture->code), false, 0, 0};
            if (last_frame && !last_frame->points.empty()) {
                for (const WirePoint& p : last_frame->points) {
                    mark.x += p.x;
                    mark.y += p.y;
                }
                mark.x /= double(last_frame->points.size());
                mark.y /= double(last_frame->points.size());
                mark.has_place = true;
            }
            marks.push_back(mark);
        }
    }
    if (screen_x <= 0) {
        screen_x = max_x;
        screen_y = max_y;
    }
    if (first_ms < 0) first_ms = 0;
    const double span_ms = std::max(last_ms - first_ms, 1.0);

    // Layout: the screen on top, the time axis below, the legend on the right.
    const double plot_width = kWidth - 2 * kMargin - kLegendWidth;
    const double scale = std::min(plot_width / screen_x, 420 / screen_y);
    const double screen_w = screen_x * scale, screen_h = screen_y * scale;
    const double screen_top = kMargin + 24;
    const double axis_top = screen_top + screen_h + 30;
    const double rows_top = axis_top + kGestureRow;
    const double axis_y = rows_top + kRowHeight * double(trails.size()) + 6;
    const double legend_rows = double(trails.size() + 2);
    const double height = std::max(axis_y + 44, screen_top + legend_rows * kRowHeight + kMargin);
    const double left = kMargin, right = kMargin + plot_width;
    auto time_x = [&](double ms) { return left + (ms - first_ms) / span_ms * (right - left); };
    auto place_x = [&](double x) { return left + x * scale; };
    auto place_y = [&](double y) { return screen_top + y * scale; };

    std::string svg;
    svg += "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
    svg += "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + Number(kWidth) + "\" height=\"" + Number(height) +
           "\" viewBox=\"0 0 " + Number(kWidth) + " " + Number(height) +
           "\" font-family=\"sans-serif\" font-size=\"11\">\n";
    svg += "<title>" + Escape(title) + "</title>\n";
    svg += "<rect width=\"100%\" height=\"100%\" fill=\"white\"/>\n";
    svg += "<text x=\"" + Number(left) + "\" y=\"" + Number(kMargin + 8) + "\" font-size=\"14\" font-weight=\"bold\">" +
           Escape(title) + "</text>\n";
    if (!device.empty()) {
        svg += "<text x=\"" + Number(right) + "\" y=\"" + Number(kMargin + 8) +
               "\" text-anchor=\"end\" fill=\"#666\">" + Escape(device) + "</text>\n";
    }
    svg += "<rect class=\"screen\" x=\"" + Number(left) + "\" y=\"" + Number(screen_top) + "\" width=\"" +
           Number(screen_w) + "\" height=\"" + Number(screen_h) + "\" fill=\"#f4f5f7\" stroke=\"#999\"/>\n";
    svg += "<text x=\"" + Number(left + screen_w) + "\" y=\"" + Number(screen_top + screen_h + 14) +
           "\" text-anchor=\"end\" fill=\"#666\">" + std::to_string(int(screen_x)) + " x " +
           std::to_string(int(screen_y)) + " px</text>\n";

    // One path per id on the screen and one on the time axis; a new contact
    // starts a new subpath.
    int row = 0;
    for (const auto& [id, samples] : trails) {
        std::string place, time;
        for (const Sample& s : samples) {
            const char* move = s.starts_contact ? "M" : "L";
            place += move + Number(place_x(s.x)) + "," + Number(place_y(s.y)) + " ";
            time += move + Number(time_x(s.time_ms)) + "," + Number(rows_top + kRowHeight * (row + 0.5)) + " ";
        }
        const std::string color = Color(id);
        svg += "<g class=\"point-id\" data-id=\"" + std::to_string(id) + "\" stroke=\"" + color + "\" fill=\"none\">\n";
        svg += "<path class=\"trail\" d=\"" + place + "\" stroke-width=\"2.5\" stroke-linejoin=\"round\"/>\n";
        for (const Sample& s : samples) {
            if (s.starts_contact) {
                svg += "<circle cx=\"" + Number(place_x(s.x)) + "\" cy=\"" + Number(place_y(s.y)) + "\" r=\"3\" fill=\"" +
                       color + "\"/>\n";
            }
        }
        svg += "<path class=\"presence\" d=\"" + time + "\" stroke-width=\"6\" stroke-linecap=\"round\"/>\n";
        svg += "</g>\n";
        ++row;
    }

    // Gestures: a diamond where it fired, a tick and its name on the time axis.
    double last_label_x = -1e9;
    for (const Mark& mark : marks) {
        const std::string label = mark.name.empty() ? "code " + std::to_string(mark.code) : mark.name;
        const double tx = time_x(mark.time_ms);
        svg += "<g class=\"gesture\" data-code=\"" + std::to_string(mark.code) + "\" data-name=\"" + Escape(label) +
               "\">\n<title>" + Escape(label) + " at " + Number((mark.time_ms - first_ms) / 1000) + " s</title>\n";
        if (mark.has_place) {
            const double x = place_x(mark.x), y = place_y(mark.y);
            svg += "<path d=\"M" + Number(x) + "," + Number(y - 5) + " l5,5 l-5,5 l-5,-5 z\" fill=\"none\" stroke=\"#c0392b\"/>\n";
        }
        svg += "<line x1=\"" + Number(tx) + "\" y1=\"" + Number(rows_top - 4) + "\" x2=\"" + Number(tx) + "\" y2=\"" +
               Number(axis_y) + "\" stroke=\"#c0392b\" stroke-opacity=\"0.35\"/>\n";
        // Names written upwards need about 10 units each; a gesture closer to
        // the last named one keeps its tick and its tooltip only.
        if (tx - last_label_x >= 10) {
            svg += "<text transform=\"translate(" + Number(tx + 3) + "," + Number(rows_top - 6) +
                   ") rotate(-90)\" fill=\"#c0392b\" font-size=\"9\">" + Escape(label) + "</text>\n";
            last_label_x = tx;
        }
        svg += "</g>\n";
    }

    // Time axis.
    svg += "<g class=\"time-axis\" stroke=\"#333\">\n<line x1=\"" + Number(left) + "\" y1=\"" + Number(axis_y) +
           "\" x2=\"" + Number(right) + "\" y2=\"" + Number(axis_y) + "\"/>\n";
    const double step = TickStep(span_ms);
    for (double t = 0; t <= span_ms + step / 1000; t += step) {
        const double x = time_x(first_ms + t);
        char label[32];
        std::snprintf(label, sizeof label, "%g s", t / 1000);
        svg += "<line x1=\"" + Number(x) + "\" y1=\"" + Number(axis_y) + "\" x2=\"" + Number(x) + "\" y2=\"" +
               Number(axis_y + 5) + "\"/><text x=\"" + Number(x) + "\" y=\"" + Number(axis_y + 17) +
               "\" text-anchor=\"middle\" stroke=\"none\" fill=\"#333\">" + label + "</text>\n";
    }
    svg += "<text x=\"" + Number(right) + "\" y=\"" + Number(axis_y + 32) +
           "\" text-anchor=\"end\" stroke=\"none\" fill=\"#666\">time since the first event</text>\n</g>\n";

    // Legend.
    const double legend_x = right + 20;
    svg += "<g class=\"legend\">\n<text x=\"" + Number(legend_x) + "\" y=\"" + Number(screen_top + 10) +
           "\" font-weight=\"bold\">point ids (code_1)</text>\n";
    row = 0;
    for (const auto& [id, samples] : trails) {
        const double y = screen_top + kRowHeight * (row + 1.5);
        svg += "<rect x=\"" + Number(legend_x) + "\" y=\"" + Number(y - 9) + "\" width=\"14\" height=\"10\" fill=\"" +
               Color(id) + "\"/><text x=\"" + Number(legend_x + 20) + "\" y=\"" + Number(y) + "\">id " +
               std::to_string(id) + ": " + std::to_string(samples.size()) + " frames</text>\n";
        ++row;
    }
    const double y = screen_top + kRowHeight * (row + 1.5);
    svg += "<path d=\"M" + Number(legend_x + 7) + "," + Number(y - 10) +
           " l5,5 l-5,5 l-5,-5 z\" fill=\"none\" stroke=\"#c0392b\"/><text x=\"" + Number(legend_x + 20) + "\" y=\"" +
           Number(y) + "\">gesture (" + std::to_string(marks.size()) + ")</text>\n</g>\n</svg>\n";

    if (summary) *summary = SvgSummary{int(trails.size()), int(marks.size()), span_ms};
    return svg;
}

}  // namespace vornmt::tools::plot
