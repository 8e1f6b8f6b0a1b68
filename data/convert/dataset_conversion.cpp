#include "data/convert/dataset_conversion.h"

#include "data/convert/conversion_syntax.h"
#include "data/convert/converted_output.h"
#include "data/convert/element_conversion.h"
#include "data/convert/image_geometry.h"
#include "data/convert/pixel_data_conversion.h"
#include "data/model/nesting_tracker.h"

namespace pella {

namespace {

bool IsPixelData(const DataElement& e) {
    return e.group == 0x7FE0 && e.element == 0x0010;
}

bool CheckSyntaxes(const std::string& targetSyntax, const std::string& sourceSyntax) {
    if (!IsConvertibleSyntax(sourceSyntax))
        return ConversionFailed("source transfer syntax '" + sourceSyntax + "' is not supported");
    // Writing native data under another syntax's UID would mislabel the result.
    if (!IsConvertibleSyntax(targetSyntax))
        return ConversionFailed("target transfer syntax '" + targetSyntax + "' is not supported");
    return true;
}

// Encapsulated pixel data pass through unchanged when both syntaxes code them the same way.
bool PixelDataChanges(const DataElement& e, const std::string& targetSyntax,
                      const std::string& sourceSyntax) {
    return !(e.length == kUndefinedLength && targetSyntax == sourceSyntax);
}

// Colour frames change colour space with the pixel data: decoded JPEG frames are RGB whatever
// the stream held, and JPEG baseline codes RGB input as YCbCr without subsampling.
void LabelColourSpace(ElementPtr& converted, const ImageGeometry& geometry, const std::string& targetSyntax,
                      const std::string& sourceSyntax) {
    if (converted->group != 0x0028 || converted->element != 0x0004 || !geometry.colour ||
        targetSyntax == sourceSyntax)
        return;
    if (TransferSyntax(targetSyntax).Codec() == SyntaxCodec::kJpegBaseline)
        converted = NewElement(0x0028, 0x0004, 8, "YBR_FULL", converted->vr);
    else if (IsJpegSyntax(sourceSyntax))
        converted = NewElement(0x0028, 0x0004, 4, "RGB ", converted->vr);
}

}  // namespace

bool ConvertDataset(ElementList& output, ElementList& input, const std::string& deflatableTarget,
                    const std::string& deflatableSource) {
    // Deflating is the file writer's and the association's work: the elements themselves stand
    // in explicit VR little endian.
    const std::string targetSyntax = TransferSyntax(deflatableTarget).ElementSyntax().Uid();
    const std::string sourceSyntax = TransferSyntax(deflatableSource).ElementSyntax().Uid();
    if (!CheckSyntaxes(targetSyntax, sourceSyntax)) return false;
    ConversionFlags flags = MakeConversionFlags(targetSyntax, sourceSyntax);
    ConvertedOutput out(output, flags.targetExplicit, flags.targetBigEndian);
    ImageGeometry geometry;
    NestingTracker nesting;  // of the input, to tell the data set's own elements and fragments
    for (std::size_t i = 0; i < input.size(); ++i) {
        DataElement& element = input[i];
        PrepareSourceVR(element, flags);
        bool topLevel = nesting.AtTopLevel();
        if (topLevel) UpdateImageGeometry(geometry, element, flags.sourceBigEndian);
        if (topLevel && IsPixelData(element) && PixelDataChanges(element, targetSyntax, sourceSyntax)) {
            out.PixelDataPassed();
            if (!ConvertPixelData(input, i, {targetSyntax, sourceSyntax, flags, geometry}, out)) return false;
            continue;  // the pixel data and their fragments are done; nothing stays open
        }
        if (topLevel && IsPixelData(element)) out.PixelDataPassed();
        ElementPtr converted = ConvertElement(element, flags, nesting.InFragments());
        if (!converted) return false;
        if (topLevel) LabelColourSpace(converted, geometry, targetSyntax, sourceSyntax);
        nesting.Observe(element);
        out.Append(std::move(converted));
    }
    out.Finish();
    return true;
}

}  // namespace pella
