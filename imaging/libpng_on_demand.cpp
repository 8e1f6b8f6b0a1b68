#include "imaging/libpng_on_demand.h"

#include <png.h>

#include "log/library_on_demand.h"

namespace pella {

PELLA_LIBRARY_ON_DEMAND(Libpng, "libpng16.so.16", LibpngAvailable, "libpng")

}  // namespace pella

#define PELLA_LIBPNG_FORWARD(Result, name, parameters, arguments) \
    PELLA_FORWARD_ON_DEMAND(pella::Libpng(), Result, name, parameters, arguments)

PELLA_LIBPNG_FORWARD(int, png_image_write_to_file,
                     (png_imagep image, const char* file, int convert_to_8bit, const void* buffer,
                      png_int_32 row_stride, const void* colormap),
                     (image, file, convert_to_8bit, buffer, row_stride, colormap))
PELLA_LIBPNG_FORWARD(void, png_image_free, (png_imagep image), (image))
