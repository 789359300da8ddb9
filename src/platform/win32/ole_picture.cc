#include "platform/win32/win_api.h"

#include "platform/win32/ole_picture.h"

#include <cstdio>
#include <cstring>
#include <memory>

#include "host/error.h"

namespace marklet::win32 {

namespace {

// The handle a picture object made here keeps: the IPicture, tagged so a
// picture from elsewhere is never taken for one.
struct OlePicture {
  static constexpr unsigned kTag = 0x4F4C4550u;  // "OLEP"
  unsigned tag = kTag;
  IPicture* picture = nullptr;
  ~OlePicture() {
    if (picture) picture->Release();
  }
};

IPicture* PictureOf(const Picture& picture) {
  if (!picture || !picture->handle) return nullptr;
  auto* ole = static_cast<OlePicture*>(picture->handle.get());
  return ole->tag == OlePicture::kTag ? ole->picture : nullptr;
}

// Takes over one reference of `ipicture`.
Picture Wrap(IPicture* ipicture, const std::u16string& path) {
  auto ole = std::make_shared<OlePicture>();
  ole->picture = ipicture;
  OLE_XSIZE_HIMETRIC width = 0;
  OLE_YSIZE_HIMETRIC height = 0;
  ipicture->get_Width(&width);
  ipicture->get_Height(&height);
  auto object = std::make_shared<PictureObject>();
  object->widthHiMetric = width;
  object->heightHiMetric = height;
  object->path = path;
  object->handle = ole;
  return object;
}

// The picture objects need COM on the thread; a thread that has it already
// (in whatever model) keeps it.
void EnsureCom() {
  static thread_local bool initialised = false;
  if (initialised) return;
  HRESULT hr = ::OleInitialize(nullptr);
  initialised = SUCCEEDED(hr) || hr == RPC_E_CHANGED_MODE;
}

}  // namespace

Picture LoadPictureFile(const std::u16string& path) {
  EnsureCom();
  std::string shown = U16ToUtf8(path);
  wchar_t full[MAX_PATH * 4];
  DWORD n = path.empty() ? 0 : ::GetFullPathNameW(Wide(path), MAX_PATH * 4, full, nullptr);
  if (n == 0 || n >= MAX_PATH * 4) {
    throw MarkletError(ErrorNumber::FileNotFound, "File not found: '" + shown + "'");
  }
  DWORD attributes = ::GetFileAttributesW(full);
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
    throw MarkletError(ErrorNumber::FileNotFound, "File not found: '" + shown + "'");
  }
  IPicture* ipicture = nullptr;
  HRESULT hr = ::OleLoadPicturePath(full, nullptr, 0, 0, IID_IPicture, reinterpret_cast<void**>(&ipicture));
  if (FAILED(hr) || !ipicture) {
    char code[16];
    std::snprintf(code, sizeof code, "0x%08lX", static_cast<unsigned long>(hr));
    throw MarkletError(ErrorNumber::InvalidPicture, "Invalid picture: '" + shown + "' (" + code + ")");
  }
  return Wrap(ipicture, path);
}

Picture DecodePictureBytes(std::span<const unsigned char> bytes, const std::string& name) {
  EnsureCom();
  HGLOBAL memory = ::GlobalAlloc(GMEM_MOVEABLE, bytes.size());
  if (!memory) throw MarkletError(7, "Out of memory decoding " + name);
  if (void* p = ::GlobalLock(memory)) {
    std::memcpy(p, bytes.data(), bytes.size());
    ::GlobalUnlock(memory);
  }
  IStream* stream = nullptr;
  if (FAILED(::CreateStreamOnHGlobal(memory, TRUE, &stream))) {
    ::GlobalFree(memory);
    throw MarkletError(7, "Out of memory decoding " + name);
  }
  IPicture* ipicture = nullptr;
  HRESULT hr = ::OleLoadPicture(stream, static_cast<LONG>(bytes.size()), FALSE, IID_IPicture,
                                reinterpret_cast<void**>(&ipicture));
  stream->Release();
  if (FAILED(hr) || !ipicture) throw MarkletError(ErrorNumber::InvalidPicture, "Invalid picture: " + name);
  return Wrap(ipicture, u"");
}

SIZE PicturePixels(const Picture& picture, HDC dc) {
  SIZE size{0, 0};
  if (!picture) return size;
  size.cx = ::MulDiv(picture->widthHiMetric, ::GetDeviceCaps(dc, LOGPIXELSX), 2540);
  size.cy = ::MulDiv(picture->heightHiMetric, ::GetDeviceCaps(dc, LOGPIXELSY), 2540);
  return size;
}

void RenderPicture(HDC dc, const Picture& picture, int x, int y) {
  IPicture* ipicture = PictureOf(picture);
  if (!ipicture) return;
  SIZE size = PicturePixels(picture, dc);
  // HiMetric runs upwards: the source starts at the bottom with a negative height.
  ipicture->Render(dc, x, y, size.cx, size.cy, 0, picture->heightHiMetric, picture->widthHiMetric,
                   -picture->heightHiMetric, nullptr);
}

IPicture* PictureInterface(const Picture& picture) { return PictureOf(picture); }

Picture WrapPicture(IPicture* picture) {
  picture->AddRef();
  return Wrap(picture, u"");
}

}  // namespace marklet::win32
