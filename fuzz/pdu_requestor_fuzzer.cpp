// The PDU readers a requestor uses, over a stream of PDUs: A-ASSOCIATE-AC and -RJ, P-DATA-TF
// framing, A-RELEASE-RQ and -RP.
#include <cstddef>
#include <cstdint>

#include "support/pdu_stream.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    PDU pdu(1);
    pella_fuzz::FeedInput(pdu, data, size);
    pella_fuzz::ReadPduStream(pdu, pella_fuzz::Role::kRequestor);
    return 0;
}
