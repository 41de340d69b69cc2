#include "cli.h"
#include "console.h"
#include "demo_gateway.h"
#include "desktop.h"
#include "invocation.h"

int main(int argc, char** argv) {
    prepare_console();
    Invocation invocation = parse_invocation(argc, argv);
    if (!invocation.error.empty()) return usage_error(invocation.error);
    if (invocation.frontEnd != FrontEnd::Commands) return run_desktop(invocation, argc, argv);
    // --demo: the simulator on loopback, which the commands then find (the
    // window starts its own).
    DemoGateway demo;
    if (invocation.demo && !demo.start(&invocation.options.link)) return kExitNoLink;
    return run_commands(invocation.options);
}
