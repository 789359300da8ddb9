// The trace container: a deterministic host with simple exact metrics that
// prints every observable effect of the control as one JSON object a line.
//
// The world (trace_world.h), the window system (trace_window_system.h) and
// the surface (trace_surface.h) have files of their own; this header includes
// them, so a user of the container needs no other.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "control/marklet.h"
#include "host/container.h"
#include "host/image_slots.h"
#include "platform/pixbuf/picture_loader.h"
#include "platform/trace/trace_forms.h"
#include "platform/trace/trace_surface.h"
#include "platform/trace/trace_window_system.h"
#include "platform/trace/trace_world.h"

namespace marklet::trace {

class TraceContainer;

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
