#pragma once
// Whether a window manager acts on the program's requests to its windows (to
// be maximised, placed, framed). Without one on X11 nothing does: a window
// keeps the size it was mapped with.
bool WindowManagerRuns();
