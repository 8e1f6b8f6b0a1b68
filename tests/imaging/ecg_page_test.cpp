// Waveform decoding and ECG pages: pydicom's waveform_ecg.dcm in all three list forms, pixels at
// known places of the page, and hostile or incomplete waveform objects.
#include <gtest/gtest.h>

#include <sstream>

#include "data/io/dataset_reader.h"
#include "imaging/ecg_page.h"
#include "imaging/waveform_document.h"
#include "log/protocol_log.h"
#include "support/data_set_builder.h"
#include "support/run_command.h"
#include "support/sample_files.h"
#include "support/temp_dir.h"

using namespace pella;
using namespace testing_support;

namespace {

const std::string kScript = PELLA_SOURCE_DIR "/tests/imaging/scripts/waveforms.py";

ElementList ReadData(const std::string& file) {
    ElementList meta, data;
    ParseState state;
    EXPECT_TRUE(ReadPart10File(file, meta, data, state)) << file;
    return data;
}

Bitmap Page(const ElementList& data, PixelFormat format = PixelFormat::Bgrx32) {
    Bitmap page;
    page.Reset(format, 1000, 800);
    EXPECT_TRUE(ECG2Bitmap(page, data));
    return page;
}

bool IsColour(const Bitmap& page, uint32_t x, uint32_t y, uint8_t level) {
    Rgb c = page.PixelColour(x, y);
    return c.red == level && c.green == level && c.blue == level;
}

bool SamePage(const Bitmap& a, const Bitmap& b) {
    for (uint32_t y = 0; y < a.Height(); ++y)
        for (uint32_t x = 0; x < a.Width(); ++x) {
            Rgb p = a.PixelColour(x, y), q = b.PixelColour(x, y);
            if (p.red != q.red || p.green != q.green || p.blue != q.blue) return false;
        }
    return true;
}

void AddSequenceStart(ElementList& list, uint16_t group, uint16_t element) {
    list.Append(NewElement(group, element, kUndefinedLength, nullptr, "SQ"));
    list.Append(NewElement(0xFFFE, 0xE000, kUndefinedLength, nullptr, "DL"));
}

void AddSequenceEnd(ElementList& list) {
    list.Append(NewElement(0xFFFE, 0xE00D, 0, nullptr, "DL"));
    list.Append(NewElement(0xFFFE, 0xE0DD, 0, nullptr, "DL"));
}

struct ChannelSpec {
    std::string label, units, sensitivity;
};

// A waveform object in the flat form: one group of the given channels and sample bytes.
ElementList FlatWaveform(const std::vector<ChannelSpec>& channels, uint32_t samples, uint16_t bits,
                         const std::string& interpretation, const std::vector<uint8_t>& data,
                         const std::string& frequency = "500") {
    ElementList list;
    AddText(list, 0x0008, 0x0020, "DA", "2013");
    AddText(list, 0x0008, 0x0030, "TM", "10");
    AddText(list, 0x0008, 0x0060, "CS", "ECG");
    AddSequenceStart(list, 0x5400, 0x0100);
    AddText(list, 0x003A, 0x0210, "DS", "99");  // before any channel: ignored
    AddText(list, 0x003A, 0x001A, "DS", "77");  // before any group: ignored
    AddText(list, 0x003A, 0x0004, "CS", "ORIGINAL");
    AddUS(list, 0x003A, 0x0005, static_cast<uint16_t>(channels.size()));
    uint8_t count[4] = {static_cast<uint8_t>(samples), static_cast<uint8_t>(samples >> 8),
                        static_cast<uint8_t>(samples >> 16), static_cast<uint8_t>(samples >> 24)};
    list.Append(NewElement(0x003A, 0x0010, 4, count, "UL"));
    AddText(list, 0x003A, 0x001A, "DS", frequency);
    list.Append(NewElement(0x003A, 0x0200, kUndefinedLength, nullptr, "SQ"));
    for (const ChannelSpec& c : channels) {
        list.Append(NewElement(0xFFFE, 0xE000, kUndefinedLength, nullptr, "DL"));
        AddSequenceStart(list, 0x003A, 0x0208);
        AddText(list, 0x0008, 0x0104, "LO", c.label);
        AddSequenceEnd(list);
        AddText(list, 0x003A, 0x0210, "DS", c.sensitivity);
        AddSequenceStart(list, 0x003A, 0x0211);
        AddText(list, 0x0008, 0x0100, "SH", c.units);
        AddSequenceEnd(list);
        AddText(list, 0x003A, 0x0213, "DS", "0");
        list.Append(NewElement(0xFFFE, 0xE00D, 0, nullptr, "DL"));
    }
    list.Append(NewElement(0xFFFE, 0xE0DD, 0, nullptr, "DL"));
    AddUS(list, 0x5400, 0x1004, bits);
    AddText(list, 0x5400, 0x1006, "CS", interpretation);
    list.Append(NewElement(0x5400, 0x1010, static_cast<int32_t>(data.size()), data.data(), "OW"));
    AddSequenceEnd(list);
    return list;
}

}  // namespace

TEST(EcgPage, PydicomEcgDecodesAsPydicomReadsIt) {
    std::string file = PydicomFile("waveform_ecg.dcm");
    WaveformDocument document;
    ParseWaveformDataset(document, ReadData(file));
    EXPECT_EQ(document.modality, "ECG");
    EXPECT_EQ(document.patientName, "Anonymous");
    EXPECT_EQ(document.patientId, "642341");
    EXPECT_EQ(document.birthDate, "19710123");
    EXPECT_EQ(document.sex, "F");
    EXPECT_EQ(document.studyDate, "25/01/2013");
    EXPECT_EQ(document.studyTime, "10:59:19");
    ASSERT_EQ(document.groups.size(), 2u);
    WaveformGroup& group = document.groups[0];
    EXPECT_EQ(group.numberOfSamples, 10000u);
    EXPECT_EQ(group.samplingFrequency, 1000);
    ASSERT_EQ(group.channels.size(), 12u);
    EXPECT_EQ(group.channels[0].label, "Lead I (Einthoven)");
    for (const WaveformChannel& channel : group.channels) {
        EXPECT_EQ(channel.units, "uV");
        EXPECT_FLOAT_EQ(channel.sensitivity, 1.25f);
    }
    PrepareWaveformGroup(group, 1000, kPixelsPerMillivolt);
    for (std::size_t c = 0; c < 12; ++c) {
        EXPECT_EQ(group.channels[c].xOrigin, c < 6 ? 0 : 500);
        EXPECT_EQ(group.channels[c].baseline, static_cast<int32_t>(190 + 90 * (c % 6)));
        EXPECT_FLOAT_EQ(group.channels[c].samplesPerPixel, 10.0f);
        EXPECT_FLOAT_EQ(group.channels[c].unitsPerPixel, 20.0f);
        EXPECT_EQ(group.channels[c].displayText.substr(group.channels[c].displayText.size() - 11),
                  " 0.5 mV/div");
    }
    std::istringstream expected(RunCommand("/usr/bin/python3 " + Quote(kScript) + " samples " + Quote(file)));
    std::size_t i, c;
    int value, checked = 0;
    while (expected >> i >> c >> value) {
        EXPECT_EQ(group.channels[c].samples.at(i), value) << i << "," << c;
        ++checked;
    }
    EXPECT_EQ(checked, 16);
}

// The page of the checks: grid colours, the calibration pulse, header texts, and a trace
// of 4750 samples (10 per pixel) drawn 475 pixels from x0 + 30.
TEST(EcgPage, PixelsAtKnownPlaces) {
    ElementList data = ReadData(PydicomFile("waveform_ecg.dcm"));
    Bitmap page = Page(data);
    EXPECT_TRUE(IsColour(page, 5, 780, 192));    // minor horizontal line (y = 780)
    EXPECT_TRUE(IsColour(page, 5, 760, 128));    // major horizontal line (every 40)
    EXPECT_TRUE(IsColour(page, 100, 770, 128));  // major vertical line (every 100)
    EXPECT_TRUE(IsColour(page, 20, 770, 192));   // minor vertical line
    EXPECT_TRUE(IsColour(page, 10, 770, 255));   // between lines: paper
    for (int32_t baseline : {190, 280, 370, 460, 550, 640}) {
        for (int32_t x0 : {0, 500}) {
            EXPECT_TRUE(IsColour(page, x0 + 15, baseline - 40, 0)) << x0 << "," << baseline;  // pulse top
            EXPECT_TRUE(IsColour(page, x0 + 7, baseline - 20, 0));  // its rising edge
            EXPECT_TRUE(IsColour(page, x0 + 3, baseline, 0));       // the lead-in at the baseline
        }
    }
    // Channel 0 alone on a blank page: its rightmost pixel is at x0 + 30 + 474.
    WaveformDocument document;
    ParseWaveformDataset(document, data);
    PrepareWaveformGroup(document.groups[0], 1000, kPixelsPerMillivolt);
    WaveformChannel channel = document.groups[0].channels[0];
    channel.displayText.clear();
    Bitmap blank;
    blank.Reset(PixelFormat::Bgrx32, 1000, 800);
    blank.Fill(Rgb{255, 255, 255});
    cairo_surface_t* surface =
        cairo_image_surface_create_for_data(blank.Row(0), CAIRO_FORMAT_RGB24, 1000, 800, 4000);
    cairo_t* canvas = cairo_create(surface);
    cairo_set_antialias(canvas, CAIRO_ANTIALIAS_NONE);
    cairo_set_line_width(canvas, 1);
    DrawChannel(channel, canvas, 1000, 0);
    cairo_destroy(canvas);
    cairo_surface_destroy(surface);
    uint32_t rightmost = 0;
    for (uint32_t y = 0; y < 800; ++y)
        for (uint32_t x = 0; x < 1000; ++x)
            if (IsColour(blank, x, y, 0)) rightmost = std::max(rightmost, x);
    EXPECT_EQ(rightmost, 30u + 474u);
    // The header texts are drawn (dark pixels in the name line).
    int dark = 0;
    for (uint32_t y = 30; y < 45; ++y)
        for (uint32_t x = 30; x < 150; ++x) dark += page.PixelColour(x, y).red < 100;
    EXPECT_GT(dark, 20);
}

// The same object in every length form and VR form draws the same page: re-saved by pydicom with
// undefined-length sequences whose items have defined or undefined length, and by DCMTK's dcmconv
// with every sequence and item of defined length; an 8-bit and a 24-bit host bitmap get the same
// page too.
TEST(EcgPage, EveryLengthFormAndHostFormatDrawsTheSamePage) {
    TempDir dir;
    std::string original = PydicomFile("waveform_ecg.dcm");
    Bitmap reference = Page(ReadData(original));
    struct Form {
        std::string name, command;
        bool definedSequence, definedItems;
    };
    const std::string script = "/usr/bin/python3 " + Quote(kScript) + " rewrite " + Quote(original) + " ";
    const Form forms[] = {
        {"pydicom explicit, defined items", script + "OUT explicit defined", false, true},
        {"pydicom implicit, defined items", script + "OUT implicit defined", false, true},
        {"pydicom explicit, undefined items", script + "OUT explicit undefined", false, false},
        {"pydicom implicit, undefined items", script + "OUT implicit undefined", false, false},
        {"dcmconv explicit, all defined", "dcmconv +e +te " + Quote(original) + " OUT", true, true},
        {"dcmconv implicit, all defined", "dcmconv +e +ti " + Quote(original) + " OUT", true, true},
    };
    for (const Form& form : forms) {
        SCOPED_TRACE(form.name);
        std::string copy = dir.File("copy.dcm");
        std::string command = form.command;
        command.replace(command.find("OUT"), 3, Quote(copy));
        ASSERT_TRUE(RunTool(command));
        ElementList data = ReadData(copy);
        std::size_t at = 0;
        while (at < data.size() && !(data[at].group == 0x5400 && data[at].element == 0x0100)) ++at;
        ASSERT_LT(at + 1, data.size());
        ASSERT_EQ(HasValue(data[at]), form.definedSequence) << "the form asked for";
        if (!form.definedSequence) {
            ASSERT_EQ(HasValue(data[at + 1]), form.definedItems) << "the form asked for";
        }
        EXPECT_TRUE(SamePage(Page(data), reference));
        CommandResult run = RunCommand({PELLA_CLI_PATH, "ecg", copy, dir.File("page.png")}, true);
        EXPECT_EQ(run.exitCode, 0) << run.out;
    }
    EXPECT_TRUE(SamePage(Page(ReadData(original), PixelFormat::Bgr24), reference));
    EXPECT_TRUE(SamePage(Page(ReadData(original), PixelFormat::Gray8), reference));
}

TEST(EcgPage, SampleFormatsShortDataAndUnscaledChannels) {
    struct Case {
        const char* name;
        uint16_t bits;
        const char* interpretation;
        std::vector<uint8_t> data;    // two channels interleaved
        std::vector<int32_t> first;   // channel 0 as decoded
        std::vector<int32_t> second;  // channel 1
    };
    const Case cases[] = {
        {"signed 16", 16, "SS", {0x18, 0xFC, 0xE8, 0x03, 0x01, 0x00, 0xFF, 0xFF}, {-1000, 1}, {1000, -1}},
        {"unsigned 16",
         16,
         "US",
         {0x18, 0xFC, 0xE8, 0x03, 0x01, 0x00, 0xFF, 0xFF},
         {64536, 1},
         {1000, 65535}},
        {"signed 8", 8, "SB", {0x80, 0x7F, 0xFF, 0x01}, {-128, -1}, {127, 1}},
        {"unsigned 8", 8, "UB", {0x80, 0x7F, 0xFF, 0x01}, {128, 255}, {127, 1}},
        {"short data", 16, "SS", {0x10, 0x00, 0x20, 0x00, 0x30}, {16}, {32}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ElementList list =
            FlatWaveform({{"I", "uV", "1"}, {"P", "mmHg", "1"}}, 2, c.bits, c.interpretation, c.data);
        WaveformDocument document;
        ParseWaveformDataset(document, list);
        EXPECT_EQ(document.studyDate, "//2013");
        EXPECT_EQ(document.studyTime, "10::");
        ASSERT_EQ(document.groups.size(), 1u);
        EXPECT_EQ(document.groups[0].samplingFrequency, 500);
        ASSERT_EQ(document.groups[0].channels.size(), 2u);
        EXPECT_FLOAT_EQ(document.groups[0].channels[0].sensitivity, 1.0f);
        PrepareWaveformGroup(document.groups[0], 1000, kPixelsPerMillivolt);
        EXPECT_EQ(document.groups[0].channels[0].samples, c.first);
        EXPECT_EQ(document.groups[0].channels[1].samples, c.second);
        EXPECT_FLOAT_EQ(document.groups[0].channels[1].unitsPerPixel, 2.5f);  // 100 / (1 x 40)
        EXPECT_EQ(document.groups[0].channels[1].displayText, "P 50 mm Hg/div");
        Bitmap page = Page(list);
    }
    // Units without a scale, and a sensitivity of 0: a label and no trace.
    for (ChannelSpec channel : {ChannelSpec{"X", "degC", "1"}, ChannelSpec{"Z", "uV", "0"}}) {
        ElementList list = FlatWaveform({channel}, 2, 16, "SS", {0x10, 0x27, 0x10, 0x27});
        Bitmap page = Page(list);
        EXPECT_FALSE(IsColour(page, 15, 150, 0)) << "no calibration pulse for " << channel.label;
    }
}

// A group that announces billions of samples at billions of hertz, with four bytes of data: the
// page is drawn at once (the trace past the data is one line on the baseline).
TEST(EcgPage, HugeAnnouncementsWithLittleData) {
    ElementList list =
        FlatWaveform({{"I", "uV", "1"}}, 0xFFFFFFFFu, 16, "SS", {0xE8, 0x03, 0xE8, 0x03}, "2147483647");
    WaveformDocument document;
    ParseWaveformDataset(document, list);
    PrepareWaveformGroup(document.groups.at(0), 1000, kPixelsPerMillivolt);
    EXPECT_EQ(document.groups[0].channels.at(0).samples.size(), 2u);
    Bitmap page = Page(list);
    // 21474836 samples per pixel: the 2^31 - 1 samples drawn span 100 pixels from x0 + 30.
    EXPECT_TRUE(IsColour(page, 100, 190, 0)) << "the baseline past the data";
    EXPECT_TRUE(IsColour(page, 129, 190, 0));
    EXPECT_TRUE(IsColour(page, 135, 190, 255));
}

// Each object that cannot be drawn fails with its reason, the bitmap untouched.
TEST(EcgPage, OtherModalitiesAndIncompleteObjectsFailWithAReason) {
    std::vector<uint8_t> data = {1, 0, 2, 0};
    ElementList lower = FlatWaveform({{"I", "uV", "1"}}, 2, 16, "SS", data);
    lower.items[2] = NewElement(0x0008, 0x0060, 4, "ecg ", "CS");
    ElementList padded = FlatWaveform({{"I", "uV", "1"}}, 2, 16, "SS", data);
    padded.items[2] = NewElement(0x0008, 0x0060, 4, "ECG ", "CS");
    ElementList noData = FlatWaveform({{"I", "uV", "1"}}, 2, 16, "SS", data);
    noData.items.erase(noData.items.end() - 3);  // (5400,1010)
    ElementList noChannels = FlatWaveform({}, 2, 16, "SS", data);
    struct Case {
        const char* name;
        const ElementList& list;
        const char* says;
    };
    const Case cases[] = {{"lower-case modality", lower, "the modality 'ecg' is not ECG, HD or AU"},
                          {"no Waveform Data", noData, "no complete multiplex group"},
                          {"no channels", noChannels, "no channel definition"}};
    Bitmap page;
    page.Reset(PixelFormat::Bgr24, 100, 100);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ClearLastFailure();
        EXPECT_FALSE(ECG2Bitmap(page, c.list));
        EXPECT_NE(LastFailure().find(c.says), std::string::npos) << LastFailure();
        EXPECT_TRUE(IsColour(page, 50, 50, 0)) << "the bitmap stays untouched";
    }
    EXPECT_TRUE(ECG2Bitmap(page, padded));
    Bitmap empty;
    EXPECT_FALSE(ECG2Bitmap(empty, padded));
}

// Flipped and cut bytes in the defined-length form: no crash, no read outside the input (the
// sanitizer build checks), whatever the page.
TEST(EcgPage, MutatedWaveformObjectsNeverCrash) {
    TempDir dir;
    std::string copy = dir.File("defined.dcm");
    ASSERT_TRUE(RunTool("dcmconv +e +ti " + Quote(PydicomFile("waveform_ecg.dcm")) + " " + Quote(copy)));
    ElementList data = ReadData(copy);
    std::size_t at = 0;
    while (at < data.size() && !(data[at].group == 0x5400 && data[at].element == 0x0100)) ++at;
    ASSERT_LT(at, data.size());
    const std::vector<uint8_t> original(data[at].value, data[at].value + data[at].length);
    uint32_t seed = 12345;
    auto next = [&seed] { return seed = seed * 1103515245u + 12345u; };
    Bitmap page;
    page.Reset(PixelFormat::Bgr24, 300, 200);
    for (int round = 0; round < 300; ++round) {
        std::vector<uint8_t> bytes = original;
        // Damage the headers at the front, where the channel definitions are.
        for (int flips = 0; flips < 4; ++flips) bytes[next() % 3000] = static_cast<uint8_t>(next());
        if (round % 3 == 0) bytes.resize(next() % bytes.size());
        data.items[at] = NewElement(0x5400, 0x0100, static_cast<int32_t>(bytes.size()), bytes.data(), "SQ");
        ECG2Bitmap(page, data);
    }
}
