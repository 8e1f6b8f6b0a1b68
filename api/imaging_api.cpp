// Exported imaging: the print preview, ECG pages and thumbnails.
#include <stdexcept>
#include <string>

#include "api/boundary.h"
#include "api/live_handles.h"
#include "imaging/ecg_page.h"
#include "imaging/print_image.h"
#include "imaging/thumbnail.h"
#include "log/protocol_log.h"
#include "pella.h"

using namespace pella;

namespace {

pella::DisplayOptions DisplayOptionsOf(const ImageDisplayOptions* options) {
    pella::DisplayOptions out;
    if (options == nullptr) return out;
    if (options->voi == PELLA_VOI_MIN_MAX) out.voi = pella::DisplayOptions::Voi::MinMax;
    if (options->voi == PELLA_VOI_WINDOW) out.voi = pella::DisplayOptions::Voi::Window;
    if (options->voi < PELLA_VOI_FILE || options->voi > PELLA_VOI_WINDOW)
        throw std::invalid_argument("unknown VOI choice " + std::to_string(options->voi));
    out.windowCentre = options->windowCentre;
    out.windowWidth = options->windowWidth;
    out.frame = options->frame > 0 ? static_cast<uint32_t>(options->frame - 1) : 0;
    return out;
}

}  // namespace

extern "C" {

PELLA_API uint8_t RenderPrintImage(const char* fileName, Bitmap* bitmap) {
    return Guarded<uint8_t>(__func__, 0, [&]() -> uint8_t {
        if (fileName == nullptr || bitmap == nullptr) {
            LogFailure("RenderPrintImage: no file name or no bitmap");
            return 0;
        }
        Bitmap page;
        if (!LoadPrintBitmap(fileName, page)) return 0;
        *bitmap = std::move(page);
        return 1;
    });
}

PELLA_API uint8_t RenderImage(const char* fileName, Bitmap* bitmap, const ImageDisplayOptions* options) {
    return Guarded<uint8_t>(__func__, 0, [&]() -> uint8_t {
        RequireArguments(fileName, bitmap);
        Bitmap page;
        if (!LoadPrintBitmap(fileName, page, DisplayOptionsOf(options))) return 0;
        *bitmap = std::move(page);
        return 1;
    });
}

PELLA_API uint8_t ECG2Bitmap(Bitmap* bitmap, ElementList* dataList) {
    return Guarded<uint8_t>(__func__, 0, [&]() -> uint8_t {
        RequireArguments(bitmap, dataList);
        RequireLive(HandleKind::ElementList, dataList);
        return pella::ECG2Bitmap(*bitmap, *dataList) ? 1 : 0;
    });
}

PELLA_API uint8_t CreateThumbnail(const char* outputName, const char* dicomFileName, int32_t width) {
    return Guarded<uint8_t>(__func__, 0, [&]() -> uint8_t {
        if (outputName == nullptr || dicomFileName == nullptr) {
            LogFailure("CreateThumbnail: no file name");
            return 0;
        }
        return pella::CreateThumbnail(outputName, dicomFileName, width) ? 1 : 0;
    });
}

PELLA_API uint8_t WriteThumbnail(const char* outputName, const char* dicomFileName, int32_t width,
                                 const ImageDisplayOptions* options) {
    return Guarded<uint8_t>(__func__, 0, [&]() -> uint8_t {
        RequireArguments(outputName, dicomFileName);
        return pella::WriteThumbnail(outputName, dicomFileName, width, DisplayOptionsOf(options)) ? 1 : 0;
    });
}

}  // extern "C"
