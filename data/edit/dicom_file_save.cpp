#include "data/edit/dicom_file_save.h"

#include "data/edit/flat_levels.h"
#include "data/edit/tag_path.h"
#include "data/io/dataset_writer.h"
#include "data/io/element_header.h"
#include "data/io/meta_header.h"
#include "data/io/safe_file_replace.h"
#include "data/registry/transfer_syntaxes.h"
#include "data/registry/uid.h"
#include "log/protocol_log.h"

namespace pella {

namespace {

// Replaces the meta element with the tag of `element`, or inserts it in tag order.
void PutMetaElement(ElementList& meta, const DataElement& element) {
    ElementPtr copy = NewElement(element.group, element.element, element.length, element.value, element.vr);
    std::optional<std::size_t> at = FindInLevel(meta, WholeList(meta), element.group, element.element);
    if (at) {
        meta.items[*at] = std::move(copy);
        return;
    }
    std::size_t position = InsertPosition(meta, WholeList(meta), element.group, element.element);
    meta.items.insert(meta.items.begin() + static_cast<std::ptrdiff_t>(position), std::move(copy));
}

void SetGroupLength(ElementList& meta) {
    const uint8_t zero[4] = {0, 0, 0, 0};
    DataElement placeholder{0x0002, 0x0000, {'U', 'L', 0, 0}, 4, const_cast<uint8_t*>(zero)};
    PutMetaElement(meta, placeholder);
    uint32_t length = static_cast<uint32_t>(EncodedListLength(meta, true) - 12);
    DataElement& groupLength = *meta.items.front();
    for (int i = 0; i < 4; ++i) groupLength.value[i] = static_cast<uint8_t>(length >> (8 * i));
}

bool Refuse(const std::string& fileName, const std::string& reason) {
    LogFailure("cannot save " + fileName + ": " + reason);
    return false;
}

// An encapsulated syntax needs its pixel data as fragments; a native one needs them whole.
bool PixelDataFitSyntax(const ElementList& dataList, const TransferSyntax& syntax) {
    const DataElement* pixels = FindElement(dataList, 0x7FE0, 0x0010);
    if (pixels == nullptr || !syntax.Known()) return true;
    return syntax.Encapsulated() == (pixels->length == kUndefinedLength);
}

bool HoldsMetaElements(const ElementList& dataList) {
    for (std::size_t at = 0; at < dataList.size(); at = ExtentEnd(dataList, at))
        if (dataList[at].group == 0x0002) return true;
    return false;
}

}  // namespace

bool UpdatedMetaList(const ElementList* metaList, const ElementList& dataList, const std::string& syntaxUid,
                     ElementList& out, std::string& error) {
    ClearTags(out);
    std::string sopClass = ElementUid(dataList, 0x0008, 0x0016);
    std::string sopInstance = ElementUid(dataList, 0x0008, 0x0018);
    ElementList fresh;
    BuildMetaHeader(fresh, sopClass, sopInstance, syntaxUid, true);
    if (metaList == nullptr || metaList->empty()) {
        CopyElements(out, fresh);
        return true;
    }
    for (const auto& e : *metaList) {
        if (e->group != 0x0002) {
            error =
                "the meta list holds " + TagText(e->group, e->element) + ", which is not a file meta element";
            return false;
        }
    }
    CopyElements(out, *metaList);
    for (const auto& e : fresh) {
        bool keepGiven =
            (e->element == 0x0002 && sopClass.empty()) || (e->element == 0x0003 && sopInstance.empty());
        bool given = FindInLevel(out, WholeList(out), e->group, e->element).has_value();
        if (e->element == 0x0000 || (e->element == 0x0001 && given) || (keepGiven && given)) continue;
        PutMetaElement(out, *e);
    }
    SetGroupLength(out);
    return true;
}

bool SavePart10File(const std::string& fileName, const ElementList* metaList, const ElementList& dataList,
                    const std::string& givenSyntax) {
    if (!IsValidUid(givenSyntax))
        return Refuse(fileName, "\"" + givenSyntax + "\" is not a transfer syntax UID");
    const std::string syntaxUid(WithoutUidPadding(givenSyntax));
    TransferSyntax syntax(syntaxUid);
    if (!SequencesClosed(dataList)) return Refuse(fileName, "the data set ends inside a sequence or item");
    if (HoldsMetaElements(dataList))
        return Refuse(fileName, "the data set holds file meta elements (group 0002)");
    if (!PixelDataFitSyntax(dataList, syntax))
        return Refuse(fileName, "the pixel data are not encoded as " + syntax.Name() + " needs");
    ElementList meta;
    std::string error;
    if (!UpdatedMetaList(metaList, dataList, syntaxUid, meta, error)) return Refuse(fileName, error);
    TransferSyntax encoding = syntax.ElementSyntax();
    bool written = ReplaceFileSafely(fileName, [&](const std::string& tempName) {
        return WritePart10File(tempName, &meta, dataList, encoding.ExplicitVR(), encoding.BigEndian());
    });
    if (!written) return Refuse(fileName, "the file cannot be written; it is left as it was");
    return true;
}

}  // namespace pella
