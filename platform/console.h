// The terminal the command line writes to. One implementation file per
// platform.
#pragma once

// Makes the console show the UTF-8 text the program writes (names are
// Chinese, German...), and the output the same bytes on every platform.
void prepare_console();
