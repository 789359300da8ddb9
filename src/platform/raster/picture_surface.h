// Cairo surfaces for decoded pictures, made once per decoded picture and kept
// while any picture object sharing those pixels lives.
#pragma once

#include <cairo.h>

#include <climits>
#include <cstddef>

#include "host/values.h"

namespace marklet::raster {

// The picture's pixels as a Cairo image surface (owned by the cache; valid
// while the picture lives), or null when it holds no pixels. Pictures that
// share decoded pixels share one surface. A caller that can show no more
// than the top-left width x height of the picture says so, and the surface
// may hold only that part: a large picture on a small control costs what
// shows. Error 7 naming the picture when the surface cannot be allocated.
cairo_surface_t* PictureSurface(const Picture& picture, int width = INT_MAX, int height = INT_MAX);

// How many surfaces the cache holds now.
std::size_t PictureSurfaceCount();

}  // namespace marklet::raster
