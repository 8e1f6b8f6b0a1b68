// The association object behind the exported handle, and the requestor's side of establishing
// and releasing an association.
#pragma once

#include <string>
#include <vector>

#include "data/io/meta_header.h"
#include "net/acse/upper_layer_states.h"
#include "net/pdu/pdata_record.h"
#include "net/pdu/pdu_buffer.h"
#include "net/pdu/pdu_control.h"
#include "net/pdu/pdu_limits.h"
#include "net/pdu/pdu_records.h"

namespace pella {

constexpr const char* kDefaultCallingAETitle = "KESTRA          ";
// The implementation version name we announce in associations (files carry their own).
constexpr const char* kAssociationVersionName = "orvexStation";
// The largest P-DATA-TF this side announces it takes, unless told otherwise (--max-pdu): large
// enough that a 512 x 512 image arrives in a few receives, small enough to stay cheap per
// association.
constexpr uint32_t kOurMaxPduLength = 128 * 1024;
// The range a caller may announce: large enough for any command, at most the largest PDU read.
constexpr uint32_t kMinReceivePduLength = 4096;
constexpr uint32_t kMaxReceivePduLength = kMaxPduLength;
// A requested maximum within that range (0: the default).
uint32_t ReceivePduLengthOrDefault(uint32_t requested);
// Largest P-DATA-TF this system sends, whatever the peer takes (0 announced = no limit).
constexpr uint32_t kSendPduCap = 1024 * 1024;
// The smallest maximum honoured: a P-DATA-TF needs room for its header and one byte.
constexpr uint32_t kMinSendPduLength = 7;
// Longest wait for the peer's A-RELEASE-RP; the connection is closed either way.
constexpr int kReleaseReplyTimeoutSeconds = 30;

}  // namespace pella

// The association object behind the exported handle (opaque in pella.h). One association,
// used by one thread at a time.
struct PDU {
public:
    explicit PDU(int timeoutSeconds = pella::kDefaultReceiveTimeoutSeconds);
    virtual ~PDU();  // releases the association first when it is still connected
    PDU(const PDU&) = delete;
    PDU& operator=(const PDU&) = delete;

    bool IsConnected() const { return buffer.Transport().IsConnected(); }

    // The next message ID of this association: 1, 2, 3, ... (0 is skipped after a wrap).
    uint16_t NextMessageID();
    // Sets the size of P-DATA-TF PDUs sent from the maximum the peer announced.
    void SetPeerMaxPduLength(uint32_t announced);
    // Bytes of a unit that one P-DATA-TF carries (its single value's fragment).
    std::size_t SendFragmentLength() const { return sendPduLength - 6; }

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
    uint16_t lastMessageID = 0;                        // per association: IDs never collide across them
    uint8_t lastRequestContextID = 0;                  // the context the last request went out on
    uint32_t responsesToLastRequest = 0;               // responses read since the last request went out
    uint32_t sendPduLength = pella::kOurMaxPduLength;  // whole P-DATA-TF, header included
    // The largest P-DATA-TF this side announces it takes (set before the association starts).
    uint32_t receivePduLength = pella::kOurMaxPduLength;
    // The association's upper-layer state, moved only by Fire (upper_layer.h).
    pella::UlState ulState = pella::UlState::kSta1;
    bool requestor = false;  // this side requested the association (decides a release collision)
};

namespace pella {

using ::PDU;

// The name of the abstract syntax proposed on a context ("not proposed" when none was).
std::string ProposedAbstractSyntax(const PDU& pdu, uint8_t contextID);

// Transfer syntaxes offered by OpenAssoc: T first when given, then implicit VR little endian
// (once).
std::vector<std::string> OpenAssocSyntaxes(const std::string& wanted);

// Transfer syntaxes offered for storage: the wanted syntax B, the file's syntax A (when it
// differs from B), then implicit VR little endian; empty texts count as absent.
std::vector<std::string> StoreAssocSyntaxes(const std::string& fileSyntax, const std::string& wantedSyntax);

// One presentation context to propose: an abstract syntax and its transfer syntaxes.
struct ProposedContext {
    std::string abstractSyntax;
    std::vector<std::string> transferSyntaxes;
};

// Fills the request: titles (an empty calling title becomes the default, also in `calling`),
// one presentation context per entry with IDs 1, 3, 5, ... (at most 128), and our user
// information. False (logged) when there are no contexts or more than 128.
bool BuildRequest(PDU& pdu, std::string& calling, const std::string& called,
                  const std::vector<ProposedContext>& contexts);

// The same with one context for the abstract syntax.
void BuildRequest(PDU& pdu, std::string& calling, const std::string& called,
                  const std::string& abstractSyntax, const std::vector<std::string>& syntaxes);

// Connects, sends the request and reads the answer. True when at least one presentation
// context was accepted; an answer without one is aborted. Any PDU other than an A-ASSOCIATE-AC,
// -RJ or A-ABORT is answered with an A-ABORT. Failures are logged.
bool RequestAssociation(PDU& pdu, const std::string& host, const std::string& port);

// Releases an established association: sends the A-RELEASE-RQ and waits (at most 30 seconds
// in all) for the A-RELEASE-RP, dropping P-DATA-TF that still arrives and answering the peer's
// own A-RELEASE-RQ (a release collision); then closes. An association in any other state is
// aborted when it can be (A-ABORT, source 0), otherwise just closed. Always true.
bool ReleaseAssociation(PDU& pdu);

// BuildRequest with the OpenAssoc offer, then RequestAssociation.
bool OpenAssoc(PDU& pdu, const std::string& host, const std::string& port, std::string& calling,
               const std::string& called, const std::string& abstractSyntax, const std::string& wantedSyntax);

// BuildRequest with the storage offer, then RequestAssociation.
bool OpenStoreAssoc(PDU& pdu, const std::string& host, const std::string& port, std::string& calling,
                    const std::string& called, const std::string& abstractSyntax,
                    const std::string& fileSyntax, const std::string& wantedSyntax);

// The local user aborts (A-ABORT, source 0, reason 0, as for an undecodable or mis-flagged
// message) and the connection is closed; a connection whose state has no abort is just closed.
void AbortAssociation(PDU& pdu);

// A protocol error (an invalid PDU): A-ABORT of the provider, source 2, with the reason; the
// connection is closed.
void AbortForProtocolError(PDU& pdu, uint8_t reason);

}  // namespace pella
