// The raster host: the control's surface on a Cairo image with text through
// Pango, pictures through gdk-pixbuf, and a container that delivers paints
// from its own queue. `marklet render` and the window host build on it.
#pragma once

#include <cairo.h>

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "control/marklet.h"
#include "host/container.h"
#include "host/image_slots.h"
#include "host/window_table.h"
#include "platform/pixbuf/picture_loader.h"
#include "platform/raster/text_engine.h"

namespace marklet::raster {

class RasterContainer;

// The drawing surface's budget: device pixels in all, and pixels a side
// (Cairo's own limit).
constexpr std::int64_t kSurfaceBudgetPixels = std::int64_t{64} << 20;
constexpr int kMaxSurfaceSide = 32767;

// The tallest surface the budget allows for a width in device pixels.
int MaxSurfaceHeight(int widthPixels);

// The window table (host/window_table.h) with a system menu per window; the
// host that owns the real window (if any) delivers the leave message. The
// control's window procedure reads user data through the one window system
// of its thread, so every container of a host shares one.
class SimpleWindowSystem : public WindowTable {
 public:
  SimpleWindowSystem() : WindowTable(0x20010) {}

  HWND CreateWindow();
  void DestroyWindow(HWND hwnd);
  // Whether the window's system menu still holds its close command.
  bool HasCloseCommand(HWND hwnd) const;

  HMENU GetSystemMenu(HWND hwnd, bool revert) override;
  int GetMenuItemCount(HMENU menu) override;
  bool RemoveMenu(HMENU menu, UINT position, UINT flags) override;
  bool DrawMenuBar(HWND hwnd) override;
  LONG_PTR ShellExecuteA(HWND hwnd, const std::string& operation, const std::string& file,
                         const std::string& parameters, const std::string& directory,
                         int showCommand) override;

  // Carries out ShellExecuteA; its result is the call's (above 32: success).
  // Without it nothing can be opened: SE_ERR_NOASSOC.
  std::function<LONG_PTR(HWND, const std::string& operation, const std::string& file)> onShellExecute;
  std::function<void(HWND)> onTrackMouse;
  // DrawMenuBar: the window's menu may have changed (see HasCloseCommand).
  std::function<void(HWND)> onMenuBarDrawn;

 private:
  void MouseTracked(HWND hwnd, bool valid) override;

  struct Window {
    // The system menu's commands, by position.
    std::vector<std::string> menu;
  };
  Window* Find(HWND hwnd);
  std::map<HWND, Window> windows_;
};

class RasterSurface : public Surface {
 public:
  explicit RasterSurface(RasterContainer& owner);
  ~RasterSurface() override;

  void Cls() override;
  OleColor BackColor() override { return backColor_; }
  void SetBackColor(OleColor color) override;
  OleColor ForeColor() override { return foreColor_; }
  void SetForeColor(OleColor color) override;
  FontDesc Font() override;
  void SetFont(const FontDesc& font) override;
  std::u16string FontName() override { return font_.name; }
  void SetFontName(const std::u16string& name) override;
  Single FontSize() override;
  void SetFontSize(Single size) override;
  bool FontBold() override { return font_.bold; }
  void SetFontBold(bool bold) override {
    if (bold != font_.bold) current_ = nullptr;
    font_.bold = bold;
  }
  bool FontItalic() override { return font_.italic; }
  void SetFontItalic(bool italic) override {
    if (italic != font_.italic) current_ = nullptr;
    font_.italic = italic;
  }
  bool FontUnderline() override { return underline_; }
  void SetFontUnderline(bool underline) override { underline_ = underline; }
  Single CurrentX() override { return currentX_; }
  void SetCurrentX(Single x) override { currentX_ = x; }
  Single CurrentY() override { return currentY_; }
  void SetCurrentY(Single y) override { currentY_ = y; }
  void Print(const std::u16string& text) override;
  Single TextWidth(const std::u16string& text) override;
  Single TextHeight(const std::u16string& text) override;
  Single ScaleWidth() override;
  Single ScaleHeight() override;
  Single Width() override { return width_; }
  Single Height() override { return height_; }
  void SetHeight(Single height) override;
  Single ScaleX(Single value, ScaleMode from, ScaleMode to) override;
  Single ScaleY(Single value, ScaleMode from, ScaleMode to) override;
  Integer BackStyle() override { return backStyle_; }
  void SetBackStyle(Integer style) override;
  Picture GetPicture() override { return picture_; }
  void SetPicture(const Picture& picture) override { picture_ = picture; }
  bool Enabled() override { return enabled_; }
  void SetEnabled(bool enabled) override { enabled_ = enabled; }
  Integer Appearance() override { return appearance_; }
  void SetAppearance(Integer appearance) override;
  Integer BorderStyle() override { return borderStyle_; }
  void SetBorderStyle(Integer style) override;
  Integer MousePointer() override { return mousePointer_; }
  void SetMousePointer(Integer pointer) override;
  void Refresh() override;
  HWND hWnd() override { return hwnd_; }

  // Sets the outer size in twips (no Resize; the host delivers it). A width
  // past kMaxSurfaceSide pixels is refused (380); a height past the budget
  // is held, as for SetHeight.
  void SetSize(Single width, Single height);
  // The last size asked for was taller than the budget allows: the height
  // asked for and the height held, in pixels.
  struct HeightHold {
    int asked = 0;
    int held = 0;
  };
  const std::optional<HeightHold>& heightHold() const { return heightHold_; }
  // The size in the control's pixels; the image is DeviceWidth() x
  // DeviceHeight(), and its context maps the control's pixels onto it.
  int PixelWidth() const;
  int PixelHeight() const;
  int DeviceWidth() const { return DevicePixels(PixelWidth()); }
  int DeviceHeight() const { return DevicePixels(PixelHeight()); }
  int DevicePixels(int pixels) const;
  int BorderPixels() const;
  // The drawn surface in device pixels, border included (owned by the
  // surface), with every text drawn so far on it.
  cairo_surface_t* image() {
    batch_.Flush();
    return image_;
  }
  TextEngine& text() { return text_; }
  void SetHwnd(HWND hwnd) { hwnd_ = hwnd; }
  // The part of the image drawn since the last call, in device pixels, so a window
  // copies only what changed. Empty (w or h 0) when nothing was drawn.
  struct Damage {
    int x = 0, y = 0, w = 0, h = 0;
  };
  Damage TakeDamage();

 private:
  // The font the surface draws with now, resolved once per change.
  RasterFont& Current();
  int PixelsForSize(Single size) const;
  // A new image and context for w x h of the control's pixels in place of
  // the old ones (error 7, the old ones kept, when they cannot be made).
  void Allocate(int w, int h);
  // The height to take for `height` at this width: itself, or the most the
  // budget allows (with `hold` saying so).
  Single HeldHeight(int widthPixels, Single height, std::optional<HeightHold>& hold) const;
  void Clear();
  void DrawBorder();
  RasterContainer& owner_;
  TextEngine text_;
  GlyphBatch batch_;
  std::vector<unsigned char> pixels_;
  cairo_surface_t* image_ = nullptr;
  cairo_t* cr_ = nullptr;
  Single width_ = 1350, height_ = 570;
  std::optional<HeightHold> heightHold_;
  FontDesc font_{u"MS Sans Serif", 8.25f};
  int fontPixels_ = 11;
  RasterFont* current_ = nullptr;
  bool underline_ = false;
  OleColor foreColor_ = 0x80000012u, backColor_ = 0x8000000Fu;
  Integer backStyle_ = 1, appearance_ = 1, borderStyle_ = 1, mousePointer_ = 0;
  bool enabled_ = true;
  Picture picture_;
  Single currentX_ = 0, currentY_ = 0;
  HWND hwnd_ = 0;
  void Damaged(int x0, int y0, int x1, int y1);
  int damageX0_ = 0, damageY0_ = 0, damageX1_ = 0, damageY1_ = 0;
};

// The image controls, drawn over the surface; each change moves the revision
// on, so the host knows to compose the window again.
class RasterImages : public ImageSlots {
 public:
  std::uint64_t revision() const { return revision_; }

 protected:
  void Changed(Change, Integer, bool) override { ++revision_; }

 private:
  std::uint64_t revision_ = 0;
};

struct RasterOptions {
  // Twips per pixel of the imitated screen (15 is 96 dpi); fixed for the
  // container's life, since the control captures them at creation.
  Single tppX = 15;
  Single tppY = 15;
  // Device pixels drawn for each of the control's pixels. The control, its
  // measurement and its events stay in its own pixels at every scale; only
  // the drawing is finer (text is rasterised at this size, not enlarged).
  double scale = 1;
  // When set, picture files must lie inside this folder (after resolving
  // `..` and links); others are refused with error 53.
  std::optional<std::string> pictureRoot;
};

// A container without a window: the control paints into an in-memory Cairo
// surface, which a program writes as PNG or shows itself (the X11 host does).
// Nothing happens by itself: a program delivers the queued paint with Pump().
// Errors the control raises from notifications go to onError; calls made by
// the program (control()->SetText...) throw MarkletError to it.
class RasterContainer : public Container {
 public:
  // With `windows` the container's window lives in that window system (which
  // must outlive it); without, the container keeps one of its own.
  explicit RasterContainer(RasterOptions options = {}, SimpleWindowSystem* windows = nullptr);
  ~RasterContainer() override;

  Surface& surface() override { return surface_; }
  ImageArray& imgC() override { return images_; }
  WindowSystem& windows() override { return *windows_; }
  void PropertyChanged(const std::u16string& name) override;
  std::u16string AmbientDisplayName() override { return ambientName; }
  OleColor AmbientBackColor() override { return ambientBackColor; }
  FontDesc AmbientFont() override { return ambientFont; }
  void DoEvents() override;
  void RaiseEvent(EventId id, EventArgs& args) override;
  Picture LoadPicture(const std::u16string& path) override;
  Single ScreenTwipsPerPixelX() override { return options_.tppX; }
  Single ScreenTwipsPerPixelY() override { return options_.tppY; }
  int MsgBox(const std::u16string& prompt, int buttons, const std::u16string& title) override;
  // A new parse: its pictures start from a full budget and an empty cache.
  void ParseStarted() override {
    pictures_.Reset();
    if (onParse) onParse();
  }
  // What the pictures of the current parse have decoded.
  const PictureDecodes& pictureDecodes() const { return pictures_; }
  // The host's forms, when it has any (SetFormHost); otherwise error 438.
  FormHost& forms() override { return formHost_ ? *formHost_ : Container::forms(); }
  void SetFormHost(FormHost* host) { formHost_ = host; }

  RasterSurface& rasterSurface() { return surface_; }
  RasterImages& rasterImages() { return images_; }
  SimpleWindowSystem& simpleWindows() { return *windows_; }
  const RasterOptions& options() const { return options_; }

  // The control, owned by the container; null before CreateControl.
  Marklet* control() { return control_.get(); }
  // Creates the control and initialises a new instance, or loads it from a bag.
  void CreateControl(PropertyBag* bag = nullptr);
  // Places a form site's control instead (a container holds one or the other).
  void SetSiteControl(std::unique_ptr<SiteControl> control);
  SiteControl* siteControl() { return siteControl_.get(); }
  // Terminates and releases the control (either kind).
  void DestroyControl();
  // Runs a notification of the control; an error it raises goes to onError.
  void Deliver(const char* name, const std::function<void()>& action);
  // The user changed one attribute of the control's font object (host/font_attribute.h):
  // the control is told with the whole changed font ("FontChanged"), and a
  // font the surface refuses goes to onError while the control keeps its own.
  // A value the object itself cannot take (13, 6, 438) is raised to the caller.
  void ChangeFontAttribute(std::u16string_view attribute, const Variant& value);

  // Queues a paint (once) for the next pump.
  void QueuePaint() { paintQueued_ = true; }
  // Delivers what is queued: the host's own messages, then a pending paint.
  void Pump();
  // Delivers Resize now (a Height change).
  void DeliverResize();

  // A new surface with the visible image controls composited over the
  // control's; the caller destroys it. Error 7 when memory runs out.
  cairo_surface_t* Compose();
  // Paints the surface and the visible image controls onto cr (clip it to paint a part).
  void PaintTo(cairo_t* cr);
  // The composed control as PNG bytes; error 7 when memory runs out.
  std::string EncodePng();
  // Writes the composed control to a PNG file, replaced whole or not at all
  // (files::ReplaceFile: 75, 70, 76 or 61 naming the file and the reason).
  void WritePng(const std::string& path);

  // What the control reads from its container: its name, the background
  // colour and the font a new instance starts with (set before CreateControl).
  std::u16string ambientName = u"Marklet1";
  OleColor ambientBackColor = 0x8000000Fu;
  FontDesc ambientFont{u"MS Sans Serif", 8.25f};

  // Hooks for hosts and tools: the control's events (arguments passed by
  // reference, as the control lets handlers change some), its property-change
  // notifications, message boxes (answered OK), errors of notifications, and
  // each new parse.
  std::function<void(EventId, EventArgs&)> onEvent;
  std::function<void(const std::u16string&)> onPropertyChanged;
  std::function<void(const std::u16string& prompt, const std::u16string& title)> onMessageBox;
  std::function<void(const char* notification, int number, const std::string& description)> onError;
  std::function<void()> onParse;
  // Extra message source a live window adds (pending window-system events).
  std::function<void()> pumpWindowEvents;

 private:
  RasterOptions options_;
  PictureDecodes pictures_;
  std::unique_ptr<SimpleWindowSystem> ownWindows_;
  SimpleWindowSystem* windows_;
  RasterSurface surface_;
  RasterImages images_;
  std::unique_ptr<Marklet> control_;
  std::unique_ptr<SiteControl> siteControl_;
  FormHost* formHost_ = nullptr;
  bool paintQueued_ = false;
  int pumpDepth_ = 0;
};

}  // namespace marklet::raster
