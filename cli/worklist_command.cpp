// pella worklist HOST PORT: the scheduled procedure steps a worklist provider returns.
#include "cli/args.h"
#include "cli/commands.h"
#include "cli/network_options.h"
#include "cli/query_options.h"
#include "cli/query_session.h"
#include "pella.h"

namespace cli {

namespace {

CommandSpec Spec() {
    CommandSpec spec{
        "worklist",
        "pella worklist [options] HOST PORT",
        "Asks a worklist provider for scheduled procedure steps (Modality Worklist C-FIND).\n"
        "-k sets match values of the worklist record (step attributes such as Modality go into\n"
        "the Scheduled Procedure Step Sequence). Each step is printed as it arrives; the number\n"
        "of steps goes to stderr. Exit code 0 only when the query ended with status success.",
        NetworkOptions(),
        2,
        2,
    };
    for (const OptionSpec& option : QueryOptions(false, true)) spec.options.push_back(option);
    return spec;
}

}  // namespace

int RunWorklist(const std::vector<std::string>& argv) {
    CommandSpec spec = Spec();
    Args args;
    if (int exit = ParseOrExit(spec, argv, args); exit >= 0) return exit;
    NetworkSettings settings;
    if (!ApplyNetworkOptions("worklist", args, settings)) return 2;
    void* record = nullptr;
    if (!BuildQueryRecord("worklist", args, nullptr, "WORKLIST", record)) return 2;
    QuerySession session{"worklist", "WORKLIST", args.Has("--json")};
    return session.Run(args.Positionals()[0], args.Positionals()[1], settings, record,
                       PELLA_MODALITY_WORKLIST_FIND);
}

}  // namespace cli
