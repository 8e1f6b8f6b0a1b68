// Exported functions on DICOM files.
#include "api/boundary.h"
#include "data/io/append_meta_header.h"
#include "data/io/dataset_reader.h"
#include "pella.h"

using namespace pella;

extern "C" {

PELLA_API uint8_t DICOMFile(const char* fileName, ElementList* metaList, ElementList* dataList,
                            uint8_t* explicitOut) {
    if (fileName == nullptr || metaList == nullptr || dataList == nullptr) return 0;
    return Guarded<uint8_t>(0, [&]() -> uint8_t {
        ParseState state;
        if (!ReadPart10File(fileName, *metaList, *dataList, state)) return 0;
        if (explicitOut != nullptr) *explicitOut = state.explicitVR ? 1 : 0;
        return 1;
    });
}

PELLA_API uint8_t DICOMHeader(const char* fileName, ElementList* list) {
    if (fileName == nullptr || list == nullptr) return 0;
    return Guarded<uint8_t>(0, [&]() -> uint8_t { return ReadHeaderForDump(fileName, *list) ? 1 : 0; });
}

PELLA_API uint8_t AppendMetaHeader(const char* fileName, const char* transferSyntaxUid) {
    if (fileName == nullptr || transferSyntaxUid == nullptr) return 0;
    return Guarded<uint8_t>(0, [&]() -> uint8_t {
        return pella::AppendMetaHeaderToFile(fileName, transferSyntaxUid) ? 1 : 0;
    });
}

}  // extern "C"
