// The association object behind the exported handle, and the requestor's side of establishing
// and releasing an association.
#pragma once

#include <string>
#include <vector>

#include "data/io/meta_header.h"
#include "net/pdata_record.h"
#include "net/pdu_buffer.h"
#include "net/pdu_control.h"
#include "net/pdu_records.h"

namespace pella {

constexpr const char* kDefaultCallingAETitle = "KESTRA          ";
// The implementation version name we announce in associations (files carry their own).
constexpr const char* kAssociationVersionName = "orvexStation";
constexpr uint32_t kOurMaxPduLength = 16384;
// Longest wait for the peer's A-RELEASE-RP; the connection is closed either way.
constexpr int kReleaseReplyTimeoutSeconds = 30;

}  // namespace pella

// The association object behind the exported handle (opaque in pella.h). One association,
// used by one thread at a time.
class PDU {
public:
    explicit PDU(int timeoutSeconds = pella::kDefaultReceiveTimeoutSeconds);
    virtual ~PDU();  // releases the association first when it is still connected
    PDU(const PDU&) = delete;
    PDU& operator=(const PDU&) = delete;

    bool IsConnected() const { return buffer.Transport().IsConnected(); }

    bool dumpFlag = false;
    // Copies of the answered contexts whose result was acceptance, in the order of the answer.
    std::vector<pella::PresentationContextAC> acceptedContexts;
    pella::PduBuffer buffer;
    pella::AssociateRQ request;
    pella::AssociateAC accept;
    pella::AssociateRJ reject;
    bool rejected = false;  // the last request was answered with an A-ASSOCIATE-RJ
    pella::ReleaseRQ releaseRequest;
    pella::ReleaseRP releaseReply;
    pella::AbortPDU abort;
    pella::PDataRecord data;
};

namespace pella {

using ::PDU;

// Transfer syntaxes offered by OpenAssoc: T first when given, then implicit VR little endian
// (once).
std::vector<std::string> OpenAssocSyntaxes(const std::string& wanted);

// Transfer syntaxes offered for storage: the wanted syntax B, the file's syntax A (when it
// differs from B), then implicit VR little endian; empty texts count as absent.
std::vector<std::string> StoreAssocSyntaxes(const std::string& fileSyntax,
                                            const std::string& wantedSyntax);

// Fills the request: titles (an empty calling title becomes the default, also in `calling`),
// one presentation context (ID 1, after resetting the identifier counter) for the abstract
// syntax with the given transfer syntaxes, and our user information.
void BuildRequest(PDU& pdu, std::string& calling, const std::string& called,
                  const std::string& abstractSyntax, const std::vector<std::string>& syntaxes);

// Connects, sends the request and reads the answer. True when at least one presentation
// context was accepted. Failures are logged.
bool RequestAssociation(PDU& pdu, const std::string& host, const std::string& port);

// Sends A-RELEASE-RQ when connected, waits for the reply (at most 30 seconds), and closes.
// Always true.
bool ReleaseAssociation(PDU& pdu);

// BuildRequest with the OpenAssoc offer, then RequestAssociation.
bool OpenAssoc(PDU& pdu, const std::string& host, const std::string& port, std::string& calling,
               const std::string& called, const std::string& abstractSyntax,
               const std::string& wantedSyntax);

// BuildRequest with the storage offer, then RequestAssociation.
bool OpenStoreAssoc(PDU& pdu, const std::string& host, const std::string& port,
                    std::string& calling, const std::string& called,
                    const std::string& abstractSyntax, const std::string& fileSyntax,
                    const std::string& wantedSyntax);

// Sends an A-ABORT and closes the connection.
void AbortAssociation(PDU& pdu);

}  // namespace pella
