// Picture files through gdk-pixbuf: BMP, GIF, JPEG, ICO/CUR and PNG, told
// apart by their first bytes, decoded under a side limit and a pixel budget.
#pragma once

#include <sys/types.h>

#include <compare>
#include <cstdint>
#include <map>
#include <memory>
#include <span>
#include <string>

#include "host/values.h"

namespace marklet {

// Pictures larger than this on a side are refused instead of allocated.
constexpr int kMaxPicturePixels = 16384;

// The pixels the pictures of one text may decode in all, each distinct file
// counted once: 8192 x 8192.
constexpr std::int64_t kPictureBudgetPixels = std::int64_t{64} << 20;

// What a parse has decoded so far: each file once (known by device, inode,
// size and modification time, so an edited file is decoded again), and the
// pixels that took out of the budget. A host keeps one and resets it when a
// parse starts.
class PictureDecodes {
 public:
  explicit PictureDecodes(std::int64_t budgetPixels = kPictureBudgetPixels) : budget_(budgetPixels) {}

  // Forgets every file and gives the whole budget back.
  void Reset();

  std::int64_t budgetPixels() const { return budget_; }
  std::int64_t decodedPixels() const { return decoded_; }
  std::int64_t remainingPixels() const { return budget_ - decoded_; }
  // Pictures handed out again without decoding.
  int cacheHits() const { return hits_; }

  // The decoder's side of it (picture_loader.cc).
  struct Key {
    dev_t device;
    ino_t inode;
    off_t size;
    std::int64_t seconds;
    long nanoseconds;
    auto operator<=>(const Key&) const = default;
  };
  struct Decoded {
    int width = 0, height = 0;
    std::shared_ptr<void> pixels;  // the GdkPixbuf; null when the host keeps none
  };
  const Decoded* Find(const Key& key) const;
  void Reused() { ++hits_; }
  void Add(const Key& key, Decoded decoded);
  void Charge(std::int64_t pixels) { decoded_ += pixels; }

 private:
  std::int64_t budget_;
  std::int64_t decoded_ = 0;
  int hits_ = 0;
  std::map<Key, Decoded> files_;
};

// Loads and decodes a picture file. With a non-empty `root`, the file must
// lie inside that folder (error 53 otherwise). The file is opened once and
// decoded from that descriptor; with `decodes`, a file already decoded in it
// is handed out again and a new one is charged to its budget (without, the
// picture has a budget of its own). Its HiMetric size is
// round(pixels x 2540 x tpp / 1440) each way. Errors, each naming the file:
// 53 for a missing file or a folder, 70 for one that may not be read, 481 for
// one that is not a regular file, not one of the five formats, not decodable
// or larger than kMaxPicturePixels on a side, 7 for one whose pixels would
// pass the budget. Sizes are refused from the declared size, before any pixel
// is allocated. With keepPixels the decoded GdkPixbuf is kept in the
// picture's handle.
Picture LoadPictureFile(const std::u16string& path, Single tppX, Single tppY, bool keepPixels,
                        const std::string& root = {}, PictureDecodes* decodes = nullptr);

// Decodes an image file's bytes held in memory (a form's picture), with the
// same formats, size rule and limits; `name` is what messages call them.
Picture DecodePictureData(std::span<const unsigned char> data, Single tppX, Single tppY,
                          bool keepPixels, const std::string& name, PictureDecodes* decodes = nullptr);

}  // namespace marklet
