// pella move HOST PORT -aem AE: asks an archive to send objects to another node (C-MOVE).
#include <cstdio>
#include <filesystem>
#include <memory>

#include "cli/args.h"
#include "cli/commands.h"
#include "cli/network_options.h"
#include "cli/progress_line.h"
#include "cli/query_options.h"
#include "pella.h"

namespace cli {

namespace {

CommandSpec Spec() {
    CommandSpec spec{
        "move",
        "pella move [options] HOST PORT -aem AE -k KEY=VALUE...",
        "Asks a remote archive (C-MOVE, Study Root or with -P Patient Root) to send the objects the keys "
        "select to the\n"
        "node AE (which the archive must know). Normally the unique key of the level is given:\n"
        "StudyInstanceUID; SeriesInstanceUID with its study; SOPInstanceUID with its series and\n"
        "study. Without -k nothing is asked unless --all says to move everything the archive\n"
        "holds. Progress goes to stderr (one updating line on a terminal, a line per tenth\n"
        "otherwise), the final counts always. With --port, the objects come to this command itself:\n"
        "it serves storage on that port (as the calling AE title, which then becomes the default\n"
        "destination) for the move's length and files them below --out-dir. Exit code 0 only when\n"
        "the final status is success.",
        NetworkOptions(),
        2,
        2,
    };
    spec.options.push_back({{"-aem", "--move"},
                            "AE",
                            "move destination AE title (required unless --port; default with it: -aet)"});
    spec.options.push_back({{"-P", "--patient"}, "", "Patient Root information model"});
    spec.options.push_back({{"-S", "--study"}, "", "Study Root information model (default)"});
    spec.options.push_back({{"--port"}, "PORT", "receive the moved objects on this port"});
    spec.options.push_back({{"--out-dir", "-od"}, "DIR", "with --port: where they are filed (default .)"});
    spec.options.push_back({{"--all"}, "", "move everything the archive holds when no -k key is given"});
    for (const OptionSpec& option : QueryOptions(true, false)) spec.options.push_back(option);
    return spec;
}

struct HandleOwner {
    void operator()(PDU* pdu) const noexcept { DeletePDU(pdu); }
};

// The storage server of --port: stopped once the move has ended, every object it acknowledged
// on disk by then.
struct ReceiverOwner {
    void operator()(StoreServerHandle* server) const noexcept { StopStoreServer(server); }
};

std::string TitleText(const NetworkSettings& settings) {
    std::array<char, 17> calling = CallingTitleBuffer(settings);
    std::string title(calling.data());
    while (!title.empty() && title.back() == ' ') title.pop_back();
    return title;
}

std::unique_ptr<StoreServerHandle, ReceiverOwner> StartReceiver(const std::string& port,
                                                                const std::string& folder,
                                                                const std::string& aeTitle) {
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    StoreServerOptions options{};
    options.size = sizeof options;
    options.aeTitle = aeTitle.c_str();
    return std::unique_ptr<StoreServerHandle, ReceiverOwner>(
        StartStoreServerWithOptions(folder.c_str(), port.c_str(), folder.c_str(), &options));
}

std::string CountsText(const int32_t counts[4]) {
    static const char* const kNames[4] = {"remaining", "completed", "failed", "warning"};
    std::string text;
    for (int i = 0; i < 4; ++i)
        if (counts[i] >= 0)
            text += std::string(text.empty() ? "" : ", ") + kNames[i] + " " + std::to_string(counts[i]);
    return text;
}

}  // namespace

int RunMove(const std::vector<std::string>& argv) {
    CommandSpec spec = Spec();
    Args args;
    if (int exit = ParseOrExit(spec, argv, args); exit >= 0) return exit;
    NetworkSettings settings;
    if (!ApplyNetworkOptions("move", args, settings)) return 2;
    std::string receivePort = args.ValueOr("--port", "");
    std::string destination = args.ValueOr("-aem", receivePort.empty() ? "" : TitleText(settings));
    if (destination.empty() || destination.size() > 16) {
        std::fprintf(stderr, "pella move: -aem wants the destination's AE title (1 to 16 characters)\n");
        return 2;
    }
    if (args.Values("-k").empty() && !args.Has("--all")) {
        std::fprintf(stderr,
                     "pella move: no -k keys: that asks for everything the archive holds; give the keys of "
                     "what to move, or --all to move it all\n");
        return 2;
    }
    if (args.Has("-P") && args.Has("-S")) {
        std::fprintf(stderr, "pella move: -P and -S exclude each other\n");
        return 2;
    }
    const char* model = args.Has("-P") ? PELLA_PATIENT_ROOT_MOVE : PELLA_STUDY_ROOT_MOVE;
    std::string level;
    void* record = nullptr;
    if (!BuildQueryRecord("move", args, &level, "STUDY", record)) return 2;
    QueryRecordList* list = NewQueryRecordList();
    AppendQueryRecord(list, record);
    std::unique_ptr<StoreServerHandle, ReceiverOwner> receiver;
    if (!receivePort.empty()) {
        receiver = StartReceiver(receivePort, args.ValueOr("--out-dir", "."), TitleText(settings));
        if (!receiver) {
            FreeQueryRecordList(list, level.c_str());
            std::fprintf(stderr, "pella move: %s\n",
                         FailureReason("cannot receive on port " + receivePort).c_str());
            return 1;
        }
    }
    std::unique_ptr<PDU, HandleOwner> pdu(NewPDU());
    std::array<char, 17> calling = CallingTitleBuffer(settings);
    const std::string& host = args.Positionals()[0];
    const std::string& port = args.Positionals()[1];
    int32_t status = -1;
    std::string reason;
    if (!pdu || !OpenAssoc(pdu.get(), host.c_str(), port.c_str(), calling.data(),
                           settings.calledAETitle.c_str(), model, nullptr)) {
        reason = FailureReason("association not accepted");
    } else if (!WriteMoveRQ(pdu.get(), list, model, level.c_str(), destination.c_str())) {
        reason = FailureReason("request not sent");
        CloseAssoc(pdu.get());
    } else {
        int32_t counts[4] = {-1, -1, -1, -1};
        ProgressLine progress;
        while ((status = ReadMoveRSPCounts(pdu.get(), counts)) == PELLA_STATUS_PENDING) {
            std::size_t done = 0, total = 0;
            for (int i = 0; i < 4; ++i) total += counts[i] > 0 ? static_cast<std::size_t>(counts[i]) : 0;
            done = total - (counts[0] > 0 ? static_cast<std::size_t>(counts[0]) : 0);
            progress.Show("pella move: pending: " + CountsText(counts), done, total);
        }
        progress.Break();
        if (status != PELLA_STATUS_SUCCESS) reason = FailureReason("");
        std::string counted = CountsText(counts);
        std::fprintf(stderr, "pella move: final status: %s%s%s\n", StatusWords(status).c_str(),
                     counted.empty() ? "" : ("; " + counted).c_str(),
                     reason.empty() ? "" : (" (" + reason + ")").c_str());
        CloseAssoc(pdu.get());
        reason.clear();
    }
    FreeQueryRecordList(list, level.c_str());
    if (!reason.empty()) std::fprintf(stderr, "pella move: %s\n", reason.c_str());
    return status == PELLA_STATUS_SUCCESS ? 0 : 1;
}

}  // namespace cli
