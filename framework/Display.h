#pragma once
// What controls show reaches the screen at most once a frame. A setter keeps
// the new value (reading it back gives it at once) and asks for the next
// frame; the frame, raised from the event loop, hands every change to the
// widgets together and the window paints them in one pass. So a run that
// changes the log, the progress bar and the rate texts thousands of times a
// second pays for some 30 paints a second, and no setter ever paints.

class Control;

namespace display {
// Milliseconds from one frame to the next.
constexpr int kFrameMs = 33;
// control->ApplyDisplay() at the next frame; once however often asked.
void Schedule(Control* control);
// The control is going away: nothing of it is applied any more.
void Forget(Control* control);
} // namespace display

// Applies every pending change now (a window about to be shown or drawn).
void UpdateDisplayNow();
