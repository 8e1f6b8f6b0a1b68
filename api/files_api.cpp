// Exported functions on DICOM files.
#include "api/boundary.h"
#include "api/live_handles.h"
#include "data/io/append_meta_header.h"
#include "data/io/dataset_reader.h"
#include "data/io/dicom_file_check.h"
#include "pella.h"

using namespace pella;

extern "C" {

PELLA_API int32_t CheckDICOMFile(const char* fileName) {
    return Guarded<int32_t>("CheckDICOMFile", PELLA_FILE_UNREADABLE, [&]() -> int32_t {
        RequireArguments(fileName);
        return static_cast<int32_t>(CheckPart10File(fileName));
    });
}

PELLA_API uint8_t DICOMFile(const char* fileName, ElementList* metaList, ElementList* dataList,
                            uint8_t* explicitOut) {
    return Guarded<uint8_t>("DICOMFile", 0, [&]() -> uint8_t {
        RequireArguments(fileName, metaList, dataList);
        RequireLive(HandleKind::ElementList, metaList);
        RequireLive(HandleKind::ElementList, dataList);
        ParseState state;
        if (!ReadPart10File(fileName, *metaList, *dataList, state)) return 0;
        if (explicitOut != nullptr) *explicitOut = state.explicitVR ? 1 : 0;
        return 1;
    });
}

PELLA_API uint8_t DICOMHeader(const char* fileName, ElementList* list) {
    return Guarded<uint8_t>("DICOMHeader", 0, [&]() -> uint8_t {
        RequireArguments(fileName, list);
        RequireLive(HandleKind::ElementList, list);
        return ReadHeaderForDump(fileName, *list) ? 1 : 0;
    });
}

PELLA_API uint8_t AppendMetaHeader(const char* fileName, const char* transferSyntaxUid) {
    return Guarded<uint8_t>("AppendMetaHeader", 0, [&]() -> uint8_t {
        RequireArguments(fileName, transferSyntaxUid);
        return pella::AppendMetaHeaderToFile(fileName, transferSyntaxUid) ? 1 : 0;
    });
}

}  // extern "C"
