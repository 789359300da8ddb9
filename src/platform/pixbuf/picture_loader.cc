#include "platform/pixbuf/picture_loader.h"

#include <gdk-pixbuf/gdk-pixbuf.h>
#include <sys/stat.h>

#include "host/error.h"
#include "host/numeric.h"
#include "platform/files/readable_file.h"

namespace marklet {

namespace {

// Takes over the pixbuf: keeps it in the picture's handle or releases it.
Picture MakePicture(GdkPixbuf* pixbuf, const std::u16string& path, Single tppX, Single tppY,
                    bool keepPixels) {
  auto picture = std::make_shared<PictureObject>();
  int pw = gdk_pixbuf_get_width(pixbuf);
  int ph = gdk_pixbuf_get_height(pixbuf);
  picture->widthHiMetric = CLng(static_cast<double>(pw) * 2540.0 * tppX / 1440.0);
  picture->heightHiMetric = CLng(static_cast<double>(ph) * 2540.0 * tppY / 1440.0);
  picture->path = path;
  if (keepPixels) {
    picture->handle = std::shared_ptr<void>(pixbuf, [](void* p) { g_object_unref(p); });
  } else {
    g_object_unref(pixbuf);
  }
  return picture;
}

}  // namespace

Picture LoadPictureFile(const std::u16string& path, Single tppX, Single tppY, bool keepPixels,
                        const std::string& root) {
  std::string file = U16ToUtf8(path);
  files::ReadableFile opened = files::OpenForReading(file, root);
  // A folder is not there as a picture; a pipe or a device could block or never end.
  if (S_ISDIR(opened.info.st_mode)) {
    throw MarkletError(ErrorNumber::FileNotFound, "File not found: '" + file + "' is a folder");
  }
  files::RequireRegular(opened, static_cast<int>(ErrorNumber::InvalidPicture));
  int width = 0, height = 0;
  if (!gdk_pixbuf_get_file_info(file.c_str(), &width, &height)) {
    throw MarkletError(ErrorNumber::InvalidPicture, "Invalid picture: '" + file + "'");
  }
  if (width > kMaxPicturePixels || height > kMaxPicturePixels) {
    throw MarkletError(ErrorNumber::InvalidPicture,
                       "Invalid picture: '" + file + "' is larger than " +
                           std::to_string(kMaxPicturePixels) + " pixels on a side");
  }
  GError* error = nullptr;
  GdkPixbuf* pixbuf = gdk_pixbuf_new_from_file(file.c_str(), &error);
  if (!pixbuf) {
    std::string why = error ? error->message : "cannot be decoded";
    if (error) g_error_free(error);
    throw MarkletError(ErrorNumber::InvalidPicture, "Invalid picture: '" + file + "': " + why);
  }
  return MakePicture(pixbuf, path, tppX, tppY, keepPixels);
}

Picture DecodePictureData(std::span<const unsigned char> data, Single tppX, Single tppY,
                          bool keepPixels, const std::string& name) {
  GdkPixbufLoader* loader = gdk_pixbuf_loader_new();
  // The declared size arrives before the pixels are allocated: asking for a
  // size of 0 then makes the decoder stop instead of allocating.
  bool tooLarge = false;
  g_signal_connect(loader, "size-prepared", G_CALLBACK(+[](GdkPixbufLoader* self, int width, int height,
                                                           gpointer flag) {
    if (width > kMaxPicturePixels || height > kMaxPicturePixels) {
      *static_cast<bool*>(flag) = true;
      gdk_pixbuf_loader_set_size(self, 0, 0);
    }
  }), &tooLarge);
  GError* error = nullptr;
  bool written = gdk_pixbuf_loader_write(loader, data.data(), data.size(), &error);
  // A loader is closed once, also after a failed write.
  bool closed = gdk_pixbuf_loader_close(loader, written ? &error : nullptr);
  GdkPixbuf* pixbuf = written && closed ? gdk_pixbuf_loader_get_pixbuf(loader) : nullptr;
  std::string why = error ? error->message : "cannot be decoded";
  if (error) g_error_free(error);
  if (pixbuf) g_object_ref(pixbuf);
  g_object_unref(loader);
  if (tooLarge || (pixbuf && (gdk_pixbuf_get_width(pixbuf) > kMaxPicturePixels ||
                              gdk_pixbuf_get_height(pixbuf) > kMaxPicturePixels))) {
    if (pixbuf) g_object_unref(pixbuf);
    throw MarkletError(ErrorNumber::InvalidPicture, "Invalid picture: " + name + " is larger than " +
                                                        std::to_string(kMaxPicturePixels) + " pixels on a side");
  }
  if (!pixbuf) throw MarkletError(ErrorNumber::InvalidPicture, "Invalid picture: " + name + ": " + why);
  return MakePicture(pixbuf, u"", tppX, tppY, keepPixels);
}

}  // namespace marklet
