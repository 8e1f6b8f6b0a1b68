#include "data/io/meta_header.h"

#include <cstring>

namespace pella {

namespace {

// The text and, for an odd length, its terminating zero byte.
void AppendPaddedText(ElementList& list, uint16_t element, const char* vr, const std::string& text) {
    std::string padded = text;
    if (padded.size() % 2 != 0) padded.push_back('\0');
    list.Append(NewElement(0x0002, element, static_cast<int32_t>(padded.size()), padded.data(), vr));
}

}  // namespace

void BuildMetaHeader(ElementList& metaList, const std::string& sopClassUid, const std::string& sopInstanceUid,
                     const std::string& transferSyntaxUid, bool explicitVR) {
    ClearTags(metaList);
    const uint8_t zeroLength[4] = {0, 0, 0, 0};
    metaList.Append(NewElement(0x0002, 0x0000, 4, zeroLength, "UL"));
    const uint8_t version[2] = {0x00, 0x01};
    metaList.Append(NewElement(0x0002, 0x0001, 2, version, "OB"));
    AppendPaddedText(metaList, 0x0002, "UI", sopClassUid);
    AppendPaddedText(metaList, 0x0003, "UI", sopInstanceUid);
    AppendPaddedText(metaList, 0x0010, "UI", transferSyntaxUid);
    AppendPaddedText(metaList, 0x0012, "UI", kImplementationClassUid);
    // Version name padded with zero bytes to 12, as the meta group has always carried it.
    char versionName[12] = {};
    std::memcpy(versionName, kImplementationVersionName, std::strlen(kImplementationVersionName));
    metaList.Append(NewElement(0x0002, 0x0013, sizeof versionName, versionName, "SH"));

    uint32_t groupLength = static_cast<uint32_t>(EncodedListLength(metaList, explicitVR) - 12);
    uint8_t* value = metaList[0].value;
    for (int i = 0; i < 4; ++i) value[i] = static_cast<uint8_t>(groupLength >> (8 * i));
}

}  // namespace pella
