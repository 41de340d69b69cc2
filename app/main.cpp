#include "cli.h"
#include "console.h"
#include "demo_gateway.h"
#include "desktop.h"
#include "invocation.h"

int main(int argc, char** argv) {
    prepare_console();
    Invocation invocation = parse_invocation(argc, argv);
    if (!invocation.error.empty()) return usage_error(invocation.error);
    // --demo: the simulator on loopback; either front end then finds it.
    DemoGateway demo;
    if (invocation.demo && !demo.start(&invocation.options.link)) return kExitNoLink;
    if (invocation.frontEnd == FrontEnd::Commands) return run_commands(invocation.options);
    return run_desktop(invocation, argc, argv);
}
