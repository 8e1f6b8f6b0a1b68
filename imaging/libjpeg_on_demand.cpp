#include "imaging/libjpeg_on_demand.h"

#include <cstddef>
#include <cstdio>

extern "C" {
#include <jpeglib.h>
}

#include "log/library_on_demand.h"

namespace pella {

PELLA_LIBRARY_ON_DEMAND(Libjpeg, "libjpeg.so.62", LibjpegAvailable, "libjpeg")

}  // namespace pella

#define PELLA_LIBJPEG_FORWARD(Result, name, parameters, arguments) \
    PELLA_FORWARD_ON_DEMAND(pella::Libjpeg(), Result, name, parameters, arguments)

PELLA_LIBJPEG_FORWARD(struct jpeg_error_mgr*, jpeg_std_error, (struct jpeg_error_mgr * err), (err))

// Decompression.
PELLA_LIBJPEG_FORWARD(void, jpeg_CreateDecompress, (j_decompress_ptr cinfo, int version, size_t structsize),
                      (cinfo, version, structsize))
PELLA_LIBJPEG_FORWARD(void, jpeg_destroy_decompress, (j_decompress_ptr cinfo), (cinfo))
PELLA_LIBJPEG_FORWARD(void, jpeg_mem_src,
                      (j_decompress_ptr cinfo, const unsigned char* inbuffer, unsigned long insize),
                      (cinfo, inbuffer, insize))
PELLA_LIBJPEG_FORWARD(int, jpeg_read_header, (j_decompress_ptr cinfo, boolean require_image),
                      (cinfo, require_image))
PELLA_LIBJPEG_FORWARD(boolean, jpeg_start_decompress, (j_decompress_ptr cinfo), (cinfo))
PELLA_LIBJPEG_FORWARD(JDIMENSION, jpeg_read_scanlines,
                      (j_decompress_ptr cinfo, JSAMPARRAY scanlines, JDIMENSION max_lines),
                      (cinfo, scanlines, max_lines))
PELLA_LIBJPEG_FORWARD(boolean, jpeg_finish_decompress, (j_decompress_ptr cinfo), (cinfo))

// Compression.
PELLA_LIBJPEG_FORWARD(void, jpeg_CreateCompress, (j_compress_ptr cinfo, int version, size_t structsize),
                      (cinfo, version, structsize))
PELLA_LIBJPEG_FORWARD(void, jpeg_destroy_compress, (j_compress_ptr cinfo), (cinfo))
PELLA_LIBJPEG_FORWARD(void, jpeg_mem_dest,
                      (j_compress_ptr cinfo, unsigned char** outbuffer, unsigned long* outsize),
                      (cinfo, outbuffer, outsize))
PELLA_LIBJPEG_FORWARD(void, jpeg_set_defaults, (j_compress_ptr cinfo), (cinfo))
PELLA_LIBJPEG_FORWARD(void, jpeg_set_quality, (j_compress_ptr cinfo, int quality, boolean force_baseline),
                      (cinfo, quality, force_baseline))
PELLA_LIBJPEG_FORWARD(void, jpeg_start_compress, (j_compress_ptr cinfo, boolean write_all_tables),
                      (cinfo, write_all_tables))
PELLA_LIBJPEG_FORWARD(JDIMENSION, jpeg_write_scanlines,
                      (j_compress_ptr cinfo, JSAMPARRAY scanlines, JDIMENSION num_lines),
                      (cinfo, scanlines, num_lines))
PELLA_LIBJPEG_FORWARD(void, jpeg_finish_compress, (j_compress_ptr cinfo), (cinfo))
