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

struct RecordsOwner {
    std::string level;
    void operator()(QueryRecordList* list) const noexcept { FreeQueryRecordList(list, level.c_str()); }
};

}  // namespace

int QuerySession::Run(const std::string& host, const std::string& port,
                      const NetworkSettings& settings, void* record, const char* sopClassUid) {
    bool worklist = level == "WORKLIST";
    std::unique_ptr<QueryRecordList, RecordsOwner> list(NewQueryRecordList(), RecordsOwner{level});
    AppendQueryRecord(list.get(), record);
    std::unique_ptr<PDU, HandleOwner> pdu(NewPDU());
    std::array<char, 17> calling = CallingTitleBuffer(settings);
    if (!pdu || !OpenAssoc(pdu.get(), host.c_str(), port.c_str(), calling.data(),
                           settings.calledAETitle.c_str(), sopClassUid, nullptr)) {
        std::fprintf(stderr, "pella %s: %s\n", command.c_str(),
                     FailureReason("association not accepted").c_str());
        return 1;
    }
    bool sent = worklist ? WriteWLFindRQ(pdu.get(), list.get(), sopClassUid) != 0
                         : WriteFindRQ(pdu.get(), list.get(), sopClassUid, level.c_str()) != 0;
    ClearQuery(list.get(), level.c_str());  // the query record (worklist) or its freed slot
    if (!sent) {
        std::fprintf(stderr, "pella %s: %s\n", command.c_str(), FailureReason("request not sent").c_str());
        CloseAssoc(pdu.get());
        return 1;
    }
    if (json) JsonBegin();
    long matches = 0;
    int32_t status;
    do {
        status = worklist ? ReadWLFindRSP(pdu.get(), list.get())
                          : ReadFindRSP(pdu.get(), list.get(), level.c_str());
        if (PELLA_STATUS_IS_PENDING(status) && QueryRecordCount(list.get()) > 0) {
            ++matches;
            const void* match = QueryRecordAt(list.get(), 0);
            if (json)
                PrintMatchJson(level, match, matches);
            else
                PrintMatchBlock(level, match, matches);
        }
        ClearQuery(list.get(), level.c_str());
    } while (PELLA_STATUS_IS_PENDING(status));
    std::string reason = status == PELLA_STATUS_SUCCESS ? "" : FailureReason("");
    CloseAssoc(pdu.get());
    if (json) JsonEnd();
    std::fprintf(stderr, "pella %s: %ld match%s; final status: %s%s\n", command.c_str(), matches,
                 matches == 1 ? "" : "es", StatusWords(status).c_str(),
                 reason.empty() ? "" : (" (" + reason + ")").c_str());
    return status == PELLA_STATUS_SUCCESS ? 0 : 1;
}

}  // namespace cli
