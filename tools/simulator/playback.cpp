#include "simulator/playback.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <map>

namespace vornmt::tools {
namespace {

constexpr double kPi = 3.14159265358979323846;

struct Position {
    double x = 0;
    double y = 0;
};

// One stretch of movement: a straight glide, or an arc around a centre.
struct Segment {
    std::int64_t start_ms = 0;
    std::int64_t end_ms = 0;
    bool is_arc = false;
    Position from;
    Position to;          // glide
    Position centre;      // arc
    double radius = 0;
    double start_degrees = 0;
    double sweep_degrees = 0;

    Position At(double t) const {
        double fraction = end_ms > start_ms ? (t - static_cast<double>(start_ms)) / static_cast<double>(end_ms - start_ms) : 1;
        fraction = std::clamp(fraction, 0.0, 1.0);
        if (!is_arc) return {from.x + (to.x - from.x) * fraction, from.y + (to.y - from.y) * fraction};
        double radians = (start_degrees + sweep_degrees * fraction) * kPi / 180;
        return {centre.x + radius * std::cos(radians), centre.y + radius * std::sin(radians)};
    }
};

// One finger's contact, from its down to its up.
struct Track {
    int id = 0;
    int width = 0;
    int height = 0;
    std::int64_t down_ms = 0;
    std::int64_t up_ms = 0;
    Position start;
    std::vector<Segment> segments;  // in time order, never overlapping
    std::int64_t down_frame = 0;
    std::int64_t up_frame = 0;

    Position At(double t) const {
        Position where = start;
        for (const Segment& segment : segments) {
            if (t < static_cast<double>(segment.start_ms)) break;
            where = segment.At(t);
        }
        return where;
    }

    // A new step at `now` cuts short a movement still under way, so the
    // finger continues from where it is at that moment.
    void StopAt(std::int64_t now) {
        if (segments.empty() || segments.back().end_ms <= now) return;
        Segment& last = segments.back();
        if (last.is_arc) {
            last.sweep_degrees *= static_cast<double>(now - last.start_ms) / static_cast<double>(last.end_ms - last.start_ms);
        } else {
            last.to = last.At(static_cast<double>(now));
        }
        last.end_ms = now;
    }
};

// The first frame index at or after `ms`.
std::int64_t FrameAtOrAfter(std::int64_t ms, int rate) { return (ms * rate + 999) / 1000; }

std::vector<Track> BuildTracks(const Scenario& scenario, std::int64_t* length_ms) {
    std::vector<Track> tracks;
    std::map<int, std::size_t> active;  // finger id -> index in tracks
    std::int64_t now = 0;
    for (const ScenarioStep& step : scenario.steps) {
        if (step.kind == StepKind::kWait) {
            now += step.duration_ms;
            continue;
        }
        if (step.kind == StepKind::kDown) {
            Track track;
            track.id = step.id;
            track.width = step.width;
            track.height = step.height;
            track.down_ms = now;
            track.start = {static_cast<double>(step.x), static_cast<double>(step.y)};
            active[step.id] = tracks.size();
            tracks.push_back(track);
            continue;
        }
        // The parser has checked that the finger is down.
        Track& track = tracks[active.at(step.id)];
        track.StopAt(now);
        if (step.kind == StepKind::kUp) {
            track.up_ms = now;
            active.erase(step.id);
            continue;
        }
        Segment segment;
        segment.start_ms = now;
        segment.end_ms = now + step.duration_ms;
        segment.from = track.At(static_cast<double>(now));
        if (step.kind == StepKind::kMove) {
            segment.to = {static_cast<double>(step.x), static_cast<double>(step.y)};
        } else {
            segment.is_arc = true;
            segment.centre = {static_cast<double>(step.x), static_cast<double>(step.y)};
            double dx = segment.from.x - segment.centre.x;
            double dy = segment.from.y - segment.centre.y;
            segment.radius = std::hypot(dx, dy);
            segment.start_degrees = std::atan2(dy, dx) * 180 / kPi;
            segment.sweep_degrees = step.degrees;
        }
        track.segments.push_back(segment);
    }
    *length_ms = now;
    return tracks;
}

}  // namespace

PlaybackPass PlayScenario(const Scenario& scenario, int frames_per_second) {
    const int rate = std::clamp(frames_per_second, kMinFrameRate, kMaxFrameRate);
    std::int64_t length_ms = 0;
    std::vector<Track> tracks = BuildTracks(scenario, &length_ms);

    std::map<int, std::int64_t> last_up_frame;  // finger id -> frame of its latest up
    std::int64_t frame_count = FrameAtOrAfter(length_ms, rate);
    for (Track& track : tracks) {
        track.down_frame = FrameAtOrAfter(track.down_ms, rate);
        auto previous = last_up_frame.find(track.id);
        if (previous != last_up_frame.end()) track.down_frame = std::max(track.down_frame, previous->second + 1);
        track.up_frame = std::max(FrameAtOrAfter(track.up_ms, rate), track.down_frame + 1);
        last_up_frame[track.id] = track.up_frame;
        frame_count = std::max(frame_count, track.up_frame + 1);
    }

    PlaybackPass pass;
    pass.length_ms = static_cast<double>(frame_count) * 1000.0 / rate;
    for (std::int64_t k = 0; k < frame_count; ++k) {
        const double t = static_cast<double>(k) * 1000.0 / rate;
        TimedFrame timed;
        timed.time_ms = t;
        for (const Track& track : tracks) {
            if (k < track.down_frame || k > track.up_frame) continue;
            // The first frame shows where the finger touched, the last where it
            // lifted, even when the frame comes a little later.
            const double at = k == track.down_frame ? static_cast<double>(track.down_ms)
                                                    : std::min(t, static_cast<double>(track.up_ms));
            Position where = track.At(at);
            WirePoint point;
            point.code_0 = k == track.down_frame ? kPointDown : k == track.up_frame ? kPointUp : kPointMove;
            point.code_1 = track.id;
            point.x = static_cast<int>(std::lround(where.x));
            point.y = static_cast<int>(std::lround(where.y));
            point.aux_0 = track.width;
            point.aux_1 = track.height;
            timed.frame.points.push_back(point);
        }
        if (!timed.frame.points.empty()) pass.frames.push_back(std::move(timed));
    }
    return pass;
}

}  // namespace vornmt::tools
