// An association object whose connection is one end of a local socket pair: the input is put
// in its buffer as if received, the peer has ended its sending side (reads past the input fail
// at once), and what the association sends waits on the peer's end until TakeSent.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "net/acse/association.h"

namespace pella_fuzz {

class FedPdu {
public:
    FedPdu(const uint8_t* data, std::size_t size);
    ~FedPdu();
    FedPdu(const FedPdu&) = delete;
    FedPdu& operator=(const FedPdu&) = delete;

    // Everything sent so far and not yet taken.
    std::vector<uint8_t> TakeSent();

    PDU pdu{1};

private:
    int peer_ = -1;
};

}  // namespace pella_fuzz
