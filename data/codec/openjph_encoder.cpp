#include "data/codec/openjph_encoder.h"

#include <openjph/ojph_arch.h>
#include <openjph/ojph_codestream.h>
#include <openjph/ojph_file.h>
#include <openjph/ojph_mem.h>
#include <openjph/ojph_message.h>
#include <openjph/ojph_params.h>
#include <openjph/ojph_version.h>

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <stdexcept>

#include "data/codec/native_samples.h"

namespace pella {
namespace {

// OpenJPH reports errors through a process-wide handler that prints them; this one throws them
// as exceptions with the message instead, and the library's warnings and notes are dropped.
class ThrowingError final : public ojph::message_error {
public:
    void operator()(int, const char*, int, const char* format, ...) override {
        char text[256];
        va_list arguments;
        va_start(arguments, format);
        std::vsnprintf(text, sizeof text, format, arguments);
        va_end(arguments);
        throw std::runtime_error(text);
    }
};

class QuietWarning final : public ojph::message_warning {
public:
    void operator()(int, const char*, int, const char*, ...) override {}
};

class QuietInfo final : public ojph::message_info {
public:
    void operator()(int, const char*, int, const char*, ...) override {}
};

void InstallHandlersOnce() {
    static ThrowingError error;
    static QuietWarning warning;
    static QuietInfo info;
    static const bool installed = [] {
        ojph::configure_error(&error);
        ojph::configure_warning(&warning);
        ojph::configure_info(&info);
        return true;
    }();
    (void)installed;
}

// Wavelet levels: five where the frame is large enough, fewer for small frames.
ojph::ui32 Decompositions(const FrameFormat& native) {
    ojph::ui32 levels = 5;
    uint32_t smaller = std::min(native.rows, native.columns);
    while (levels > 0 && smaller < (1u << levels)) --levels;
    return levels;
}

void SetUp(ojph::codestream& codestream, const FrameFormat& native) {
    ojph::param_siz siz = codestream.access_siz();
    siz.set_image_extent(ojph::point(native.columns, native.rows));
    siz.set_num_components(native.samplesPerPixel);
    for (ojph::ui32 c = 0; c < native.samplesPerPixel; ++c)
        siz.set_component(c, ojph::point(1, 1), native.bitsStored, native.isSigned);
    siz.set_image_offset(ojph::point(0, 0));
    siz.set_tile_size(ojph::size(native.columns, native.rows));
    siz.set_tile_offset(ojph::point(0, 0));
    ojph::param_cod cod = codestream.access_cod();
    cod.set_num_decomposition(Decompositions(native));
    cod.set_block_dims(64, 64);
    cod.set_progression_order("RPCL");
    cod.set_color_transform(native.samplesPerPixel == 3 && native.photometric == "RGB");
    cod.set_reversible(true);
    codestream.set_planar(false);
}

// Hands the frame to the codestream one line of one component at a time, in the order it asks.
void PushLines(ojph::codestream& codestream, std::span<const uint8_t> frame, const FrameFormat& native) {
    uint32_t nextRow[3] = {0, 0, 0};
    ojph::ui32 component = 0;
    ojph::line_buf* line = codestream.exchange(nullptr, component);
    for (std::size_t n = 0; n < std::size_t{native.rows} * native.samplesPerPixel; ++n) {
        if (component >= native.samplesPerPixel || nextRow[component] >= native.rows)
            throw std::runtime_error("the codestream asked for a line the frame does not have");
        std::size_t first = std::size_t{nextRow[component]++} * native.columns;
        for (std::size_t x = 0; x < native.columns; ++x)
            line->i32[x] = ReadSample(frame.data(), SampleOffset(native, first + x, component), native);
        line = codestream.exchange(line, component);
    }
}

}  // namespace

std::string OpenJphLibrary() {
    return "OpenJPH " + std::to_string(OPENJPH_VERSION_MAJOR) + "." + std::to_string(OPENJPH_VERSION_MINOR) +
           "." + std::to_string(OPENJPH_VERSION_PATCH);
}

bool EncodeHtj2kLosslessFrame(std::span<const uint8_t> frame, const FrameFormat& native, CodedFrame& out,
                              std::string& reason) {
    if (!IsEncodableFrame(frame, native, reason)) return false;
    InstallHandlersOnce();
    try {
        ojph::codestream codestream;
        SetUp(codestream, native);
        ojph::mem_outfile file;
        file.open();
        codestream.write_headers(&file);
        PushLines(codestream, frame, native);
        codestream.flush();
        const ojph::ui8* data = file.get_data();
        out.bytes.assign(data, data + file.tell());
        codestream.close();
    } catch (const std::exception& error) {
        reason = std::string("HTJ2K encoder: ") + error.what();
        return false;
    }
    out.format = native;
    out.format.planar = false;
    if (native.samplesPerPixel == 3 && native.photometric == "RGB") out.format.photometric = "YBR_RCT";
    return true;
}

}  // namespace pella
