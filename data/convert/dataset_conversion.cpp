#include "data/convert/dataset_conversion.h"

#include "data/convert/attribute_edits.h"
#include "data/convert/conversion_syntax.h"
#include "data/convert/element_conversion.h"
#include "data/convert/image_geometry.h"
#include "data/convert/lossy_marking.h"
#include "data/convert/pixel_data_conversion.h"
#include "data/io/converted_output.h"
#include "data/model/nesting_tracker.h"

namespace pella {

namespace {

constexpr std::size_t kNoPixelData = SIZE_MAX;

bool IsPixelData(const DataElement& e) {
    return e.group == 0x7FE0 && e.element == 0x0010;
}

bool CheckSyntaxes(const std::string& targetSyntax, const std::string& sourceSyntax) {
    if (!CanConvertFrom(sourceSyntax))
        return ConversionFailed("source transfer syntax '" + sourceSyntax + "' is not supported");
    // Writing native data under another syntax's UID would mislabel the result.
    if (!CanConvertTo(targetSyntax))
        return ConversionFailed("target transfer syntax '" + targetSyntax + "' is not supported");
    return true;
}

// Encapsulated pixel data pass through unchanged when both syntaxes code them the same way.
bool PixelDataChanges(const DataElement& e, const std::string& targetSyntax,
                      const std::string& sourceSyntax) {
    return !(e.length == kUndefinedLength && targetSyntax == sourceSyntax);
}

// The first pass: every element gets the VR its target encoding needs, and the image attributes
// and the pixel data are found among the data set's own elements.
std::size_t ScanDataSet(ElementList& input, const ConversionFlags& flags, ImageGeometry& geometry) {
    NestingTracker nesting;
    std::size_t pixelIndex = kNoPixelData;
    for (std::size_t i = 0; i < input.size(); ++i) {
        DataElement& element = input[i];
        PrepareSourceVR(element, flags);
        if (nesting.AtTopLevel()) {
            if (pixelIndex == kNoPixelData) UpdateImageGeometry(geometry, element, flags.sourceBigEndian);
            if (pixelIndex == kNoPixelData && IsPixelData(element)) pixelIndex = i;
        }
        nesting.Observe(element);
    }
    return pixelIndex;
}

std::span<const uint8_t> ExtendedOffsets(const ElementList& input) {
    const DataElement* table = FindElement(input, 0x7FE0, 0x0001);
    if (table == nullptr || !HasValue(*table)) return {};
    return {table->value, static_cast<std::size_t>(table->length)};
}

// The image attributes that follow the pixels: colour space and planar configuration as the
// codec left them; the old offset tables go with the old fragments.
void LabelPixels(const ImageGeometry& geometry, const ConvertedPixels& pixels, bool bigEndian,
                 AttributeEdits& edits) {
    const FrameFormat& f = pixels.format;
    if (f.photometric != geometry.photometric && !f.photometric.empty())
        edits.SetText(0x0028, 0x0004, "CS", f.photometric);
    if (f.samplesPerPixel == 3) edits.SetUS(0x0028, 0x0006, f.planar ? 1 : 0, bigEndian);
    edits.Remove(0x7FE0, 0x0001);
    edits.Remove(0x7FE0, 0x0002);
}

struct Plan {
    std::size_t pixelIndex = kNoPixelData;
    ConvertedPixels pixels;
    AttributeEdits edits;
};

// Converts the pixel data ahead of the rest, so that the attributes describing them can be set
// as the data set streams through.
bool PlanPixels(ElementList& input, const std::string& targetSyntax, const std::string& sourceSyntax,
                const ConversionFlags& flags, Plan& plan) {
    ImageGeometry geometry;
    plan.pixelIndex = ScanDataSet(input, flags, geometry);
    if (plan.pixelIndex == kNoPixelData ||
        !PixelDataChanges(input[plan.pixelIndex], targetSyntax, sourceSyntax)) {
        plan.pixelIndex = kNoPixelData;
        return true;
    }
    TransferSyntax target(targetSyntax), source(sourceSyntax);
    PixelDataJob job{target, source, flags, geometry, ExtendedOffsets(input), {}};
    if (!ConvertPixelData(input, plan.pixelIndex, job, plan.pixels)) return false;
    LabelPixels(geometry, plan.pixels, flags.targetBigEndian, plan.edits);
    MarkLossiness(input, source, target, plan.pixels, plan.edits);
    return true;
}

uint32_t TagOf(const DataElement& e) {
    return uint32_t{e.group} << 16 | e.element;
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
    Plan plan;
    if (!PlanPixels(input, targetSyntax, sourceSyntax, flags, plan)) return false;
    ConvertedOutput out(output, flags.targetExplicit, flags.targetBigEndian);
    NestingTracker nesting;  // of the input, to tell the data set's own elements and fragments
    for (std::size_t i = 0; i < input.size(); ++i) {
        DataElement& element = input[i];
        bool topLevel = nesting.AtTopLevel();
        if (topLevel && plan.edits.Before(TagOf(element), out)) {
            // Replaced or removed: the source's attribute is skipped with its items.
            nesting.Observe(element);
            while (!nesting.AtTopLevel() && i + 1 < input.size()) nesting.Observe(input[++i]);
            continue;
        }
        if (topLevel && IsPixelData(element)) out.PixelDataPassed();
        if (i == plan.pixelIndex) {
            for (ElementPtr& e : plan.pixels.elements.items) out.Append(std::move(e));
            i = plan.pixels.lastIndex;  // the pixel data and their fragments are done
            continue;
        }
        ElementPtr converted = ConvertElement(element, flags, nesting.InFragments());
        if (!converted) return false;
        nesting.Observe(element);
        out.Append(std::move(converted));
    }
    plan.edits.Finish(out);
    out.Finish();
    return true;
}

}  // namespace pella
