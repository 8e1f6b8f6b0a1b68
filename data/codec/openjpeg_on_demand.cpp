#include "data/codec/openjpeg_on_demand.h"

#include <openjpeg.h>

#include "log/library_on_demand.h"

namespace pella {

PELLA_LIBRARY_ON_DEMAND(OpenJpeg, "libopenjp2.so.7", OpenJpegAvailable, "OpenJPEG")

}  // namespace pella

#define PELLA_OPENJPEG_FORWARD(Result, name, parameters, arguments) \
    PELLA_FORWARD_ON_DEMAND(pella::OpenJpeg(), Result, name, parameters, arguments)

PELLA_OPENJPEG_FORWARD(const char*, opj_version, (void), ())

// Codecs and their messages.
PELLA_OPENJPEG_FORWARD(opj_codec_t*, opj_create_compress, (OPJ_CODEC_FORMAT format), (format))
PELLA_OPENJPEG_FORWARD(opj_codec_t*, opj_create_decompress, (OPJ_CODEC_FORMAT format), (format))
PELLA_OPENJPEG_FORWARD(void, opj_destroy_codec, (opj_codec_t * p_codec), (p_codec))
PELLA_OPENJPEG_FORWARD(OPJ_BOOL, opj_codec_set_threads, (opj_codec_t * p_codec, int num_threads),
                       (p_codec, num_threads))
PELLA_OPENJPEG_FORWARD(OPJ_BOOL, opj_set_error_handler,
                       (opj_codec_t * p_codec, opj_msg_callback p_callback, void* p_user_data),
                       (p_codec, p_callback, p_user_data))
PELLA_OPENJPEG_FORWARD(OPJ_BOOL, opj_set_warning_handler,
                       (opj_codec_t * p_codec, opj_msg_callback p_callback, void* p_user_data),
                       (p_codec, p_callback, p_user_data))
PELLA_OPENJPEG_FORWARD(OPJ_BOOL, opj_set_info_handler,
                       (opj_codec_t * p_codec, opj_msg_callback p_callback, void* p_user_data),
                       (p_codec, p_callback, p_user_data))

// Images.
PELLA_OPENJPEG_FORWARD(opj_image_t*, opj_image_create,
                       (OPJ_UINT32 numcmpts, opj_image_cmptparm_t* cmptparms, OPJ_COLOR_SPACE clrspc),
                       (numcmpts, cmptparms, clrspc))
PELLA_OPENJPEG_FORWARD(void, opj_image_destroy, (opj_image_t * image), (image))

// Streams.
PELLA_OPENJPEG_FORWARD(opj_stream_t*, opj_stream_create, (OPJ_SIZE_T p_buffer_size, OPJ_BOOL p_is_input),
                       (p_buffer_size, p_is_input))
PELLA_OPENJPEG_FORWARD(void, opj_stream_destroy, (opj_stream_t * p_stream), (p_stream))
PELLA_OPENJPEG_FORWARD(void, opj_stream_set_read_function,
                       (opj_stream_t * p_stream, opj_stream_read_fn p_function), (p_stream, p_function))
PELLA_OPENJPEG_FORWARD(void, opj_stream_set_write_function,
                       (opj_stream_t * p_stream, opj_stream_write_fn p_function), (p_stream, p_function))
PELLA_OPENJPEG_FORWARD(void, opj_stream_set_skip_function,
                       (opj_stream_t * p_stream, opj_stream_skip_fn p_function), (p_stream, p_function))
PELLA_OPENJPEG_FORWARD(void, opj_stream_set_seek_function,
                       (opj_stream_t * p_stream, opj_stream_seek_fn p_function), (p_stream, p_function))
PELLA_OPENJPEG_FORWARD(void, opj_stream_set_user_data,
                       (opj_stream_t * p_stream, void* p_data, opj_stream_free_user_data_fn p_function),
                       (p_stream, p_data, p_function))
PELLA_OPENJPEG_FORWARD(void, opj_stream_set_user_data_length,
                       (opj_stream_t * p_stream, OPJ_UINT64 data_length), (p_stream, data_length))

// Decoding.
PELLA_OPENJPEG_FORWARD(void, opj_set_default_decoder_parameters, (opj_dparameters_t * parameters),
                       (parameters))
PELLA_OPENJPEG_FORWARD(OPJ_BOOL, opj_setup_decoder, (opj_codec_t * p_codec, opj_dparameters_t* parameters),
                       (p_codec, parameters))
PELLA_OPENJPEG_FORWARD(OPJ_BOOL, opj_decoder_set_strict_mode, (opj_codec_t * p_codec, OPJ_BOOL strict),
                       (p_codec, strict))
PELLA_OPENJPEG_FORWARD(OPJ_BOOL, opj_read_header,
                       (opj_stream_t * p_stream, opj_codec_t* p_codec, opj_image_t** p_image),
                       (p_stream, p_codec, p_image))
PELLA_OPENJPEG_FORWARD(OPJ_BOOL, opj_decode,
                       (opj_codec_t * p_decompressor, opj_stream_t* p_stream, opj_image_t* p_image),
                       (p_decompressor, p_stream, p_image))
PELLA_OPENJPEG_FORWARD(OPJ_BOOL, opj_end_decompress, (opj_codec_t * p_codec, opj_stream_t* p_stream),
                       (p_codec, p_stream))
PELLA_OPENJPEG_FORWARD(opj_codestream_info_v2_t*, opj_get_cstr_info, (opj_codec_t * p_codec), (p_codec))
PELLA_OPENJPEG_FORWARD(void, opj_destroy_cstr_info, (opj_codestream_info_v2_t * *cstr_info), (cstr_info))

// Encoding.
PELLA_OPENJPEG_FORWARD(void, opj_set_default_encoder_parameters, (opj_cparameters_t * parameters),
                       (parameters))
PELLA_OPENJPEG_FORWARD(OPJ_BOOL, opj_setup_encoder,
                       (opj_codec_t * p_codec, opj_cparameters_t* parameters, opj_image_t* image),
                       (p_codec, parameters, image))
PELLA_OPENJPEG_FORWARD(OPJ_BOOL, opj_start_compress,
                       (opj_codec_t * p_codec, opj_image_t* p_image, opj_stream_t* p_stream),
                       (p_codec, p_image, p_stream))
PELLA_OPENJPEG_FORWARD(OPJ_BOOL, opj_encode, (opj_codec_t * p_codec, opj_stream_t* p_stream),
                       (p_codec, p_stream))
PELLA_OPENJPEG_FORWARD(OPJ_BOOL, opj_end_compress, (opj_codec_t * p_codec, opj_stream_t* p_stream),
                       (p_codec, p_stream))
