// vornmt-plot: draws a recording of vornmt-monitor --record as an SVG
// picture (trails per point id, gestures, a time axis and a legend).
// Gesture names come from the library's GetGestureNameOfCode.
#include <VornMTClient.h>

#include <cstdio>
#include <string>

#include "common/recording.h"
#include "plot/recording_svg.h"

namespace {

constexpr int kExitDone = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

const char kUsage[] =
    "usage: vornmt-plot RECORDING [--output FILE] [--title TEXT]\n"
    "Draws a recording of vornmt-monitor --record as an SVG picture: the trail of every\n"
    "point id, a mark where each gesture fired, a time axis and a legend.\n"
    "\n"
    "  --output FILE   where to write the picture (default: RECORDING.svg; - for standard output)\n"
    "  --title TEXT    the picture's title (default: the recording's file name)\n"
    "\n"
    "Exit status: 0 written, 1 the recording cannot be read or the picture not written, 2 bad usage.\n";

std::string GestureName(int code) {
    return code >= 0 && code <= 0xFFFF ? GetGestureNameOfCode(static_cast<uint16_t>(code)) : "";
}

int Usage(const std::string& message) {
    std::fprintf(stderr, "vornmt-plot: %s\n\n%s", message.c_str(), kUsage);
    return kExitUsage;
}

}  // namespace

int main(int argc, char** argv) {
    std::string input, output, title;
    for (int i = 1; i < argc; ++i) {
        const std::string option = argv[i];
        if (option == "--help" || option == "-h") {
            std::printf("%s", kUsage);
            return kExitDone;
        } else if (option == "--output" || option == "--title") {
            if (i + 1 >= argc) return Usage(option + " needs a value");
            (option == "--output" ? output : title) = argv[++i];
        } else if (!option.empty() && option[0] == '-' && option != "-") {
            return Usage("unknown option '" + option + "'");
        } else if (input.empty()) {
            input = option;
        } else {
            return Usage("one recording at a time");
        }
    }
    if (input.empty()) return Usage("which recording?");
    if (output.empty()) output = input + ".svg";
    if (title.empty()) title = input.substr(input.find_last_of("/\\") + 1);

    std::string text, error;
    vornmt::tools::Recording recording;
    if (!vornmt::tools::ReadTextFile(input, &text, &error) ||
        !vornmt::tools::ParseRecording(text, &recording, &error)) {
        std::fprintf(stderr, "vornmt-plot: %s: %s\n", input.c_str(), error.c_str());
        return kExitFailed;
    }
    vornmt::tools::plot::SvgSummary summary;
    const std::string svg = vornmt::tools::plot::RecordingToSvg(recording, GestureName, title, &summary);
    std::FILE* file = output == "-" ? stdout : std::fopen(output.c_str(), "wb");
    bool ok = file && std::fwrite(svg.data(), 1, svg.size(), file) == svg.size();
    if (file && file != stdout) ok = std::fclose(file) == 0 && ok;
    if (!ok) {
        std::fprintf(stderr, "vornmt-plot: cannot write %s\n", output.c_str());
        return kExitFailed;
    }
    if (output != "-") {
        std::printf("wrote %s: %d point ids, %d gestures, %.3f s\n", output.c_str(), summary.trails, summary.gestures,
                    summary.duration_ms / 1000);
    }
    return kExitDone;
}
