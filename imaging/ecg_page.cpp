#include "imaging/ecg_page.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <string>

#include "imaging/cairo_on_demand.h"
#include "log/protocol_log.h"

namespace pella {

namespace {

constexpr int32_t kFirstBaseline = 190;
constexpr int32_t kBaselineSpacing = 90;
constexpr int kChannelsPerColumn = 6;
constexpr const char* kFontName = "Tahoma";
constexpr const char* kTitle = "ECG Waveform";
constexpr double kPointsToPixels = 96.0 / 72.0;  // font sizes are given in points at 96 dpi

struct SurfaceOwner {
    void operator()(cairo_surface_t* s) const noexcept { cairo_surface_destroy(s); }
};
struct CanvasOwner {
    void operator()(cairo_t* c) const noexcept { cairo_destroy(c); }
};

void SetColour(cairo_t* canvas, double red, double green, double blue) {
    cairo_set_source_rgb(canvas, red / 255, green / 255, blue / 255);
}

// A one-pixel line through the centres of the pixels at the integer end points.
void Line(cairo_t* canvas, double x0, double y0, double x1, double y1) {
    cairo_move_to(canvas, x0 + 0.5, y0 + 0.5);
    cairo_line_to(canvas, x1 + 0.5, y1 + 0.5);
    cairo_stroke(canvas);
}

void SetFont(cairo_t* canvas, double points, bool bold) {
    cairo_select_font_face(canvas, kFontName, CAIRO_FONT_SLANT_NORMAL,
                           bold ? CAIRO_FONT_WEIGHT_BOLD : CAIRO_FONT_WEIGHT_NORMAL);
    cairo_set_font_size(canvas, points * kPointsToPixels);
}

double TextWidth(cairo_t* canvas, const std::string& text) {
    cairo_text_extents_t extents;
    cairo_text_extents(canvas, text.c_str(), &extents);
    return extents.x_advance;
}

// Text with its top-left corner at (x, y), on a white background, in black.
void Text(cairo_t* canvas, double x, double y, const std::string& text) {
    cairo_font_extents_t font;
    cairo_font_extents(canvas, &font);
    cairo_set_source_rgb(canvas, 1, 1, 1);
    cairo_rectangle(canvas, x, y, TextWidth(canvas, text), font.ascent + font.descent);
    cairo_fill(canvas);
    cairo_set_source_rgb(canvas, 0, 0, 0);
    cairo_move_to(canvas, x, y + font.ascent);
    cairo_show_text(canvas, text.c_str());
}

void GridLines(cairo_t* canvas, int32_t width, int32_t height, float stepX, float stepY) {
    for (float y = 0; y < static_cast<float>(height); y = std::trunc(y + stepY)) Line(canvas, 0, y, width, y);
    for (float x = 0; x < static_cast<float>(width); x = std::trunc(x + stepX)) Line(canvas, x, 0, x, height);
}

bool Refuse(const std::string& reason) {
    LogFailure("ECG2Bitmap: " + reason);
    return false;
}

bool IsWaveformModality(const std::string& modality) {
    return modality == "ECG" || modality == "HD" || modality == "AU";
}

// Sample i of channel c of n interleaved channels, when the data hold it.
bool ReadSample(const WaveformGroup& group, std::size_t n, std::size_t c, std::size_t i, int32_t& out) {
    bool eightBit = group.bitsAllocated == 8;
    std::size_t size = eightBit ? 1 : 2;
    std::size_t offset = (i * n + c) * size;
    if (offset + size > group.waveformData.size()) return false;
    const uint8_t* p = group.waveformData.data() + offset;
    bool isUnsigned = group.sampleInterpretation == "US" || group.sampleInterpretation == "UB";
    if (eightBit)
        out = isUnsigned ? int32_t{p[0]} : int32_t{static_cast<int8_t>(p[0])};
    else {
        auto raw = static_cast<uint16_t>(p[0] | (p[1] << 8));
        out = isUnsigned ? int32_t{raw} : int32_t{static_cast<int16_t>(raw)};
    }
    return true;
}

// Page y of a trace point, kept within what cairo's fixed-point coordinates take.
double TraceY(int32_t baseline, int32_t sample, float unitsPerPixel) {
    double y = std::trunc(baseline - sample / static_cast<double>(unitsPerPixel));
    return std::clamp(y, -100000.0, 100000.0);
}

void DrawPage(const WaveformDocument& document, Bitmap& bitmap, cairo_surface_t* surface) {
    std::unique_ptr<cairo_t, CanvasOwner> canvas(cairo_create(surface));
    cairo_set_antialias(canvas.get(), CAIRO_ANTIALIAS_NONE);
    cairo_set_line_width(canvas.get(), 1);
    DrawEcgPage(document, canvas.get(), static_cast<int32_t>(bitmap.Width()),
                static_cast<int32_t>(bitmap.Height()), kGridStep);
    cairo_surface_flush(surface);
}

// The drawn 32-bit page into a bitmap of another format.
void CopyInto(Bitmap& bitmap, cairo_surface_t* surface) {
    const uint8_t* data = cairo_image_surface_get_data(surface);
    int stride = cairo_image_surface_get_stride(surface);
    for (uint32_t y = 0; y < bitmap.Height(); ++y) {
        const uint8_t* p = data + static_cast<std::ptrdiff_t>(y) * stride;
        for (uint32_t x = 0; x < bitmap.Width(); ++x, p += 4)
            bitmap.SetPixelColour(x, y, Rgb{p[2], p[1], p[0]});
    }
}

}  // namespace

void SetChannelScale(WaveformChannel& channel, int32_t numberOfSamples, float samplingFrequency,
                     float pixelsPerMillivolt, int32_t xOrigin, int32_t baseline) {
    channel.pixelsPerMillivolt = pixelsPerMillivolt;
    channel.samplingFrequency = samplingFrequency;
    channel.samplesPerPixel = samplingFrequency * 400 / (pixelsPerMillivolt * 1000);
    channel.unitsPerPixel = 0;
    channel.displayText = channel.label;
    float scale = channel.sensitivity * pixelsPerMillivolt;
    if (scale != 0 && std::isfinite(scale) && channel.samplesPerPixel > 0) {
        if (channel.units == "uV") {
            channel.unitsPerPixel = 1000 / scale;
            channel.displayText = channel.label + " 0.5 mV/div";
        }
        if (channel.units == "mV") {
            channel.unitsPerPixel = 1 / scale;
            channel.displayText = channel.label + " 0.5 mV/div";
        }
        if (channel.units.find("mm") != std::string::npos) {
            channel.unitsPerPixel = 100 / scale;
            channel.displayText = channel.label + " 50 mm Hg/div";
        }
    }
    channel.numberOfSamples = numberOfSamples;
    channel.xOrigin = xOrigin;
    channel.baseline = baseline;
}

void PrepareWaveformGroup(WaveformGroup& group, int32_t pageWidth, float pixelsPerMillivolt) {
    group.pixelsPerMillivolt = pixelsPerMillivolt;
    std::size_t n = group.channels.size();
    auto numberOfSamples = static_cast<int32_t>(std::min<uint32_t>(group.numberOfSamples, INT32_MAX));
    for (std::size_t c = 0; c < n; ++c) {
        WaveformChannel& channel = group.channels[c];
        channel.samples.clear();
        int32_t sample = 0;
        for (std::size_t i = 0; i < group.numberOfSamples && ReadSample(group, n, c, i, sample); ++i)
            channel.samples.push_back(sample);
        bool left = c < kChannelsPerColumn;
        int32_t row = static_cast<int32_t>(left ? c : c - kChannelsPerColumn);
        SetChannelScale(channel, numberOfSamples, static_cast<float>(group.samplingFrequency),
                        pixelsPerMillivolt, left ? 0 : pageWidth / 2,
                        kFirstBaseline + kBaselineSpacing * row);
    }
}

void DrawEcgPage(const WaveformDocument& document, cairo_t* canvas, int32_t pageWidth, int32_t pageHeight,
                 float gridStep) {
    cairo_set_source_rgb(canvas, 1, 1, 1);
    cairo_paint(canvas);
    cairo_set_source_rgb(canvas, 0, 0, 0);
    cairo_rectangle(canvas, 0.5, 0.5, pageWidth - 1, pageHeight - 1);
    cairo_stroke(canvas);
    SetColour(canvas, 192, 192, 192);
    GridLines(canvas, pageWidth, pageHeight, gridStep, gridStep);
    SetColour(canvas, 128, 128, 128);
    GridLines(canvas, pageWidth, pageHeight, 5 * gridStep, 2 * gridStep);

    SetFont(canvas, 18, true);
    Text(canvas, static_cast<int32_t>(pageWidth - TextWidth(canvas, kTitle)) / 2, 5, kTitle);
    SetFont(canvas, 10, true);
    Text(canvas, 10, 10, document.studyDate + " " + document.studyTime);
    Text(canvas, 30, 30, "Name: " + document.patientName);
    Text(canvas, 30, 50, "ID: " + document.patientId);
    Text(canvas, 30, 70, "DOB: " + document.birthDate);
    Text(canvas, 30, 90, "Sex: " + document.sex);
    Text(canvas, 150, 80, "200 mS/div");
    SetFont(canvas, 10, false);
    if (document.groups.empty()) return;
    for (const WaveformChannel& channel : document.groups.front().channels)
        DrawChannel(channel, canvas, pageWidth, 0);
}

void DrawChannel(const WaveformChannel& channel, cairo_t* canvas, int32_t pageWidth,
                 int32_t startMilliseconds) {
    double x0 = channel.xOrigin, y0 = channel.baseline;
    Text(canvas, x0 + 5, y0 - 70, channel.displayText);
    if (channel.unitsPerPixel == 0) return;  // no scale for these units: label only
    double top = y0 - std::trunc(channel.pixelsPerMillivolt);
    const double pulse[][2] = {{x0, y0},       {x0 + 7, y0},  {x0 + 7, top},
                               {x0 + 22, top}, {x0 + 22, y0}, {x0 + 30, y0}};
    cairo_move_to(canvas, pulse[0][0] + 0.5, pulse[0][1] + 0.5);
    for (const auto& point : pulse) cairo_line_to(canvas, point[0] + 0.5, point[1] + 0.5);
    cairo_stroke(canvas);

    double wanted = std::trunc((pageWidth - 50) * static_cast<double>(channel.samplesPerPixel) * 0.5);
    auto count = static_cast<int64_t>(std::clamp(wanted, 0.0, static_cast<double>(channel.numberOfSamples)));
    auto first =
        static_cast<int64_t>(startMilliseconds * static_cast<double>(channel.samplingFrequency) * 0.001);
    auto xOf = [&](int64_t i) {
        return x0 + 30 + std::trunc(static_cast<double>(i) / channel.samplesPerPixel);
    };
    // Past the samples the data hold, every point lies on the baseline: one line draws them all,
    // however many samples the group announces.
    auto held = static_cast<int64_t>(channel.samples.size());
    cairo_move_to(canvas, x0 + 30 + 0.5, y0 + 0.5);
    for (int64_t i = 0; i < count; ++i) {
        int64_t g = i + first;
        if (g >= held) {
            cairo_line_to(canvas, xOf(i) + 0.5, y0 + 0.5);
            cairo_line_to(canvas, xOf(count - 1) + 0.5, y0 + 0.5);
            break;
        }
        int32_t sample = g > 0 ? channel.samples[static_cast<std::size_t>(g)] : 0;
        cairo_line_to(canvas, xOf(i) + 0.5, TraceY(channel.baseline, sample, channel.unitsPerPixel) + 0.5);
    }
    cairo_stroke(canvas);
}

bool ECG2Bitmap(Bitmap& bitmap, const ElementList& dataList) {
    WaveformDocument document;
    ParseWaveformDataset(document, dataList);
    if (!IsWaveformModality(document.modality))
        return Refuse("the modality '" + document.modality + "' is not ECG, HD or AU");
    if (document.groups.empty())
        return Refuse("no complete multiplex group: no Waveform Sequence item with Waveform Data was read");
    if (document.groups.front().channels.empty())
        return Refuse("the first multiplex group has no channel definition with a Channel Baseline");
    if (bitmap.Width() == 0 || bitmap.Height() == 0) return Refuse("the bitmap is empty");
    std::string noCairo;
    if (!CairoAvailable(noCairo)) return Refuse(noCairo);
    PrepareWaveformGroup(document.groups.front(), static_cast<int32_t>(bitmap.Width()), kPixelsPerMillivolt);
    auto width = static_cast<int>(bitmap.Width()), height = static_cast<int>(bitmap.Height());
    bool direct =
        bitmap.Format() == PixelFormat::Bgrx32 &&
        static_cast<int>(bitmap.RowBytes()) == cairo_format_stride_for_width(CAIRO_FORMAT_RGB24, width);
    std::unique_ptr<cairo_surface_t, SurfaceOwner> surface(
        direct ? cairo_image_surface_create_for_data(bitmap.Row(0), CAIRO_FORMAT_RGB24, width, height,
                                                     static_cast<int>(bitmap.RowBytes()))
               : cairo_image_surface_create(CAIRO_FORMAT_RGB24, width, height));
    if (cairo_surface_status(surface.get()) != CAIRO_STATUS_SUCCESS) return false;
    DrawPage(document, bitmap, surface.get());
    if (!direct) CopyInto(bitmap, surface.get());
    return true;
}

}  // namespace pella
