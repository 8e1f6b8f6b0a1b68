#include "data/io/append_meta_header.h"

#include <cstring>

#include "data/io/dataset_reader.h"
#include "data/io/dataset_writer.h"
#include "data/io/dicom_file_check.h"
#include "data/io/meta_header.h"
#include "data/io/safe_file_replace.h"
#include "data/registry/uid.h"
#include "log/protocol_log.h"

namespace pella {

namespace {

bool Fail(const std::string& fileName, const std::string& reason) {
    LogFailure("cannot add a meta header to " + fileName + ": " + reason);
    return false;
}

}  // namespace

bool AppendMetaHeaderToFile(const std::string& fileName, const std::string& givenSyntaxUid) {
    if (!IsValidUid(givenSyntaxUid))
        return Fail(fileName, "'" + givenSyntaxUid + "' is not a transfer syntax UID");
    const std::string transferSyntaxUid(WithoutUidPadding(givenSyntaxUid));
    if (IsPart10File(fileName)) return Fail(fileName, "already has a preamble and \"DICM\"");

    ParseState syntax;
    ApplyTransferSyntax(syntax, transferSyntaxUid);
    ElementList dataList;
    ParseState read;
    if (!ReadRawDataset(fileName, dataList, transferSyntaxUid, &read))
        return Fail(fileName, "cannot be read as a data set in " + transferSyntaxUid + ": " + LastFailure());
    // Bytes that are not a data set in an explicit syntax show up as headers whose VR is not a
    // VR, or as a header that turned the read implicit.
    if (syntax.explicitVR && (read.unknownVRs > 0 || !read.explicitVR))
        return Fail(fileName, "is not an explicit VR data set");

    ElementList metaList;
    BuildMetaHeader(metaList, GetElementText(dataList, 0x0008, 0x0016),
                    GetElementText(dataList, 0x0008, 0x0018), transferSyntaxUid, syntax.explicitVR);
    return ReplaceFileSafely(fileName, [&](const std::string& tempName) {
        return WritePart10File(tempName, &metaList, dataList, syntax.explicitVR, syntax.bigEndian);
    });
}

}  // namespace pella
