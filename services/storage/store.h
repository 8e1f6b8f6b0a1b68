// The storage user: C-STORE of one data set on an open association, and of one file in one
// call.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "data/model/element_list.h"
#include "net/acse/association.h"
#include "net/dimse/dimse.h"

namespace pella {

// ReadStoreRSP results that are no status.
constexpr int32_t kNoStoreResponse = -1;    // nothing valid could be read
constexpr int32_t kNotAStoreResponse = -2;  // a response to another command

// True when a data set in `fileSyntax` can be sent on a context accepted with `accepted`:
// the same syntax, implicit and explicit VR little endian and deflated crossed (headers
// re-encoded, deflated or inflated), or,
// when the caller asked for conversion, any pair the converter handles.
bool CanTravelAs(const std::string& fileSyntax, const std::string& accepted, bool convert);

// A context accepted for a data set, with the transfer syntax accepted on it.
struct StoreContext {
    uint8_t contextID = 0;
    std::string syntax;
};

// Every context proposed for the class that was accepted in a syntax the data set can travel
// as, in the order proposed (proposals stand in order of preference). With `wantedSyntax` (an
// association proposing the contexts of several objects) in this object's order of preference
// instead: the wanted syntax, its own, an uncompressed one, then the others as proposed.
std::vector<StoreContext> StoreContextsFor(const PDU& pdu, const std::string& sopClassUid,
                                           const std::string& fileSyntax, bool convert,
                                           const std::string* wantedSyntax = nullptr);

// The first of StoreContextsFor; 0 when none. `accepted` receives its transfer syntax.
uint8_t StoreContextFor(const PDU& pdu, const std::string& sopClassUid, const std::string& fileSyntax,
                        bool convert, std::string& accepted, const std::string* wantedSyntax = nullptr);

// Sends the C-STORE-RQ and then the data set on the context StoreContextFor chooses.
// When the accepted transfer syntax differs from `fileSyntax`, the data set is converted into
// it with `convert`; when that conversion fails (a file the codec cannot take), the next
// accepted context the data set can travel on is used instead, and `note` (when given) says so. Without
// `convert` the values go as read, which only the native little-endian pair (implicit and explicit VR)
// allows, with the headers (those inside defined-length sequences too) written for the accepted syntax; any
// other pair would reach the peer as corrupt data and is refused. The caller's elements and values stay as
// they are (VR fields of an implicit list may be filled in from the dictionary).
bool WriteStoreRQ(PDU& pdu, ElementList& data, const std::string& sopClassUid, const std::string& fileSyntax,
                  bool convert, std::string* note = nullptr, const std::string* wantedSyntax = nullptr);

// True when the first context WriteStoreRQ would choose for the data set carries it in the
// file's own syntax, so that its bytes can go as they stand in the file.
bool TravelsAsStored(const PDU& pdu, const std::string& sopClassUid, const std::string& fileSyntax,
                     bool convert, const std::string* wantedSyntax = nullptr);

// Sends the C-STORE-RQ and a data set whose front is in memory and whose rest stays in the file
// (SendDataSetWithTail), on the first context WriteStoreRQ would choose; false (logged) when
// that context does not carry the file's own syntax (see TravelsAsStored).
bool WriteStoreRQFromFile(PDU& pdu, const ElementList& front, const FileTail& tail,
                          const std::string& sopClassUid, const std::string& fileSyntax, bool convert,
                          const std::string* wantedSyntax = nullptr);

// Reads the C-STORE-RSP: its status (0 to 65535), kNoStoreResponse, or kNotAStoreResponse.
// A response without a status is no valid response. A data set announced by the response is
// read and dropped, so that the association stays in step.
int32_t ReadStoreRSP(PDU& pdu);

// Reads a Part 10 file, opens an association for its SOP class, sends it, reads the answer and
// releases. True only for status 0. `calling` as for OpenAssoc.
bool StoreSCU(const std::string& host, const std::string& port, std::string& calling,
              const std::string& called, const std::string& fileName, const std::string& wantedSyntax,
              bool convert);

}  // namespace pella
