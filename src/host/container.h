// The control container: everything outside the control that the control
// calls. A host implements these interfaces; the control is written against
// them alone and never includes a platform header.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "host/forms.h"
#include "host/surface.h"
#include "host/values.h"
#include "host/window_system.h"

namespace marklet {

// Events of the control, by their fixed DISPIDs.
enum class EventId : int {
  Click = 1,
  DblClick = 2,
  KeyDown = 3,
  KeyPress = 4,
  KeyUp = 5,
  MouseDown = 6,
  MouseMove = 7,
  MouseUp = 8,
  OnLinkClick = 9,
  MouseOut = 10,
};
const char* EventName(EventId id);

// Event arguments, passed by reference: a handler may assign to any of them
// and the control reads them back after the event returns.
using EventArgs = std::vector<Variant>;

// The keyed store a host saves a control's properties in.
class PropertyBag {
 public:
  virtual ~PropertyBag() = default;
  // The stored value, or `defaultValue` when the key is absent.
  virtual Variant ReadProperty(const std::u16string& name, const Variant& defaultValue) = 0;
  // The bag may leave out a value equal to its default.
  virtual void WriteProperty(const std::u16string& name, const Variant& value,
                             const Variant& defaultValue) = 0;
  // Where the value ReadProperty last returned is kept ("key 'TabSize', line
  // 3 of 'a.bag'"), so a host can name it when the control cannot take that
  // value; empty when the bag cannot tell or that read gave the default.
  virtual std::string SourceOfLastRead() const { return {}; }
};

// Runs `read` (a control's ReadProperties from `bag`). An error raised by a
// value after the bag handed it out is raised again, same number, with the
// value's source added to its description.
void ReadNamingSource(PropertyBag& bag, const std::function<void()>& read);

// The image controls (`imgC`) that show the pictures of image items. Member 0
// always exists; members are loaded and unloaded by index. Places are twips
// on the control's surface. Hosts usually derive from ImageSlots
// (host/image_slots.h), which keeps the state and raises the array's errors.
class ImageArray {
 public:
  virtual ~ImageArray() = default;
  // The highest loaded member's index.
  virtual Integer UBound() = 0;
  virtual bool IsLoaded(Integer index) = 0;
  virtual void Load(Integer index) = 0;
  virtual void Unload(Integer index) = 0;
  virtual void SetPicture(Integer index, const Picture& picture) = 0;
  virtual void Move(Integer index, Single left, Single top) = 0;
  virtual void SetVisible(Integer index, bool visible) = 0;
  virtual bool Visible(Integer index) = 0;
  virtual Single Left(Integer index) = 0;
  virtual Single Top(Integer index) = 0;
};

// Buttons and icon flags of the modal message box.
constexpr int kMsgBoxOkOnly = 0;
constexpr int kMsgBoxCritical = 16;

class Container {
 public:
  virtual ~Container() = default;

  // What the control draws on, the image controls that show its pictures,
  // and the window calls (hook, mouse-leave tracking); all owned by the
  // container and alive as long as the control.
  virtual Surface& surface() = 0;
  virtual ImageArray& imgC() = 0;
  virtual WindowSystem& windows() = 0;

  // Marks a property as changed (the host refreshes its browser, marks the form dirty).
  virtual void PropertyChanged(const std::u16string& name) = 0;

  // Ambient properties of the site.
  virtual std::u16string AmbientDisplayName() = 0;
  virtual OleColor AmbientBackColor() = 0;
  virtual FontDesc AmbientFont() = 0;

  // Processes the pending window messages; may re-enter the control.
  virtual void DoEvents() = 0;
  // Raises an event to the host; handlers may re-enter the control and assign to args.
  virtual void RaiseEvent(EventId id, EventArgs& args) = 0;

  // Loads a picture file: error 53 for a missing file, 481 for one that is not a picture.
  virtual Picture LoadPicture(const std::u16string& path) = 0;

  // The screen's twips per pixel (15 at 96 dpi); the control reads them once, in Initialize.
  virtual Single ScreenTwipsPerPixelX() = 0;
  virtual Single ScreenTwipsPerPixelY() = 0;

  // Modal message box; returns the button pressed.
  virtual int MsgBox(const std::u16string& prompt, int buttons, const std::u16string& title) = 0;

  // The modal forms the component shows (its About dialog). Hosts without
  // forms keep the default, which raises error 438.
  virtual FormHost& forms();

  // Diagnostics: told each time the control starts parsing its text. Hosts
  // that keep no trace ignore it.
  virtual void ParseStarted() {}

  // Told after each paint, also one that ended in an error: the link tables
  // now hold what the paint drew. Hosts that describe the links to
  // assistive technology compare them here.
  virtual void Painted() {}
};

}  // namespace marklet
