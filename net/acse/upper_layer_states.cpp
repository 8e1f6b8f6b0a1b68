#include "net/acse/upper_layer_states.h"

#include <array>

#include "net/pdu/pdu_records.h"

namespace pella {

namespace {

using A = UlAction;
constexpr A NA = A::kNone;  // no entry

// One row per event (Evt1 to Evt19), one column per state (Sta1 to Sta13).
constexpr std::array<std::array<UlAction, kUlStateCount>, kUlEventCount> kTable = {{
    //   Sta1      Sta2      Sta3      Sta4      Sta5      Sta6      Sta7      Sta8      Sta9      Sta10 Sta11
    //   Sta12     Sta13
    {A::kAE1, NA, NA, NA, NA, NA, NA, NA, NA, NA, NA, NA, NA},  // Evt1
    {NA, NA, NA, A::kAE2, NA, NA, NA, NA, NA, NA, NA, NA, NA},  // Evt2
    {NA, A::kAA1, A::kAA8, NA, A::kAE3, A::kAA8, A::kAA8, A::kAA8, A::kAA8, A::kAA8, A::kAA8, A::kAA8,
     A::kAA6},  // Evt3
    {NA, A::kAA1, A::kAA8, NA, A::kAE4, A::kAA8, A::kAA8, A::kAA8, A::kAA8, A::kAA8, A::kAA8, A::kAA8,
     A::kAA6},                                                  // Evt4
    {A::kAE5, NA, NA, NA, NA, NA, NA, NA, NA, NA, NA, NA, NA},  // Evt5
    {NA, A::kAE6, A::kAA8, NA, A::kAA8, A::kAA8, A::kAA8, A::kAA8, A::kAA8, A::kAA8, A::kAA8, A::kAA8,
     A::kAA7},                                                       // Evt6
    {NA, NA, A::kAE7, NA, NA, NA, NA, NA, NA, NA, NA, NA, NA},       // Evt7
    {NA, NA, A::kAE8, NA, NA, NA, NA, NA, NA, NA, NA, NA, NA},       // Evt8
    {NA, NA, NA, NA, NA, A::kDT1, NA, A::kAR7, NA, NA, NA, NA, NA},  // Evt9
    {NA, A::kAA1, A::kAA8, NA, A::kAA8, A::kDT2, A::kAR6, A::kAA8, A::kAA8, A::kAA8, A::kAA8, A::kAA8,
     A::kAA6},                                                  // Evt10
    {NA, NA, NA, NA, NA, A::kAR1, NA, NA, NA, NA, NA, NA, NA},  // Evt11
    {NA, A::kAA1, A::kAA8, NA, A::kAA8, A::kAR2, A::kAR8, A::kAA8, A::kAA8, A::kAA8, A::kAA8, A::kAA8,
     A::kAA6},  // Evt12
    {NA, A::kAA1, A::kAA8, NA, A::kAA8, A::kAA8, A::kAR3, A::kAA8, A::kAA8, A::kAR10, A::kAR3, A::kAA8,
     A::kAA6},                                                            // Evt13
    {NA, NA, NA, NA, NA, NA, NA, A::kAR4, A::kAR9, NA, NA, A::kAR4, NA},  // Evt14
    {NA, NA, A::kAA1, A::kAA2, A::kAA1, A::kAA1, A::kAA1, A::kAA1, A::kAA1, A::kAA1, A::kAA1, A::kAA1,
     NA},  // Evt15
    {NA, A::kAA2, A::kAA3, NA, A::kAA3, A::kAA3, A::kAA3, A::kAA3, A::kAA3, A::kAA3, A::kAA3, A::kAA3,
     A::kAA2},  // Evt16
    {NA, A::kAA5, A::kAA4, A::kAA4, A::kAA4, A::kAA4, A::kAA4, A::kAA4, A::kAA4, A::kAA4, A::kAA4, A::kAA4,
     A::kAR5},                                                       // Evt17
    {NA, A::kAA2, NA, NA, NA, NA, NA, NA, NA, NA, NA, NA, A::kAA2},  // Evt18
    {NA, A::kAA1, A::kAA8, NA, A::kAA8, A::kAA8, A::kAA8, A::kAA8, A::kAA8, A::kAA8, A::kAA8, A::kAA8,
     A::kAA7},  // Evt19
}};

constexpr const char* kStateNames[] = {"Sta1", "Sta2", "Sta3",  "Sta4",  "Sta5",  "Sta6", "Sta7",
                                       "Sta8", "Sta9", "Sta10", "Sta11", "Sta12", "Sta13"};
constexpr const char* kEventNames[] = {"Evt1",  "Evt2",  "Evt3",  "Evt4",  "Evt5",  "Evt6",  "Evt7",
                                       "Evt8",  "Evt9",  "Evt10", "Evt11", "Evt12", "Evt13", "Evt14",
                                       "Evt15", "Evt16", "Evt17", "Evt18", "Evt19"};
constexpr const char* kActionNames[] = {"none", "AE-1", "AE-2", "AE-3", "AE-4",  "AE-5", "AE-6", "AE-7",
                                        "AE-8", "DT-1", "DT-2", "AR-1", "AR-2",  "AR-3", "AR-4", "AR-5",
                                        "AR-6", "AR-7", "AR-8", "AR-9", "AR-10", "AA-1", "AA-2", "AA-3",
                                        "AA-4", "AA-5", "AA-6", "AA-7", "AA-8"};

int StateIndex(UlState state) {
    return static_cast<int>(state) - 1;
}
int EventIndex(UlEvent event) {
    return static_cast<int>(event) - 1;
}

bool ValidState(UlState state) {
    return StateIndex(state) >= 0 && StateIndex(state) < kUlStateCount;
}
bool ValidEvent(UlEvent event) {
    return EventIndex(event) >= 0 && EventIndex(event) < kUlEventCount;
}

}  // namespace

UlAction TransitionAction(UlState state, UlEvent event) {
    if (!ValidState(state) || !ValidEvent(event)) return UlAction::kNone;
    return kTable[static_cast<std::size_t>(EventIndex(event))][static_cast<std::size_t>(StateIndex(state))];
}

UlState NextState(UlAction action, UlState current, bool requestor) {
    switch (action) {
        case A::kNone:
            return current;
        case A::kAE1:
            return UlState::kSta4;
        case A::kAE2:
            return UlState::kSta5;
        case A::kAE3:
            return UlState::kSta6;
        case A::kAE4:
            return UlState::kSta1;
        case A::kAE5:
            return UlState::kSta2;
        case A::kAE6:
            return UlState::kSta3;
        case A::kAE7:
            return UlState::kSta6;
        case A::kAE8:
            return UlState::kSta13;
        case A::kDT1:
            return UlState::kSta6;
        case A::kDT2:
            return UlState::kSta6;
        case A::kAR1:
            return UlState::kSta7;
        case A::kAR2:
            return UlState::kSta8;
        case A::kAR3:
            return UlState::kSta1;
        case A::kAR4:
            return UlState::kSta13;
        case A::kAR5:
            return UlState::kSta1;
        case A::kAR6:
            return UlState::kSta7;
        case A::kAR7:
            return UlState::kSta8;
        case A::kAR8:
            return requestor ? UlState::kSta9 : UlState::kSta10;
        case A::kAR9:
            return UlState::kSta11;
        case A::kAR10:
            return UlState::kSta12;
        case A::kAA1:
            return UlState::kSta13;
        case A::kAA2:
            return UlState::kSta1;
        case A::kAA3:
            return UlState::kSta1;
        case A::kAA4:
            return UlState::kSta1;
        case A::kAA5:
            return UlState::kSta1;
        case A::kAA6:
            return UlState::kSta13;
        case A::kAA7:
            return UlState::kSta13;
        case A::kAA8:
            return UlState::kSta13;
    }
    return current;
}

const char* StateName(UlState state) {
    return ValidState(state) ? kStateNames[StateIndex(state)] : "Sta?";
}

const char* EventName(UlEvent event) {
    return ValidEvent(event) ? kEventNames[EventIndex(event)] : "Evt?";
}

const char* ActionName(UlAction action) {
    auto index = static_cast<std::size_t>(action);
    return index < std::size(kActionNames) ? kActionNames[index] : "none";
}

UlEvent EventForPduType(uint8_t pduType) {
    switch (pduType) {
        case pdu_type::kAssociateRQ:
            return UlEvent::kEvt6;
        case pdu_type::kAssociateAC:
            return UlEvent::kEvt3;
        case pdu_type::kAssociateRJ:
            return UlEvent::kEvt4;
        case pdu_type::kPDataTF:
            return UlEvent::kEvt10;
        case pdu_type::kReleaseRQ:
            return UlEvent::kEvt12;
        case pdu_type::kReleaseRP:
            return UlEvent::kEvt13;
        case pdu_type::kAbort:
            return UlEvent::kEvt16;
        default:
            return UlEvent::kEvt19;
    }
}

bool SendsAbort(UlAction action) {
    return action == A::kAA1 || action == A::kAA7 || action == A::kAA8;
}

}  // namespace pella
