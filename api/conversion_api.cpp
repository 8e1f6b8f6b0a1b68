// Exported transfer-syntax conversion.
#include <exception>
#include <string>

#include "api/boundary.h"
#include "data/convert/file_conversion.h"
#include "log/protocol_log.h"
#include "pella.h"

using namespace pella;

namespace {

// Runs a conversion; an exception (memory exhausted, a value too long) is a logged failure.
template <typename Body>
uint8_t Converting(const char* name, Body&& body) {
    return Guarded<uint8_t>(0, [&]() -> uint8_t {
        ClearLastFailure();
        try {
            return body() ? 1 : 0;
        } catch (const std::exception& error) {
            LogFailure(std::string(name) + ": " + error.what());
            return 0;
        }
    });
}

}  // namespace

extern "C" {

PELLA_API uint8_t ConvertTS(ElementList* list, const char* targetSyntax, const char* sourceSyntax) {
    if (list == nullptr || targetSyntax == nullptr || sourceSyntax == nullptr) return 0;
    return Converting("ConvertTS", [&] { return ConvertListInPlace(*list, targetSyntax, sourceSyntax); });
}

PELLA_API uint8_t ConvertFileTS(const char* newFileName, const char* existingFileName,
                                const char* targetSyntax) {
    if (newFileName == nullptr || existingFileName == nullptr || targetSyntax == nullptr) return 0;
    return Converting("ConvertFileTS",
                      [&] { return ConvertFile(newFileName, existingFileName, targetSyntax); });
}

}  // extern "C"
