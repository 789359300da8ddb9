// Picture files a text may name that are not what they claim: each is refused
// with an error that says why, nothing large is allocated, nothing blocks,
// and the control keeps working.
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>

#include <gtest/gtest.h>

#include "host/error.h"
#include "markup/trace_host.h"
#include "platform/pixbuf/picture_loader.h"

namespace marklet {
namespace {

namespace fs = std::filesystem;

std::uint32_t Crc32(const std::string& bytes) {
  std::uint32_t crc = 0xFFFFFFFFu;
  for (unsigned char b : bytes) {
    crc ^= b;
    for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
  }
  return ~crc;
}

std::string BigEndian(std::uint32_t v) {
  return {static_cast<char>(v >> 24), static_cast<char>(v >> 16), static_cast<char>(v >> 8), static_cast<char>(v)};
}

std::string Chunk(const std::string& type, const std::string& data) {
  return BigEndian(static_cast<std::uint32_t>(data.size())) + type + data + BigEndian(Crc32(type + data));
}

// A PNG signature, a well-formed header chunk declaring the size and the
// start of the pixel data (an empty data chunk, where decoders learn the
// size): what a hostile file needs to claim any size in 45 bytes.
std::string PngHeader(std::uint32_t width, std::uint32_t height) {
  return std::string("\x89PNG\r\n\x1a\n", 8) +
         Chunk("IHDR", BigEndian(width) + BigEndian(height) + std::string("\x08\x02\x00\x00\x00", 5)) +
         Chunk("IDAT", "");
}

std::string ReadFixture(const char* name) {
  std::ifstream in(std::string(MARKLET_FIXTURE_DIR) + "/" + name, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

class HostilePictures : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "marklet-pictures-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    folder_ = pattern;
    ::chmod(folder_.c_str(), 0755);
  }
  void TearDown() override { fs::remove_all(folder_); }

  std::string Write(const std::string& name, const std::string& bytes) {
    std::string path = (folder_ / name).string();
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
  }

  // The error number and message of loading `path`; 0 when it loads.
  std::pair<int, std::string> Load(const std::string& path) {
    try {
      LoadPictureFile(Utf8ToU16(path), 15, 15, false);
      return {0, ""};
    } catch (const MarkletError& e) {
      return {e.number(), e.what()};
    }
  }

  fs::path folder_;
};

TEST_F(HostilePictures, EachKindIsRefusedWithItsOwnError) {
  std::string png = ReadFixture("dot16x8.png");
  ASSERT_GT(png.size(), 40u);
  EXPECT_EQ(Load(Write("whole.png", png)).first, 0);
  EXPECT_EQ(Load((folder_ / "missing.png").string()).first, 53);
  EXPECT_EQ(Load(folder_.string()).first, 53);  // a folder
  auto truncated = Load(Write("truncated.png", png.substr(0, 40)));
  EXPECT_EQ(truncated.first, 481);
  EXPECT_NE(truncated.second.find("truncated.png"), std::string::npos);
  EXPECT_EQ(Load(Write("prose.png", "This file is text, not a picture.\n")).first, 481);
  EXPECT_EQ(Load(Write("empty.png", "")).first, 481);
  EXPECT_EQ(Load(Write("header-only.png", PngHeader(16, 8))).first, 481);
}

TEST_F(HostilePictures, HugeDeclaredSizesAreRefusedBeforeDecoding) {
  auto start = std::chrono::steady_clock::now();
  for (auto [w, h] : {std::pair{20000u, 20000u}, {16385u, 1u}, {1u, 16385u}}) {
    auto [number, message] = Load(Write("huge.png", PngHeader(w, h)));
    EXPECT_EQ(number, 481) << w << "x" << h;
    EXPECT_NE(message.find("larger than 16384 pixels on a side"), std::string::npos) << message;
  }
  // The decoder itself refuses the largest sizes a header can state.
  EXPECT_EQ(Load(Write("huger.png", PngHeader(0x7FFFFFFFu, 0x7FFFFFFFu))).first, 481);
  // At the limit the size is accepted, and only the missing pixels fail.
  auto [number, message] = Load(Write("edge.png", PngHeader(16384, 1)));
  EXPECT_EQ(number, 481);
  EXPECT_EQ(message.find("larger than"), std::string::npos) << message;
  // Nothing was allocated or decoded: a gigapixel would take far longer.
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
}

TEST_F(HostilePictures, PicturesHeldInMemoryObeyTheSameLimit) {
  std::string huge = PngHeader(20000, 20000);
  try {
    DecodePictureData({reinterpret_cast<const unsigned char*>(huge.data()), huge.size()}, 15, 15, false, "the form's picture");
    ADD_FAILURE() << "a 20000 x 20000 picture was accepted";
  } catch (const MarkletError& e) {
    EXPECT_EQ(e.number(), 481);
    EXPECT_NE(std::string(e.what()).find("larger than 16384"), std::string::npos) << e.what();
  }
}

TEST_F(HostilePictures, PipesAreNeverOpened) {
  // Reading a pipe nobody writes to would block for ever.
  std::string fifo = (folder_ / "pipe.png").string();
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0644), 0);
  auto [number, message] = Load(fifo);
  EXPECT_EQ(number, 481);
  EXPECT_NE(message.find("not a regular file"), std::string::npos) << message;
}

TEST_F(HostilePictures, AnUnreadableFileIsAPermissionError) {
  std::string path = Write("locked.png", ReadFixture("dot16x8.png"));
  ASSERT_EQ(::chmod(path.c_str(), 0), 0);
  if (::geteuid() == 0) {
    // The superuser reads any file; a child that gives up its rights does not.
    pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      if (::setgid(65534) != 0 || ::setuid(65534) != 0) ::_exit(77);
      ::_exit(Load(path).first == 70 ? 0 : 1);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    if (WEXITSTATUS(status) == 77) GTEST_SKIP() << "running as root and cannot drop to an unprivileged user";
    EXPECT_EQ(WEXITSTATUS(status), 0) << "an unreadable file did not give error 70";
    return;
  }
  EXPECT_EQ(Load(path).first, 70);
}

TEST_F(HostilePictures, AFailedPictureEndsTheParseAndTheNextTextDraws) {
  testing::TraceHost host;
  Marklet& c = host.control();
  std::string huge = Write("huge.png", PngHeader(20000, 20000));
  std::string good = Write("good.png", ReadFixture("dot16x8.png"));
  for (const std::string& bad : {huge, Write("text.png", "not a picture"), (folder_ / "none.png").string()}) {
    try {
      c.SetText(u"before #i<" + Utf8ToU16(bad) + u"> after");
      ADD_FAILURE() << bad << " was accepted";
    } catch (const MarkletError& e) {
      EXPECT_TRUE(e.number() == 481 || e.number() == 53) << e.number();
    }
    EXPECT_FALSE(c.LayoutReady());
    c.SetText(u"text #i<" + Utf8ToU16(good) + u">");
    EXPECT_TRUE(c.LayoutReady());
    EXPECT_EQ(c.ImageCount(), 1);
  }
}

}  // namespace
}  // namespace marklet
