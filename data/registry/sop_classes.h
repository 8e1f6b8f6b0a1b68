// The SOP classes of the standard (generated from its UID registry) with what this system needs
// to know of each: stored with C-STORE or not, image pixel data or not, in the storage server's
// original table, the print meta classes it travels under, its query/retrieve model.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "pella.h"

namespace pella {

constexpr const char* kVerificationSopClass = PELLA_VERIFICATION;
constexpr const char* kPatientRootFind = PELLA_PATIENT_ROOT_FIND;
constexpr const char* kPatientRootMove = PELLA_PATIENT_ROOT_MOVE;
constexpr const char* kStudyRootFind = PELLA_STUDY_ROOT_FIND;
constexpr const char* kStudyRootMove = PELLA_STUDY_ROOT_MOVE;
constexpr const char* kWorklistFind = PELLA_MODALITY_WORKLIST_FIND;
constexpr const char* kGrayscalePrintMetaSopClass = PELLA_GRAYSCALE_PRINT_META;
constexpr const char* kColorPrintMetaSopClass = PELLA_COLOR_PRINT_META;
constexpr const char* kPrinterSopClass = PELLA_PRINTER;
constexpr const char* kPrinterSopInstance = PELLA_PRINTER_INSTANCE;  // the well-known instance
constexpr const char* kFilmSessionSopClass = PELLA_FILM_SESSION;
constexpr const char* kFilmBoxSopClass = PELLA_FILM_BOX;
constexpr const char* kGrayscaleImageBoxSopClass = PELLA_GRAYSCALE_IMAGE_BOX;
constexpr const char* kColorImageBoxSopClass = PELLA_COLOR_IMAGE_BOX;

// The print meta SOP classes, as bits of SopClassInfo::printMeta.
namespace print_meta {
constexpr uint8_t kGrayscalePrint = 1;  // Basic Grayscale Print Management
constexpr uint8_t kColorPrint = 2;      // Basic Color Print Management
}  // namespace print_meta

enum class QueryModel : uint8_t { kNone, kPatientRoot, kStudyRoot, kPatientStudyOnly, kModalityWorklist };
enum class QueryOperation : uint8_t { kNone, kFind, kMove, kGet };

struct SopClassInfo {
    const char* uid;
    const char* name;       // the standard's name
    bool storage;           // objects travel with C-STORE; the server accepts it by default
    bool pixelData;         // a storage class whose objects hold image pixel data
    bool original;          // in the storage server's original acceptance table
    uint8_t printMeta;      // print_meta bits: the meta classes it is a member of
    QueryModel queryModel;  // kNone for every class but the query/retrieve models
    QueryOperation queryOperation;
    bool retired;
};

// Every SOP class and meta SOP class, sorted by UID text.
std::span<const SopClassInfo> SopClasses();

// The entry for a UID (exact, case-sensitive, no padding); null when unknown.
const SopClassInfo* FindSopClass(std::string_view uid);

// A storage SOP class without image pixel data: never offered in a syntax meant for images.
bool IsNonImageSopClass(std::string_view uid);

// A storage SOP class of the standard (the storage server's default acceptance).
bool IsStorageSopClass(std::string_view uid);

// Verification or a storage class of the server's original table.
bool IsServedSopClass(std::string_view uid);

// True when `sopClassUid` travels on a context proposed for the print meta class `metaUid`.
bool IsPrintMetaMember(std::string_view metaUid, std::string_view sopClassUid);

// The name of a known class, or the UID itself.
std::string SopClassName(std::string_view uid);

}  // namespace pella
