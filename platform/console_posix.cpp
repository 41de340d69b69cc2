// Terminals on POSIX take the program's UTF-8 as it is.
#include "console.h"

void prepare_console() {}
