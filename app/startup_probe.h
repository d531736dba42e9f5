#pragma once
// A measuring aid for the start-up benchmark: with VIEWER_STARTUP_PROBE set, the program
// reports on standard output when the main window shows its channel list, how long the splash
// held the start (its designed pause, which the benchmark leaves out) and the peak memory so
// far, and then ends. Without the variable nothing of it runs.

namespace startup_probe {

bool Requested();
// Starts watching; call when the splash window has loaded.
void Start();

}  // namespace startup_probe
