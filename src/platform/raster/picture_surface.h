// Cairo surfaces for decoded pictures, made once per picture and kept while
// the picture lives.
#pragma once

#include <cairo.h>

#include "host/values.h"

namespace marklet::raster {

// The picture's pixels as a Cairo image surface (owned by the picture's
// cache; valid while the picture lives), or null when it holds no pixels.
cairo_surface_t* PictureSurface(const Picture& picture);

}  // namespace marklet::raster
