#include "platform/pixbuf/picture_loader.h"

#include <gdk-pixbuf/gdk-pixbuf.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string_view>
#include <vector>

#include "host/error.h"
#include "host/numeric.h"
#include "platform/files/readable_file.h"

namespace marklet {

void PictureDecodes::Reset() {
  files_.clear();
  decoded_ = 0;
  hits_ = 0;
}

const PictureDecodes::Decoded* PictureDecodes::Find(const Key& key) const {
  auto it = files_.find(key);
  return it == files_.end() ? nullptr : &it->second;
}

void PictureDecodes::Add(const Key& key, Decoded decoded) { files_[key] = std::move(decoded); }

namespace {

// Enough of a file to tell the five formats apart.
constexpr std::size_t kSniffBytes = 8;

// The gdk-pixbuf loader for the picture these bytes start, or null when they
// start none of the formats read. Choosing the loader here, rather than
// letting the library guess, keeps every other loader (vector formats
// included) away from hostile bytes.
const char* LoaderFor(std::span<const unsigned char> head) {
  auto starts = [&](std::string_view magic) {
    return head.size() >= magic.size() && std::memcmp(head.data(), magic.data(), magic.size()) == 0;
  };
  using namespace std::string_view_literals;
  if (starts("\x89PNG\r\n\x1a\n"sv)) return "png";
  if (starts("GIF87a"sv) || starts("GIF89a"sv)) return "gif";
  if (starts("\xFF\xD8\xFF"sv)) return "jpeg";
  if (starts("BM"sv)) return "bmp";
  if (starts("\0\0\1\0"sv) || starts("\0\0\2\0"sv)) return "ico";  // icon, cursor
  return nullptr;
}

[[noreturn]] void NotAPicture(const std::string& name) {
  throw MarkletError(ErrorNumber::InvalidPicture,
                     "Invalid picture: " + name + " is not a BMP, GIF, JPEG, ICO/CUR or PNG picture");
}

std::string Megapixels(std::int64_t pixels) {
  if (pixels % (1 << 20) == 0) return std::to_string(pixels >> 20) + " Mpx";
  return std::to_string(pixels) + " pixels";
}

[[noreturn]] void OverBudget(const std::string& name, std::int64_t width, std::int64_t height,
                             const PictureDecodes& decodes) {
  throw MarkletError(7, "Out of memory: " + name + " is " + std::to_string(width) + " x " +
                            std::to_string(height) + " pixels, past the " +
                            Megapixels(decodes.budgetPixels()) + " the pictures of one text may decode (" +
                            std::to_string(decodes.remainingPixels()) + " pixels left)");
}

[[noreturn]] void TooWide(const std::string& name) {
  throw MarkletError(ErrorNumber::InvalidPicture, "Invalid picture: " + name + " is larger than " +
                                                      std::to_string(kMaxPicturePixels) +
                                                      " pixels on a side");
}

// One picture through one loader. The declared size arrives in
// "size-prepared", before the pixels are allocated; asking for a size of 0
// there makes the loader stop instead of allocating.
class Decoder {
 public:
  Decoder(const char* type, const std::string& name, const PictureDecodes& decodes)
      : name_(name), decodes_(decodes) {
    GError* error = nullptr;
    loader_ = gdk_pixbuf_loader_new_with_type(type, &error);
    if (!loader_) {
      std::string why = error ? error->message : "no loader";
      if (error) g_error_free(error);
      throw MarkletError(ErrorNumber::InvalidPicture, "Invalid picture: " + name + ": " + why);
    }
    g_signal_connect(loader_, "size-prepared", G_CALLBACK(&Decoder::SizePrepared), this);
    // The PNG loader takes a file that ends after its header as a picture
    // of whatever the missing rows hold; its rows arrive in order, so one
    // that never reached its last row was cut short.
    if (std::strcmp(type, "png") == 0) {
      checkRows_ = true;
      g_signal_connect(loader_, "area-updated", G_CALLBACK(&Decoder::AreaUpdated), this);
    }
  }
  Decoder(const Decoder&) = delete;
  Decoder& operator=(const Decoder&) = delete;
  ~Decoder() {
    if (!closed_) gdk_pixbuf_loader_close(loader_, nullptr);
    if (error_) g_error_free(error_);
    g_object_unref(loader_);
  }

  // Feeds the next bytes; false once the loader has stopped (refused or failed).
  bool Write(const unsigned char* data, std::size_t size) {
    if (failed_ || refusal_ != Refusal::None) return false;
    if (!gdk_pixbuf_loader_write(loader_, data, size, &error_)) failed_ = true;
    return !failed_ && refusal_ == Refusal::None;
  }

  // The decoded picture, or the error that says why there is none.
  PictureDecodes::Decoded Finish() {
    closed_ = true;
    bool closedWell = gdk_pixbuf_loader_close(loader_, failed_ || error_ ? nullptr : &error_);
    if (refusal_ == Refusal::Side) TooWide(name_);
    if (refusal_ == Refusal::Budget) OverBudget(name_, declaredWidth_, declaredHeight_, decodes_);
    GdkPixbuf* pixbuf = !failed_ && closedWell ? gdk_pixbuf_loader_get_pixbuf(loader_) : nullptr;
    if (!pixbuf) {
      if (error_ && error_->domain == GDK_PIXBUF_ERROR && error_->code == GDK_PIXBUF_ERROR_INSUFFICIENT_MEMORY) {
        throw MarkletError(7, "Out of memory: decoding " + name_ + ": " + error_->message);
      }
      throw MarkletError(ErrorNumber::InvalidPicture,
                         "Invalid picture: " + name_ + ": " + (error_ ? error_->message : "cannot be decoded"));
    }
    // A loader that never announced its size is held to the same limits.
    int width = gdk_pixbuf_get_width(pixbuf), height = gdk_pixbuf_get_height(pixbuf);
    if (checkRows_ && rowsReached_ < height) {
      throw MarkletError(ErrorNumber::InvalidPicture, "Invalid picture: " + name_ + " ends before its last row");
    }
    if (width > kMaxPicturePixels || height > kMaxPicturePixels) TooWide(name_);
    if (std::int64_t{width} * height > decodes_.remainingPixels()) OverBudget(name_, width, height, decodes_);
    g_object_ref(pixbuf);
    return {width, height, std::shared_ptr<void>(pixbuf, [](void* p) { g_object_unref(p); })};
  }

 private:
  enum class Refusal { None, Side, Budget };

  static void SizePrepared(GdkPixbufLoader* loader, int width, int height, gpointer data) {
    auto* self = static_cast<Decoder*>(data);
    self->declaredWidth_ = width;
    self->declaredHeight_ = height;
    if (width > kMaxPicturePixels || height > kMaxPicturePixels) {
      self->refusal_ = Refusal::Side;
    } else if (std::int64_t{width} * height > self->decodes_.remainingPixels()) {
      self->refusal_ = Refusal::Budget;
    }
    if (self->refusal_ != Refusal::None) gdk_pixbuf_loader_set_size(loader, 0, 0);
  }

  static void AreaUpdated(GdkPixbufLoader*, int, int y, int, int height, gpointer data) {
    auto* self = static_cast<Decoder*>(data);
    self->rowsReached_ = std::max(self->rowsReached_, y + height);
  }

  std::string name_;
  const PictureDecodes& decodes_;
  bool checkRows_ = false;
  int rowsReached_ = 0;
  GdkPixbufLoader* loader_ = nullptr;
  GError* error_ = nullptr;
  bool failed_ = false, closed_ = false;
  Refusal refusal_ = Refusal::None;
  int declaredWidth_ = 0, declaredHeight_ = 0;
};

// Takes a share of the decoded pixels (or none) into a new picture object.
Picture MakePicture(const PictureDecodes::Decoded& decoded, const std::u16string& path, Single tppX,
                    Single tppY, bool keepPixels) {
  auto picture = std::make_shared<PictureObject>();
  picture->widthHiMetric = CLng(static_cast<double>(decoded.width) * 2540.0 * tppX / 1440.0);
  picture->heightHiMetric = CLng(static_cast<double>(decoded.height) * 2540.0 * tppY / 1440.0);
  picture->path = path;
  if (keepPixels) picture->handle = decoded.pixels;
  return picture;
}

// Reads into `buffer` from the descriptor, again after an interruption; 0 at the end.
std::size_t ReadSome(int fd, std::vector<unsigned char>& buffer, std::size_t offset, const std::string& name) {
  for (;;) {
    ssize_t got = ::read(fd, buffer.data() + offset, buffer.size() - offset);
    if (got >= 0) return static_cast<std::size_t>(got);
    if (errno != EINTR) {
      throw MarkletError(75, "Path/File access error: cannot read " + name + " (" + std::strerror(errno) + ")");
    }
  }
}

PictureDecodes::Decoded DecodeDescriptor(int fd, const std::string& name, const PictureDecodes& decodes) {
  std::vector<unsigned char> buffer(64 * 1024);
  std::size_t have = 0;
  while (have < kSniffBytes) {
    std::size_t got = ReadSome(fd, buffer, have, name);
    if (got == 0) break;
    have += got;
  }
  const char* type = LoaderFor({buffer.data(), have});
  if (!type) NotAPicture(name);
  Decoder decoder(type, name, decodes);
  while (have > 0 && decoder.Write(buffer.data(), have)) have = ReadSome(fd, buffer, 0, name);
  return decoder.Finish();
}

}  // namespace

Picture LoadPictureFile(const std::u16string& path, Single tppX, Single tppY, bool keepPixels,
                        const std::string& root, PictureDecodes* decodes) {
  std::string file = U16ToUtf8(path);
  files::ReadableFile opened = files::OpenForReading(file, root);
  // A folder is not there as a picture; a pipe or a device could block or never end.
  if (S_ISDIR(opened.info.st_mode)) {
    throw MarkletError(ErrorNumber::FileNotFound, "File not found: '" + file + "' is a folder");
  }
  files::RequireRegular(opened, static_cast<int>(ErrorNumber::InvalidPicture));
  PictureDecodes own;
  PictureDecodes& budget = decodes ? *decodes : own;
  const struct stat& info = opened.info;
  PictureDecodes::Key key{info.st_dev, info.st_ino, info.st_size, info.st_mtim.tv_sec, info.st_mtim.tv_nsec};
  if (const PictureDecodes::Decoded* seen = budget.Find(key); seen && (seen->pixels || !keepPixels)) {
    budget.Reused();
    return MakePicture(*seen, path, tppX, tppY, keepPixels);
  }
  PictureDecodes::Decoded decoded = DecodeDescriptor(opened.fd.get(), "'" + file + "'", budget);
  budget.Charge(std::int64_t{decoded.width} * decoded.height);
  if (!keepPixels) decoded.pixels.reset();
  budget.Add(key, decoded);
  return MakePicture(decoded, path, tppX, tppY, keepPixels);
}

Picture DecodePictureData(std::span<const unsigned char> data, Single tppX, Single tppY,
                          bool keepPixels, const std::string& name, PictureDecodes* decodes) {
  PictureDecodes own;
  PictureDecodes& budget = decodes ? *decodes : own;
  const char* type = LoaderFor(data.first(std::min(data.size(), kSniffBytes)));
  if (!type) NotAPicture(name);
  Decoder decoder(type, name, budget);
  decoder.Write(data.data(), data.size());
  PictureDecodes::Decoded decoded = decoder.Finish();
  budget.Charge(std::int64_t{decoded.width} * decoded.height);
  return MakePicture(decoded, u"", tppX, tppY, keepPixels);
}

}  // namespace marklet
