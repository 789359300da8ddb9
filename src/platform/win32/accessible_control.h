// The control as assistive technology sees it. The control's window answers
// WM_GETOBJECT for its client area with an IAccessible: the control is static
// text named by its plain text (FormatedText), and each link the last paint
// drew is a simple child (child ids 1, 2, ... in link-table order, the More
// link last while it is shown) with role link, its drawn text as name, its key
// as value, its box (a wrapped link: its first segment) as location, and the
// default action "Click".
//
// The default action is posted to the window and then played through the
// window's own pointer path: a move to the centre of the link, a left press
// and a release there (over a picture, the move and the release only, as a
// press on a picture raises nothing). So a client waiting on the action is
// never held by what a link's handler does.
//
// After a paint that changes the set of links the window raises
// EVENT_OBJECT_REORDER, and after Text changes EVENT_OBJECT_NAMECHANGE, both
// for OBJID_CLIENT.
#pragma once

#include <string>
#include <vector>

#include "platform/win32/win_api.h"
#include "host/numeric.h"

namespace marklet::win32 {

class Win32Container;
class AccessibleObject;

class ControlAccessibility {
 public:
  explicit ControlAccessibility(Win32Container& owner);
  // Disconnects the object from the control: clients that still hold it get
  // RPC_E_DISCONNECTED from then on.
  ~ControlAccessibility();
  ControlAccessibility(const ControlAccessibility&) = delete;
  ControlAccessibility& operator=(const ControlAccessibility&) = delete;

  // WM_GETOBJECT: true with the result for OBJID_CLIENT; false for the other
  // objects, which the default procedure answers.
  bool AnswerGetObject(WPARAM wParam, LPARAM lParam, LRESULT& result);
  // The messages this posts to the window; true when `msg` was one of them.
  bool HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam);
  // A paint ended: raises the reorder event when the set of links changed.
  void Painted();
  // Text was set: the name change is raised once the setter has returned,
  // so a client that reads the name then gets the new one.
  void TextChanged();

  // Posts the default action of link `index` (an index into the link table).
  void PostDefaultAction(Integer index);

 private:
  // What identifies a child to a client.
  struct Child {
    Integer index;
    std::u16string name;
    std::u16string key;
    bool operator==(const Child&) const = default;
  };

  void DoDefaultAction(Integer index);

  Win32Container& owner_;
  AccessibleObject* object_ = nullptr;  // one reference, made on the first request
  std::vector<Child> children_;
  bool namePosted_ = false;
};

}  // namespace marklet::win32
