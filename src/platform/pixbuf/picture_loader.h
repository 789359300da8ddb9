// Picture files through gdk-pixbuf: any format it decodes.
#pragma once

#include <span>
#include <string>

#include "host/values.h"

namespace marklet {

// Pictures larger than this on a side are refused instead of allocated.
constexpr int kMaxPicturePixels = 16384;

// Loads and decodes a picture file. With a non-empty `root`, the file must
// lie inside that folder (error 53 otherwise). Its HiMetric size is
// round(pixels x 2540 x tpp / 1440) each way. Errors: 53 for a missing file
// or a folder, 70 for one that may not be read, 481 for one that is not a
// regular file, not a decodable picture or larger than kMaxPicturePixels on a
// side (refused from its declared size, before any pixel is allocated); the
// message names the file. With keepPixels the decoded GdkPixbuf is kept
// in the picture's handle.
Picture LoadPictureFile(const std::u16string& path, Single tppX, Single tppY, bool keepPixels,
                        const std::string& root = {});

// Decodes an image file's bytes held in memory (a form's picture), with the
// same size rule and limits. Error 481 when they are not a decodable picture;
// `name` is what the message calls them.
Picture DecodePictureData(std::span<const unsigned char> data, Single tppX, Single tppY,
                          bool keepPixels, const std::string& name);

}  // namespace marklet
