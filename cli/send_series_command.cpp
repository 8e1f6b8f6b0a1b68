// pella send-series HOST PORT FOLDER: sends every file of a series folder on one association.
#include <cstdio>

#include "cli/commands.h"
#include "cli/store_options.h"
#include "cli/store_report.h"
#include "pella.h"

namespace cli {

namespace {

CommandSpec Spec() {
    return {
        "send-series",
        "pella send-series [options] HOST PORT FOLDER",
        "Sends every file of a series folder with C-STORE over one association: the files named\n"
        "by the folder's \"Image.dir\" (third field of each line + \".dcm\"; a line naming\n"
        "anything outside the folder is not followed), or else every DICOM Part 10 file directly\n"
        "in the folder, in name order. A file of another SOP class than the one before it goes\n"
        "on a new association for its class. Every file that was not stored is named on\n"
        "standard error with the reason; the exit code is 0 only when every object was stored\n"
        "with status 0.\n" +
            StoreSyntaxHelp(),
        StoreOptions(),
        3,
        3,
    };
}

}  // namespace

int RunSendSeries(const std::vector<std::string>& argv) {
    Args args;
    if (int exit = ParseOrExit(Spec(), argv, args); exit >= 0) return exit;
    StoreSettings settings;
    if (!ApplyStoreOptions("send-series", args, settings)) return 2;
    const std::string& host = args.Positionals()[0];
    const std::string& port = args.Positionals()[1];
    const std::string& folder = args.Positionals()[2];
    std::array<char, 17> calling = CallingTitleBuffer(settings.network);
    StoreReport report("send-series", 0, settings.progress);
    bool ok =
        SendSeriesReport(host.c_str(), port.c_str(), calling.data(), settings.network.calledAETitle.c_str(),
                         folder.c_str(), settings.wantedSyntax.c_str(), settings.convert ? 1 : 0,
                         &StoreReport::Callback, &report) != 0;
    return report.Finish(ok, ok ? "" : FailureReason("no object was sent"));
}

}  // namespace cli
