// The PDU readers a requestor uses, over a stream of PDUs: A-ASSOCIATE-AC and -RJ, P-DATA-TF
// framing, A-RELEASE-RQ and -RP.
#include <cstddef>
#include <cstdint>

#include "support/pdu_stream.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    pella_fuzz::FedPdu fed(data, size);
    pella_fuzz::ReadPduStream(fed, pella_fuzz::Role::kRequestor);
    return 0;
}
