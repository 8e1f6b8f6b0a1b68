// An ECG-paper page of a waveform object drawn with cairo: grid, header texts and the channel
// traces of the first multiplex group in two columns, each with a 1 mV calibration pulse.
#pragma once

#include <cairo.h>

#include <cstdint>

#include "data/model/element_list.h"
#include "imaging/bitmap.h"
#include "imaging/waveform_document.h"

namespace pella {

constexpr float kGridStep = 20.0f;  // one minor division: 200 ms, 0.5 mV
constexpr float kPixelsPerMillivolt = 40.0f;

// Draws the waveform object of `dataList` (modality ECG, HD or AU) as a page filling the
// bitmap, in the bitmap's own size and format. False, the bitmap untouched and the reason
// logged, for another modality, no complete multiplex group, a first group without channels,
// or an empty bitmap.
bool ECG2Bitmap(Bitmap& bitmap, const ElementList& dataList);

// De-interleaves the first group's samples into its channels (8- or 16-bit, signed or unsigned
// as the group says; samples past the end of the data are left out and drawn as 0) and places
// the channels: 0-5 in the left column, 6 and up in the right one.
void PrepareWaveformGroup(WaveformGroup& group, int32_t pageWidth, float pixelsPerMillivolt);

// Sets the time and amplitude scale of a channel by its units ("uV", "mV", a text containing
// "mm"); other units or a sensitivity of 0 leave the channel without scale (unitsPerPixel 0).
void SetChannelScale(WaveformChannel& channel, int32_t numberOfSamples, float samplingFrequency,
                     float pixelsPerMillivolt, int32_t xOrigin, int32_t baseline);

void DrawEcgPage(const WaveformDocument& document, cairo_t* canvas, int32_t pageWidth, int32_t pageHeight,
                 float gridStep);

void DrawChannel(const WaveformChannel& channel, cairo_t* canvas, int32_t pageWidth,
                 int32_t startMilliseconds);

}  // namespace pella
