#pragma once

namespace quillbay {

// Whether the output view keeps its newest line in sight: it stops when the
// user scrolls up and follows again once they are back at the bottom.
class FollowState {
public:
    // How near the bottom, in pixels, still counts as the bottom.
    static constexpr double kSlack = 20.0;

    bool following() const { return following_; }
    // The user moved the view to `value` of a scroll range up to `upper`, `page` high.
    void moved(double value, double upper, double page) { following_ = value + page >= upper - kSlack; }
    void resume() { following_ = true; }
    void stop() { following_ = false; }

private:
    bool following_ = true;
};

} // namespace quillbay
