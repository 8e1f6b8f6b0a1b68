#include "imaging/display_pipeline.h"

#include <algorithm>
#include <cmath>

#include "imaging/decimal_text.h"

namespace pella {

namespace {

// The level truncated to a whole gray level, as the reference viewers do.
uint8_t TruncatedLevel(double level) {
    if (!(level > 0)) return 0;  // NaN too
    return level >= 255 ? 255 : static_cast<uint8_t>(level);
}

// The text of a top-level element up to its first backslash: the first of several values.
std::string FirstValue(const ElementList& list, uint16_t group, uint16_t element) {
    std::string text = GetElementText(list, group, element);
    return text.substr(0, text.find('\\'));
}

}  // namespace

bool GrayDisplay::Build(const ElementList& list, const ImageAttributes& image, const DisplayOptions& options,
                        std::string& reason) {
    bool signedStored = image.pixelRepresentation == 1;
    modalityTable_ = ReadLookupTable(list, 0x0028, 0x3000, signedStored, modality_);
    slope_ = LeadingNumber(image.rescaleSlope, 1);
    intercept_ = LeadingNumber(image.rescaleIntercept, 0);
    if (slope_ == 0 || !std::isfinite(slope_) || !std::isfinite(intercept_)) {  // no usable rescale
        slope_ = 1;
        intercept_ = 0;
    }
    voi_ = VoiKind::Linear;
    switch (options.voi) {
        case DisplayOptions::Voi::Window:
            if (!(options.windowWidth >= 1) || !std::isfinite(options.windowCentre)) {
                reason = "the window width must be at least 1";
                return false;
            }
            centre_ = options.windowCentre;
            width_ = options.windowWidth;
            break;
        case DisplayOptions::Voi::FileOrMinMax:
            if (TakeFileVoi(list, signedStored || Modality(0) < 0 || slope_ < 0)) break;
            [[fallthrough]];
        case DisplayOptions::Voi::MinMax:
            TakeMinMax(image);
            break;
    }
    std::string shape = GetElementText(list, 0x2050, 0x0020);
    invert_ = shape == "INVERSE" || (shape != "IDENTITY" && image.Monochrome1());
    return true;
}

bool GrayDisplay::TakeFileVoi(const ElementList& list, bool signedValues) {
    std::string centre = FirstValue(list, 0x0028, 0x1050), width = FirstValue(list, 0x0028, 0x1051);
    std::string function = GetElementText(list, 0x0028, 0x1056);
    centre_ = LeadingNumber(centre, NAN);
    width_ = LeadingNumber(width, NAN);
    voi_ = function == "LINEAR_EXACT" ? VoiKind::LinearExact
           : function == "SIGMOID"    ? VoiKind::Sigmoid
                                      : VoiKind::Linear;
    bool usable = std::isfinite(centre_) && (voi_ == VoiKind::Linear ? width_ >= 1 : width_ > 0);
    if (usable) return true;
    voi_ = VoiKind::Linear;
    if (!ReadLookupTable(list, 0x0028, 0x3010, signedValues, voiTable_)) return false;
    voi_ = VoiKind::Table;
    return true;
}

void GrayDisplay::TakeMinMax(const ImageAttributes& image) {
    double low = INFINITY, high = -INFINITY;
    std::size_t count = image.PixelCount();
    for (std::size_t i = 0; i < count; ++i) {
        double value = Modality(StoredSample(image, i));
        low = std::min(low, value);
        high = std::max(high, value);
    }
    if (count == 0) low = high = 0;
    // From the smallest value (black) to the largest (white).
    centre_ = (low + high + 1) / 2;
    width_ = high - low + 1;
}

double GrayDisplay::Modality(int64_t stored) const {
    if (modalityTable_) return modality_.At(static_cast<double>(stored));
    return slope_ * static_cast<double>(stored) + intercept_;
}

uint8_t GrayDisplay::Level(double x) const {
    double level = 0;
    switch (voi_) {
        case VoiKind::Linear: {
            double c = centre_ - 0.5, w = width_ - 1;
            if (x <= c - w / 2)
                level = 0;
            else if (x > c + w / 2)
                level = 255;
            else
                level = ((x - c) / w + 0.5) * 255;
            break;
        }
        case VoiKind::LinearExact:
            if (x <= centre_ - width_ / 2)
                level = 0;
            else if (x > centre_ + width_ / 2)
                level = 255;
            else
                level = ((x - centre_) / width_ + 0.5) * 255;
            break;
        case VoiKind::Sigmoid:
            level = 255 / (1 + std::exp(-4 * (x - centre_) / width_));
            break;
        case VoiKind::Table:
            level = voiTable_.At(x) * 255 / voiTable_.Top();
            break;
    }
    return TruncatedLevel(invert_ ? 255 - level : level);
}

}  // namespace pella
