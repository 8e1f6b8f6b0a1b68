#include "data/convert/lossy_marking.h"

#include <cstdio>

#include "data/registry/uid.h"

namespace pella {

namespace {

// The defined term of the compression method of a lossy syntax.
const char* MethodTerm(SyntaxCodec codec) {
    switch (codec) {
        case SyntaxCodec::kJpegBaseline:
        case SyntaxCodec::kJpegExtended:
            return "ISO_10918_1";
        case SyntaxCodec::kJpegLs:
            return "ISO_14495_1";
        case SyntaxCodec::kJpeg2000:
            return "ISO_15444_1";
        case SyntaxCodec::kHtj2k:
            return "ISO_15444_15";
        default:
            return "";
    }
}

std::string Appended(const std::string& earlier, const std::string& value) {
    return earlier.empty() ? value : earlier + "\\" + value;
}

std::string RatioText(const ConvertedPixels& pixels) {
    double ratio = pixels.encodedBytes > 0 ? double(pixels.nativeBytes) / double(pixels.encodedBytes) : 1.0;
    char text[32];
    std::snprintf(text, sizeof text, "%.2f", ratio);
    return text;
}

// One item naming the original image by class and instance.
std::vector<ElementPtr> SourceImageSequence(const std::string& classUid, const std::string& instanceUid) {
    std::vector<ElementPtr> elements;
    elements.push_back(NewElement(0x0008, 0x2112, kUndefinedLength, nullptr, "SQ"));
    elements.push_back(NewElement(0xFFFE, 0xE000, kUndefinedLength, nullptr, "DL"));
    for (auto [element, text] : {std::pair{uint16_t{0x1150}, classUid}, std::pair{uint16_t{0x1155}, instanceUid}}) {
        if (text.size() % 2) text.push_back('\0');
        elements.push_back(NewElement(0x0008, element, static_cast<int32_t>(text.size()), text.data(), "UI"));
    }
    elements.push_back(NewElement(0xFFFE, 0xE00D, 0, nullptr, "DL"));
    elements.push_back(NewElement(0xFFFE, 0xE0DD, 0, nullptr, "DL"));
    return elements;
}

}  // namespace

void MarkLossiness(const ElementList& input, const TransferSyntax& source, const TransferSyntax& target,
                   const ConvertedPixels& pixels, AttributeEdits& edits) {
    const bool wasLossy = GetElementText(input, 0x0028, 0x2110) == "01" || source.Lossy();
    if (!pixels.lossyEncoded) {
        if (wasLossy) edits.SetText(0x0028, 0x2110, "CS", "01");
        return;
    }
    const std::string classUid = GetElementText(input, 0x0008, 0x0016);
    const std::string instanceUid = GetElementText(input, 0x0008, 0x0018);
    const std::string ratio = RatioText(pixels);
    edits.SetText(0x0008, 0x0018, "UI", NewUid());
    edits.SetText(0x0028, 0x2110, "CS", "01");
    edits.SetText(0x0028, 0x2112, "DS", Appended(GetElementText(input, 0x0028, 0x2112), ratio));
    edits.SetText(0x0028, 0x2114, "CS", Appended(GetElementText(input, 0x0028, 0x2114), MethodTerm(target.Codec())));
    edits.SetText(0x0008, 0x2111, "ST", "Lossy compression: " + target.Name() + ", ratio " + ratio + ":1");
    // An image that already names its sources keeps them; a new one names the original.
    if (FindElement(input, 0x0008, 0x2112) == nullptr && !instanceUid.empty())
        edits.Set(0x0008, 0x2112, SourceImageSequence(classUid, instanceUid));
}

}  // namespace pella
