#pragma once
// Smooth scrolling: a line or page scroll is shown as a pre-drawn picture that slides towards
// its place in a few large steps and then pixel by pixel, one move per timer tick.
namespace Vorlaq {

class SmoothScroll {
public:
    // rowsMoved: whole rows between the old and the new top row. False (nothing to animate)
    // for 0 rows.
    bool Start(int rowsMoved, int rowHeight);
    // One timer tick: the distance still left. 0 means the animation is over.
    int Tick();
    void Stop() { remaining_ = 0; running_ = false; }

    bool Running() const { return running_; }
    int Remaining() const { return remaining_; }
    int Distance() const { return distance_; }
    int Steps() const { return steps_; }
    int Step() const { return step_; }
    bool Downwards() const { return down_; }

private:
    int distance_ = 0;
    int remaining_ = 0;
    int steps_ = 0;
    int step_ = 0;
    bool down_ = false;
    bool running_ = false;
};

}  // namespace Vorlaq
