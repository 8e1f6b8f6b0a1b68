// Building DIMSE command sets: typed elements of group 0000 and the group length in front.
#pragma once

#include <cstdint>
#include <string>

#include "data/model/element_list.h"

namespace pella {

// DIMSE command fields.
enum CommandField : uint16_t {
    kCStoreRQ = 0x0001,
    kCStoreRSP = 0x8001,
    kCGetRQ = 0x0010,
    kCGetRSP = 0x8010,
    kCFindRQ = 0x0020,
    kCFindRSP = 0x8020,
    kCMoveRQ = 0x0021,
    kCMoveRSP = 0x8021,
    kCEchoRQ = 0x0030,
    kCEchoRSP = 0x8030,
    kNEventReportRQ = 0x0100,
    kNEventReportRSP = 0x8100,
    kNGetRQ = 0x0110,
    kNGetRSP = 0x8110,
    kNSetRQ = 0x0120,
    kNSetRSP = 0x8120,
    kNActionRQ = 0x0130,
    kNActionRSP = 0x8130,
    kNCreateRQ = 0x0140,
    kNCreateRSP = 0x8140,
    kNDeleteRQ = 0x0150,
    kNDeleteRSP = 0x8150,
    kCCancelRQ = 0x0FFF,
};

constexpr uint16_t kNoDataSet = 0x0101;
constexpr uint16_t kDataSetPresent = 0x0000;
constexpr uint16_t kDataSetFollows = 0x0102;  // what this system sends for "a data set follows"

// Command element tags (group 0000).
constexpr uint16_t kTagAffectedSopClass = 0x0002;
constexpr uint16_t kTagRequestedSopClass = 0x0003;
constexpr uint16_t kTagCommandField = 0x0100;
constexpr uint16_t kTagMessageID = 0x0110;
constexpr uint16_t kTagMessageIDRespondedTo = 0x0120;
constexpr uint16_t kTagMoveDestination = 0x0600;
constexpr uint16_t kTagPriority = 0x0700;
constexpr uint16_t kTagDataSetType = 0x0800;
constexpr uint16_t kTagStatus = 0x0900;
constexpr uint16_t kTagAffectedSopInstance = 0x1000;
constexpr uint16_t kTagRequestedSopInstance = 0x1001;
constexpr uint16_t kTagEventTypeID = 0x1002;
constexpr uint16_t kTagActionTypeID = 0x1008;
constexpr uint16_t kTagMoveOriginator = 0x1030;
constexpr uint16_t kTagMoveOriginatorMessageID = 0x1031;

void AppendUS(ElementList& list, uint16_t group, uint16_t element, uint16_t value);
void AppendUL(ElementList& list, uint16_t group, uint16_t element, uint32_t value);
// A UID padded to even length with one zero byte.
void AppendUI(ElementList& list, uint16_t group, uint16_t element, const std::string& uid);
// A text padded to even length with one space.
void AppendText(ElementList& list, uint16_t group, uint16_t element, const std::string& text, const char* vr);

// Puts (0000,0000) Command Group Length in front of the command elements already in `list`:
// the implicit VR encoded size of everything after it.
void PrependCommandGroupLength(ElementList& list);

}  // namespace pella
