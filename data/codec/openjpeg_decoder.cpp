#include "data/codec/openjpeg_decoder.h"

#include <openjpeg.h>

#include <algorithm>
#include <cstring>
#include <memory>

#include "data/codec/native_samples.h"
#include "data/codec/openjpeg_handles.h"
#include "data/codec/openjpeg_on_demand.h"

namespace pella {
namespace {

// The compressed bytes as an OpenJPEG input stream.
struct MemoryInput {
    std::span<const uint8_t> bytes;
    std::size_t position = 0;
};

OPJ_SIZE_T ReadInput(void* buffer, OPJ_SIZE_T size, void* user) {
    auto* in = static_cast<MemoryInput*>(user);
    std::size_t left = in->bytes.size() - in->position;
    if (left == 0) return static_cast<OPJ_SIZE_T>(-1);
    std::size_t n = std::min<std::size_t>(size, left);
    std::memcpy(buffer, in->bytes.data() + in->position, n);
    in->position += n;
    return n;
}

OPJ_OFF_T SkipInput(OPJ_OFF_T count, void* user) {
    auto* in = static_cast<MemoryInput*>(user);
    if (count < 0) {
        std::size_t back = std::min<std::size_t>(static_cast<std::size_t>(-count), in->position);
        in->position -= back;
        return -static_cast<OPJ_OFF_T>(back);
    }
    std::size_t n = std::min<std::size_t>(static_cast<std::size_t>(count), in->bytes.size() - in->position);
    in->position += n;
    return static_cast<OPJ_OFF_T>(n);
}

OPJ_BOOL SeekInput(OPJ_OFF_T to, void* user) {
    auto* in = static_cast<MemoryInput*>(user);
    if (to < 0 || static_cast<uint64_t>(to) > in->bytes.size()) return OPJ_FALSE;
    in->position = static_cast<std::size_t>(to);
    return OPJ_TRUE;
}

bool IsJp2File(std::span<const uint8_t> bytes) {
    static constexpr uint8_t kSignature[] = {0, 0, 0, 0x0C, 'j', 'P', ' ', ' ', 0x0D, 0x0A, 0x87, 0x0A};
    return bytes.size() >= sizeof kSignature &&
           std::equal(std::begin(kSignature), std::end(kSignature), bytes.begin());
}

bool IsCodestream(std::span<const uint8_t> bytes) {
    return bytes.size() >= 4 && bytes[0] == 0xFF && bytes[1] == 0x4F && bytes[2] == 0xFF && bytes[3] == 0x51;
}

// Whether the image header agrees with the data set's attributes: the same size and number of
// components, no subsampled component, a precision that fits the bits allocated.
bool HeaderMatches(const opj_image_t& image, const FrameFormat& stored, std::string& reason) {
    uint64_t width = image.x1 > image.x0 ? image.x1 - image.x0 : 0;
    uint64_t height = image.y1 > image.y0 ? image.y1 - image.y0 : 0;
    if (width != stored.columns || height != stored.rows) {
        reason = "JPEG 2000 frame of " + std::to_string(width) + " x " + std::to_string(height) +
                 " where the data set says " + std::to_string(stored.columns) + " x " +
                 std::to_string(stored.rows);
        return false;
    }
    if (image.numcomps != stored.samplesPerPixel) {
        reason = "JPEG 2000 frame of " + std::to_string(image.numcomps) +
                 " components where the data set says " + std::to_string(stored.samplesPerPixel);
        return false;
    }
    for (OPJ_UINT32 c = 0; c < image.numcomps; ++c) {
        const opj_image_comp_t& comp = image.comps[c];
        if (comp.dx != 1 || comp.dy != 1) {
            reason = "JPEG 2000 component " + std::to_string(c) + " is subsampled";
            return false;
        }
        if (comp.prec == 0 || comp.prec > stored.bitsAllocated) {
            reason = "JPEG 2000 component of " + std::to_string(comp.prec) + " bits in " +
                     std::to_string(stored.bitsAllocated) + " bits allocated";
            return false;
        }
    }
    return true;
}

// Whether the main header asks for the multiple-component (colour) transform.
bool UsesColourTransform(opj_codec_t* codec) {
    opj_codestream_info_v2_t* info = opj_get_cstr_info(codec);
    if (info == nullptr) return false;
    bool mct = info->m_default_tile_info.mct != 0;
    opj_destroy_cstr_info(&info);
    return mct;
}

// The photometric interpretation of the decoded samples.
std::string DecodedPhotometric(const std::string& stored, bool colourTransform) {
    if (stored == "YBR_RCT" || stored == "YBR_ICT") return "RGB";
    if (colourTransform && stored != "YBR_FULL") return "RGB";
    return stored;
}

bool CopySamples(const opj_image_t& image, CodedFrame& out, std::string& reason) {
    const FrameFormat& format = out.format;
    // A JP2 file's palette or channel definitions may change the components while decoding.
    if (image.numcomps != format.samplesPerPixel) {
        reason = "JPEG 2000 frame decoded to " + std::to_string(image.numcomps) +
                 " components where the data set says " + std::to_string(format.samplesPerPixel);
        return false;
    }
    for (std::size_t c = 0; c < format.samplesPerPixel; ++c) {
        const opj_image_comp_t& comp = image.comps[c];
        if (comp.data == nullptr || comp.w != format.columns || comp.h != format.rows ||
            comp.prec > format.bitsAllocated) {
            reason = "JPEG 2000 component " + std::to_string(c) + " was not decoded whole";
            return false;
        }
        WriteComponentPlane(comp.data, format, c, out.bytes.data());
    }
    return true;
}

}  // namespace

std::string OpenJpegLibrary() {
    std::string reason;
    if (!OpenJpegAvailable(reason)) return reason;
    return std::string("OpenJPEG ") + opj_version();
}

bool DecodeJpeg2000Frame(std::span<const uint8_t> compressed, const FrameFormat& stored, CodedFrame& out,
                         std::string& reason) {
    if (!IsCodecFormat(stored, reason) || !OpenJpegAvailable(reason)) return false;
    bool jp2 = IsJp2File(compressed);
    if (!jp2 && !IsCodestream(compressed)) {
        reason = "not a JPEG 2000 codestream";
        return false;
    }
    MemoryInput input{compressed, 0};  // outlives the stream that reads from it
    const FrameInFlight inFlight;
    OpenJpegCodec codec(opj_create_decompress(jp2 ? OPJ_CODEC_JP2 : OPJ_CODEC_J2K));
    OpenJpegStream stream(opj_stream_create(64 * 1024, OPJ_TRUE));
    if (!codec || !stream) {
        reason = "JPEG 2000 decoder: out of memory";
        return false;
    }
    std::string message;
    KeepOpenJpegErrors(codec.get(), message);
    opj_stream_set_user_data(stream.get(), &input, nullptr);
    opj_stream_set_user_data_length(stream.get(), compressed.size());
    opj_stream_set_read_function(stream.get(), ReadInput);
    opj_stream_set_skip_function(stream.get(), SkipInput);
    opj_stream_set_seek_function(stream.get(), SeekInput);
    opj_dparameters_t parameters;
    opj_set_default_decoder_parameters(&parameters);
    if (!opj_setup_decoder(codec.get(), &parameters) || !opj_decoder_set_strict_mode(codec.get(), OPJ_TRUE)) {
        reason = "JPEG 2000 decoder: " + message;
        return false;
    }
    UseIdleCores(codec.get());
    opj_image_t* header = nullptr;
    if (!opj_read_header(stream.get(), codec.get(), &header)) {
        opj_image_destroy(header);
        reason = "JPEG 2000 header: " + (message.empty() ? std::string("unreadable") : message);
        return false;
    }
    OpenJpegImage image(header);
    if (!HeaderMatches(*image, stored, reason)) return false;
    bool colourTransform = image->numcomps == 3 && UsesColourTransform(codec.get());
    if (!opj_decode(codec.get(), stream.get(), image.get()) ||
        !opj_end_decompress(codec.get(), stream.get())) {
        reason = "JPEG 2000 data: " + (message.empty() ? std::string("corrupt or truncated") : message);
        return false;
    }
    out.format = DecodedFormat(stored);
    out.format.photometric = DecodedPhotometric(out.format.photometric, colourTransform);
    out.bytes.assign(out.format.FrameBytes(), 0);
    if (CopySamples(*image, out, reason)) return true;
    out.bytes.clear();
    return false;
}

}  // namespace pella
