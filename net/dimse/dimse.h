// DIMSE message exchange on an open association: one command set or data set per call, cut
// into P-DATA-TF fragments on the way out and reassembled on the way in.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include "data/model/element_list.h"
#include "net/acse/association.h"

namespace pella {

constexpr int kCommandSet = 1;
constexpr int kDataSet = 0;

// The first presentation context proposed for the abstract syntax (a SOP class, or the meta
// class whose context a service's classes travel on); 0 when none.
uint8_t FindContextID(const PDU& pdu, const std::string& abstractSyntax);

// The transfer syntax accepted for a context; false when the context was not accepted.
bool FindAcceptedSyntax(const PDU& pdu, uint8_t contextID, std::string& syntax);

// The context proposed for the abstract syntax, with the transfer syntax accepted on it in
// `syntax`; 0, with the reason logged, when none was proposed or the peer did not accept it.
uint8_t AcceptedContextFor(const PDU& pdu, const std::string& sopClassUid, std::string& syntax);

// Sends a command set (kind 1, always implicit VR little endian) or a data set (kind 0, in the
// context's accepted syntax; on a deflated context the list holds explicit VR little endian
// elements and is deflated here) on the context proposed for the SOP class.
bool SendMessage(PDU& pdu, const ElementList& list, const std::string& sopClassUid, int kind);

// Sends a command set or data set on the given accepted context (as SendMessage).
bool SendUnit(PDU& pdu, const ElementList& list, uint8_t contextID, int kind);

// The part of a data set that lies in a file: `length` bytes from `offset`, sent as they stand.
struct FileTail {
    std::string file;
    uint64_t offset = 0;
    uint64_t length = 0;
    // The bytes are a whole deflated data set (a deflated file's): they go as they stand on a
    // deflated context, with nothing in front of them, and on no other context.
    bool deflated = false;
};

// Sends a data set on an accepted context: `front` encoded in the context's syntax, then the
// tail's bytes from the file, which the caller knows to be in that syntax. They are read a batch
// at a time, so memory stays near the front's size whatever the tail's. A file that cannot
// deliver them (cut short meanwhile) aborts the association.
bool SendDataSetWithTail(PDU& pdu, const ElementList& front, uint8_t contextID, const FileTail& tail);

// SendUnit, with the unit's bytes continued from `tail` when given.
bool SendUnitWithTail(PDU& pdu, const ElementList& list, uint8_t contextID, int kind, const FileTail* tail);

// Reads the next complete unit into `list` (its context in pdu.data.messageContextID). The
// unit must be what the exchange expects: a command set, or, after a command announcing one,
// a data set on that command's context; all its fragments on one context and flagged alike.
// Anything else aborts the association (source 0, reason 0). A release request is answered and ends the read
// with false; a release reply or abort closes; anything else unexpected or undecodable is
// answered with an A-ABORT.
bool ReadMessage(PDU& pdu, ElementList& list);

// Takes the next piece of a data set as it arrives; false refuses the data set.
using DataSetConsumer = std::function<bool(const uint8_t* bytes, std::size_t size)>;

// Reads the data set the last command announced without holding it: its bytes go to `consume`
// piece by piece (at most 256 KiB at a time) as they arrive. The same checks as ReadMessage
// apply. False when the association ended, or when `consume` refused a piece: the association
// is aborted then (source 0, reason 0).
bool ReadDataSetStream(PDU& pdu, const DataSetConsumer& consume);

}  // namespace pella
