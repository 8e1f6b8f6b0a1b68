#include "data/codec/openjpeg_encoder.h"

#include <openjpeg.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

#include "data/codec/native_samples.h"
#include "data/codec/openjpeg_handles.h"
#include "data/codec/openjpeg_on_demand.h"

namespace pella {
namespace {

// The codestream as OpenJPEG writes it, growing in memory.
struct MemoryOutput {
    std::vector<uint8_t> bytes;
    std::size_t position = 0;
};

OPJ_SIZE_T WriteOutput(void* buffer, OPJ_SIZE_T size, void* user) {
    auto* out = static_cast<MemoryOutput*>(user);
    if (out->position + size > out->bytes.size()) out->bytes.resize(out->position + size);
    std::memcpy(out->bytes.data() + out->position, buffer, size);
    out->position += size;
    return size;
}

OPJ_OFF_T SkipOutput(OPJ_OFF_T count, void* user) {
    auto* out = static_cast<MemoryOutput*>(user);
    if (count < 0 && static_cast<std::size_t>(-count) > out->position) return -1;
    out->position = static_cast<std::size_t>(static_cast<OPJ_OFF_T>(out->position) + count);
    if (out->position > out->bytes.size()) out->bytes.resize(out->position);
    return count;
}

OPJ_BOOL SeekOutput(OPJ_OFF_T to, void* user) {
    auto* out = static_cast<MemoryOutput*>(user);
    if (to < 0) return OPJ_FALSE;
    out->position = static_cast<std::size_t>(to);
    if (out->position > out->bytes.size()) out->bytes.resize(out->position);
    return OPJ_TRUE;
}

// An OpenJPEG image holding the frame's samples, one plane per component.
OpenJpegImage MakeImage(std::span<const uint8_t> frame, const FrameFormat& native) {
    opj_image_cmptparm_t parameters[3];
    std::memset(parameters, 0, sizeof parameters);
    for (unsigned c = 0; c < native.samplesPerPixel; ++c) {
        parameters[c].dx = 1;
        parameters[c].dy = 1;
        parameters[c].w = native.columns;
        parameters[c].h = native.rows;
        parameters[c].prec = native.bitsStored;
        parameters[c].sgnd = native.isSigned ? 1 : 0;
    }
    OPJ_COLOR_SPACE space = native.samplesPerPixel == 3 ? OPJ_CLRSPC_SRGB : OPJ_CLRSPC_GRAY;
    OpenJpegImage image(opj_image_create(native.samplesPerPixel, parameters, space));
    if (!image) return image;
    image->x0 = 0;
    image->y0 = 0;
    image->x1 = native.columns;
    image->y1 = native.rows;
    for (std::size_t c = 0; c < native.samplesPerPixel; ++c)
        ReadComponentPlane(frame.data(), native, c, image->comps[c].data);
    return image;
}

// Wavelet levels: six resolutions where the frame is large enough, fewer for small frames.
int Resolutions(const FrameFormat& native) {
    int resolutions = 6;
    uint32_t smaller = std::min(native.rows, native.columns);
    while (resolutions > 1 && smaller < (1u << (resolutions - 1))) --resolutions;
    return resolutions;
}

}  // namespace

// The code-block style bit of selective arithmetic-coding bypass.
constexpr int kCodeBlockBypass = 0x01;

bool EncodeJpeg2000Frame(std::span<const uint8_t> frame, const FrameFormat& native,
                         const Jpeg2000Choice& choice, CodedFrame& out, std::string& reason) {
    if (!IsEncodableFrame(frame, native, reason) || !OpenJpegAvailable(reason)) return false;
    if (!choice.reversible && !(choice.compressionRatio >= 1.0)) {
        reason = "a lossy JPEG 2000 compression ratio must be at least 1";
        return false;
    }
    MemoryOutput output;  // outlives the stream that writes into it
    OpenJpegImage image = MakeImage(frame, native);
    const FrameInFlight inFlight;
    OpenJpegCodec codec(opj_create_compress(OPJ_CODEC_J2K));
    OpenJpegStream stream(opj_stream_create(1 << 20, OPJ_FALSE));
    if (!image || !codec || !stream) {
        reason = "JPEG 2000 encoder: out of memory";
        return false;
    }
    bool colourTransform = native.samplesPerPixel == 3 && native.photometric == "RGB";
    opj_cparameters_t parameters;
    opj_set_default_encoder_parameters(&parameters);
    parameters.tcp_numlayers = 1;
    parameters.cp_disto_alloc = 1;
    parameters.tcp_rates[0] = choice.reversible ? 0.0f : static_cast<float>(choice.compressionRatio);
    parameters.irreversible = choice.reversible ? 0 : 1;
    parameters.tcp_mct = colourTransform ? 1 : 0;
    parameters.numresolution = Resolutions(native);
    // Selective arithmetic-coding bypass (a code-block style every decoder reads): the lower bit
    // planes are stored raw instead of coded, which makes coding and decoding about a third
    // faster at the same size (a single quality layer gains nothing from coding them).
    parameters.mode = kCodeBlockBypass;
    std::string message;
    KeepOpenJpegErrors(codec.get(), message);
    opj_stream_set_user_data(stream.get(), &output, nullptr);
    opj_stream_set_write_function(stream.get(), WriteOutput);
    opj_stream_set_skip_function(stream.get(), SkipOutput);
    opj_stream_set_seek_function(stream.get(), SeekOutput);
    if (!opj_setup_encoder(codec.get(), &parameters, image.get())) {
        reason = "JPEG 2000 encoder: " + (message.empty() ? std::string("failed") : message);
        return false;
    }
    UseIdleCores(codec.get());
    if (!opj_start_compress(codec.get(), image.get(), stream.get()) ||
        !opj_encode(codec.get(), stream.get()) || !opj_end_compress(codec.get(), stream.get())) {
        reason = "JPEG 2000 encoder: " + (message.empty() ? std::string("failed") : message);
        return false;
    }
    out.bytes = std::move(output.bytes);
    out.format = native;
    out.format.planar = false;
    if (colourTransform) out.format.photometric = choice.reversible ? "YBR_RCT" : "YBR_ICT";
    return true;
}

}  // namespace pella
