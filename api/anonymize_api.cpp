// Exported anonymization.
#include <algorithm>
#include <cstddef>
#include <cstring>
#include <filesystem>
#include <stdexcept>

#include "api/boundary.h"
#include "api/sized_options.h"
#include "data/anonymize/file_anonymizer.h"
#include "pella.h"

using namespace pella;

namespace {

pella::AnonymizeOptions FromHost(const AnonymizeFileOptions* given) {
    constexpr std::size_t kFirstFields = offsetof(AnonymizeFileOptions, dateShiftDays) + sizeof(int32_t);
    AnonymizeFileOptions host = ReadSizedOptions(given, kFirstFields, "AnonymizeFileOptions");
    if (host.key == nullptr || host.key[0] == '\0') throw std::invalid_argument("no key for the UID mapping");
    pella::AnonymizeOptions options;
    options.key = host.key;
    options.retainUids = host.retainUids != 0;
    options.retainDeviceIdentity = host.retainDeviceIdentity != 0;
    options.retainInstitutionIdentity = host.retainInstitutionIdentity != 0;
    options.retainPatientCharacteristics = host.retainPatientCharacteristics != 0;
    options.retainFullDates = host.retainFullDates != 0;
    if (host.shiftDates) options.dateShiftDays = host.dateShiftDays;
    options.cleanDescriptors = host.cleanDescriptors != 0;
    options.keepPrivate = host.keepPrivate != 0;
    options.allowBurnedIn = host.allowBurnedIn != 0;
    return options;
}

void CopyOut(const std::string& text, char* buffer, int32_t size) {
    if (buffer == nullptr || size <= 0) return;
    std::size_t n = std::min<std::size_t>(text.size(), static_cast<std::size_t>(size) - 1);
    std::memcpy(buffer, text.data(), n);
    buffer[n] = '\0';
}

}  // namespace

extern "C" {

PELLA_API int32_t AnonymizeFile(const char* existingFileName, const char* outputFolder,
                                const AnonymizeFileOptions* options, char* writtenPath,
                                int32_t writtenPathSize) {
    return Guarded<int32_t>("AnonymizeFile", 0, [&]() -> int32_t {
        RequireArguments(existingFileName, outputFolder, options);
        CopyOut("", writtenPath, writtenPathSize);
        pella::AnonymizeOptions settings = FromHost(options);
        std::error_code ec;
        std::filesystem::create_directories(outputFolder, ec);
        if (!std::filesystem::is_directory(outputFolder, ec))
            throw std::runtime_error(std::string("cannot create the folder '") + outputFolder + "'");
        AnonymizedFile result = AnonymizeFileInto(existingFileName, outputFolder, settings);
        if (result.outcome == AnonymizeOutcome::kBurnedIn) return 2;
        if (result.outcome != AnonymizeOutcome::kWritten) return 0;
        CopyOut(result.path, writtenPath, writtenPathSize);
        return 1;
    });
}

}  // extern "C"
