// The surface's input events and the control events they raise.
#include "host/error.h"
#include "input/surface_input.h"

namespace marklet {

namespace {

// Holds the link table locked while an event whose LinkKey refers into it is
// raised: a parse started from the handler stops with error 10 instead of
// emptying the table under the reference.
class LinksLock {
 public:
  explicit LinksLock(int& count) : count_(count) { ++count_; }
  ~LinksLock() { --count_; }
  LinksLock(const LinksLock&) = delete;
  LinksLock& operator=(const LinksLock&) = delete;

 private:
  int& count_;
};

// Surface coordinate of a point on an image: the image's position plus the
// point, added as Singles; a sum beyond the Single range raises error 6.
Single ImageToSurface(Single origin, Single offset) {
  return CSng(static_cast<double>(origin) + static_cast<double>(offset));
}

}  // namespace

SurfaceInput::SurfaceInput(Container& container, ParsedText& parsed, const PaintedLinks& painted,
                           const LinkLook& look, const bool& getTextOnEvent)
    : container_(container),
      parsed_(parsed),
      getTextOnEvent_(getTextOnEvent),
      hover_(container, parsed, painted, look),
      hook_(container, [this] { PointerLeft(); }) {}

// The pointer left the window: the hovered link gets its look back, then
// MouseOut is raised (not when putting the look back failed).
void SurfaceInput::PointerLeft() {
  hover_.Clear(false);
  EventArgs none;
  container_.RaiseEvent(EventId::MouseOut, none);
}

void SurfaceInput::Click() {
  EventArgs args;
  container_.RaiseEvent(EventId::Click, args);
}

void SurfaceInput::DblClick() {
  EventArgs args;
  container_.RaiseEvent(EventId::DblClick, args);
}

void SurfaceInput::KeyDown(Integer& keyCode, Integer& shift) {
  EventArgs args{Variant::FromInteger(keyCode), Variant::FromInteger(shift)};
  container_.RaiseEvent(EventId::KeyDown, args);
  keyCode = args[0].ToInteger();
  shift = args[1].ToInteger();
}

void SurfaceInput::KeyPress(Integer& keyAscii) {
  EventArgs args{Variant::FromInteger(keyAscii)};
  container_.RaiseEvent(EventId::KeyPress, args);
  keyAscii = args[0].ToInteger();
}

void SurfaceInput::KeyUp(Integer& keyCode, Integer& shift) {
  EventArgs args{Variant::FromInteger(keyCode), Variant::FromInteger(shift)};
  container_.RaiseEvent(EventId::KeyUp, args);
  keyCode = args[0].ToInteger();
  shift = args[1].ToInteger();
}

void SurfaceInput::MouseDown(Integer& button, Integer& shift, Single& x, Single& y) {
  EventArgs args{Variant::FromInteger(button), Variant::FromInteger(shift), Variant::FromSingle(x),
                 Variant::FromSingle(y)};
  container_.RaiseEvent(EventId::MouseDown, args);
  button = args[0].ToInteger();
  shift = args[1].ToInteger();
  x = args[2].ToSingle();
  y = args[3].ToSingle();
}

// Raises an event whose first two arguments are LinkText and LinkKey for link
// `link` (-1: none), with the table locked while a link is referred to.
void SurfaceInput::RaiseLinkEvent(EventId id, EventArgs& args, Integer link) {
  if (link == -1) {
    container_.RaiseEvent(id, args);
    return;
  }
  {
    LinksLock lock(linksLocked_);
    container_.RaiseEvent(id, args);
  }
  if (link < static_cast<long>(parsed_.links.size())) parsed_.links[link].LinkKey = args[1].ToString();
}

void SurfaceInput::MouseMove(Integer& button, Integer& shift, Single& x, Single& y) {
  hook_.RequestMouseLeave();
  hover_.Update(x, y);
  const Integer link = hover_.LinkUnderPointer();
  std::u16string linkText, linkKey;
  if (link != -1) {
    if (getTextOnEvent_) linkText = parsed_.links[link].LinkText;
    linkKey = parsed_.links[link].LinkKey;
  }
  EventArgs args{Variant::FromString(std::move(linkText)), Variant::FromString(std::move(linkKey)),
                 Variant::FromInteger(button), Variant::FromInteger(shift), Variant::FromSingle(x),
                 Variant::FromSingle(y)};
  RaiseLinkEvent(EventId::MouseMove, args, link);
  button = args[2].ToInteger();
  shift = args[3].ToInteger();
  x = args[4].ToSingle();
  y = args[5].ToSingle();
}

// Any button activates the link under the pointer; where the press began does
// not matter. The hand pointer says a link was found by the last move; the
// link record must still be there for the click to be reported.
void SurfaceInput::MouseUp(Integer& button, Integer& shift, Single& x, Single& y) {
  if (container_.surface().MousePointer() == kPointerCustom) {
    const Integer link = hover_.LinkUnderPointer();
    if (link != -1) {
      EventArgs args{Variant::FromString(getTextOnEvent_ ? parsed_.links[link].LinkText : std::u16string()),
                     Variant::FromString(parsed_.links[link].LinkKey)};
      RaiseLinkEvent(EventId::OnLinkClick, args, link);
    }
  }
  EventArgs args{Variant::FromInteger(button), Variant::FromInteger(shift), Variant::FromSingle(x),
                 Variant::FromSingle(y)};
  container_.RaiseEvent(EventId::MouseUp, args);
  button = args[0].ToInteger();
  shift = args[1].ToInteger();
  x = args[2].ToSingle();
  y = args[3].ToSingle();
}

void SurfaceInput::ImageMouseMove(Integer index, Integer& button, Integer& shift, Single& x, Single& y) {
  Single surfaceX = ImageToSurface(container_.imgC().Left(index), x);
  Single surfaceY = ImageToSurface(container_.imgC().Top(index), y);
  MouseMove(button, shift, surfaceX, surfaceY);
}

void SurfaceInput::ImageMouseUp(Integer index, Integer& button, Integer& shift, Single& x, Single& y) {
  Single surfaceX = ImageToSurface(container_.imgC().Left(index), x);
  Single surfaceY = ImageToSurface(container_.imgC().Top(index), y);
  MouseUp(button, shift, surfaceX, surfaceY);
}

}  // namespace marklet
