// Exported DICOM JSON model of a file.
#include <cstdlib>
#include <cstring>
#include <string>

#include "api/boundary.h"
#include "data/json/file_json.h"
#include "pella.h"

using namespace pella;

extern "C" {

PELLA_API char* DICOMJson(const char* fileName, int32_t inlineLimit) {
    return Guarded<char*>("DICOMJson", nullptr, [&]() -> char* {
        RequireArguments(fileName);
        std::string text;
        if (!FileToJsonText(fileName, inlineLimit, text)) return nullptr;
        char* out = static_cast<char*>(std::malloc(text.size() + 1));
        if (out != nullptr) std::memcpy(out, text.c_str(), text.size() + 1);
        return out;
    });
}

PELLA_API void FreeText(char* text) {
    GuardedVoid("FreeText", [&] { std::free(text); });
}

}  // extern "C"
