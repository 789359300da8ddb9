// Pictures and surfaces under their budgets, with the files a hostile text
// can name (the fuzzers' picture folder): a picture repeated many times is
// decoded once, formats other than the five are refused by content, a
// lying header is refused before its pixels exist, and a text taller than
// the surface budget still draws.
#include <gdk-pixbuf/gdk-pixbuf.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>

#include "control/marklet.h"
#include "host/error.h"
#include "picture_sandbox.h"
#include "platform/pixbuf/picture_loader.h"
#include "platform/raster/picture_surface.h"
#include "platform/raster/raster_container.h"
#include "support/subprocess.h"

#if defined(__SANITIZE_ADDRESS__)
#define MARKLET_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define MARKLET_ASAN 1
#endif
#endif

namespace marklet::raster {
namespace {

namespace fs = std::filesystem;

class PictureBudget : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { folder_ = new std::string(fuzz::MakePictureSandbox()); }
  static void TearDownTestSuite() {
    fs::remove_all(*folder_);
    delete folder_;
  }
  static std::string At(const std::string& name) { return *folder_ + "/" + name; }

  // A 480-pixel-wide raster control; errors of its notifications are kept.
  void Make(bool autoSize = false) {
    c_ = std::make_unique<RasterContainer>();
    c_->rasterSurface().SetSize(480 * 15.0f, 160 * 15.0f);
    c_->onError = [this](const char*, int number, const std::string& description) {
      errors_.push_back({number, description});
    };
    c_->CreateControl();
    c_->control()->SetAutoSizeHeight(autoSize);
  }
  void Show(const std::string& text) {
    errors_.clear();
    try {
      c_->control()->SetText(Utf8ToU16(text));
    } catch (const MarkletError& e) {
      errors_.push_back({e.number(), e.what()});
    }
    c_->QueuePaint();
    c_->Pump();
  }
  std::pair<int, std::string> Load(const std::string& name) {
    try {
      LoadPictureFile(Utf8ToU16(At(name)), 15, 15, false);
      return {0, ""};
    } catch (const MarkletError& e) {
      return {e.number(), e.what()};
    }
  }

  static std::string* folder_;
  std::unique_ptr<RasterContainer> c_;
  std::vector<std::pair<int, std::string>> errors_;
};

std::string* PictureBudget::folder_ = nullptr;

std::string Repeat(const std::string& item, int times) {
  std::string text;
  for (int i = 0; i < times; ++i) text += item;
  return text;
}

TEST_F(PictureBudget, ARepeatedFileIsDecodedOnceAndCountedOnce) {
  Make();
  Show(Repeat("#i<" + At("full8k.png") + ">", 16));
  ASSERT_TRUE(errors_.empty()) << errors_[0].second;
  EXPECT_EQ(c_->control()->ImageCount(), 16);
  EXPECT_EQ(c_->pictureDecodes().decodedPixels(), 8192 * 8192);
  EXPECT_EQ(c_->pictureDecodes().cacheHits(), 15);
  // The sixteen pictures share their pixels and one drawing surface.
  cairo_surface_destroy(c_->Compose());
  EXPECT_EQ(PictureSurfaceCount(), 1u);
  // Of an 8192 x 8192 picture on a 480 x 160 control, only what can show is converted.
  const Picture& shown = c_->rasterImages().images()[0].picture;
  ASSERT_TRUE(shown);
  EXPECT_LE(cairo_image_surface_get_width(PictureSurface(shown, 480, 160)), 480);
  EXPECT_LE(cairo_image_surface_get_height(PictureSurface(shown, 480, 160)), 160);

  // Each parse starts with the whole budget and an empty cache again.
  Show("#i<" + At("dot.png") + ">");
  ASSERT_TRUE(errors_.empty()) << errors_[0].second;
  EXPECT_EQ(c_->pictureDecodes().decodedPixels(), 16 * 8);
  EXPECT_EQ(c_->pictureDecodes().cacheHits(), 0);
}

TEST_F(PictureBudget, AFileIsKnownByItsInodeAndEachDistinctFileIsCharged) {
  PictureDecodes decodes(200);  // room for one 16 x 8 picture
  auto load = [&](const char* name) { return LoadPictureFile(Utf8ToU16(At(name)), 15, 15, true, {}, &decodes); };
  Picture first = load("dot.png");
  Picture linked = load("dot-link.png");  // a hard link: the same file
  EXPECT_EQ(decodes.cacheHits(), 1);
  EXPECT_EQ(decodes.decodedPixels(), 128);
  EXPECT_EQ(first->handle, linked->handle);
  EXPECT_EQ(linked->path, Utf8ToU16(At("dot-link.png")));
  try {
    load("dot-copy.png");  // the same bytes in another file
    ADD_FAILURE() << "a second file passed the budget";
  } catch (const MarkletError& e) {
    EXPECT_EQ(e.number(), 7);
    EXPECT_NE(std::string(e.what()).find("dot-copy.png"), std::string::npos) << e.what();
    EXPECT_NE(std::string(e.what()).find("72 pixels left"), std::string::npos) << e.what();
  }
  EXPECT_EQ(decodes.decodedPixels(), 128);
  // A file written again within the parse is decoded again.
  PictureDecodes roomy;
  std::string rewritten = At("rewritten.png");
  fs::copy_file(At("dot.png"), rewritten, fs::copy_options::overwrite_existing);
  EXPECT_EQ(LoadPictureFile(Utf8ToU16(rewritten), 15, 15, false, {}, &roomy)->widthHiMetric, 423);
  std::ifstream gif(At("pixel.gif"), std::ios::binary);
  std::ofstream(rewritten, std::ios::binary | std::ios::trunc) << gif.rdbuf();
  EXPECT_EQ(LoadPictureFile(Utf8ToU16(rewritten), 15, 15, false, {}, &roomy)->widthHiMetric, 53);
  EXPECT_EQ(roomy.cacheHits(), 0);
  fs::remove(rewritten);
}

TEST_F(PictureBudget, OnlyTheFiveFormatsAreReadAndByContent) {
  // 16 x 8 pixels are 423 x 212 HiMetric at 15 twips a pixel; 2 x 3 are 53 x 79.
  for (auto [name, w, h] : {std::tuple{"dot.png", 423, 212}, {"dot.jpg", 423, 212}, {"dot.bmp", 423, 212},
                            {"dot.ico", 423, 212}, {"dot.cur", 423, 212}, {"pixel.gif", 53, 79}}) {
    SCOPED_TRACE(name);
    Picture p = LoadPictureFile(Utf8ToU16(At(name)), 15, 15, false);
    EXPECT_EQ(p->widthHiMetric, w);
    EXPECT_EQ(p->heightHiMetric, h);
  }
  for (const char* name : {"big.svg", "turb.svg", "svg.png", "not-a-picture.png", "empty.png"}) {
    auto [number, message] = Load(name);
    EXPECT_EQ(number, 481) << name;
    EXPECT_NE(message.find(name), std::string::npos) << message;
    EXPECT_NE(message.find("is not a BMP, GIF, JPEG, ICO/CUR or PNG picture"), std::string::npos) << message;
  }
  std::ifstream in(At("big.svg"), std::ios::binary);
  std::string svg(std::istreambuf_iterator<char>(in), {});
  try {
    DecodePictureData({reinterpret_cast<const unsigned char*>(svg.data()), svg.size()}, 15, 15, false, "the form's picture");
    ADD_FAILURE() << "an SVG held in memory was decoded";
  } catch (const MarkletError& e) {
    EXPECT_EQ(e.number(), 481);
  }
  // Cut short, a PNG or GIF is refused rather than shown half drawn.
  for (const char* name : {"dot-cut.png", "dot-cut.gif", "full8k-cut.png"}) {
    EXPECT_EQ(Load(name).first, 481) << name;
  }
}

TEST_F(PictureBudget, LyingHeadersAreRefusedBeforeTheirPixelsExist) {
  PictureDecodes decodes;
  for (const char* name : {"claim16k.png", "liar.bmp", "liar.gif"}) {
    try {
      LoadPictureFile(Utf8ToU16(At(name)), 15, 15, true, {}, &decodes);
      ADD_FAILURE() << name << " was accepted";
    } catch (const MarkletError& e) {
      EXPECT_EQ(e.number(), 7) << name;
      EXPECT_NE(std::string(e.what()).find(name), std::string::npos) << e.what();
      EXPECT_NE(std::string(e.what()).find("past the 64 Mpx"), std::string::npos) << e.what();
    }
  }
  EXPECT_EQ(decodes.decodedPixels(), 0);
  EXPECT_EQ(Load("huge.png").first, 481);
  EXPECT_NE(Load("liar.jpg").first, 0);
  EXPECT_NE(Load("liar.ico").first, 0);
#ifndef MARKLET_ASAN
  // Under 64 MB of address space, which one 16384 x 16384 picture would
  // need sixteen times over, the refusal still comes from the header.
  pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    rlimit cap{64u << 20, 64u << 20};
    rlimit now{};
    ::getrlimit(RLIMIT_AS, &now);
    ::setrlimit(RLIMIT_AS, &cap);
    ::_exit(Load("claim16k.png").first == 7 ? 0 : 1);
  }
  int status = 0;
  ::waitpid(child, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "status " << status;
#endif
}

TEST_F(PictureBudget, APictureSurfaceThatCannotBeMadeIsAnError) {
  // Wider than any Cairo image may be.
  GdkPixbuf* wide = gdk_pixbuf_new(GDK_COLORSPACE_RGB, FALSE, 8, kMaxSurfaceSide + 1, 1);
  ASSERT_NE(wide, nullptr);
  auto picture = std::make_shared<PictureObject>();
  picture->path = u"wide.png";
  picture->handle = std::shared_ptr<void>(wide, [](void* p) { g_object_unref(p); });
  try {
    PictureSurface(picture);
    ADD_FAILURE() << "a surface too wide for Cairo was handed out";
  } catch (const MarkletError& e) {
    EXPECT_EQ(e.number(), 7);
    EXPECT_NE(std::string(e.what()).find("wide.png"), std::string::npos) << e.what();
  }
}

TEST_F(PictureBudget, ATallTextDrawsAndIsHeldAtTheSurfaceBudget) {
  Make(true);
  std::string lines;
  for (int i = 0; i < 1300; ++i) lines += "line " + std::to_string(i) + "\\n";
  Show(lines);
  ASSERT_TRUE(errors_.empty()) << errors_[0].second;
  EXPECT_GT(c_->rasterSurface().PixelHeight(), 16384);
  EXPECT_FALSE(c_->rasterSurface().heightHold());

  Show(lines + lines + lines);
  ASSERT_TRUE(errors_.empty()) << errors_[0].second;
  EXPECT_EQ(c_->rasterSurface().PixelHeight(), kMaxSurfaceSide);
  ASSERT_TRUE(c_->rasterSurface().heightHold());
  EXPECT_GT(c_->rasterSurface().heightHold()->asked, kMaxSurfaceSide);

  // A wider surface reaches the pixel budget before the side limit.
  c_->rasterSurface().SetSize(4096 * 15.0f, 100 * 15.0f);
  Show(lines + lines + lines);
  EXPECT_EQ(c_->rasterSurface().PixelHeight(), MaxSurfaceHeight(4096));
  EXPECT_EQ(MaxSurfaceHeight(4096), 16384);
  // Back under the budget, nothing is held.
  Show("one line");
  EXPECT_FALSE(c_->rasterSurface().heightHold());
  EXPECT_THROW(c_->rasterSurface().SetSize((kMaxSurfaceSide + 1) * 15.0f, 15.0f), MarkletError);
}

TEST(RenderCommandBudget, ATallTextIsWrittenWithAWarning) {
  fs::path dir = fs::temp_directory_path() / ("marklet-tall-" + std::to_string(::getpid()));
  fs::create_directories(dir);
  std::string lines;
  for (int i = 0; i < 4000; ++i) lines += "line " + std::to_string(i) + "\\n";
  std::ofstream(dir / "tall.txt") << lines;
  std::string png = (dir / "tall.png").string(), err = (dir / "err.txt").string();
  std::string command = std::string("'") + MARKLET_TOOL + "' render --file '" + (dir / "tall.txt").string() +
                        "' -o '" + png + "' 2>'" + err + "' >/dev/null";
  EXPECT_EQ(marklet::testing::RunCommand({"/bin/sh", "-c", command}), 0);
  std::ifstream in(err);
  std::string warning(std::istreambuf_iterator<char>(in), {});
  EXPECT_NE(warning.find("warning"), std::string::npos) << warning;
  EXPECT_NE(warning.find("64 Mpx"), std::string::npos) << warning;
  GdkPixbuf* written = gdk_pixbuf_new_from_file(png.c_str(), nullptr);
  ASSERT_NE(written, nullptr);
  EXPECT_EQ(gdk_pixbuf_get_height(written), kMaxSurfaceSide);
  g_object_unref(written);
  fs::remove_all(dir);
}

}  // namespace
}  // namespace marklet::raster
