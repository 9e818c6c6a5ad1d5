#include "simulator/gesture_recognizer.h"

#include <VornMTClient.h>

#include <algorithm>
#include <cmath>

#include "simulator/playback.h"

namespace vornmt::tools {
namespace {

using namespace Vorn_SDK_MultiTouch;

// DirectionSteps::Emit adds 0 to 3 to a family's "right" code.
static_assert(TG_MOVE_UP == TG_MOVE_RIGHT + 1 && TG_MOVE_LEFT == TG_MOVE_RIGHT + 2 &&
                  TG_MOVE_DOWN == TG_MOVE_RIGHT + 3,
              "single-finger directions follow right, up, left, down");
static_assert(TG_MULTI_MOVE_UP == TG_MULTI_MOVE_RIGHT + 1 && TG_MULTI_MOVE_LEFT == TG_MULTI_MOVE_RIGHT + 2 &&
                  TG_MULTI_MOVE_DOWN == TG_MULTI_MOVE_RIGHT + 3,
              "multi-finger directions follow right, up, left, down");

constexpr double kPi = 3.14159265358979323846;

template <typename SpotT>
double Distance(SpotT a, SpotT b) {
    return std::hypot(a.x - b.x, a.y - b.y);
}

}  // namespace

void GestureRecognizer::DirectionSteps::Emit(Spot now, int right_code, std::vector<double> params,
                                             std::vector<WireGesture>* out) {
    // Codes follow right, up, left, down in every direction family; the
    // screen's y grows downwards.
    for (;;) {
        double dx = now.x - reference.x;
        double dy = now.y - reference.y;
        if (std::max(std::fabs(dx), std::fabs(dy)) < kDirectionStepPx) return;
        int offset = 0;
        if (std::fabs(dx) >= std::fabs(dy)) {
            offset = dx > 0 ? 0 : 2;
            reference.x += dx > 0 ? kDirectionStepPx : -kDirectionStepPx;
        } else {
            offset = dy < 0 ? 1 : 3;
            reference.y += dy > 0 ? kDirectionStepPx : -kDirectionStepPx;
        }
        out->push_back(WireGesture{right_code + offset, params});
    }
}

std::vector<WireGesture> GestureRecognizer::OnFrame(const WireFrame& frame, double time_ms) {
    std::vector<WireGesture> out;
    std::map<int, Spot> contacts;  // every finger this frame shows
    std::map<int, Spot> lifting;   // those of them that end with it
    for (const WirePoint& point : frame.points) {
        Spot spot{static_cast<double>(point.x), static_cast<double>(point.y)};
        contacts[point.code_1] = spot;
        if (point.code_0 == kPointUp) lifting[point.code_1] = spot;
    }
    // A finger that vanished without an up has lifted where it was last seen.
    for (const auto& [id, spot] : last_seen_) {
        if (contacts.count(id) == 0) {
            contacts[id] = spot;
            lifting[id] = spot;
        }
    }
    if (contacts.empty()) return out;

    if (!touching_) {
        touching_ = true;
        touch_start_ms_ = time_ms;
        mode_ = Mode::kIdle;
        out.push_back(WireGesture{TG_TOUCH_START, {static_cast<double>(contacts.size())}});
    }
    // The gesture under way sees this frame's positions before a finger
    // that joins can end it.
    Update(contacts, &out);
    Begin(contacts, time_ms, &out);
    if (!lifting.empty()) Lift(lifting, time_ms, &out);

    last_seen_.clear();
    for (const auto& [id, spot] : contacts) {
        if (lifting.count(id) == 0) last_seen_[id] = spot;
    }
    if (last_seen_.empty()) {
        out.push_back(WireGesture{TG_TOUCH_END, {time_ms - touch_start_ms_}});
        touching_ = false;
        mode_ = Mode::kIdle;
    }
    return out;
}

void GestureRecognizer::Begin(const std::map<int, Spot>& contacts, double time_ms, std::vector<WireGesture>* out) {
    const std::size_t count = contacts.size();
    if (mode_ == Mode::kIdle && count == 1) {
        mode_ = Mode::kSingle;
        single_id_ = contacts.begin()->first;
        down_at_ = contacts.begin()->second;
        down_ms_ = time_ms;
        moved_ = false;
        single_steps_.reference = down_at_;
        out->push_back(WireGesture{TG_DOWN, {down_at_.x, down_at_.y}});
        return;
    }
    if ((mode_ == Mode::kIdle || mode_ == Mode::kSingle) && count == 2) {
        mode_ = Mode::kPair;
        click_pending_ = false;
        auto first = contacts.begin();
        pair_ids_[0] = first->first;
        pair_ids_[1] = std::next(first)->first;
        pair_kind_ = PairKind::kUndecided;
        PairGeometry(contacts, &pair_centre_, &pair_start_distance_, &pair_last_degrees_);
        pair_distance_ = pair_start_distance_;
        pair_turned_ = 0;
        return;
    }
    if ((mode_ == Mode::kIdle || mode_ == Mode::kSingle || mode_ == Mode::kPair) && count >= 3) {
        if (mode_ == Mode::kPair) FinishPair(out);
        mode_ = Mode::kMulti;
        click_pending_ = false;
        multi_ids_.clear();
        for (const auto& entry : contacts) multi_ids_.push_back(entry.first);
        MultiCentre(contacts, &multi_start_);
        multi_centre_ = multi_start_;
        multi_moved_ = false;
        multi_steps_.reference = multi_start_;
        out->push_back(WireGesture{TG_MULTI_DOWN, {static_cast<double>(count), multi_start_.x, multi_start_.y}});
    }
}

void GestureRecognizer::Update(const std::map<int, Spot>& contacts, std::vector<WireGesture>* out) {
    if (mode_ == Mode::kSingle) {
        auto finger = contacts.find(single_id_);
        if (finger == contacts.end()) return;
        Spot now = finger->second;
        if (!moved_ && Distance(now, down_at_) > kMoveStartPx) {
            moved_ = true;
            out->push_back(WireGesture{TG_MOVE, {now.x, now.y}});
        }
        single_steps_.Emit(now, TG_MOVE_RIGHT, {now.x, now.y}, out);
        return;
    }
    if (mode_ == Mode::kPair) {
        double degrees = 0;
        if (!PairGeometry(contacts, &pair_centre_, &pair_distance_, &degrees)) return;
        double delta = std::remainder(degrees - pair_last_degrees_, 360.0);
        pair_turned_ += delta;
        pair_last_degrees_ = degrees;
        const double scale = pair_start_distance_ > 0 ? pair_distance_ / pair_start_distance_ : 0;
        const double spread = pair_distance_ - pair_start_distance_;
        if (pair_kind_ == PairKind::kUndecided) {
            if (std::fabs(spread) >= kSplitStartPx) {
                pair_kind_ = PairKind::kSplit;
                pair_reference_ = pair_start_distance_ + (spread > 0 ? kSplitStartPx : -kSplitStartPx);
                out->push_back(WireGesture{TG_SPLIT_START, {pair_centre_.x, pair_centre_.y, pair_distance_, scale}});
            } else if (std::fabs(pair_turned_) >= kRotateStartDegrees) {
                pair_kind_ = PairKind::kRotate;
                pair_reference_ = pair_turned_ > 0 ? kRotateStartDegrees : -kRotateStartDegrees;
                out->push_back(WireGesture{TG_ROTATE_START, {pair_centre_.x, pair_centre_.y, pair_turned_}});
            }
        }
        if (pair_kind_ == PairKind::kSplit) {
            const std::vector<double> params{pair_centre_.x, pair_centre_.y, pair_distance_, scale};
            while (pair_distance_ - pair_reference_ >= kSplitStepPx) {
                pair_reference_ += kSplitStepPx;
                out->push_back(WireGesture{TG_SPLIT_APART, params});
            }
            while (pair_reference_ - pair_distance_ >= kSplitStepPx) {
                pair_reference_ -= kSplitStepPx;
                out->push_back(WireGesture{TG_SPLIT_CLOSE, params});
            }
        } else if (pair_kind_ == PairKind::kRotate) {
            const std::vector<double> params{pair_centre_.x, pair_centre_.y, pair_turned_};
            while (pair_turned_ - pair_reference_ >= kRotateStepDegrees) {
                pair_reference_ += kRotateStepDegrees;
                out->push_back(WireGesture{TG_ROTATE_CLOCK, params});
            }
            while (pair_reference_ - pair_turned_ >= kRotateStepDegrees) {
                pair_reference_ -= kRotateStepDegrees;
                out->push_back(WireGesture{TG_ROTATE_ANTICLOCK, params});
            }
        }
        return;
    }
    if (mode_ == Mode::kMulti) {
        if (!MultiCentre(contacts, &multi_centre_)) return;
        const std::vector<double> params{static_cast<double>(multi_ids_.size()), multi_centre_.x, multi_centre_.y};
        if (!multi_moved_ && Distance(multi_centre_, multi_start_) > kMoveStartPx) {
            multi_moved_ = true;
            out->push_back(WireGesture{TG_MULTI_MOVE, params});
        }
        multi_steps_.Emit(multi_centre_, TG_MULTI_MOVE_RIGHT, params, out);
    }
}

void GestureRecognizer::Lift(const std::map<int, Spot>& lifting, double time_ms, std::vector<WireGesture>* out) {
    auto lifts = [&](int id) { return lifting.count(id) != 0; };
    if (mode_ == Mode::kSingle) {
        auto finger = lifting.find(single_id_);
        if (finger == lifting.end()) return;
        Spot at = finger->second;
        out->push_back(WireGesture{TG_UP, {at.x, at.y}});
        if (!moved_ && time_ms - down_ms_ <= kClickMaxMs) {
            if (click_pending_ && down_ms_ - click_up_ms_ <= kDoubleClickGapMs &&
                Distance(down_at_, click_at_) <= kDoubleClickSlopPx) {
                click_pending_ = false;
                out->push_back(WireGesture{TG_DB_CLICK, {at.x, at.y}});
            } else {
                click_pending_ = true;
                click_at_ = down_at_;
                click_up_ms_ = time_ms;
                out->push_back(WireGesture{TG_CLICK, {at.x, at.y}});
            }
        } else {
            click_pending_ = false;
        }
        mode_ = Mode::kDone;
    } else if (mode_ == Mode::kPair) {
        if (lifts(pair_ids_[0]) || lifts(pair_ids_[1])) {
            FinishPair(out);
            mode_ = Mode::kDone;
        }
    } else if (mode_ == Mode::kMulti) {
        if (std::any_of(multi_ids_.begin(), multi_ids_.end(), lifts)) {
            out->push_back(WireGesture{TG_MULTI_UP, {static_cast<double>(multi_ids_.size()), multi_centre_.x,
                                                    multi_centre_.y}});
            mode_ = Mode::kDone;
        }
    }
}

void GestureRecognizer::FinishPair(std::vector<WireGesture>* out) {
    const double scale = pair_start_distance_ > 0 ? pair_distance_ / pair_start_distance_ : 0;
    if (pair_kind_ == PairKind::kSplit) {
        out->push_back(WireGesture{TG_SPLIT_END, {pair_centre_.x, pair_centre_.y, pair_distance_, scale}});
    } else if (pair_kind_ == PairKind::kRotate) {
        out->push_back(WireGesture{TG_ROTATE_END, {pair_centre_.x, pair_centre_.y, pair_turned_}});
    }
    pair_kind_ = PairKind::kUndecided;
}

bool GestureRecognizer::PairGeometry(const std::map<int, Spot>& contacts, Spot* centre, double* distance,
                                     double* degrees) const {
    auto first = contacts.find(pair_ids_[0]);
    auto second = contacts.find(pair_ids_[1]);
    if (first == contacts.end() || second == contacts.end()) return false;
    const Spot a = first->second;
    const Spot b = second->second;
    *centre = Spot{(a.x + b.x) / 2, (a.y + b.y) / 2};
    *distance = Distance(a, b);
    // Angle of the line from the lower id to the higher; with y growing
    // downwards, a growing angle turns clockwise on the screen.
    *degrees = std::atan2(b.y - a.y, b.x - a.x) * 180 / kPi;
    return true;
}

bool GestureRecognizer::MultiCentre(const std::map<int, Spot>& contacts, Spot* centre) const {
    Spot sum;
    int count = 0;
    for (int id : multi_ids_) {
        auto found = contacts.find(id);
        if (found == contacts.end()) continue;
        sum.x += found->second.x;
        sum.y += found->second.y;
        ++count;
    }
    if (count == 0) return false;
    *centre = Spot{sum.x / count, sum.y / count};
    return true;
}

}  // namespace vornmt::tools
