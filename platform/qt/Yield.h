#pragma once
// Lets pending window events run, so long loops keep the windows responsive.

#include <chrono>
#include <optional>

namespace platform {

// One pass of the event loop. Cheap when nothing is pending; does nothing without an
// application object (command line).
void DoEvents();

// The passes of a loop that works without waiting: at most one a millisecond, and one a tick of
// the coarse clock (1 to 16 ms) while the loop is busy, so input still reaches the windows within
// a frame. A pass costs microseconds even when nothing is pending, and paints whatever changed
// since the last one: once a step of a loop of small steps, the passes cost far more than the steps.
class PacedEvents {
public:
    // Passes the event loop, unless the last pass was less than a millisecond ago. The first
    // call always passes.
    void letRun();

private:
    std::optional<std::chrono::milliseconds> lastPass_;
};

} // namespace platform
