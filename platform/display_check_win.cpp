#include "display_check.h"

// Windows always has its desktop to open the window on.
std::string missing_display_reason() { return {}; }
