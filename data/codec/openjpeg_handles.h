// What the OpenJPEG decoder and encoder share: owners for the library's handles, and message
// handlers that keep the last error as text and drop warnings and information.
#pragma once

#include <openjpeg.h>

#include <memory>
#include <string>

namespace pella {

// opj_codec_t and opj_stream_t are both void*: one deleter type each.
struct OpenJpegCodecDeleter {
    void operator()(opj_codec_t* codec) const { opj_destroy_codec(codec); }
};
struct OpenJpegStreamDeleter {
    void operator()(opj_stream_t* stream) const { opj_stream_destroy(stream); }
};
struct OpenJpegImageDeleter {
    void operator()(opj_image_t* image) const { opj_image_destroy(image); }
};
using OpenJpegCodec = std::unique_ptr<opj_codec_t, OpenJpegCodecDeleter>;
using OpenJpegStream = std::unique_ptr<opj_stream_t, OpenJpegStreamDeleter>;
using OpenJpegImage = std::unique_ptr<opj_image_t, OpenJpegImageDeleter>;

// Sends the codec's errors into `message` (its last one, without trailing line breaks) and
// drops its warnings and information.
inline void KeepOpenJpegErrors(opj_codec_t* codec, std::string& message) {
    opj_set_error_handler(
        codec,
        [](const char* text, void* user) {
            auto* kept = static_cast<std::string*>(user);
            *kept = text != nullptr ? text : "";
            while (!kept->empty() && (kept->back() == '\n' || kept->back() == ' ')) kept->pop_back();
        },
        &message);
    opj_set_warning_handler(
        codec, [](const char*, void*) {}, nullptr);
    opj_set_info_handler(
        codec, [](const char*, void*) {}, nullptr);
}

}  // namespace pella
