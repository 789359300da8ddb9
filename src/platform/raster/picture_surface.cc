#include "platform/raster/picture_surface.h"

#include <gdk-pixbuf/gdk-pixbuf.h>

#include <algorithm>
#include <cstdint>
#include <map>
#include <memory>
#include <string>

#include "host/error.h"

namespace marklet::raster {

namespace {

// The top-left w x h pixels of the picture as a Cairo surface.
cairo_surface_t* FromPixbuf(GdkPixbuf* pixbuf, int w, int h, const Picture& picture) {
  int channels = gdk_pixbuf_get_n_channels(pixbuf);
  bool alpha = gdk_pixbuf_get_has_alpha(pixbuf);
  int srcStride = gdk_pixbuf_get_rowstride(pixbuf);
  const guchar* src = gdk_pixbuf_read_pixels(pixbuf);
  cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w, h);
  if (cairo_status_t status = cairo_surface_status(surface); status != CAIRO_STATUS_SUCCESS) {
    cairo_surface_destroy(surface);
    std::string name = picture->path.empty() ? std::string("a picture") : U16ToUtf8(picture->path);
    throw MarkletError(7, "Out of memory: no " + std::to_string(w) + " x " + std::to_string(h) +
                              " drawing surface for " + name + ": " + cairo_status_to_string(status));
  }
  cairo_surface_flush(surface);
  unsigned char* dst = cairo_image_surface_get_data(surface);
  int dstStride = cairo_image_surface_get_stride(surface);
  for (int y = 0; y < h; ++y) {
    const guchar* s = src + static_cast<std::size_t>(y) * srcStride;
    auto* d = reinterpret_cast<std::uint32_t*>(dst + static_cast<std::size_t>(y) * dstStride);
    if (!alpha) {
      for (int x = 0; x < w; ++x, s += channels) d[x] = 0xFF000000u | (s[0] << 16) | (s[1] << 8) | s[2];
      continue;
    }
    for (int x = 0; x < w; ++x, s += channels) {
      unsigned a = s[3];
      unsigned r = s[0] * a / 255, g = s[1] * a / 255, b = s[2] * a / 255;
      d[x] = (a << 24) | (r << 16) | (g << 8) | b;
    }
  }
  cairo_surface_mark_dirty(surface);
  return surface;
}

// Keyed by the decoded pixels, which every reference to one file shares; an
// entry goes when the last picture holding those pixels is released.
struct Entry {
  std::weak_ptr<void> pixels;
  cairo_surface_t* surface;
  int width, height;  // how much of the picture the surface holds
};
struct Cache {
  std::map<const void*, Entry> entries;
  ~Cache() {
    for (auto& [key, entry] : entries) cairo_surface_destroy(entry.surface);
  }
};

Cache& TheCache() {
  static Cache cache;
  return cache;
}

}  // namespace

cairo_surface_t* PictureSurface(const Picture& picture, int width, int height) {
  if (!picture || !picture->handle) return nullptr;
  Cache& cache = TheCache();
  // Drop entries whose pixels are gone (their addresses may be reused).
  for (auto it = cache.entries.begin(); it != cache.entries.end();) {
    if (it->second.pixels.expired()) {
      cairo_surface_destroy(it->second.surface);
      it = cache.entries.erase(it);
    } else {
      ++it;
    }
  }
  auto* pixbuf = static_cast<GdkPixbuf*>(picture->handle.get());
  int w = std::clamp(width, 1, gdk_pixbuf_get_width(pixbuf));
  int h = std::clamp(height, 1, gdk_pixbuf_get_height(pixbuf));
  auto it = cache.entries.find(pixbuf);
  if (it != cache.entries.end()) {
    if (it->second.width >= w && it->second.height >= h) return it->second.surface;
    w = std::max(w, it->second.width);
    h = std::max(h, it->second.height);
  }
  cairo_surface_t* surface = FromPixbuf(pixbuf, w, h, picture);
  if (it != cache.entries.end()) {
    cairo_surface_destroy(it->second.surface);
    it->second.surface = surface;
    it->second.width = w;
    it->second.height = h;
  } else {
    cache.entries[pixbuf] = Entry{picture->handle, surface, w, h};
  }
  return surface;
}

std::size_t PictureSurfaceCount() { return TheCache().entries.size(); }

}  // namespace marklet::raster
