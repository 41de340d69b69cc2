#include "cli.h"
#include "console.h"
#include "demo_gateway.h"
#include "desktop.h"
#include "invocation.h"
#include "logbook_recording.h"
#include "sim_data.h"

namespace {

// The demonstration site's repairs, as remarks its runs bring into the
// logbook they are recorded in: demonstration data, said so in their text
// and author.
std::vector<Remark> demonstration_repairs() {
    std::vector<Remark> out;
    for (const SimRepair& r : demo_repairs(demo_today())) {
        Remark remark;
        remark.uid = "demonstration repair " + std::to_string(r.unit) + " " + r.when;
        remark.unit = r.unit;
        remark.written = r.when;
        remark.author = "demonstration data";
        remark.text = r.text;
        remark.kind = kRemarkRepair;
        remark.part = r.part;
        out.push_back(std::move(remark));
    }
    return out;
}

}  // namespace

int main(int argc, char** argv) {
    prepare_console();
    Invocation invocation = parse_invocation(argc, argv);
    if (!invocation.error.empty()) return usage_error(invocation.error);
    if (invocation.demo) set_demonstration_remarks(demonstration_repairs());
    if (invocation.frontEnd != FrontEnd::Commands) return run_desktop(invocation, argc, argv);
    // --demo: the simulator on loopback, which the commands then find (the
    // window starts its own).
    DemoGateway demo;
    if (invocation.demo && !demo.start(&invocation.options.link)) return kExitNoLink;
    return run_commands(invocation.options);
}
