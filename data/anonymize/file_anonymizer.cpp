#include "data/anonymize/file_anonymizer.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <stdexcept>

#include "data/anonymize/burned_in_annotation.h"
#include "data/anonymize/dataset_anonymizer.h"
#include "data/anonymize/uid_mapping.h"
#include "data/io/dataset_reader.h"
#include "data/io/dataset_writer.h"
#include "data/io/meta_header.h"
#include "data/io/staged_file.h"
#include "data/registry/uid.h"
#include "log/protocol_log.h"

namespace pella {

namespace {

constexpr const char* kMediaStorageDirectoryClass = "1.2.840.10008.1.3.10";

AnonymizedFile Failed(AnonymizeOutcome outcome, const std::string& reason) {
    LogFailure(reason);
    return {outcome, {}};
}

}  // namespace

std::string AnonymizedFileName(const std::string& sopInstanceUid, const std::string& inputPath,
                               const std::string& key) {
    if (IsValidUid(sopInstanceUid)) return std::string(WithoutUidPadding(sopInstanceUid)) + ".dcm";
    std::error_code ec;
    std::filesystem::path absolute = std::filesystem::absolute(inputPath, ec);
    return MappedUid(ec ? inputPath : absolute.string(), key) + ".dcm";
}

AnonymizedFile AnonymizeFileInto(const std::string& inputFile, const std::string& outputFolder,
                                 const AnonymizeOptions& options) {
    if (options.key.empty()) throw std::invalid_argument("anonymizing needs a key for the UIDs");
    ElementList meta;
    ElementList data;
    ParseState state;
    if (!ReadPart10File(inputFile, meta, data, state))
        return Failed(AnonymizeOutcome::kUnreadable, inputFile + ": not a readable DICOM Part 10 file");
    std::string syntax = ElementUid(meta, 0x0002, 0x0010);
    if (syntax.empty())
        return Failed(AnonymizeOutcome::kUnreadable, inputFile + ": the file names no transfer syntax");
    if (ElementUid(meta, 0x0002, 0x0002) == kMediaStorageDirectoryClass)
        return Failed(AnonymizeOutcome::kUnreadable,
                      inputFile +
                          ": a DICOMDIR, whose record offsets would no longer hold; anonymize the "
                          "files it lists and make a new one");
    if (!options.allowBurnedIn && MayShowBurnedInText(data))
        return Failed(AnonymizeOutcome::kBurnedIn,
                      inputFile +
                          ": its pixels may show burned-in text (Burned In Annotation, or its class); "
                          "not anonymized without --allow-burned-in");
    ElementList anonymized;
    if (!AnonymizeDataSet(data, state, options, anonymized))
        return Failed(AnonymizeOutcome::kUnreadable,
                      inputFile + ": the data set ends inside a sequence or item");

    std::string sopInstance = ElementUid(anonymized, 0x0008, 0x0018);
    ElementList newMeta;
    BuildMetaHeader(newMeta, ElementUid(anonymized, 0x0008, 0x0016), sopInstance, syntax, true);
    std::filesystem::path target =
        std::filesystem::path(outputFolder) / AnonymizedFileName(sopInstance, inputFile, options.key);
    StagedFile staged((std::filesystem::path(outputFolder) / ".anonymizing-").string(), ".tmp");
    if (!staged.Valid())
        return Failed(AnonymizeOutcome::kNotWritten, "cannot create a file in '" + outputFolder + "'");
    if (!WritePart10File(staged.Name(), &newMeta, anonymized, state.explicitVR, state.bigEndian))
        return Failed(AnonymizeOutcome::kNotWritten, "cannot write '" + target.string() + "'");
    // Linked, not renamed: a file already there (another copy of the same instance) is never
    // replaced; the staged name goes with `staged`.
    if (::link(staged.Name().c_str(), target.c_str()) != 0) {
        if (errno == EEXIST)
            return Failed(
                AnonymizeOutcome::kNotWritten,
                inputFile + ": '" + target.string() + "' is already there (the same SOP Instance UID)");
        return Failed(AnonymizeOutcome::kNotWritten,
                      "cannot write '" + target.string() + "': " + std::strerror(errno));
    }
    return {AnonymizeOutcome::kWritten, target.string()};
}

}  // namespace pella
