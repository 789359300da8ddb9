#include "fuzz_entries.h"

#include <ftw.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <memory>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <sstream>
#include <string_view>
#include <vector>

#include "control/marklet.h"
#include "host/error.h"
#include "picture_sandbox.h"
#include "platform/bag/bag_syntax.h"
#include "platform/raster/raster_container.h"
#include "platform/trace/bag_file.h"
#include "platform/trace/script_runner.h"
#include "platform/trace/trace_container.h"

namespace marklet::fuzz {

namespace {

[[noreturn]] void Broken(const char* what) {
  std::fprintf(stderr, "fuzz invariant broken: %s\n", what);
  std::abort();
}

void Require(bool condition, const char* what) {
  if (!condition) Broken(what);
}

// ---- The folder a run may touch ----

// A 16 x 8 PNG and a 2 x 3 GIF, the smallest real pictures the tests use.
const unsigned char kPng[] = {
    0x89, 0x50, 0x4e, 0x47, 0x0d, 0x0a, 0x1a, 0x0a, 0x00, 0x00, 0x00, 0x0d, 0x49, 0x48, 0x44,
    0x52, 0x00, 0x00, 0x00, 0x10, 0x00, 0x00, 0x00, 0x08, 0x08, 0x02, 0x00, 0x00, 0x00, 0x7f,
    0x14, 0xe8, 0xc0, 0x00, 0x00, 0x00, 0x13, 0x49, 0x44, 0x41, 0x54, 0x78, 0xda, 0x63, 0x38,
    0xa1, 0xa1, 0x41, 0x12, 0x62, 0x18, 0xd5, 0x40, 0x0b, 0x0d, 0x00, 0x87, 0xcd, 0x8c, 0x01,
    0xa1, 0x78, 0x34, 0x71, 0x00, 0x00, 0x00, 0x00, 0x49, 0x45, 0x4e, 0x44, 0xae, 0x42, 0x60,
    0x82};
const unsigned char kGif[] = {0x47, 0x49, 0x46, 0x38, 0x39, 0x61, 0x02, 0x00, 0x03, 0x00, 0xf0,
                              0x00, 0x00, 0x30, 0x60, 0xc0, 0x00, 0x00, 0x00, 0x21, 0xf9, 0x04,
                              0x00, 0x00, 0x00, 0x00, 0x00, 0x2c, 0x00, 0x00, 0x00, 0x00, 0x02,
                              0x00, 0x03, 0x00, 0x00, 0x02, 0x02, 0x84, 0x5f, 0x00, 0x3b};

void WriteFile(const std::string& path, std::string_view bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!out) Broken("cannot write the run folder's files");
}

// A fresh folder under $TMPDIR holding the pictures inputs name: dot.png,
// pixel.gif, persist/pixel.gif (as the tests' files are called), a text
// file named like a picture and a PNG header declaring 20000 x 20000.
std::string MakeRunFolder() {
  const char* tmp = std::getenv("TMPDIR");
  std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/marklet-fuzz-XXXXXX";
  std::vector<char> name(pattern.begin(), pattern.end());
  name.push_back('\0');
  if (!::mkdtemp(name.data())) Broken("cannot make a temporary folder");
  std::string folder = name.data();
  std::string_view png(reinterpret_cast<const char*>(kPng), sizeof kPng);
  std::string_view gif(reinterpret_cast<const char*>(kGif), sizeof kGif);
  WriteFile(folder + "/dot.png", png);
  WriteFile(folder + "/dot16x8.png", png);
  WriteFile(folder + "/pixel.gif", gif);
  WriteFile(folder + "/not-a-picture.png", "This file is text, not a picture.\n");
  std::string huge(png.substr(0, 24));
  huge[18] = 0x4e, huge[19] = 0x20, huge[22] = 0x4e, huge[23] = 0x20;  // 20000 x 20000
  WriteFile(folder + "/huge.png", huge);
  if (::mkdir((folder + "/persist").c_str(), 0700) != 0) Broken("cannot make a folder");
  WriteFile(folder + "/persist/pixel.gif", gif);
  return folder;
}

int RemoveEntry(const char* path, const struct stat*, int, struct FTW*) {
  ::remove(path);
  return 0;
}

void RemoveFolder(const std::string& folder) {
  // Depth first, links removed and never followed.
  ::nftw(folder.c_str(), RemoveEntry, 16, FTW_DEPTH | FTW_PHYS);
}

// Runs `action` with the current folder set to `folder` (relative picture
// names resolve against the current folder), then goes back.
template <typename Action>
void InFolder(const std::string& folder, Action action) {
  char previous[PATH_MAX];
  if (!::getcwd(previous, sizeof previous)) Broken("cannot read the current folder");
  if (::chdir(folder.c_str()) != 0) Broken("cannot enter the run folder");
  action();
  if (::chdir(previous) != 0) Broken("cannot go back to the previous folder");
}

// The markup target's folder, made once and removed at exit.
const std::string& MarkupFolder() {
  static const std::string folder = [] {
    std::string made = MakeRunFolder();
    static std::string forExit;
    forExit = made;
    std::atexit([] { RemoveFolder(forExit); });
    return made;
  }();
  return folder;
}

// ---- Markup ----

template <typename Action>
bool Try(Action action) {
  try {
    action();
    return true;
  } catch (const MarkletError&) {
    return false;
  }
}

// The tables a paint leaves must agree with each other.
void CheckTables(Marklet& control) {
  Require(control.LinkCount() >= 0, "negative link count");
  Require(static_cast<std::size_t>(control.LinkCount()) <= control.Links().size(),
          "link count beyond the link table");
  for (const LinkSegment& segment : control.LinkSegments()) {
    if (segment.LinkIndex < 0 || segment.LinkIndex >= control.LinkCount()) {
      std::fprintf(stderr, "segment of link %d, %d links, layout %s\n", segment.LinkIndex,
                   control.LinkCount(), control.LayoutReady() ? "ready" : "not ready");
      Broken("segment of a link that does not exist");
    }
  }
}

struct MarkupInput {
  bool multiLine, showMore, autoSize, utf16, underline, reenter;
  Long linkDisplay;
  Single width, height;
  std::u16string text, second;
};

MarkupInput ReadMarkupInput(const std::uint8_t* data, std::size_t size) {
  std::uint8_t head[4] = {1, 0x46, 0x05, 36};  // MultiLine, 1350 x 576 twips
  std::size_t used = std::min<std::size_t>(size, 4);
  std::copy(data, data + used, head);
  MarkupInput in;
  in.multiLine = head[0] & 1;
  in.showMore = head[0] & 2;
  in.autoSize = head[0] & 4;
  in.utf16 = head[0] & 8;
  in.linkDisplay = (head[0] >> 4) & 3;
  in.underline = head[0] & 64;
  in.reenter = head[0] & 128;
  in.width = static_cast<Single>((head[1] | head[2] << 8) % 8192);
  in.height = static_cast<Single>(head[3] * 16);
  const std::uint8_t* body = data + used;
  std::size_t length = size - used;
  if (in.utf16) {
    for (std::size_t i = 0; i + 1 < length; i += 2) in.text.push_back(static_cast<char16_t>(body[i] | body[i + 1] << 8));
  } else {
    // Bytes that are not UTF-8 are taken one character each.
    std::string_view bytes(reinterpret_cast<const char*>(body), length);
    try {
      in.text = Utf8ToU16(bytes);
    } catch (const MarkletError&) {
      in.text.assign(bytes.begin(), bytes.end());
      for (char16_t& c : in.text) c &= 0xFF;
    }
  }
  // A vertical tab splits off the text a handler sets from inside events.
  std::size_t split = in.text.find(u'\v');
  if (split != std::u16string::npos) {
    in.second = in.text.substr(split + 1);
    in.text.resize(split);
  }
  return in;
}

void Pump(trace::TraceWorld& world, Marklet& control) {
  world.Pump();
  CheckTables(control);
}

// Where a pointer walk stops, and whether it presses and releases there.
struct PointerStop {
  Single x, y;
  bool press;
};

// Moves to each stop (pressing, releasing and clicking where asked), letting
// the host pump after each step.
void VisitPoints(Marklet& control, const std::vector<PointerStop>& points, const std::function<void()>& pump) {
  for (const PointerStop& p : points) {
    Integer button = 0, shift = 0;
    Single x = p.x, y = p.y;
    Try([&] { control.SurfaceMouseMove(button, shift, x, y); });
    pump();
    if (p.press) {
      button = 1, x = p.x, y = p.y;
      Try([&] { control.SurfaceMouseDown(button, shift, x, y); });
      button = 1, x = p.x, y = p.y;
      Try([&] { control.SurfaceMouseUp(button, shift, x, y); });
      Try([&] { control.SurfaceClick(); });
      pump();
    }
  }
}

void WalkPointer(trace::TraceWorld& world, trace::TraceContainer& container, Marklet& control) {
  // Link centres first (the tables may change as the walk goes on, so they
  // are copied), then a grid over the surface.
  // Hovering over a link redraws all its segments, so the walk visits at
  // most 24 links and 24 segments, spread over the tables.
  std::vector<PointerStop> points;
  const std::size_t links = control.Links().size(), segments = control.LinkSegments().size();
  for (std::size_t k = 0; k < std::min<std::size_t>(links, 24); ++k) {
    const LinkRecord& l = control.Links()[k * links / std::min<std::size_t>(links, 24)];
    points.push_back({(l.Left + l.Right) / 2, (l.Top + l.Bottom) / 2, true});
    points.push_back({l.Left, l.Top, false});
  }
  for (std::size_t k = 0; k < std::min<std::size_t>(segments, 24); ++k) {
    const LinkSegment& s = control.LinkSegments()[k * segments / std::min<std::size_t>(segments, 24)];
    points.push_back({(s.Left + s.Right) / 2, (s.Top + s.Bottom) / 2, true});
  }
  Single w = container.traceSurface().state().width, h = container.traceSurface().state().height;
  for (int gy = 0; gy <= 4; ++gy)
    for (int gx = 0; gx <= 8; ++gx) points.push_back({w * gx / 8, h * gy / 4, false});
  VisitPoints(control, points, [&] { Pump(world, control); });
  world.windows().DeliverMouseLeave(container.traceSurface().state().hwnd);
  Pump(world, control);
}

// ---- Round trips from random property states ----

// The input's bytes taken one after another as choices; zeros once they run out.
class Choices {
 public:
  Choices(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
  std::uint8_t Byte() { return at_ < size_ ? data_[at_++] : 0; }
  std::uint16_t Unit() { return static_cast<std::uint16_t>(Byte() | Byte() << 8); }
  std::uint32_t Word() { return static_cast<std::uint32_t>(Unit()) | static_cast<std::uint32_t>(Unit()) << 16; }
  bool Flag() { return Byte() & 1; }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t at_ = 0;
};

// Any UTF-16: controls, lone surrogates, NUL and characters beyond the BMP.
std::u16string AnyText(Choices& c, std::size_t longest) {
  std::u16string text(c.Byte() % (longest + 1), u' ');
  for (char16_t& unit : text) unit = static_cast<char16_t>(c.Unit());
  return text;
}

Single ExtremeSize(Choices& c) {
  static const Single kSizes[] = {1e-30f, 0.01f, 0.375f, 0.75f, 1, 8, 8.25f, 9.75f, 72, 1000, 2047.5f, 2047.9f,
                                  2048, 2048.25f, 2049, 1e30f, 0, -8};
  std::uint8_t pick = c.Byte();
  if (pick < 240) return kSizes[pick % (sizeof kSizes / sizeof kSizes[0])];
  std::uint32_t bits = c.Word();
  Single size;
  std::memcpy(&size, &bits, sizeof size);
  return size;
}

OleColor ExtremeColor(Choices& c) {
  static const OleColor kColors[] = {0, 0xFFFFFF, 0xFF, 0x80000000u, 0x8000000Fu, 0x80000012u, 0x80000018u,
                                     0x80000019u, 0x01000000u, 0x02FFFFFFu, 0xFFFFFFFFu};
  std::uint8_t pick = c.Byte();
  if (pick < 240) return kColors[pick % (sizeof kColors / sizeof kColors[0])];
  return c.Word();
}

Integer ExtremeInteger(Choices& c) {
  static const Integer kValues[] = {0, 1, -1, 7, 2184, 2185, 32767, -32768};
  std::uint8_t pick = c.Byte();
  if (pick < 240) return kValues[pick % (sizeof kValues / sizeof kValues[0])];
  return static_cast<Integer>(c.Unit());
}

// Everything a property bag keeps, as the control reports it.
struct SavedState {
  std::u16string text, moreLinkText;
  FontDesc font;
  OleColor back = 0, fore = 0, link = 0, activeLink = 0;
  Integer leftMargin = 0, lineSpacing = 0;
  Long linkDisplay = 0, appearance = 0, borderStyle = 0;
  Byte tabSize = 0;
  bool flags[7] = {};
  std::u16string picture;

  bool operator==(const SavedState&) const = default;
};

SavedState StateOf(Marklet& c) {
  SavedState s;
  s.text = c.Text();
  s.moreLinkText = c.MoreLinkText();
  s.font = c.Font();
  s.back = c.BackColor(), s.fore = c.ForeColor(), s.link = c.LinkColor(), s.activeLink = c.ActiveLinkColor();
  s.leftMargin = c.LeftMargin(), s.lineSpacing = c.LineSpacing();
  s.linkDisplay = c.LinkDisplay(), s.appearance = c.Appearance(), s.borderStyle = c.BorderStyle();
  s.tabSize = c.TabSize();
  bool flags[] = {c.ShowMoreLink(), c.GetTextOnEvent(), c.MultiLine(), c.AutoSizeHeight(), c.UnderlineLink(),
                  c.Enabled(), false};
  std::copy(std::begin(flags), std::end(flags), s.flags);
  Picture picture = c.GetPicture();
  if (picture) s.picture = picture->path;
  return s;
}

// Sets every property from the choices; a value the control refuses leaves
// the property as it was.
void SetRandomState(Marklet& c, trace::TraceContainer& container, Choices& choices) {
  for (int round = 0, rounds = 1 + choices.Byte() % 3; round < rounds; ++round) {
    FontDesc font;
    font.name = AnyText(choices, 40);
    if (choices.Flag()) font.name = u"Arial";
    font.size = ExtremeSize(choices);
    font.bold = choices.Flag(), font.italic = choices.Flag(), font.underline = choices.Flag();
    font.strikethrough = choices.Flag();
    font.weight = ExtremeInteger(choices);
    font.charset = ExtremeInteger(choices);
    Try([&] { c.SetFont(font); });
    Try([&] { c.SetBackColor(ExtremeColor(choices)); });
    Try([&] { c.SetForeColor(ExtremeColor(choices)); });
    Try([&] { c.SetLinkColor(ExtremeColor(choices)); });
    Try([&] { c.SetActiveLinkColor(ExtremeColor(choices)); });
    Try([&] { c.SetLeftMargin(ExtremeInteger(choices)); });
    Try([&] { c.SetLineSpacing(ExtremeInteger(choices)); });
    Try([&] { c.SetLinkDisplay(ExtremeInteger(choices)); });
    Try([&] { c.SetAppearance(ExtremeInteger(choices)); });
    Try([&] { c.SetBorderStyle(ExtremeInteger(choices)); });
    Try([&] { c.SetTabSize(choices.Byte()); });
    Try([&] { c.SetShowMoreLink(choices.Flag()); });
    Try([&] { c.SetGetTextOnEvent(choices.Flag()); });
    Try([&] { c.SetMultiLine(choices.Flag()); });
    Try([&] { c.SetAutoSizeHeight(choices.Flag()); });
    Try([&] { c.SetUnderlineLink(choices.Flag()); });
    Try([&] { c.SetEnabled(choices.Flag()); });
    Try([&] { c.SetMoreLinkText(AnyText(choices, 12)); });
    if (choices.Byte() % 4 == 0) Try([&] { c.SetPicture(container.LoadPicture(u"dot.png")); });
    Try([&] { c.SetText(AnyText(choices, 64)); });
  }
}

// The control's state from the input's bytes is saved; that text loads into
// a new control without an error, which paints and saves the same text and
// reports the same values.
void RoundTripState(const std::uint8_t* data, std::size_t size) {
  Choices choices(data, size);
  std::ostream discard(nullptr);
  std::string first;
  SavedState before;
  {
    trace::TraceWorld world(discard);
    world.fileRoot = MarkupFolder();
    trace::TraceContainer container(world);
    container.CreateControl();
    Marklet& control = *container.control();
    Require(Try([&] { control.Initialize(); }) && Try([&] { control.InitProperties(); }), "a new control fails");
    SetRandomState(control, container, choices);
    world.Pump();
    before = StateOf(control);
    trace::PropertyBagFile bag(container);
    Require(Try([&] { control.WriteProperties(bag); }) && Try([&] { first = bag.Format(); }),
            "a state the control accepted does not save");
    Try([&] { control.Terminate(); });
    container.DestroyControl();
  }
  trace::TraceWorld world(discard);
  world.fileRoot = MarkupFolder();
  trace::TraceContainer container(world);
  std::unique_ptr<trace::PropertyBagFile> bag;
  if (!Try([&] { bag = std::make_unique<trace::PropertyBagFile>(trace::PropertyBagFile::Parse(first, container)); })) {
    try {
      trace::PropertyBagFile::Parse(first, container);
    } catch (const MarkletError& e) {
      std::fprintf(stderr, "%s, in the saved bag:\n%s", e.what(), first.c_str());
    }
  }
  Require(bag != nullptr, "a saved bag does not parse");
  container.CreateControl();
  Marklet& control = *container.control();
  Require(Try([&] { control.Initialize(); }), "a new control fails");
  Require(Try([&] { control.ReadProperties(*bag); }), "a saved bag does not load back");
  world.Pump();
  Require(Try([&] { control.Paint(); }), "a loaded control does not paint");
  if (!(StateOf(control) == before)) std::fprintf(stderr, "the saved bag:\n%s", first.c_str());
  Require(StateOf(control) == before, "save -> load gives other values");
  trace::PropertyBagFile again(container);
  std::string second;
  Require(Try([&] { control.WriteProperties(again); }) && Try([&] { second = again.Format(); }),
          "a loaded control does not save");
  if (second != first) std::fprintf(stderr, "first save:\n%ssecond save:\n%s", first.c_str(), second.c_str());
  Require(second == first, "save -> load -> save gives another file");
  Try([&] { control.Terminate(); });
  container.DestroyControl();
}

}  // namespace

void RunMarkup(const std::uint8_t* data, std::size_t size) {
  MarkupInput in = ReadMarkupInput(data, size);
  std::ostream discard(nullptr);
  InFolder(MarkupFolder(), [&] {
    trace::TraceWorld world(discard);
    world.fileRoot = MarkupFolder();
    trace::TraceContainer container(world);
    container.CreateControl();
    Marklet& control = *container.control();
    Try([&] { control.Initialize(); });
    Try([&] { control.InitProperties(); });
    Try([&] { control.SetMultiLine(in.multiLine); });
    Try([&] { control.SetShowMoreLink(in.showMore); });
    Try([&] { control.SetAutoSizeHeight(in.autoSize); });
    Try([&] { control.SetLinkDisplay(in.linkDisplay); });
    Try([&] { control.SetUnderlineLink(in.underline); });
    container.traceSurface().SetSizeQuietly(in.width, in.height);
    int moves = 0;
    if (in.reenter) {
      // Handlers that change the control from inside its own events.
      container.SetEventHandler([&](EventId id, EventArgs&) {
        Try([&] {
          if (id == EventId::MouseMove && ++moves == 2) control.SetText(in.second);
          if (id == EventId::OnLinkClick) control.SetAutoSizeHeight(!control.AutoSizeHeight());
          if (id == EventId::MouseOut) control.SetText(in.text);
          if (id == EventId::MouseDown) control.SetMultiLine(!control.MultiLine());
        });
      });
    }
    Try([&] { control.SetText(in.text); });
    Pump(world, control);
    if (Try([&] { control.Resize(); }) && control.LayoutReady() && !control.Text().empty()) {
      // A complete paint puts the base font and colour back on the surface.
      Surface& s = container.surface();
      Require(s.FontName() == control.Style().BaseFontName, "paint left another font name");
      Require(s.FontSize() == control.Style().BaseFontSize, "paint left another font size");
      Require(s.ForeColor() == control.Style().BaseColor, "paint left another colour");
    }
    CheckTables(control);
    WalkPointer(world, container, control);
    Try([&] { control.Terminate(); });
    container.DestroyControl();
  });
}

// ---- Markup on the raster container ----

namespace {

const std::string& PictureFolder() {
  static const std::string folder = [] {
    std::string made = MakePictureSandbox();
    static std::string forExit;
    forExit = made;
    std::atexit([] { RemoveFolder(forExit); });
    return made;
  }();
  return folder;
}

void CheckBudgets(raster::RasterContainer& container) {
  const PictureDecodes& decodes = container.pictureDecodes();
  Require(decodes.decodedPixels() <= decodes.budgetPixels(), "a text's pictures decoded past the budget");
  raster::RasterSurface& surface = container.rasterSurface();
  Require(surface.PixelWidth() <= raster::kMaxSurfaceSide && surface.PixelHeight() <= raster::kMaxSurfaceSide,
          "a surface side past the limit");
  Require(std::int64_t{surface.PixelWidth()} * surface.PixelHeight() <= raster::kSurfaceBudgetPixels,
          "a surface past the pixel budget");
}

void PumpRaster(raster::RasterContainer& container, Marklet& control) {
  container.Pump();
  CheckTables(control);
  CheckBudgets(container);
}

}  // namespace

void RunRaster(const std::uint8_t* data, std::size_t size) {
  MarkupInput in = ReadMarkupInput(data, size);
  raster::RasterOptions options;
  options.pictureRoot = PictureFolder();
  InFolder(PictureFolder(), [&] {
    raster::RasterContainer container(options);
    container.CreateControl();
    Marklet& control = *container.control();
    Try([&] { control.SetMultiLine(in.multiLine); });
    Try([&] { control.SetShowMoreLink(in.showMore); });
    Try([&] { control.SetAutoSizeHeight(in.autoSize); });
    Try([&] { control.SetLinkDisplay(in.linkDisplay); });
    Try([&] { control.SetUnderlineLink(in.underline); });
    Try([&] { container.rasterSurface().SetSize(in.width, in.height); });
    if (in.reenter) {
      int moves = 0;
      container.onEvent = [&, moves](EventId id, EventArgs&) mutable {
        Try([&] {
          if (id == EventId::MouseMove && ++moves == 2) control.SetText(in.second);
          if (id == EventId::OnLinkClick) control.SetAutoSizeHeight(!control.AutoSizeHeight());
          if (id == EventId::MouseOut) control.SetText(in.text);
        });
      };
    }
    Try([&] { control.SetText(in.text); });
    container.QueuePaint();
    PumpRaster(container, control);
    Try([&] { cairo_surface_destroy(container.Compose()); });
    // Link centres, then a grid over the surface, as in the markup run.
    std::vector<PointerStop> points;
    const std::size_t links = std::min<std::size_t>(control.Links().size(), 24);
    for (std::size_t k = 0; k < links; ++k) {
      const LinkRecord& l = control.Links()[k * control.Links().size() / links];
      points.push_back({(l.Left + l.Right) / 2, (l.Top + l.Bottom) / 2, true});
    }
    Single w = container.rasterSurface().Width(), h = container.rasterSurface().Height();
    for (int gy = 0; gy <= 3; ++gy)
      for (int gx = 0; gx <= 4; ++gx) points.push_back({w * gx / 4, h * gy / 3, false});
    VisitPoints(control, points, [&] { PumpRaster(container, control); });
    container.simpleWindows().DeliverMouseLeave(container.rasterSurface().hWnd());
    PumpRaster(container, control);
    container.DestroyControl();
  });
}

// ---- Property bags ----

void RunBag(const std::uint8_t* data, std::size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
  std::ostream discard(nullptr);
  InFolder(MarkupFolder(), [&] {
    trace::TraceWorld world(discard);
    world.fileRoot = MarkupFolder();
    trace::TraceContainer container(world);
    std::unique_ptr<trace::PropertyBagFile> bag;
    try {
      bag = std::make_unique<trace::PropertyBagFile>(trace::PropertyBagFile::Parse(text, container));
    } catch (const MarkletError& e) {
      Require(e.number() == 13, "a bag text that is not well formed raised another error than 13");
      return;
    }
    // Whatever was read formats to a text that reads back as the same
    // entries (a Boolean may come back as the number it is written as).
    std::string formatted;
    if (Try([&] { formatted = bag->Format(); })) {
      std::vector<bag::BagEntry> again;
      bool reparsed = Try([&] { again = bag::ParseBagText(formatted); });
      Require(reparsed, "a formatted bag does not parse");
      const std::vector<bag::BagEntry>& first = bag->entries();
      Require(again.size() == first.size(), "a formatted bag reads back another number of keys");
      for (std::size_t i = 0; i < first.size(); ++i) {
        Require(again[i].key == first[i].key, "a formatted bag reads back another key");
        Require(again[i].pictureFile == first[i].pictureFile, "a formatted bag reads back another picture");
        if (!first[i].pictureFile) {
          Require(bag::EqualsDefault(again[i].value, first[i].value),
                  "a formatted bag reads back another value");
        }
      }
    }
    container.CreateControl();
    Marklet& control = *container.control();
    Try([&] { control.Initialize(); });
    Try([&] { control.ReadProperties(*bag); });
    world.Pump();
    Try([&] { control.Paint(); });
    CheckTables(control);
    trace::PropertyBagFile saved(container);
    if (Try([&] { control.WriteProperties(saved); })) {
      std::string out = saved.Format();
      bool reparsed = Try([&] { trace::PropertyBagFile::Parse(out, container); });
      Require(reparsed, "a saved bag does not parse");
    }
    Try([&] { control.Terminate(); });
    container.DestroyControl();
  });
  InFolder(MarkupFolder(), [&] { RoundTripState(data, size); });
}

// ---- Scripts ----

void RunScript(const std::uint8_t* data, std::size_t size) {
  std::string folder = MakeRunFolder();
  InFolder(folder, [&] {
    std::ostream discard(nullptr);
    std::istringstream in(std::string(reinterpret_cast<const char*>(data), size));
    trace::ScriptRunner runner(discard);
    runner.world().fileRoot = folder;
    runner.Run(in);
  });
  RemoveFolder(folder);
}

Entry EntryNamed(const std::string& name) {
  if (name == "markup") return RunMarkup;
  if (name == "bag") return RunBag;
  if (name == "script") return RunScript;
  if (name == "raster") return RunRaster;
  return nullptr;
}

}  // namespace marklet::fuzz
