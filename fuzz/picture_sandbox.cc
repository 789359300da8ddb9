#include "picture_sandbox.h"

#include <gdk-pixbuf/gdk-pixbuf.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string_view>
#include <vector>

namespace marklet::fuzz {

namespace {

[[noreturn]] void Broken(const char* what) {
  std::fprintf(stderr, "picture sandbox: %s\n", what);
  std::abort();
}

void Write(const std::string& path, std::string_view bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!out) Broken("cannot write a file");
}

std::string BigEndian(std::uint32_t v) {
  return {static_cast<char>(v >> 24), static_cast<char>(v >> 16), static_cast<char>(v >> 8), static_cast<char>(v)};
}

std::string LittleEndian16(unsigned v) { return {static_cast<char>(v & 0xFF), static_cast<char>(v >> 8)}; }

std::string Chunk(const std::string& type, const std::string& data) {
  std::string typed = type + data;
  auto crc = static_cast<std::uint32_t>(
      crc32(0, reinterpret_cast<const Bytef*>(typed.data()), static_cast<uInt>(typed.size())));
  return BigEndian(static_cast<std::uint32_t>(data.size())) + typed + BigEndian(crc);
}

// The signature and header of a PNG, 8-bit RGB unless a 1-bit grey one is asked for.
std::string PngHead(std::uint32_t width, std::uint32_t height, bool grey1 = false) {
  return std::string("\x89PNG\r\n\x1a\n", 8) +
         Chunk("IHDR", BigEndian(width) + BigEndian(height) +
                           (grey1 ? std::string("\x01\x00\x00\x00\x00", 5) : std::string("\x08\x02\x00\x00\x00", 5)));
}

// A whole PNG of black pixels, 1 bit each (it still decodes to 8-bit RGB),
// deflated row by row so the rows are never held at once.
std::string ZeroPng(std::uint32_t width, std::uint32_t height) {
  z_stream z{};
  if (deflateInit(&z, Z_BEST_COMPRESSION) != Z_OK) Broken("no deflate");
  std::vector<unsigned char> row(1 + (static_cast<std::size_t>(width) + 7) / 8, 0);
  std::string packed;
  std::vector<unsigned char> out(1 << 16);
  for (std::uint32_t y = 0; y <= height; ++y) {
    bool last = y == height;
    z.next_in = row.data();
    z.avail_in = last ? 0 : static_cast<uInt>(row.size());
    do {
      z.next_out = out.data();
      z.avail_out = static_cast<uInt>(out.size());
      deflate(&z, last ? Z_FINISH : Z_NO_FLUSH);
      packed.append(reinterpret_cast<const char*>(out.data()), out.size() - z.avail_out);
    } while (z.avail_out == 0);
  }
  deflateEnd(&z);
  return PngHead(width, height, true) + Chunk("IDAT", packed) + Chunk("IEND", "");
}

// A 16 x 8 gradient saved by gdk-pixbuf (with alpha where the format keeps it).
std::string Saved(const char* type) {
  bool alpha = std::string_view(type) == "png" || std::string_view(type) == "ico";
  int channels = alpha ? 4 : 3;
  GdkPixbuf* pixbuf = gdk_pixbuf_new(GDK_COLORSPACE_RGB, alpha, 8, 16, 8);
  if (!pixbuf) Broken("no pixbuf");
  guchar* pixels = gdk_pixbuf_get_pixels(pixbuf);
  int stride = gdk_pixbuf_get_rowstride(pixbuf);
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 16; ++x) {
      guchar* p = pixels + y * stride + x * channels;
      p[0] = static_cast<guchar>(x * 16), p[1] = static_cast<guchar>(y * 32), p[2] = 0x80;
      if (alpha) p[3] = static_cast<guchar>(0xFF - x * 8);
    }
  gchar* buffer = nullptr;
  gsize size = 0;
  GError* error = nullptr;
  if (!gdk_pixbuf_save_to_buffer(pixbuf, &buffer, &size, type, &error, nullptr)) {
    std::fprintf(stderr, "picture sandbox: cannot save %s: %s\n", type, error ? error->message : "?");
    std::abort();
  }
  std::string bytes(buffer, size);
  g_free(buffer);
  g_object_unref(pixbuf);
  return bytes;
}

// A GIF whose logical screen is `sw` x `sh` with one `fw` x `fh` frame.
std::string Gif(unsigned sw, unsigned sh, unsigned fw, unsigned fh) {
  return "GIF89a" + LittleEndian16(sw) + LittleEndian16(sh) + std::string("\x80\x00\x00", 3) +
         std::string("\x00\x00\x00\xff\xff\xff", 6) + "," + LittleEndian16(0) + LittleEndian16(0) +
         LittleEndian16(fw) + LittleEndian16(fh) + std::string("\x00\x02\x02\x44\x01\x00;", 7);
}

void PutLittle32(std::string& bytes, std::size_t at, std::uint32_t v) {
  for (int k = 0; k < 4; ++k) bytes[at + k] = static_cast<char>(v >> (8 * k));
}

}  // namespace

std::string MakePictureSandbox() {
  const char* tmp = std::getenv("TMPDIR");
  std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/marklet-pictures-XXXXXX";
  std::vector<char> name(pattern.begin(), pattern.end());
  name.push_back('\0');
  if (!::mkdtemp(name.data())) Broken("cannot make a temporary folder");
  std::string folder = name.data();
  auto at = [&](const char* file) { return folder + "/" + file; };

  std::string png = Saved("png"), jpg = Saved("jpeg"), bmp = Saved("bmp"), ico = Saved("ico");
  std::string gif = Gif(2, 3, 2, 3);
  Write(at("dot.png"), png);
  Write(at("dot-copy.png"), png);
  if (::link(at("dot.png").c_str(), at("dot-link.png").c_str()) != 0) Broken("cannot link");
  Write(at("pixel.gif"), gif);
  Write(at("dot.jpg"), jpg);
  Write(at("dot.bmp"), bmp);
  Write(at("dot.ico"), ico);
  std::string cur = ico;
  cur[2] = 2;  // the resource type: a cursor
  Write(at("dot.cur"), cur);
  std::string full = ZeroPng(8192, 8192);
  Write(at("full8k.png"), full);
  Write(at("full8k-copy.png"), full);
  if (::link(at("full8k.png").c_str(), at("full8k-link.png").c_str()) != 0) Broken("cannot link");

  Write(at("huge.png"), PngHead(20000, 20000) + Chunk("IDAT", ""));
  Write(at("claim16k.png"), PngHead(16384, 16384) + Chunk("IDAT", "") + Chunk("IEND", ""));
  std::string liarBmp = bmp.substr(0, 54) + std::string(64, '\0');
  PutLittle32(liarBmp, 18, 16000);
  PutLittle32(liarBmp, 22, 16000);
  Write(at("liar.bmp"), liarBmp);
  Write(at("liar.gif"), Gif(16000, 16000, 1, 1));
  std::string liarJpg = jpg;
  for (std::size_t i = 0; i + 9 < liarJpg.size(); ++i) {
    if (static_cast<unsigned char>(liarJpg[i]) == 0xFF && static_cast<unsigned char>(liarJpg[i + 1]) == 0xC0) {
      liarJpg[i + 5] = 0x3E, liarJpg[i + 6] = static_cast<char>(0x80);  // height 16000
      liarJpg[i + 7] = 0x3E, liarJpg[i + 8] = static_cast<char>(0x80);  // width 16000
      break;
    }
  }
  Write(at("liar.jpg"), liarJpg);
  std::string liarIco = ico;
  PutLittle32(liarIco, 6 + 16 + 4, 30000);
  PutLittle32(liarIco, 6 + 16 + 8, 60000);
  Write(at("liar.ico"), liarIco);

  Write(at("dot-cut.png"), png.substr(0, png.size() / 2));
  Write(at("dot-cut.jpg"), jpg.substr(0, jpg.size() / 2));
  Write(at("dot-cut.bmp"), bmp.substr(0, bmp.size() / 2));
  Write(at("dot-cut.gif"), gif.substr(0, gif.size() - 6));
  Write(at("full8k-cut.png"), full.substr(0, full.size() / 3));

  const char* svg =
      "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"16384\" height=\"16384\">"
      "<rect width=\"100%\" height=\"100%\" fill=\"red\"/></svg>\n";
  Write(at("big.svg"), svg);
  Write(at("svg.png"), svg);
  Write(at("turb.svg"),
        "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"8192\" height=\"8192\"><filter id=\"f\">"
        "<feTurbulence baseFrequency=\"0.05\" numOctaves=\"8\"/></filter>"
        "<rect width=\"100%\" height=\"100%\" filter=\"url(#f)\"/></svg>\n");
  Write(at("not-a-picture.png"), "This file is text, not a picture.\n");
  Write(at("empty.png"), "");
  if (::mkfifo(at("pipe.png").c_str(), 0600) != 0) Broken("cannot make a FIFO");
  if (::mkdir(at("folder.png").c_str(), 0700) != 0) Broken("cannot make a folder");
  return folder;
}

}  // namespace marklet::fuzz
