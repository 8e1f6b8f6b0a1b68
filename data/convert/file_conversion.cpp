#include "data/convert/file_conversion.h"

#include <cstdio>
#include <filesystem>
#include <system_error>

#include "data/convert/conversion_syntax.h"
#include "data/convert/dataset_conversion.h"
#include "data/io/dataset_reader.h"
#include "data/io/dataset_writer.h"
#include "data/io/meta_header.h"
#include "data/io/read_back_check.h"
#include "data/io/safe_file_replace.h"
#include "log/protocol_log.h"

namespace pella {

namespace {

bool SameFile(const std::string& a, const std::string& b) {
    std::error_code ec;
    return std::filesystem::equivalent(a, b, ec) && !ec;
}

bool CopyUnchanged(const std::string& newFileName, const std::string& existingFileName) {
    if (SameFile(newFileName, existingFileName)) return true;
    std::error_code ec;
    std::filesystem::copy_file(existingFileName, newFileName,
                               std::filesystem::copy_options::overwrite_existing, ec);
    if (!ec) return true;
    LogFailure("cannot copy " + existingFileName + " to " + newFileName + ": " + ec.message());
    return false;
}

}  // namespace

bool ConvertListInPlace(ElementList& list, const std::string& targetSyntax, const std::string& sourceSyntax) {
    ElementList converted;
    bool ok = ConvertDataset(converted, list, targetSyntax, sourceSyntax);
    ClearTags(list);
    list.items = std::move(converted.items);
    return ok;
}

bool ConvertFile(const std::string& newFileName, const std::string& existingFileName,
                 const std::string& targetSyntax) {
    ElementList input;
    std::string sourceSyntax;
    if (!ReadDatasetAndSyntax(existingFileName, input, sourceSyntax)) {
        LogFailure(existingFileName + ": " + LastFailure());  // the reader said why
        return false;
    }
    if (targetSyntax == sourceSyntax) return CopyUnchanged(newFileName, existingFileName);
    ElementList output;
    if (!ConvertDataset(output, input, targetSyntax, sourceSyntax)) return false;
    ElementList meta;
    BuildMetaHeader(meta, GetElementText(output, 0x0008, 0x0016), GetElementText(output, 0x0008, 0x0018),
                    targetSyntax, true);
    ConversionFlags flags = MakeConversionFlags(targetSyntax, sourceSyntax);
    // A file that would not read back as what was converted is removed, never left behind.
    std::string unreadable;
    auto write = [&](const std::string& name) {
        if (!WritePart10File(name, &meta, output, flags.targetExplicit, flags.targetBigEndian)) return false;
        if (FileReadsBack(name, meta, output, unreadable)) return true;
        std::remove(name.c_str());
        return false;
    };
    bool written =
        SameFile(newFileName, existingFileName) ? ReplaceFileSafely(newFileName, write) : write(newFileName);
    if (!written) LogFailure("cannot write " + newFileName + (unreadable.empty() ? "" : ": " + unreadable));
    return written;
}

}  // namespace pella
