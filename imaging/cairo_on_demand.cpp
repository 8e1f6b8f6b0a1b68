#include "imaging/cairo_on_demand.h"

#include <cairo.h>

#include "log/library_on_demand.h"

namespace pella {

PELLA_LIBRARY_ON_DEMAND(Cairo, "libcairo.so.2", CairoAvailable, "cairo")

}  // namespace pella

#define PELLA_CAIRO_FORWARD(Result, name, parameters, arguments) \
    PELLA_FORWARD_ON_DEMAND(pella::Cairo(), Result, name, parameters, arguments)

PELLA_CAIRO_FORWARD(cairo_t*, cairo_create, (cairo_surface_t * target), (target))
PELLA_CAIRO_FORWARD(void, cairo_destroy, (cairo_t * cr), (cr))
PELLA_CAIRO_FORWARD(void, cairo_fill, (cairo_t * cr), (cr))
PELLA_CAIRO_FORWARD(void, cairo_font_extents, (cairo_t * cr, cairo_font_extents_t* extents), (cr, extents))
PELLA_CAIRO_FORWARD(int, cairo_format_stride_for_width, (cairo_format_t format, int width), (format, width))
PELLA_CAIRO_FORWARD(cairo_surface_t*, cairo_image_surface_create,
                    (cairo_format_t format, int width, int height), (format, width, height))
PELLA_CAIRO_FORWARD(cairo_surface_t*, cairo_image_surface_create_for_data,
                    (unsigned char* data, cairo_format_t format, int width, int height, int stride),
                    (data, format, width, height, stride))
PELLA_CAIRO_FORWARD(unsigned char*, cairo_image_surface_get_data, (cairo_surface_t * surface), (surface))
PELLA_CAIRO_FORWARD(int, cairo_image_surface_get_stride, (cairo_surface_t * surface), (surface))
PELLA_CAIRO_FORWARD(void, cairo_line_to, (cairo_t * cr, double x, double y), (cr, x, y))
PELLA_CAIRO_FORWARD(void, cairo_move_to, (cairo_t * cr, double x, double y), (cr, x, y))
PELLA_CAIRO_FORWARD(void, cairo_paint, (cairo_t * cr), (cr))
PELLA_CAIRO_FORWARD(void, cairo_rectangle, (cairo_t * cr, double x, double y, double width, double height),
                    (cr, x, y, width, height))
PELLA_CAIRO_FORWARD(void, cairo_select_font_face,
                    (cairo_t * cr, const char* family, cairo_font_slant_t slant, cairo_font_weight_t weight),
                    (cr, family, slant, weight))
PELLA_CAIRO_FORWARD(void, cairo_set_antialias, (cairo_t * cr, cairo_antialias_t antialias), (cr, antialias))
PELLA_CAIRO_FORWARD(void, cairo_set_font_size, (cairo_t * cr, double size), (cr, size))
PELLA_CAIRO_FORWARD(void, cairo_set_line_width, (cairo_t * cr, double width), (cr, width))
PELLA_CAIRO_FORWARD(void, cairo_set_source_rgb, (cairo_t * cr, double red, double green, double blue),
                    (cr, red, green, blue))
PELLA_CAIRO_FORWARD(void, cairo_show_text, (cairo_t * cr, const char* utf8), (cr, utf8))
PELLA_CAIRO_FORWARD(void, cairo_stroke, (cairo_t * cr), (cr))
PELLA_CAIRO_FORWARD(void, cairo_surface_destroy, (cairo_surface_t * surface), (surface))
PELLA_CAIRO_FORWARD(void, cairo_surface_flush, (cairo_surface_t * surface), (surface))
PELLA_CAIRO_FORWARD(cairo_status_t, cairo_surface_status, (cairo_surface_t * surface), (surface))
PELLA_CAIRO_FORWARD(void, cairo_text_extents, (cairo_t * cr, const char* utf8, cairo_text_extents_t* extents),
                    (cr, utf8, extents))
