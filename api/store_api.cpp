// Exported storage user functions.
#include <vector>

#include "api/boundary.h"
#include "api/calling_title.h"
#include "api/live_handles.h"
#include "log/protocol_log.h"
#include "pella.h"
#include "services/storage/series.h"
#include "services/storage/store.h"

using namespace pella;

namespace {

OutcomeSink SinkFor(StoreOutcomeCallback callback, void* context) {
    if (callback == nullptr) return {};
    return [callback, context](const StoreOutcome& outcome) {
        callback(outcome.file.c_str(), outcome.status, outcome.reason.c_str(), outcome.bytes, context);
    };
}

}  // namespace

extern "C" {

PELLA_API uint8_t StoreSCU(const char* host, const char* port, char* callingAETitle,
                           const char* calledAETitle, const char* fileName, const char* wantedSyntax,
                           uint8_t convertFlag) {
    return Guarded<uint8_t>("StoreSCU", 0, [&] {
        return WithCallingTitle(callingAETitle, [&](std::string& calling) {
            return pella::StoreSCU(Text(host), Text(port), calling, Text(calledAETitle), Text(fileName),
                                   Text(wantedSyntax), convertFlag != 0);
        });
    });
}

PELLA_API uint8_t WriteStoreRQ(PDU* handle, ElementList* dataList, const char* sopClassUid,
                               const char* fileSyntax, uint8_t convertFlag) {
    return Guarded<uint8_t>("WriteStoreRQ", 0, [&]() -> uint8_t {
        RequireArguments(handle, dataList, sopClassUid);
        RequireLive(HandleKind::Association, handle);
        RequireLive(HandleKind::ElementList, dataList);
        return pella::WriteStoreRQ(*handle, *dataList, sopClassUid, Text(fileSyntax), convertFlag != 0) ? 1
                                                                                                        : 0;
    });
}

PELLA_API int32_t ReadStoreRSP(PDU* handle) {
    return Guarded<int32_t>("ReadStoreRSP", kNoStoreResponse, [&] {
        RequireArguments(handle);
        RequireLive(HandleKind::Association, handle);
        return pella::ReadStoreRSP(*handle);
    });
}

PELLA_API uint8_t SendSeries(const char* host, const char* port, char* callingAETitle,
                             const char* calledAETitle, const char* seriesFolder, const char* wantedSyntax,
                             uint8_t convertFlag) {
    return Guarded<uint8_t>("SendSeries", 0, [&] {
        return WithCallingTitle(callingAETitle, [&](std::string& calling) {
            return pella::SendSeries(Text(host), Text(port), calling, Text(calledAETitle), Text(seriesFolder),
                                     Text(wantedSyntax), convertFlag != 0);
        });
    });
}

PELLA_API uint8_t SendSeriesReport(const char* host, const char* port, char* callingAETitle,
                                   const char* calledAETitle, const char* seriesFolder,
                                   const char* wantedSyntax, uint8_t convertFlag,
                                   StoreOutcomeCallback callback, void* context) {
    return Guarded<uint8_t>("SendSeriesReport", 0, [&] {
        return WithCallingTitle(callingAETitle, [&](std::string& calling) {
            StoreTarget target{Text(host),          Text(port),         calling,
                               Text(calledAETitle), Text(wantedSyntax), convertFlag != 0};
            bool all = SendSeriesReporting(Text(seriesFolder), target, SinkFor(callback, context)).allStored;
            calling = target.calling;
            return all;
        });
    });
}

PELLA_API uint8_t StoreFileList(const char* host, const char* port, char* callingAETitle,
                                const char* calledAETitle, const char* const* fileNames, int32_t count,
                                const char* wantedSyntax, uint8_t convertFlag, StoreOutcomeCallback callback,
                                void* context) {
    return Guarded<uint8_t>("StoreFileList", 0, [&] {
        if (count > 0) RequireArguments(fileNames);
        std::vector<std::string> files;
        for (int32_t i = 0; i < count; ++i) files.push_back(Text(fileNames[i]));
        return WithCallingTitle(callingAETitle, [&](std::string& calling) {
            StoreTarget target{Text(host),          Text(port),         calling,
                               Text(calledAETitle), Text(wantedSyntax), convertFlag != 0};
            bool all = StoreFiles(files, target, SinkFor(callback, context));
            calling = target.calling;
            return all;
        });
    });
}

}  // extern "C"
