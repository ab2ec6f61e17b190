#pragma once
// Sends what has been drawn to the display server now. A render handles no
// events while it draws its progress, and on Wayland nothing drawn reaches
// the compositor until the connection is flushed.
#include "platform/WinTypes.h"

BOOL GdiFlush();
