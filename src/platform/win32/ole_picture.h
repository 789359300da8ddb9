// Pictures through the OLE picture objects: files with OleLoadPicturePath,
// image bytes held in memory with OleLoadPicture, drawn with IPicture::Render.
// Sizes are the picture object's own HiMetric sizes.
#pragma once

#include <span>
#include <string>

#include "host/values.h"
#include "platform/win32/win_api.h"

namespace marklet::win32 {

// Loads a picture file; a relative name resolves against the current folder.
// Error 53 for a missing file or a folder, 481 for one the picture objects
// cannot decode; the message names the file.
Picture LoadPictureFile(const std::u16string& path);

// Decodes an image file's bytes (a form's picture). Error 481 when they are not
// a picture; `name` is what the message calls them.
Picture DecodePictureBytes(std::span<const unsigned char> bytes, const std::string& name);

// The picture object behind a picture made here (no reference added), or
// null for none or one made by another host.
IPicture* PictureInterface(const Picture& picture);

// A picture over an existing picture object (a reference is added).
Picture WrapPicture(IPicture* picture);

// The picture's size in pixels of the given device (HiMetric -> pixels).
SIZE PicturePixels(const Picture& picture, HDC dc);

// Draws the picture at its own size with its top left at (x, y). Pictures
// made by another host draw nothing.
void RenderPicture(HDC dc, const Picture& picture, int x, int y);

}  // namespace marklet::win32
