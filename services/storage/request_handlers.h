// The server's table of request handlers: each request received on an association goes to the
// handler registered for its command and SOP class. C-ECHO and C-STORE are registered today;
// further services register the same way.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "net/acse/association.h"
#include "net/dimse/dimse_messages.h"

namespace pella {

// Answers one request with a response made from it (MakeResponse). True when the association
// goes on; false (the reason logged) when it cannot, and the association is then aborted.
using RequestHandler = std::function<bool(PDU& pdu, const ReceivedCommand& request)>;

// The SOP class a request is about: its Affected SOP Class UID, or, for the N-services that
// name none, its Requested SOP Class UID.
const std::string& RequestSopClass(const DimseCommand& request);

class RequestHandlers {
public:
    // Registers `handler` for requests with `commandField` about the SOP class `sopClass`.
    void Add(uint16_t commandField, std::string sopClass, RequestHandler handler);
    // Registers `handler` for requests with `commandField` about any storage SOP class.
    void AddForStorageClasses(uint16_t commandField, RequestHandler handler);

    // The handler for a request: one registered for its exact class first, then one for any
    // storage class; null when none is (the request is not served).
    const RequestHandler* Find(const DimseCommand& request) const;

private:
    struct Entry {
        uint16_t commandField;
        bool anyStorageClass;
        std::string sopClass;  // when not anyStorageClass
        RequestHandler handler;
    };
    std::vector<Entry> entries_;
};

}  // namespace pella
