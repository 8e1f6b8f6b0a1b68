#include "cli/query_session.h"

#include <cstdio>
#include <memory>

#include "cli/query_options.h"
#include "pella.h"

namespace cli {

namespace {

struct HandleOwner {
    void operator()(PDU* pdu) const noexcept { DeletePDU(pdu); }
};

struct RecordOwner {
    std::string level;
    void operator()(void* record) const noexcept { FreeQueryRecord(record, level.c_str()); }
};

struct Printer {
    const QuerySession* session;
    long matches = 0;
};

// Prints one match as it arrives.
void PrintMatch(const void* record, int32_t number, void* context) {
    auto* printer = static_cast<Printer*>(context);
    printer->matches = number;
    const QuerySession& session = *printer->session;
    if (session.json)
        PrintMatchJson(session.level, record, number);
    else
        PrintMatchBlock(session.level, record, number);
}

}  // namespace

int QuerySession::Run(const std::string& host, const std::string& port, const NetworkSettings& settings,
                      void* record, const char* sopClassUid) {
    std::unique_ptr<void, RecordOwner> query(record, RecordOwner{level});
    std::unique_ptr<PDU, HandleOwner> pdu(NewPDU());
    std::array<char, 17> calling = CallingTitleBuffer(settings);
    if (!pdu || !OpenAssoc(pdu.get(), host.c_str(), port.c_str(), calling.data(),
                           settings.calledAETitle.c_str(), sopClassUid, nullptr)) {
        std::fprintf(stderr, "pella %s: %s\n", command.c_str(),
                     FailureReason("association not accepted").c_str());
        return 1;
    }
    if (json) JsonBegin();
    Printer printer{this};
    int32_t status = FindEach(pdu.get(), query.get(), sopClassUid, level.c_str(), PrintMatch, &printer);
    std::string reason = status == PELLA_STATUS_SUCCESS ? "" : FailureReason("");
    CloseAssoc(pdu.get());
    if (json) JsonEnd();
    std::fprintf(stderr, "pella %s: %ld match%s; final status: %s%s\n", command.c_str(), printer.matches,
                 printer.matches == 1 ? "" : "es", StatusWords(status).c_str(),
                 reason.empty() ? "" : (" (" + reason + ")").c_str());
    return status == PELLA_STATUS_SUCCESS ? 0 : 1;
}

}  // namespace cli
