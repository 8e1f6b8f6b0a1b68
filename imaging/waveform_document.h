// A waveform object (ECG, hemodynamic or audio) decoded from its element list: the header texts
// of the page and the multiplex groups of the Waveform Sequence with their channels.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "data/model/element_list.h"

namespace pella {

struct WaveformChannel {
    std::string label;           // Code Meaning of the Channel Source Sequence
    float sensitivity = 0;       // (003A,0210)
    std::string units;           // Code Value of the Channel Sensitivity Units Sequence
    float correctionFactor = 0;  // (003A,0212), not used in drawing
    float channelBaseline = 0;   // (003A,0213), not used in drawing

    // Drawing fields, set for the channels of the first group when a page is drawn.
    std::string displayText;  // label and scale text
    int32_t xOrigin = 0;
    int32_t baseline = 0;  // y of the zero line
    float samplesPerPixel = 0;
    float unitsPerPixel = 0;  // 0: no scale for the channel's units (drawn without a trace)
    int32_t numberOfSamples = 0;
    float pixelsPerMillivolt = 0;
    float samplingFrequency = 0;
    std::vector<int32_t> samples;  // de-interleaved; shorter than numberOfSamples when the data are
};

struct WaveformGroup {
    uint32_t numberOfSamples = 0;       // (003A,0010)
    int32_t samplingFrequency = 0;      // (003A,001A), whole hertz
    uint16_t numberOfChannels = 0;      // (003A,0005), not used: the channels decoded count
    uint16_t bitsAllocated = 16;        // (5400,1004): 8 or 16
    std::string sampleInterpretation;   // (5400,1006): SS, US, SB, UB
    std::vector<uint8_t> waveformData;  // (5400,1010)
    std::vector<WaveformChannel> channels;
    float pixelsPerMillivolt = 0;
};

struct WaveformDocument {
    std::string patientName;
    std::string patientId;
    std::string birthDate;
    std::string sex;
    std::string studyDate;  // DD/MM/YYYY
    std::string studyTime;  // HH:MM:SS
    std::string modality;
    std::vector<WaveformGroup> groups;
};

// Fills the document from a data set's element list, with sequences of undefined length (items
// flat in the list) and of defined length (encoded in their value) alike. Header texts come
// from the data set's own top-level elements. What is not found stays empty.
void ParseWaveformDataset(WaveformDocument& document, const ElementList& dataList);

// Decodes a Waveform Sequence element of defined length, appending its complete groups.
void ParseWaveformSequence(std::vector<WaveformGroup>& groups, const DataElement& element);

// Decodes a Channel Definition Sequence element of defined length, appending its channels (a
// definition without Channel Baseline is dropped).
void ParseChannelDefinitions(std::vector<WaveformChannel>& channels, const DataElement& element);

// Decodes a code sequence element of defined length: the last Code Value and Code Meaning in it.
void ReadCodeItem(const DataElement& element, std::string& codeValue, std::string& codeMeaning);

}  // namespace pella
