// Draws a recording (the monitor's --record format) as one SVG picture for
// bug reports: above, the screen with the trail of every point id and a mark
// where each gesture fired; below, a time axis with a row per point id (when
// it touched) and a tick per gesture; a legend of the ids beside it.
#pragma once

#include <functional>
#include <string>

#include "common/recording.h"

namespace vornmt::tools::plot {

// The name of a gesture code ("TG_DOWN"); empty when it has none.
using GestureNamer = std::function<std::string(int code)>;

struct SvgSummary {
    int trails = 0;    // point ids drawn
    int gestures = 0;  // gestures marked
    double duration_ms = 0;
};

// The whole SVG document. Point ids are the points' code_1 and contacts
// start where code_0 is 1 (down), as the simulator sends them; a contact
// also ends where its id is missing from a frame. Positions scale from the
// recording's first resolution, or from the points' extent without one.
// A gesture is marked at the centre of the points of the frame before it.
std::string RecordingToSvg(const Recording& recording, const GestureNamer& name, const std::string& title,
                           SvgSummary* summary);

}  // namespace vornmt::tools::plot
