// pella get HOST PORT -k KEY=VALUE...: fetches objects from an archive on one association (C-GET).
#include <cstdio>
#include <string>

#include "cli/args.h"
#include "cli/commands.h"
#include "cli/network_options.h"
#include "cli/query_options.h"
#include "pella.h"

namespace cli {

namespace {

CommandSpec Spec() {
    CommandSpec spec{
        "get",
        "pella get [options] HOST PORT -k KEY=VALUE...",
        "Fetches the objects the keys select from a remote archive (C-GET, Study Root, or Patient\n"
        "Root with -P) on one association: the archive sends them back on it (this side takes the\n"
        "storage provider's role for every storage class it proposes) and each is filed below\n"
        "--out-dir as <Study UID>/<Series UID>/<SOP Instance UID>.dcm with the index files.\n"
        "Normally the unique key of the level is given, as for pella move. The final counts go to\n"
        "stderr. Exit code 0 only when the final status is success.",
        NetworkOptions(),
        2,
        2,
    };
    spec.options.push_back({{"--out-dir", "-od"}, "DIR", "where the objects are filed (default .)"});
    spec.options.push_back({{"-P", "--patient"}, "", "Patient Root information model"});
    spec.options.push_back({{"-S", "--study"}, "", "Study Root information model (default)"});
    spec.options.push_back({{"--all"}, "", "get everything the archive holds when no -k key is given"});
    for (const OptionSpec& option : QueryOptions(true, false)) spec.options.push_back(option);
    return spec;
}

}  // namespace

int RunGet(const std::vector<std::string>& argv) {
    CommandSpec spec = Spec();
    Args args;
    if (int exit = ParseOrExit(spec, argv, args); exit >= 0) return exit;
    NetworkSettings settings;
    if (!ApplyNetworkOptions("get", args, settings)) return 2;
    if (args.Values("-k").empty() && !args.Has("--all")) {
        std::fprintf(stderr, "pella get: no -k keys: give the keys of what to get, or --all to get it all\n");
        return 2;
    }
    if (args.Has("-P") && args.Has("-S")) {
        std::fprintf(stderr, "pella get: -P and -S exclude each other\n");
        return 2;
    }
    std::string level;
    void* record = nullptr;
    if (!BuildQueryRecord("get", args, &level, "STUDY", record)) return 2;
    QueryRecordList* list = NewQueryRecordList();
    AppendQueryRecord(list, record);
    std::array<char, 17> calling = CallingTitleBuffer(settings);
    std::string outDir = args.ValueOr("--out-dir", ".");
    int32_t counts[4] = {-1, -1, -1, -1};
    const char* model = args.Has("-P") ? PELLA_PATIENT_ROOT_MOVE : PELLA_STUDY_ROOT_MOVE;
    int32_t status =
        GetSCU(args.Positionals()[0].c_str(), args.Positionals()[1].c_str(), calling.data(),
               settings.calledAETitle.c_str(), model, level.c_str(), list, outDir.c_str(), counts);
    FreeQueryRecordList(list, level.c_str());
    std::string counted;
    static const char* const kNames[4] = {"remaining", "completed", "failed", "warning"};
    for (int i = 0; i < 4; ++i)
        if (counts[i] >= 0)
            counted += std::string(counted.empty() ? "" : ", ") + kNames[i] + " " + std::to_string(counts[i]);
    if (status < 0) {
        std::fprintf(stderr, "pella get: %s\n", FailureReason("no final response").c_str());
        return 1;
    }
    std::fprintf(stderr, "pella get: final status: %s%s\n", StatusWords(status).c_str(),
                 counted.empty() ? "" : ("; " + counted).c_str());
    return status == PELLA_STATUS_SUCCESS ? 0 : 1;
}

}  // namespace cli
