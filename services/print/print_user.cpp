#include "services/print/print_user.h"

#include "imaging/print_image.h"
#include "log/protocol_log.h"
#include "net/acse/association.h"
#include "services/print/print_attributes.h"
#include "services/print/print_steps.h"

namespace pella {

namespace {

// A step's failure line; the reason was logged by the step.
bool Failed(const char* line) {
    LogFailure(line);
    return false;
}

// The exchanges on the open association, each with its outcome line.
bool RunPrintSteps(PDU& pdu, const Bitmap& bitmap, const FilmSessionParameters* filmSession,
                   const FilmBoxParameters* filmBox) {
    if (!GetPrinterStatus(pdu)) WriteLogLine("Unable to Get Status");  // the print goes on
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
    if (!CheckFilmBoxParameters(filmBox, reason)) return Failed(("ERROR: " + reason).c_str());
    Bitmap bitmap;
    if (!LoadPrintBitmap(fileName, bitmap)) return false;  // logged there
    PDU pdu;
    bool printed = false;
    if (OpenAssoc(pdu, host, port, calling, called, kGrayscalePrintMetaSopClass, "")) {
        printed = RunPrintSteps(pdu, bitmap, filmSession, filmBox);
    } else {
        LogFailure("Connection Failed!");
    }
    ReleaseAssociation(pdu);
    return printed;
}

}  // namespace pella
