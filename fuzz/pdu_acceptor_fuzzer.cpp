// The PDU readers an acceptor uses, over a stream of PDUs: A-ASSOCIATE-RQ (then the decision on
// each proposed context), P-DATA-TF framing, A-RELEASE-RQ.
#include <cstddef>
#include <cstdint>

#include "support/pdu_stream.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    pella_fuzz::FedPdu fed(data, size);
    pella_fuzz::ReadPduStream(fed, pella_fuzz::Role::kAcceptor);
    return 0;
}
