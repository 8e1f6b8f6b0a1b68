// Runs an association through the upper-layer transition table: every PDU received and every
// request of the local user is an event; its action moves the association's state and says
// what is done. The parts with fixed PDUs (aborts, release request and reply, closing) are done
// here; sending an A-ASSOCIATE-RQ, -AC or -RJ and P-DATA, and taking what was received, are the
// caller's.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "net/acse/association.h"
#include "net/acse/upper_layer_states.h"

namespace pella {

// Fires the event on the association: looks up the action for its state, moves to the next
// state and does this layer's part of the action:
//   AA-1       sends an A-ABORT of our own (source 0, reason 0);
//   AA-7, AA-8 send an A-ABORT of the provider (source 2) with `reason` (by default 1,
//              unrecognized PDU, for Evt19 and 2, unexpected PDU, for any other event);
//   AA-3       reads the A-ABORT whose type byte was received, and reports it;
//   AR-1       sends the A-RELEASE-RQ; AR-4 and AR-9 send the A-RELEASE-RP;
//   AE-4, AR-3, AA-2, AA-3, AA-4, AA-5, AR-5 close the connection.
// The ARTIM timer is zero: an association that enters Sta13 is closed at once (Evt18), except
// after AE-8, whose A-ASSOCIATE-RJ the caller sends before it fires Evt18. An event the state
// does not define does nothing and returns kNone. `why`, when given, is logged as the failure
// for actions that abort.
UlAction Fire(PDU& pdu, UlEvent event, std::optional<uint8_t> reason = std::nullopt,
              const std::string& why = "");

// Reads the next PDU and fires its event. Its body is read only when the state expects it: an
// A-ASSOCIATE-RQ, -AC or -RJ, A-RELEASE-RQ or -RP into the matching record of pdu, a
// P-DATA-TF's length into pdu.data.pendingLength (its values are the caller's to read). A body
// that does not read is an invalid PDU (Evt19, reason 6); a connection closed, silent past its
// time limit or stopped is Evt17. The type byte read goes to `type` (0 when none). The wait for
// the type byte is bounded by the transport's time-out; from then on the whole PDU, including
// the values of a P-DATA-TF read after this returns, must arrive within the time-out.
UlAction ReceivePdu(PDU& pdu, uint8_t& type);

// True while the association is established (Sta6).
inline bool IsEstablished(const PDU& pdu) {
    return pdu.ulState == UlState::kSta6;
}

}  // namespace pella
