// pella find HOST PORT: C-FIND in the Study Root (or Patient Root) model, each match printed as it arrives.
#include <cstdio>
#include <memory>

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
        "find",
        "pella find [options] HOST PORT",
        "Queries a remote archive with C-FIND (Study Root, or Patient Root with -P) at study,\n"
        "series or image level. Every attribute of the level's record is asked for; -k sets\n"
        "match values (-k KEY alone asks for it without one). Each match\n"
        "is printed as it arrives; the number of matches goes to stderr at the end. Exit code 0\n"
        "only when the query ended with status success.",
        NetworkOptions(),
        2,
        2,
    };
    for (const OptionSpec& option : QueryOptions(true, true)) spec.options.push_back(option);
    spec.options.push_back({{"-P", "--patient-root"}, "", "use the Patient Root information model"});
    spec.options.push_back({{"-S", "--study-root"}, "", "use the Study Root information model (default)"});
    return spec;
}

}  // namespace

int RunFind(const std::vector<std::string>& argv) {
    CommandSpec spec = Spec();
    Args args;
    if (int exit = ParseOrExit(spec, argv, args); exit >= 0) return exit;
    NetworkSettings settings;
    if (!ApplyNetworkOptions("find", args, settings)) return 2;
    std::string level;
    void* record = nullptr;
    if (!BuildQueryRecord("find", args, &level, "STUDY", record)) return 2;
    if (args.Has("-P") && args.Has("-S")) {
        std::fprintf(stderr, "pella find: -P and -S exclude each other\n");
        return 2;
    }
    const char* model = args.Has("-P") ? PELLA_PATIENT_ROOT_FIND : PELLA_STUDY_ROOT_FIND;
    QuerySession session{"find", level, args.Has("--json")};
    return session.Run(args.Positionals()[0], args.Positionals()[1], settings, record, model);
}

}  // namespace cli
