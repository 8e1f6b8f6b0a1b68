// Exported transfer-syntax conversion.
#include "api/boundary.h"
#include "api/live_handles.h"
#include "data/convert/file_conversion.h"
#include "pella.h"

using namespace pella;

extern "C" {

PELLA_API uint8_t ConvertTS(ElementList* list, const char* targetSyntax, const char* sourceSyntax) {
    return Guarded<uint8_t>("ConvertTS", 0, [&]() -> uint8_t {
        RequireArguments(list, targetSyntax, sourceSyntax);
        RequireLive(HandleKind::ElementList, list);
        return ConvertListInPlace(*list, targetSyntax, sourceSyntax) ? 1 : 0;
    });
}

PELLA_API uint8_t ConvertFileTS(const char* newFileName, const char* existingFileName,
                                const char* targetSyntax) {
    return Guarded<uint8_t>("ConvertFileTS", 0, [&]() -> uint8_t {
        RequireArguments(newFileName, existingFileName, targetSyntax);
        return ConvertFile(newFileName, existingFileName, targetSyntax) ? 1 : 0;
    });
}

}  // extern "C"
