// Whether the desktop window has a display to open on. Without one Qt
// would abort inside its platform start-up; the program says so plainly
// instead and points to the commands, which need none.
#pragma once

#include <string>

// Empty when the window can open; otherwise the sentence to print. On
// POSIX it reads QT_QPA_PLATFORM, DISPLAY and WAYLAND_DISPLAY: a platform
// other than X11 or Wayland (offscreen, for one) is Qt's own business.
// Windows always has a display. One implementation file per platform.
std::string missing_display_reason();
