// What the program asks the X server directly: whether a window manager runs (one that frames,
// places and stacks the windows).
#pragma once

namespace solvane {

// True when a window manager has announced itself on the display (_NET_SUPPORTING_WM_CHECK on the
// root window, answered by its check window), or when the program runs on another platform than
// X11, whose compositor always manages the windows; false on a bare X server.
bool WindowManagerRunning();

}  // namespace solvane
