// What the OpenJPEG decoder and encoder share: owners for the library's handles, and message
// handlers that keep the last error as text and drop warnings and information.
#pragma once

#include <openjpeg.h>

#include <algorithm>
#include <atomic>
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

// Counts the frames the process codes with OpenJPEG at this moment (one per converting thread)
// for the life of the object.
class FrameInFlight {
public:
    FrameInFlight() { Count().fetch_add(1); }
    ~FrameInFlight() { Count().fetch_sub(1); }
    FrameInFlight(const FrameInFlight&) = delete;
    FrameInFlight& operator=(const FrameInFlight&) = delete;
    static unsigned Now() { return Count().load(); }

private:
    static std::atomic<unsigned>& Count() {
        static std::atomic<unsigned> count{0};
        return count;
    }
};

// Lets the codec code and decode its code-blocks on the cores the other frames in flight leave
// it, up to eight: a single file gains the whole machine, while frames converted in parallel
// (a folder) each stay on their own thread rather than making a pool per frame that only
// competes with the others. Called with a FrameInFlight alive, after the codec is set up and
// before the first header is read or written; a codec that cannot make threads keeps working
// on the calling thread.
inline void UseIdleCores(opj_codec_t* codec) {
    const unsigned cores = std::min(std::thread::hardware_concurrency(), 8u);
    const unsigned share = cores / std::max(FrameInFlight::Now(), 1u);
    if (share > 1) opj_codec_set_threads(codec, static_cast<int>(share));
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
