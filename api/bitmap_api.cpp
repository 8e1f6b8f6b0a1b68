// Exported bitmap helpers.
#include <exception>
#include <memory>
#include <string>

#include "api/boundary.h"
#include "imaging/bitmap.h"
#include "imaging/bitmap_bmp.h"
#include "imaging/bitmap_png.h"
#include "log/protocol_log.h"
#include "pella.h"

using namespace pella;

namespace {

template <typename Writer>
uint8_t SaveBitmap(const Bitmap* bitmap, const char* fileName, const char* name, Writer&& write) {
    return Guarded<uint8_t>(name, 0, [&]() -> uint8_t {
        if (bitmap == nullptr || fileName == nullptr || *fileName == '\0') {
            LogFailure(std::string(name) + ": no bitmap or no file name");
            return 0;
        }
        std::string reason;
        if (write(fileName, *bitmap, reason)) return 1;
        LogFailure(std::string(name) + ": " + fileName + ": " + reason);
        return 0;
    });
}

}  // namespace

extern "C" {

PELLA_API Bitmap* CreateBitmap(int32_t width, int32_t height, int32_t bitsPerPixel) {
    return Guarded<Bitmap*>(__func__, nullptr, [&]() -> Bitmap* {
        if (width < 0 || height < 0 || !IsPixelFormat(bitsPerPixel)) return nullptr;
        auto format = static_cast<PixelFormat>(bitsPerPixel);
        if (!FitsBitmap(format, static_cast<uint64_t>(width), static_cast<uint64_t>(height))) return nullptr;
        auto bitmap = std::make_unique<Bitmap>();
        bitmap->Reset(format, static_cast<uint32_t>(width), static_cast<uint32_t>(height));
        return bitmap.release();
    });
}

PELLA_API void FreeBitmap(Bitmap* bitmap) {
    GuardedVoid(__func__, [&] { std::unique_ptr<Bitmap> owned(bitmap); });
}

PELLA_API int32_t BitmapWidth(const Bitmap* bitmap) {
    return Guarded<int32_t>(__func__, 0, [&] { return bitmap ? static_cast<int32_t>(bitmap->Width()) : 0; });
}

PELLA_API int32_t BitmapHeight(const Bitmap* bitmap) {
    return Guarded<int32_t>(__func__, 0, [&] { return bitmap ? static_cast<int32_t>(bitmap->Height()) : 0; });
}

PELLA_API int32_t BitmapFormat(const Bitmap* bitmap) {
    return Guarded<int32_t>(__func__, 0, [&] { return bitmap ? static_cast<int32_t>(bitmap->Format()) : 0; });
}

PELLA_API int32_t BitmapRowBytes(const Bitmap* bitmap) {
    return Guarded<int32_t>(__func__, 0,
                            [&] { return bitmap ? static_cast<int32_t>(bitmap->RowBytes()) : 0; });
}

PELLA_API uint8_t* BitmapRow(Bitmap* bitmap, int32_t row) {
    return Guarded<uint8_t*>(__func__, nullptr, [&]() -> uint8_t* {
        if (bitmap == nullptr || row < 0 || static_cast<uint32_t>(row) >= bitmap->Height()) return nullptr;
        return bitmap->Row(static_cast<uint32_t>(row));
    });
}

PELLA_API uint8_t SaveBitmapPNG(const Bitmap* bitmap, const char* fileName) {
    return SaveBitmap(bitmap, fileName, "SaveBitmapPNG", WritePngFile);
}

PELLA_API uint8_t SaveBitmapBMP(const Bitmap* bitmap, const char* fileName) {
    return SaveBitmap(bitmap, fileName, "SaveBitmapBMP", WriteBmpFile);
}

}  // extern "C"
