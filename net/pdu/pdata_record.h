// P-DATA-TF state of one association: the PDU being read and the message unit being staged.
#pragma once

#include <cstdint>
#include <vector>

#include "data/model/byte_vector.h"

#include "net/pdu/pdu_limits.h"

namespace pella {

class PDataRecord {
public:
    virtual ~PDataRecord() = default;

    uint8_t pduType = 0x04;
    uint8_t reserved = 0;
    uint32_t pendingLength = 0;    // unread bytes of the P-DATA-TF in progress; 0 = none
    ByteVector staging;            // one received message unit, reassembled from its fragments
    bool complete = false;         // the last value read carried the last-fragment bit
    uint8_t receivedControl = 0;   // control header of the last value read
    uint8_t messageContextID = 0;  // context of the unit being sent, or of the last one received
    uint8_t sendControl = 0;       // control header of the unit being sent
    std::size_t dataSetLimit = kMaxReceivedDataSet;  // largest data set unit accepted
    // Context of the data set announced by the last command received; 0 when a command is due.
    uint8_t announcedDataSetContext = 0;

    // Empties the staged unit, giving its memory back when it grew large.
    void ReleaseStaging() {
        if (staging.capacity() > kKeptMessageBuffer)
            ByteVector().swap(staging);
        else
            staging.clear();
    }

    // Forgets the exchange in progress (the limit stays).
    void Reset() {
        pendingLength = 0;
        ReleaseStaging();
        complete = false;
        receivedControl = messageContextID = sendControl = 0;
        announcedDataSetContext = 0;
    }
};

}  // namespace pella
