#include "services/print/print_steps.h"

#include "data/io/element_header.h"
#include "data/registry/uid.h"
#include "imaging/print_image.h"
#include "log/protocol_log.h"
#include "net/dimse/command_set.h"
#include "net/dimse/dimse.h"
#include "net/dimse/dimse_n_messages.h"
#include "services/print/print_attributes.h"

namespace pella {

namespace {

constexpr uint16_t kPrintAction = 1;

void OpenSequence(ElementList& list, uint16_t group, uint16_t element) {
    list.Append(NewElement(group, element, kUndefinedLength, nullptr, "SQ"));
    list.Append(NewElement(0xFFFE, 0xE000, kUndefinedLength, nullptr, "DL"));
}

void CloseSequence(ElementList& list) {
    list.Append(NewElement(0xFFFE, 0xE00D, 0, nullptr, "DL"));
    list.Append(NewElement(0xFFFE, 0xE0DD, 0, nullptr, "DL"));
}

// The transfer syntax the film box's data sets travel in.
std::string FilmBoxSyntax(const PDU& pdu) {
    std::string syntax;
    FindAcceptedSyntax(pdu, FindContextID(pdu, PrintContextSyntax(pdu, kFilmBoxSopClass)), syntax);
    return syntax;
}

// The UID of an instance the printer created: the response's Affected SOP Instance UID, or, when
// that is absent or invalid, the SOP Instance UID among the returned attributes (some printers
// name it only there). Empty when neither is a valid UID.
std::string CreatedInstanceUID(const std::string& affected, const ElementList& attributes) {
    if (IsValidUid(affected)) return affected;
    std::string returned = ElementUid(attributes, 0x0008, 0x0018);
    return IsValidUid(returned) ? returned : "";
}

}  // namespace

bool GetPrinterStatus(PDU& pdu) {
    ElementList attributes;
    return WriteNGetRQ(pdu, kPrinterSopInstance, kPrinterSopClass,
                       PrintContextSyntax(pdu, kPrinterSopClass)) &&
           ReadNGetRSP(pdu, &attributes);
}

bool CreateFilmSession(PDU& pdu, const FilmSessionParameters* filmSession, std::string& filmSessionUID) {
    ElementList dataSet;
    AddFilmSessionAttributes(filmSession, dataSet);
    if (!WriteNCreateRQ(pdu, &dataSet, "", kFilmSessionSopClass,
                        PrintContextSyntax(pdu, kFilmSessionSopClass)))
        return false;
    ElementList response;
    if (!ReadNCreateRSP(pdu, &response, &filmSessionUID)) return false;
    filmSessionUID = CreatedInstanceUID(filmSessionUID, response);
    if (!filmSessionUID.empty()) return true;
    LogFailure("The film session response names no valid film session UID");
    return false;
}

bool CreateFilmBox(PDU& pdu, const FilmBoxParameters* filmBox, const std::string& filmSessionUID,
                   CreatedFilmBox& created) {
    ElementList dataSet;
    AddFilmBoxAttributes(filmBox, dataSet);
    dataSet.Append(NewElement(0x2010, 0x0150, 0, nullptr, "ST"));  // Configuration Information
    OpenSequence(dataSet, 0x2010, 0x0500);                         // Referenced Film Session
    AppendUI(dataSet, 0x0008, 0x1150, kFilmSessionSopClass);
    AppendUI(dataSet, 0x0008, 0x1155, filmSessionUID);
    CloseSequence(dataSet);
    if (!WriteNCreateRQ(pdu, &dataSet, "", kFilmBoxSopClass, PrintContextSyntax(pdu, kFilmBoxSopClass)))
        return false;
    ElementList response;
    if (!ReadNCreateRSP(pdu, &response, &created.filmBoxUID)) return false;
    created.filmBoxUID = CreatedInstanceUID(created.filmBoxUID, response);
    if (created.filmBoxUID.empty()) {
        LogFailure("The film box response names no valid film box UID");
        return false;
    }
    std::string reason;
    if (FindImageBoxReference(response, FilmBoxSyntax(pdu), created.imageBox, reason)) return true;
    LogFailure(reason);
    return false;
}

bool SetImageBox(PDU& pdu, const Bitmap& bitmap, const ImageBoxReference& imageBox) {
    if (imageBox.sopClass.empty() || imageBox.sopInstance.empty()) {
        LogFailure("The film box response referenced no image box");
        return false;
    }
    ElementList dataSet;
    AppendUS(dataSet, 0x2020, 0x0010, 1);                 // Image Position
    AppendText(dataSet, 0x2020, 0x0020, "NORMAL", "CS");  // Polarity
    OpenSequence(dataSet, 0x2020, 0x0110);                // Basic Grayscale Image Sequence
    if (!BuildImagePixelModule(bitmap, dataSet)) {
        LogFailure("The image could not be turned into image pixels");
        return false;
    }
    CloseSequence(dataSet);
    ElementList response;
    return WriteNSetRQ(pdu, dataSet, imageBox.sopInstance, imageBox.sopClass,
                       PrintContextSyntax(pdu, imageBox.sopClass)) &&
           ReadNSetRSP(pdu, &response);
}

bool PrintFilmBox(PDU& pdu, const std::string& filmBoxUID) {
    ElementList response;
    return WriteNActionRQ(pdu, nullptr, filmBoxUID, kFilmBoxSopClass, kPrintAction,
                          PrintContextSyntax(pdu, kFilmBoxSopClass)) &&
           ReadNActionRSP(pdu, &response);
}

bool DeleteFilmBox(PDU& pdu, const std::string& filmBoxUID) {
    return WriteNDeleteRQ(pdu, filmBoxUID, kFilmBoxSopClass, PrintContextSyntax(pdu, kFilmBoxSopClass)) &&
           ReadNDeleteRSP(pdu);
}

}  // namespace pella
