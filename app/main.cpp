#include "cli.h"
#include "console.h"
#include "demo.h"
#include "desktop.h"

int main(int argc, char** argv) {
    prepare_console();
    // --demo: the simulator on loopback; both paths then find it.
    DemoGateway demo;
    std::vector<char*> args = demo.take_switch(argc, argv);
    if (!demo.ok()) return kExitNoLink;
    const int count = static_cast<int>(args.size()) - 1;

    if (has_server_switch(count, args.data())) return run_desktop(count, args.data());
    if (auto code = run_cli(count, args.data())) return *code;
    return run_desktop(count, args.data());
}
