// Exported association and verification functions.
#include <cstddef>
#include <cstring>
#include <string>

#include "api/boundary.h"
#include "api/calling_title.h"
#include "api/live_handles.h"
#include "api/sized_options.h"
#include "log/protocol_log.h"
#include "net/acse/association.h"
#include "net/acse/client_limits.h"
#include "pella.h"
#include "services/verification/echo.h"

using namespace pella;

extern "C" {

PELLA_API PDU* NewPDU(void) {
    return Guarded<PDU*>("NewPDU", nullptr, [] {
        auto pdu = std::make_unique<PDU>();
        RegisterHandle(HandleKind::Association, pdu.get());
        return pdu.release();
    });
}

PELLA_API void DeletePDU(PDU* handle) {
    GuardedVoid("DeletePDU", [&] {
        ReleaseHandle(HandleKind::Association, handle);
        std::unique_ptr<PDU> owned(handle);
    });
}

PELLA_API uint8_t OpenAssoc(PDU* handle, const char* host, const char* port, char* callingAETitle,
                            const char* calledAETitle, const char* abstractSyntax,
                            const char* transferSyntax) {
    return Guarded<uint8_t>("OpenAssoc", 0, [&] {
        RequireArguments(handle);
        RequireLive(HandleKind::Association, handle);
        return WithCallingTitle(callingAETitle, [&](std::string& calling) {
            return pella::OpenAssoc(*handle, Text(host), Text(port), calling, Text(calledAETitle),
                                    Text(abstractSyntax), Text(transferSyntax));
        });
    });
}

PELLA_API uint8_t CloseAssoc(PDU* handle) {
    GuardedVoid("CloseAssoc", [&] {
        RequireLive(HandleKind::Association, handle);
        if (handle != nullptr) ReleaseAssociation(*handle);
    });
    return 1;
}

PELLA_API uint8_t WriteEchoRQ(PDU* handle, const char* sopClassUid) {
    return Guarded<uint8_t>("WriteEchoRQ", 0, [&]() -> uint8_t {
        RequireArguments(handle, sopClassUid);
        RequireLive(HandleKind::Association, handle);
        return pella::WriteEchoRQ(*handle, sopClassUid) ? 1 : 0;
    });
}

PELLA_API uint8_t ReadEchoRSP(PDU* handle) {
    return Guarded<uint8_t>("ReadEchoRSP", 0, [&]() -> uint8_t {
        RequireArguments(handle);
        RequireLive(HandleKind::Association, handle);
        return pella::ReadEchoRSP(*handle) ? 1 : 0;
    });
}

PELLA_API uint8_t EchoSCU(const char* host, const char* port, char* callingAETitle,
                          const char* calledAETitle) {
    return Guarded<uint8_t>("EchoSCU", 0, [&] {
        return WithCallingTitle(callingAETitle, [&](std::string& calling) {
            return pella::EchoSCU(Text(host), Text(port), calling, Text(calledAETitle));
        });
    });
}

PELLA_API void SetLOG(const char* fileName, int32_t level) {
    GuardedVoid("SetLOG", [&] {
        std::string name = Text(fileName);
        SetLogLevelAndFile(level, name);
    });
}

PELLA_API void SetClientLimits(const ClientLimits* limits) {
    GuardedVoid("SetClientLimits", [&] {
        constexpr std::size_t kFirstFields = offsetof(ClientLimits, maxResults) + sizeof(int32_t);
        ClientLimits given = ReadSizedOptions(limits, kFirstFields, "ClientLimits");
        ApplyClientLimits(given.timeoutSeconds, given.maxResults, given.maxPduLength);
    });
}

PELLA_API void Version(char* buffer) {
    GuardedVoid("Version", [&] {
        static_assert(sizeof PELLA_VERSION <= PELLA_VERSION_BUFFER_SIZE);
        if (buffer != nullptr) std::memcpy(buffer, PELLA_VERSION, sizeof PELLA_VERSION);
    });
}

// The one exported function that leaves the failure reason as it is.
PELLA_API int32_t LastFailureText(char* buffer, int32_t size) {
    try {
        std::string text = LastFailure();
        if (buffer != nullptr && size > 0) {
            std::size_t n = std::min<std::size_t>(text.size(), static_cast<std::size_t>(size - 1));
            std::memcpy(buffer, text.data(), n);
            buffer[n] = '\0';
        }
        return static_cast<int32_t>(text.size());
    } catch (...) {
        if (buffer != nullptr && size > 0) buffer[0] = '\0';
        return 0;
    }
}

}  // extern "C"
