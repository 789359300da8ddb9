// The trace container: a deterministic host with simple exact metrics that
// prints every observable effect of the control as one JSON object a line.
//
// Metrics: fonts have a whole pixel height h = max(1, round(size x 20 / tppY));
// each UTF-16 code unit advances max(1, h div 2) pixels, one more when bold;
// every string is h + 2 pixels high. The border takes 0, 1 or 2 pixels a side.
#pragma once

#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "control/marklet.h"
#include "host/container.h"
#include "host/image_slots.h"
#include "host/window_table.h"
#include "platform/pixbuf/picture_loader.h"
#include "platform/trace/trace_forms.h"

namespace marklet::trace {

// Where records go. Records of a container other than the scenario's main
// control carry a "source" key naming it.
class TraceLog {
 public:
  explicit TraceLog(std::ostream& out) : out_(&out) {}
  void Emit(const std::string& key, const std::string& valueJson, const std::string& source = {});
  // A record with extra keys after the first one.
  void EmitObject(const std::string& objectJson);
  std::ostream& out() { return *out_; }

 private:
  std::ostream* out_;
};

// `fail OPERATION [NUMBER]`: the next call of that operation fails.
class FailurePlan {
 public:
  void Arm(const std::string& operation, int number) { armed_[operation] = number; }
  // Throws the armed error for this operation, once.
  void Check(const char* operation);
  bool Empty() const { return armed_.empty(); }

 private:
  std::map<std::string, int> armed_;
};

class TraceWindowSystem;

// State shared by every container of one scenario: the log, the screen, the
// window system, the failure plan and the message queue.
class TraceWorld {
 public:
  explicit TraceWorld(std::ostream& out);
  ~TraceWorld();

  TraceLog& log() { return log_; }
  FailurePlan& failures() { return failures_; }
  TraceWindowSystem& windows() { return *windows_; }
  TraceFormHost& forms() { return *forms_; }

  Single tppX = 15;
  Single tppY = 15;

  // When set, every file the scenario names (pictures, property bags, the
  // files it writes and shows) must lie inside this folder; others are
  // refused with error 53. For running text and scenarios nobody vetted.
  // Each file is opened beneath this folder (files::OpenBeneath), never
  // checked by name and opened again.
  std::optional<std::string> fileRoot;
  // The folder files are confined to, or "" for none.
  std::string root() const { return fileRoot.value_or(""); }

  // The message queue, first in first out. A queued message is a paint for a
  // container or a posted scenario command.
  struct Message {
    std::function<void()> deliver;
    const void* paintFor = nullptr;  // non-null for a queued Paint
  };
  void Post(Message message) { queue_.push_back(std::move(message)); }
  bool PaintQueued(const void* container) const;
  // Pumps run inside a message's delivery up to this depth (the outermost
  // is depth 0), as on the raster host; a deeper one returns at once and
  // leaves the queue to the pumps running.
  static constexpr int kMaxNestedPumps = 8;
  // Delivers every queued message, those queued meanwhile included.
  void Pump();
  bool QueueEmpty() const { return queue_.empty(); }
  // Drops the queued paints of a container that goes away.
  void ForgetPaints(const void* container);

  // A modal loop runs the scenario's next line through this; false when the
  // scenario has no more lines (or nobody reads one).
  void SetNestedLineSource(std::function<bool()> source) { nestedLines_ = std::move(source); }
  bool RunNestedLine() { return nestedLines_ && nestedLines_(); }

 private:
  TraceLog log_;
  FailurePlan failures_;
  std::unique_ptr<TraceWindowSystem> windows_;
  std::deque<Message> queue_;
  int pumpDepth_ = 0;
  bool depthLimitReported_ = false;  // within the outermost pump running
  std::function<bool()> nestedLines_;
  std::unique_ptr<TraceFormHost> forms_;  // last: its forms go first
};

// The window table (host/window_table.h) with each window's source, system
// menus and shell calls; mouse-leave requests and deliveries are recorded.
class TraceWindowSystem : public WindowTable {
 public:
  explicit TraceWindowSystem(TraceWorld& world) : WindowTable(0x10010), world_(world) {}

  HWND CreateWindow(const std::string& source);
  void DestroyWindow(HWND hwnd);
  bool Exists(HWND hwnd) const { return windows_.count(hwnd) != 0; }
  // How many messages were handed to DefWindowProcA.
  int DefWindowProcCalls() const { return defWindowProcCalls_; }
  // Whether the window's system menu still offers the close command.
  bool HasCloseCommand(HWND hwnd) const;

  LRESULT DefWindowProcA(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) override;
  HMENU GetSystemMenu(HWND hwnd, bool revert) override;
  int GetMenuItemCount(HMENU menu) override;
  bool RemoveMenu(HMENU menu, UINT position, UINT flags) override;
  bool DrawMenuBar(HWND hwnd) override;
  LONG_PTR ShellExecuteA(HWND hwnd, const std::string& operation, const std::string& file,
                         const std::string& parameters, const std::string& directory,
                         int showCommand) override;

 private:
  void MouseTracked(HWND hwnd, bool valid) override;
  void DeliveringMouseLeave(HWND hwnd) override;

  struct Window {
    std::string source;
    HMENU systemMenu = 0;
  };
  std::string SourceOf(HWND hwnd) const;
  TraceWorld& world_;
  std::map<HWND, Window> windows_;
  std::map<HMENU, std::vector<std::string>> menus_;
  int defWindowProcCalls_ = 0;
};

class TraceContainer;

// The control's surface on the trace container.
class TraceSurface : public Surface {
 public:
  TraceSurface(TraceContainer& owner);

  void Cls() override;
  OleColor BackColor() override;
  void SetBackColor(OleColor color) override;
  OleColor ForeColor() override;
  void SetForeColor(OleColor color) override;
  FontDesc Font() override;
  void SetFont(const FontDesc& font) override;
  std::u16string FontName() override;
  void SetFontName(const std::u16string& name) override;
  Single FontSize() override;
  void SetFontSize(Single size) override;
  bool FontBold() override;
  void SetFontBold(bool bold) override;
  bool FontItalic() override;
  void SetFontItalic(bool italic) override;
  bool FontUnderline() override;
  void SetFontUnderline(bool underline) override;
  Single CurrentX() override;
  void SetCurrentX(Single x) override;
  Single CurrentY() override;
  void SetCurrentY(Single y) override;
  void Print(const std::u16string& text) override;
  Single TextWidth(const std::u16string& text) override;
  Single TextHeight(const std::u16string& text) override;
  Single ScaleWidth() override;
  Single ScaleHeight() override;
  Single Width() override;
  Single Height() override;
  void SetHeight(Single height) override;
  Single ScaleX(Single value, ScaleMode from, ScaleMode to) override;
  Single ScaleY(Single value, ScaleMode from, ScaleMode to) override;
  Integer BackStyle() override;
  void SetBackStyle(Integer style) override;
  Picture GetPicture() override;
  void SetPicture(const Picture& picture) override;
  bool Enabled() override;
  void SetEnabled(bool enabled) override;
  Integer Appearance() override;
  void SetAppearance(Integer appearance) override;
  Integer BorderStyle() override;
  void SetBorderStyle(Integer style) override;
  Integer MousePointer() override;
  void SetMousePointer(Integer pointer) override;
  void Refresh() override;
  HWND hWnd() override;

  // The surface's own values, as a host sets them at design time: no
  // record, no failure injection, no notification.
  struct State {
    Single width = 1350;
    Single height = 570;
    std::u16string fontName = u"MS Sans Serif";
    int fontPixels = 11;  // 8.25 points at 15 twips per pixel
    bool bold = false, italic = false, underline = false, strikethrough = false;
    Integer charset = 0;
    OleColor foreColor = 0x80000012u;
    OleColor backColor = 0x8000000Fu;
    Integer backStyle = 1;
    Integer appearance = 1;
    Integer borderStyle = 1;
    bool enabled = true;
    Picture picture;
    Integer mousePointer = 0;
    Single currentX = 0;
    Single currentY = 0;
    HWND hwnd = 0;
  };
  State& state() { return state_; }

  // Pixel height for a point size, or error 380 for a size the surface refuses.
  int PixelsForSize(Single size) const;
  Single SizeForPixels(int pixels) const;
  // Border pixels per side.
  int BorderPixels() const;
  // Sets the outer size without a notification (the `resize` command delivers one itself).
  void SetSizeQuietly(Single width, Single height) {
    state_.width = width;
    state_.height = height;
  }

 private:
  void Check(const char* op);
  TraceContainer& owner_;
  State state_;
};

// Every change of an image control is a record ("img").
class TraceImages : public ImageSlots {
 public:
  explicit TraceImages(TraceContainer& owner) : owner_(owner) {}

 protected:
  void BeforeAccess() override;
  void Changed(Change change, Integer index, bool wasVisible) override;

 private:
  TraceContainer& owner_;
};

// Handler for raised events: runs after the event's record is printed.
using EventHandler = std::function<void(EventId, EventArgs&)>;

class TraceContainer : public Container {
 public:
  TraceContainer(TraceWorld& world, std::string source = {});
  ~TraceContainer() override;

  Surface& surface() override { return surface_; }
  ImageArray& imgC() override { return images_; }
  WindowSystem& windows() override;
  void PropertyChanged(const std::u16string& name) override;
  std::u16string AmbientDisplayName() override;
  OleColor AmbientBackColor() override;
  FontDesc AmbientFont() override;
  void DoEvents() override;
  void RaiseEvent(EventId id, EventArgs& args) override;
  Picture LoadPicture(const std::u16string& path) override;
  Single ScreenTwipsPerPixelX() override;
  Single ScreenTwipsPerPixelY() override;
  int MsgBox(const std::u16string& prompt, int buttons, const std::u16string& title) override;
  FormHost& forms() override;
  void ParseStarted() override;

  TraceWorld& world() { return world_; }
  TraceSurface& traceSurface() { return surface_; }
  TraceImages& traceImages() { return images_; }
  // What the pictures of the current parse have decoded (reset as a parse starts).
  const PictureDecodes& pictureDecodes() const { return pictures_; }
  const std::string& source() const { return source_; }
  void Emit(const std::string& key, const std::string& valueJson);
  void Check(const char* op) { world_.failures().Check(op); }

  // The hosted control (created by CreateControl, destroyed by DestroyControl).
  Marklet* control() { return control_.get(); }
  void CreateControl();
  void DestroyControl();
  // A control placed on a form's site, which this container hosts instead
  // of a Marklet of its own: paints and resizes go to it.
  void SetSiteControl(std::unique_ptr<SiteControl> control);
  SiteControl* siteControl() { return siteControl_.get(); }

  // Delivers a notification to the control: prints {"deliver":NAME}, runs it,
  // and prints an error it returns as {"error":..,"in":NAME}.
  void Deliver(const char* name, const std::function<void()>& action);
  void QueuePaint();

  void SetEventHandler(EventHandler handler) { eventHandler_ = std::move(handler); }

  // Ambient values, settable by the scenario.
  std::u16string ambientName = u"Marklet1";
  OleColor ambientBackColor = 0x8000000Fu;
  FontDesc ambientFont{u"MS Sans Serif", 8.25f};

 private:
  TraceWorld& world_;
  std::string source_;
  TraceSurface surface_;
  TraceImages images_;
  PictureDecodes pictures_;
  std::unique_ptr<Marklet> control_;
  std::unique_ptr<SiteControl> siteControl_;
  EventHandler eventHandler_;
};

// Prints an error record: {"error":{"number":N,"description":".."}} plus an "in" key when given.
std::string ErrorJson(int number, const std::string& description);

}  // namespace marklet::trace
