// vornmt-plot: draws a recording of vornmt-monitor --record as an SVG
// picture (trails per point id, gestures, a time axis and a legend).
// Gesture names come from the library's GetGestureNameOfCode.
#include <VornMTClient.h>

#include <cstdio>
#include <string>

#include "common/options.h"
#include "common/recording.h"
#include "plot/recording_svg.h"

namespace {

using vornmt::tools::kExitDone;
using vornmt::tools::kExitFailed;

std::string GestureName(int code) {
    return code >= 0 && code <= 0xFFFF ? GetGestureNameOfCode(static_cast<uint16_t>(code)) : "";
}

vornmt::tools::CommandLine OptionTable(std::string* input, std::string* output, std::string* title) {
    return {"vornmt-plot",
            "RECORDING [--output FILE] [--title TEXT]",
            "Draws a recording of vornmt-monitor --record as an SVG picture: the trail of every\n"
            "point id, a mark where each gesture fired, a time axis and a legend.\n",
            {
                {"--output", "FILE", "where to write the picture (default: RECORDING.svg; - for standard output)",
                 "needs a value", vornmt::tools::TakeText(output)},
                {"--title", "TEXT", "the picture's title (default: the recording's file name)", "needs a value",
                 vornmt::tools::TakeText(title)},
            },
            "Exit status: 0 written, 1 the recording cannot be read or the picture not written, 2 bad usage.\n",
            [input](const char* argument) {
                if (!input->empty()) return std::string("one recording at a time");
                *input = argument;
                return std::string();
            }};
}

}  // namespace

int main(int argc, char** argv) {
    std::string input, output, title;
    const vornmt::tools::CommandLine command_line = OptionTable(&input, &output, &title);
    int exit_status = kExitDone;
    if (!vornmt::tools::ReadCommandLine(command_line, argc, argv, &exit_status)) return exit_status;
    if (input.empty()) return vornmt::tools::UsageError(command_line, "which recording?");
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
