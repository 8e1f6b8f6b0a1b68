// libjpeg reports fatal errors through a callback that must not return: it jumps back with
// longjmp into the function that set up the call. Those functions therefore hold only plain C
// data; every C++ object belongs to their callers.
#include "imaging/bitmap_jpeg.h"

#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

extern "C" {
#include <jerror.h>
#include <jpeglib.h>
}

#include "imaging/libjpeg_on_demand.h"

namespace pella {

namespace {

struct ErrorManager {
    jpeg_error_mgr pub;  // first member: the library's error pointer is also a pointer to this
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
};

[[noreturn]] void OnFatalError(j_common_ptr cinfo) {
    auto* err = reinterpret_cast<ErrorManager*>(cinfo->err);
    (*cinfo->err->format_message)(cinfo, err->message);
    std::longjmp(err->jump, 1);
}

// Damaged entropy-coded data would be filled with made-up pixels: refused instead.
void OnMessage(j_common_ptr cinfo, int level) {
    if (level >= 0) return;
    int code = cinfo->err->msg_code;
    if (code == JWRN_HIT_MARKER || code == JWRN_HUFF_BAD_CODE || code == JWRN_JPEG_EOF ||
        code == JWRN_MUST_RESYNC)
        OnFatalError(cinfo);
    cinfo->err->num_warnings++;
}

struct Decoder {
    jpeg_decompress_struct cinfo;
    ErrorManager err;
    bool created = false;
    ~Decoder() {
        if (created) jpeg_destroy_decompress(&cinfo);
    }
};

// Reads the header and starts decompression. Plain C data only from setjmp on.
bool StartDecoding(Decoder& d, const uint8_t* bytes, std::size_t size) {
    d.cinfo.err = jpeg_std_error(&d.err.pub);
    d.err.pub.error_exit = OnFatalError;
    d.err.pub.emit_message = OnMessage;
    d.err.message[0] = '\0';
    if (setjmp(d.err.jump)) return false;
    jpeg_create_decompress(&d.cinfo);
    d.created = true;
    jpeg_mem_src(&d.cinfo, bytes, static_cast<unsigned long>(size));
    jpeg_read_header(&d.cinfo, TRUE);
    d.cinfo.out_color_space = d.cinfo.num_components == 1 ? JCS_GRAYSCALE : JCS_EXT_BGR;
    jpeg_start_decompress(&d.cinfo);
    return true;
}

// Decodes every scanline into rows of `stride` bytes starting at `pixels`.
bool FinishDecoding(Decoder& d, uint8_t* pixels, std::size_t stride) {
    if (setjmp(d.err.jump)) return false;
    while (d.cinfo.output_scanline < d.cinfo.output_height) {
        JSAMPROW row = pixels + stride * d.cinfo.output_scanline;
        jpeg_read_scanlines(&d.cinfo, &row, 1);
    }
    jpeg_finish_decompress(&d.cinfo);
    return true;
}

struct Encoder {
    jpeg_compress_struct cinfo;
    ErrorManager err;
    unsigned char* stream = nullptr;
    unsigned long streamSize = 0;
    bool created = false;
    ~Encoder() {
        if (created) jpeg_destroy_compress(&cinfo);
        std::free(stream);
    }
};

// `rows` holds one pointer per scanline.
bool RunEncoder(Encoder& e, JSAMPROW* rows, uint32_t width, uint32_t height, bool gray, int quality) {
    e.cinfo.err = jpeg_std_error(&e.err.pub);
    e.err.pub.error_exit = OnFatalError;
    e.err.message[0] = '\0';
    if (setjmp(e.err.jump)) return false;
    jpeg_create_compress(&e.cinfo);
    e.created = true;
    jpeg_mem_dest(&e.cinfo, &e.stream, &e.streamSize);
    e.cinfo.image_width = width;
    e.cinfo.image_height = height;
    e.cinfo.input_components = gray ? 1 : 3;
    e.cinfo.in_color_space = gray ? JCS_GRAYSCALE : JCS_EXT_BGR;
    jpeg_set_defaults(&e.cinfo);
    jpeg_set_quality(&e.cinfo, quality, TRUE);
    jpeg_start_compress(&e.cinfo, TRUE);
    while (e.cinfo.next_scanline < e.cinfo.image_height)
        jpeg_write_scanlines(&e.cinfo, rows + e.cinfo.next_scanline,
                             e.cinfo.image_height - e.cinfo.next_scanline);
    jpeg_finish_compress(&e.cinfo);
    return true;
}

}  // namespace

bool DecodeJpeg(const uint8_t* bytes, std::size_t size, Bitmap& bitmap, std::string& reason) {
    if (!LibjpegAvailable(reason)) return false;
    Decoder decoder;
    if (!StartDecoding(decoder, bytes, size)) {
        reason = std::string("not a decodable JPEG stream: ") + decoder.err.message;
        return false;
    }
    bool gray = decoder.cinfo.output_components == 1;
    PixelFormat format = gray ? PixelFormat::Gray8 : PixelFormat::Bgr24;
    if (!FitsBitmap(format, decoder.cinfo.output_width, decoder.cinfo.output_height)) {
        reason = "an image of " + std::to_string(decoder.cinfo.output_width) + " x " +
                 std::to_string(decoder.cinfo.output_height) + " pixels is too large";
        return false;
    }
    Bitmap decoded;
    decoded.Reset(format, decoder.cinfo.output_width, decoder.cinfo.output_height);
    if (decoded.Height() > 0 && !FinishDecoding(decoder, decoded.Row(0), decoded.RowBytes())) {
        reason = std::string("damaged JPEG data: ") + decoder.err.message;
        return false;
    }
    bitmap = std::move(decoded);
    return true;
}

bool ReadJpegFile(const std::string& fileName, Bitmap& bitmap, std::string& reason) {
    std::ifstream in(fileName, std::ios::binary | std::ios::ate);
    if (!in) {
        reason = "cannot open the file";
        return false;
    }
    std::streamoff size = in.tellg();
    if (size <= 0 || static_cast<uint64_t>(size) > kMaxBitmapBytes) {
        reason = size <= 0 ? "the file is empty" : "the file is too large";
        return false;
    }
    std::vector<uint8_t> bytes(static_cast<std::size_t>(size));
    in.seekg(0);
    if (!in.read(reinterpret_cast<char*>(bytes.data()), size)) {
        reason = "cannot read the file";
        return false;
    }
    return DecodeJpeg(bytes.data(), bytes.size(), bitmap, reason);
}

bool EncodeJpeg(const Bitmap& bitmap, int quality, std::vector<uint8_t>& out, std::string& reason) {
    if (bitmap.Width() == 0 || bitmap.Height() == 0) {
        reason = "the bitmap is empty";
        return false;
    }
    if (!LibjpegAvailable(reason)) return false;
    bool gray = bitmap.Format() == PixelFormat::Gray8 && bitmap.HasGrayPalette();
    Bitmap converted;
    const Bitmap* source = &bitmap;
    if (!gray && bitmap.Format() != PixelFormat::Bgr24) {
        converted = bitmap;
        converted.ConvertTo24();
        source = &converted;
    }
    std::vector<JSAMPROW> rows(source->Height());
    for (uint32_t y = 0; y < source->Height(); ++y) rows[y] = const_cast<uint8_t*>(source->Row(y));
    Encoder encoder;
    if (!RunEncoder(encoder, rows.data(), source->Width(), source->Height(), gray, quality)) {
        reason = std::string("JPEG encoding failed: ") + encoder.err.message;
        return false;
    }
    out.assign(encoder.stream, encoder.stream + encoder.streamSize);
    return true;
}

}  // namespace pella
