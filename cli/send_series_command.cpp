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
        "nothing inside the folder is skipped and reported with its line number and text), or\n"
        "else every DICOM Part 10 file directly in the folder, in name order. Index values hold\n"
        "commas and line ends escaped as %2C, %0D and %0A (and %25). A file of another\n"
        "SOP class than the one before it goes on a new association for its class. Every file\n"
        "that was not stored is named on standard error with the reason, and the rest is still\n"
        "sent; the exit code is 0 only when every object was stored with status 0.\n" +
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
