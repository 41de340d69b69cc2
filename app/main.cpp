#include "cli.h"
#include "desktop.h"

int main(int argc, char** argv) {
    if (auto code = run_cli(argc, argv)) return *code;
    return run_desktop(argc, argv);
}
