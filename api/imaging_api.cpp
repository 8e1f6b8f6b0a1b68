// Exported imaging: the print preview.
#include <string>

#include "api/boundary.h"
#include "imaging/print_image.h"
#include "log/protocol_log.h"
#include "pella.h"

using namespace pella;

extern "C" {

PELLA_API uint8_t RenderPrintImage(const char* fileName, Bitmap* bitmap) {
    return Guarded<uint8_t>(0, [&]() -> uint8_t {
        ClearLastFailure();
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

}  // extern "C"
