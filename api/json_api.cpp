// Exported texts of a file: the DICOM JSON model and the element dump.
#include <cstdlib>
#include <cstring>
#include <string>

#include "api/boundary.h"
#include "data/dump/text_dump.h"
#include "data/json/file_json.h"
#include "log/protocol_log.h"
#include "pella.h"

using namespace pella;

namespace {

// The text in memory the caller frees with FreeText; null when out of memory.
char* CopyOut(const std::string& text) {
    char* out = static_cast<char*>(std::malloc(text.size() + 1));
    if (out != nullptr) std::memcpy(out, text.c_str(), text.size() + 1);
    return out;
}

}  // namespace

extern "C" {

PELLA_API char* DICOMJson(const char* fileName, int32_t inlineLimit) {
    return Guarded<char*>("DICOMJson", nullptr, [&]() -> char* {
        RequireArguments(fileName);
        std::string text;
        if (!FileToJsonText(fileName, inlineLimit, text)) return nullptr;
        return CopyOut(text);
    });
}

PELLA_API char* DICOMText(const char* fileName) {
    return Guarded<char*>("DICOMText", nullptr, [&]() -> char* {
        RequireArguments(fileName);
        std::string text, reason;
        DumpedFileKind kind;
        if (!DumpFileAsText(fileName, text, kind, reason)) {
            NoteFailure(reason);  // the reader has logged it with the file's name
            return nullptr;
        }
        return CopyOut(text);
    });
}

PELLA_API void FreeText(char* text) {
    GuardedVoid("FreeText", [&] { std::free(text); });
}

}  // extern "C"
