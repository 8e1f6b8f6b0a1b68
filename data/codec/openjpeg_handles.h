// What the OpenJPEG decoder and encoder share: owners for the library's handles, and message
// handlers that keep the last error as text and drop warnings and information.
#pragma once

#include <openjpeg.h>

#include <algorithm>
#include <memory>
#include <string>
#include <thread>

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

// Lets the codec code and decode its code-blocks on every core, up to eight (the threads are
// made for each frame, and callers may run several frames at once): a single file gains as much
// as a folder converted in parallel. Called after the codec is set up and before the first
// header is read or written; a codec that cannot make threads keeps working on the calling thread.
inline void UseEveryCore(opj_codec_t* codec) {
    unsigned cores = std::min(std::thread::hardware_concurrency(), 8u);
    if (cores > 1) opj_codec_set_threads(codec, static_cast<int>(cores));
}

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
