// Exported functions that change element lists and save them as files.
#include <algorithm>
#include <cstring>
#include <stdexcept>

#include "api/boundary.h"
#include "api/live_handles.h"
#include "data/edit/dicom_file_save.h"
#include "data/edit/element_edits.h"
#include "data/edit/group_lengths.h"
#include "data/edit/open_sequences.h"
#include "data/io/element_header.h"
#include "data/registry/transfer_syntaxes.h"
#include "data/registry/uid.h"
#include "log/protocol_log.h"
#include "pella.h"

using namespace pella;

namespace {

// The encoding the list's values stand in: that of the syntax named, explicit VR little endian
// without one.
TransferSyntax ListEncoding(const char* transferSyntaxUid) {
    if (transferSyntaxUid == nullptr) return TransferSyntax(kExplicitLittleEndian);
    if (!IsValidUid(transferSyntaxUid))
        throw std::invalid_argument(std::string("\"") + transferSyntaxUid +
                                    "\" is not a transfer syntax UID");
    return TransferSyntax(WithoutUidPadding(transferSyntaxUid)).ElementSyntax();
}

TagPath ParsedPath(const char* text) {
    TagPath path;
    std::string error;
    if (!ParseTagPath(text, path, error)) throw std::invalid_argument(error);
    return path;
}

void OpenForEditing(ElementList& list, const TransferSyntax& encoding) {
    std::string error;
    if (!OpenSequences(list, encoding.ExplicitVR(), encoding.BigEndian(), error))
        throw std::runtime_error(error);
}

}  // namespace

extern "C" {

PELLA_API uint8_t SetElementValue(ElementList* list, const char* transferSyntaxUid, const char* path,
                                  const char* value, int32_t mode) {
    return Guarded<uint8_t>("SetElementValue", 0, [&]() -> uint8_t {
        RequireArguments(list, path, value);
        RequireLive(HandleKind::ElementList, list);
        if (mode != PELLA_EDIT_MODIFY && mode != PELLA_EDIT_INSERT)
            throw std::invalid_argument("mode " + std::to_string(mode) +
                                        " is neither PELLA_EDIT_MODIFY nor PELLA_EDIT_INSERT");
        TransferSyntax encoding = ListEncoding(transferSyntaxUid);
        TagPath parsed = ParsedPath(path);
        OpenForEditing(*list, encoding);
        std::string error;
        SetMode setMode = mode == PELLA_EDIT_INSERT ? SetMode::Insert : SetMode::Modify;
        if (!SetElementByPath(*list, parsed, value, setMode, encoding.BigEndian(), error)) {
            NoteFailure(error);
            return 0;
        }
        RefreshGroupLengths(*list, encoding.ExplicitVR(), encoding.BigEndian());
        return 1;
    });
}

PELLA_API int32_t EraseElement(ElementList* list, const char* transferSyntaxUid, const char* path,
                               uint8_t everywhere) {
    return Guarded<int32_t>("EraseElement", -1, [&]() -> int32_t {
        RequireArguments(list, path);
        RequireLive(HandleKind::ElementList, list);
        TransferSyntax encoding = ListEncoding(transferSyntaxUid);
        TagPath parsed = ParsedPath(path);
        if (everywhere && parsed.steps.size() != 1)
            throw std::invalid_argument("erasing everywhere takes a tag, not a path");
        OpenForEditing(*list, encoding);
        std::string error;
        long erased =
            everywhere
                ? static_cast<long>(std::min<std::size_t>(
                      EraseEverywhere(*list, parsed.steps[0].group, parsed.steps[0].element), INT32_MAX))
                : EraseElementByPath(*list, parsed, error);
        if (erased < 0) {
            NoteFailure(error);
            return -1;
        }
        if (erased > 0) RefreshGroupLengths(*list, encoding.ExplicitVR(), encoding.BigEndian());
        return static_cast<int32_t>(std::min<long>(erased, INT32_MAX));
    });
}

PELLA_API uint8_t NewUID(char* buffer, int32_t size) {
    return Guarded<uint8_t>("NewUID", 0, [&]() -> uint8_t {
        RequireArguments(buffer);
        std::string uid = NewUid();
        if (size < 0 || static_cast<std::size_t>(size) <= uid.size())
            throw std::invalid_argument("the buffer holds fewer than PELLA_UID_BUFFER_SIZE bytes");
        std::memcpy(buffer, uid.c_str(), uid.size() + 1);
        return 1;
    });
}

PELLA_API uint8_t SaveDICOMFile(const char* fileName, const ElementList* metaList,
                                const ElementList* dataList, const char* transferSyntaxUid) {
    return Guarded<uint8_t>("SaveDICOMFile", 0, [&]() -> uint8_t {
        RequireArguments(fileName, dataList);
        RequireLive(HandleKind::ElementList, metaList);
        RequireLive(HandleKind::ElementList, dataList);
        std::string syntax;
        if (transferSyntaxUid != nullptr)
            syntax = transferSyntaxUid;
        else if (metaList != nullptr)
            syntax = ElementUid(*metaList, 0x0002, 0x0010);
        if (syntax.empty())
            throw std::invalid_argument("no transfer syntax given, and the meta list names none");
        return SavePart10File(fileName, metaList, *dataList, syntax) ? 1 : 0;
    });
}

}  // extern "C"
