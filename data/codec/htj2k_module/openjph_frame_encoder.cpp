// libpella_htj2k.so: one native frame encoded as a High-Throughput JPEG 2000 codestream through
// OpenJPH (reversible 5/3 wavelet; RGB frames through the reversible colour transform), behind
// the C interface of data/codec/htj2k_module.h.
#include "data/codec/htj2k_module.h"

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
#include <string>
#include <type_traits>

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

void SetUp(ojph::codestream& codestream, const FrameFormat& native, bool colourTransform) {
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
    cod.set_color_transform(colourTransform);
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

FrameFormat FormatOf(const PellaHtj2kFrame& frame) {
    FrameFormat format;
    format.rows = frame.rows;
    format.columns = frame.columns;
    format.samplesPerPixel = frame.samplesPerPixel;
    format.bitsAllocated = frame.bitsAllocated;
    format.bitsStored = frame.bitsStored;
    format.isSigned = frame.isSigned != 0;
    format.planar = frame.planar != 0;
    return format;
}

void Encode(const PellaHtj2kFrame& frame, PellaHtj2kOutput output, void* context) {
    InstallHandlersOnce();
    const FrameFormat native = FormatOf(frame);
    ojph::codestream codestream;
    SetUp(codestream, native, frame.colourTransform != 0);
    ojph::mem_outfile file;
    file.open();
    codestream.write_headers(&file);
    PushLines(codestream, std::span<const uint8_t>(frame.bytes, frame.size), native);
    codestream.flush();
    output(context, file.get_data(), static_cast<size_t>(file.tell()));
    codestream.close();
}

void Fail(const char* text, char* reason, size_t reasonSize) {
    if (reasonSize == 0) return;
    std::snprintf(reason, reasonSize, "HTJ2K encoder: %s", text);
}

}  // namespace
}  // namespace pella

extern "C" __attribute__((visibility("default"))) int pella_htj2k_encode_frame_1(const PellaHtj2kFrame* frame,
                                                                                 PellaHtj2kOutput output,
                                                                                 void* context, char* reason,
                                                                                 size_t reasonSize) {
    try {
        pella::Encode(*frame, output, context);
        return 1;
    } catch (const std::exception& error) {
        pella::Fail(error.what(), reason, reasonSize);
    } catch (...) {
        pella::Fail("unknown failure", reason, reasonSize);
    }
    return 0;
}

extern "C" __attribute__((visibility("default"))) const char* pella_htj2k_library_1() {
    static const std::string text = "OpenJPH " + std::to_string(OPENJPH_VERSION_MAJOR) + "." +
                                    std::to_string(OPENJPH_VERSION_MINOR) + "." +
                                    std::to_string(OPENJPH_VERSION_PATCH);
    return text.c_str();
}

static_assert(std::is_same_v<decltype(&pella_htj2k_encode_frame_1), PellaHtj2kEncodeFrame>);
static_assert(std::is_same_v<decltype(&pella_htj2k_library_1), PellaHtj2kLibrary>);
