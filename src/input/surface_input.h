// The surface's input events and the control events they raise, with the
// hover state and the window hook they drive.
//
// Event arguments go out by reference: after an event returns, the values a
// handler assigned are copied back to the surface event's own arguments, and
// an assignment to LinkKey is copied into the link's record, where it stays
// until the next parse. LinkText is always a fresh copy.
#pragma once

#include "host/container.h"
#include "input/hover_state.h"
#include "input/window_hook.h"
#include "markup/parser.h"
#include "render/render_pass.h"

namespace marklet {

class SurfaceInput {
 public:
  // The tables, the look and GetTextOnEvent are the owner's, read live.
  SurfaceInput(Container& container, ParsedText& parsed, const PaintedLinks& painted,
               const LinkLook& look, const bool& getTextOnEvent);

  HoverState& hover() { return hover_; }
  const HoverState& hover() const { return hover_; }
  WindowHook& hook() { return hook_; }
  const WindowHook& hook() const { return hook_; }
  // Whether an event whose arguments refer into the link table is being
  // raised: the table may not be rebuilt until it returns.
  bool LinksLocked() const { return linksLocked_ > 0; }

  void Click();
  void DblClick();
  void KeyDown(Integer& keyCode, Integer& shift);
  void KeyPress(Integer& keyAscii);
  void KeyUp(Integer& keyCode, Integer& shift);
  void MouseDown(Integer& button, Integer& shift, Single& x, Single& y);
  void MouseMove(Integer& button, Integer& shift, Single& x, Single& y);
  void MouseUp(Integer& button, Integer& shift, Single& x, Single& y);
  // Images report points relative to themselves; the handlers see surface
  // coordinates, and a handler's X and Y go to the translated values.
  void ImageMouseMove(Integer index, Integer& button, Integer& shift, Single& x, Single& y);
  void ImageMouseUp(Integer index, Integer& button, Integer& shift, Single& x, Single& y);

 private:
  void RaiseLinkEvent(EventId id, EventArgs& args, Integer link);
  void PointerLeft();

  Container& container_;
  ParsedText& parsed_;
  const bool& getTextOnEvent_;
  HoverState hover_;
  WindowHook hook_;
  int linksLocked_ = 0;
};

}  // namespace marklet
