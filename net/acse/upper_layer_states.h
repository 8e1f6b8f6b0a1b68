// The upper layer's association states, events and actions, and the transition table that maps
// each state and event to the action taken. A pure table: the association code looks the
// transitions up (upper_layer.h) and does what the action says.
#pragma once

#include <cstdint>

namespace pella {

enum class UlState : uint8_t {
    kSta1 = 1,  // idle
    kSta2,      // connection open, awaiting the A-ASSOCIATE-RQ
    kSta3,      // awaiting the local A-ASSOCIATE response
    kSta4,      // awaiting the transport connection to open
    kSta5,      // awaiting the A-ASSOCIATE-AC or -RJ
    kSta6,      // association established, ready for data transfer
    kSta7,      // awaiting the A-RELEASE-RP
    kSta8,      // awaiting the local A-RELEASE response
    kSta9,      // release collision, requestor: awaiting the local A-RELEASE response
    kSta10,     // release collision, acceptor: awaiting the A-RELEASE-RP
    kSta11,     // release collision, requestor: awaiting the A-RELEASE-RP
    kSta12,     // release collision, acceptor: awaiting the local A-RELEASE response
    kSta13,     // awaiting the transport connection to close
};

enum class UlEvent : uint8_t {
    kEvt1 = 1,  // A-ASSOCIATE request (local user)
    kEvt2,      // transport connection confirmed
    kEvt3,      // A-ASSOCIATE-AC received
    kEvt4,      // A-ASSOCIATE-RJ received
    kEvt5,      // transport connection indication
    kEvt6,      // A-ASSOCIATE-RQ received
    kEvt7,      // A-ASSOCIATE response (accept)
    kEvt8,      // A-ASSOCIATE response (reject)
    kEvt9,      // P-DATA request
    kEvt10,     // P-DATA-TF received
    kEvt11,     // A-RELEASE request
    kEvt12,     // A-RELEASE-RQ received
    kEvt13,     // A-RELEASE-RP received
    kEvt14,     // A-RELEASE response
    kEvt15,     // A-ABORT request
    kEvt16,     // A-ABORT received
    kEvt17,     // transport connection closed
    kEvt18,     // ARTIM timer expired
    kEvt19,     // unrecognized or invalid PDU received
};

constexpr int kUlStateCount = 13;
constexpr int kUlEventCount = 19;

enum class UlAction : uint8_t {
    kNone,  // the event is not defined in the state: nothing happens
    kAE1,
    kAE2,
    kAE3,
    kAE4,
    kAE5,
    kAE6,
    kAE7,
    kAE8,
    kDT1,
    kDT2,
    kAR1,
    kAR2,
    kAR3,
    kAR4,
    kAR5,
    kAR6,
    kAR7,
    kAR8,
    kAR9,
    kAR10,
    kAA1,
    kAA2,
    kAA3,
    kAA4,
    kAA5,
    kAA6,
    kAA7,
    kAA8,
};

// The action for the event in the state; kNone where the table has no entry.
UlAction TransitionAction(UlState state, UlEvent event);

// The state an action leads to. AE-6 leads to Sta3 (the request goes to the local user, who
// accepts or rejects it); AR-8 to Sta9 for the association's requestor, Sta10 for its acceptor.
// kNone leaves the state as it is.
UlState NextState(UlAction action, UlState current, bool requestor);

// "Sta6", "Evt12", "AR-2" ("none").
const char* StateName(UlState state);
const char* EventName(UlEvent event);
const char* ActionName(UlAction action);

// The event of a received PDU type: Evt3 (AC), Evt4 (RJ), Evt6 (RQ), Evt10 (P-DATA-TF), Evt12
// (A-RELEASE-RQ), Evt13 (A-RELEASE-RP), Evt16 (A-ABORT); Evt19 for any other type.
UlEvent EventForPduType(uint8_t pduType);

// True for the actions that send an A-ABORT (AA-1, AA-7, AA-8).
bool SendsAbort(UlAction action);

}  // namespace pella
