// The six exchanges of a print on an open association with a grayscale printer: printer status,
// film session, film box, its first image box, the print action, deletion of the film box.
// Each returns success; the reason of a failure is logged.
#pragma once

#include <string>

#include "data/registry/sop_classes.h"
#include "imaging/bitmap.h"
#include "net/acse/association.h"
#include "pella.h"
#include "services/print/film_box_response.h"
#include "services/print/print_contexts.h"

namespace pella {

// N-GET of the printer (all its attributes); they are not looked at.
bool GetPrinterStatus(PDU& pdu);

// N-CREATE of a film session with the given attributes (none: no data set is sent). The
// instance UID the printer assigns goes to `filmSessionUID`; a response without a valid one
// fails.
bool CreateFilmSession(PDU& pdu, const FilmSessionParameters* filmSession, std::string& filmSessionUID);

struct CreatedFilmBox {
    std::string filmBoxUID;
    ImageBoxReference imageBox;  // the first image box; empty when the response named none
};

// N-CREATE of a film box in the film session; the response's film box UID and first image box.
bool CreateFilmBox(PDU& pdu, const FilmBoxParameters* filmBox, const std::string& filmSessionUID,
                   CreatedFilmBox& created);

// N-SET of the image box with the bitmap as its Basic Grayscale Image Sequence item.
bool SetImageBox(PDU& pdu, const Bitmap& bitmap, const ImageBoxReference& imageBox);

// N-ACTION "print" of the film box.
bool PrintFilmBox(PDU& pdu, const std::string& filmBoxUID);

// N-DELETE of the film box.
bool DeleteFilmBox(PDU& pdu, const std::string& filmBoxUID);

}  // namespace pella
