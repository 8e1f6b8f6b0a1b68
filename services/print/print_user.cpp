#include "services/print/print_user.h"

#include "imaging/print_image.h"
#include "log/protocol_log.h"
#include "net/acse/association.h"
#include "net/acse/upper_layer.h"
#include "services/print/print_attributes.h"
#include "services/print/print_steps.h"

namespace pella {

namespace {

// A step's failure line, with the reason the step logged (so that the caller's failure reason
// says what went wrong, a time-out for one).
bool Failed(const std::string& line) {
    std::string why = LastFailure();
    LogFailure(why.empty() ? line : line + " (" + why + ")");
    return false;
}

// The exchanges on the open association, each with its outcome line.
bool RunPrintSteps(PDU& pdu, const Bitmap& bitmap, const FilmSessionParameters* filmSession,
                   const FilmBoxParameters* filmBox) {
    if (!GetPrinterStatus(pdu)) {
        // The print goes on without the status, unless the association itself ended.
        if (!IsEstablished(pdu)) return Failed("Get Printer Status: Failed!");
        WriteLogLine("Unable to Get Status");
    }
    std::string filmSessionUID;
    if (!CreateFilmSession(pdu, filmSession, filmSessionUID)) return Failed("Create Film Session: Failed!");
    LogProgress("Create Film Session: OK!");
    CreatedFilmBox created;
    if (!CreateFilmBox(pdu, filmBox, filmSessionUID, created)) return Failed("Create Film Box: Failed!");
    LogProgress("Create Film Box: OK!");
    LogProgress("Width: " + std::to_string(bitmap.Width()) + ", Height: " + std::to_string(bitmap.Height()));
    if (!SetImageBox(pdu, bitmap, created.imageBox)) return Failed("Set Image Box: Failed!");
    LogProgress("Set Image Box: OK!");
    if (!PrintFilmBox(pdu, created.filmBoxUID)) return Failed("Film Box Action: Failed!");
    LogProgress("FilmBox Action: OK!");
    if (!DeleteFilmBox(pdu, created.filmBoxUID)) return Failed("FilmBox Delete: Failed!");
    LogProgress("FilmBox Delete: OK!");
    return true;
}

}  // namespace

bool PrintSCU(const std::string& fileName, const std::string& host, const std::string& port,
              std::string& calling, const std::string& called, const FilmSessionParameters* filmSession,
              const FilmBoxParameters* filmBox) {
    std::string reason;
    if (!CheckFilmBoxParameters(filmBox, reason)) {
        LogFailure("ERROR: " + reason);
        return false;
    }
    Bitmap bitmap;
    if (!LoadPrintBitmap(fileName, bitmap)) return false;  // logged there
    PDU pdu;
    bool printed = false;
    if (OpenAssoc(pdu, host, port, calling, called, kGrayscalePrintMetaSopClass, "")) {
        printed = RunPrintSteps(pdu, bitmap, filmSession, filmBox);
    } else {
        Failed("Connection Failed!");
    }
    ReleaseAssociation(pdu);
    return printed;
}

}  // namespace pella
