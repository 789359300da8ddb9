// The surface's input events and the control events they raise.
//
// Event arguments go out by reference: after an event returns, the values a
// handler assigned are copied back to the surface event's own arguments, and
// an assignment to LinkKey is copied into the link's record, where it stays
// until the next parse. LinkText is always a fresh copy.
#include "control/marklet.h"
#include "host/error.h"

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

void Marklet::SurfaceClick() {
  EventArgs args;
  container_.RaiseEvent(EventId::Click, args);
}

void Marklet::SurfaceDblClick() {
  EventArgs args;
  container_.RaiseEvent(EventId::DblClick, args);
}

void Marklet::SurfaceKeyDown(Integer& keyCode, Integer& shift) {
  EventArgs args{Variant::FromInteger(keyCode), Variant::FromInteger(shift)};
  container_.RaiseEvent(EventId::KeyDown, args);
  keyCode = args[0].ToInteger();
  shift = args[1].ToInteger();
}

void Marklet::SurfaceKeyPress(Integer& keyAscii) {
  EventArgs args{Variant::FromInteger(keyAscii)};
  container_.RaiseEvent(EventId::KeyPress, args);
  keyAscii = args[0].ToInteger();
}

void Marklet::SurfaceKeyUp(Integer& keyCode, Integer& shift) {
  EventArgs args{Variant::FromInteger(keyCode), Variant::FromInteger(shift)};
  container_.RaiseEvent(EventId::KeyUp, args);
  keyCode = args[0].ToInteger();
  shift = args[1].ToInteger();
}

void Marklet::SurfaceMouseDown(Integer& button, Integer& shift, Single& x, Single& y) {
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
void Marklet::RaiseLinkEvent(EventId id, EventArgs& args, Integer link) {
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

void Marklet::SurfaceMouseMove(Integer& button, Integer& shift, Single& x, Single& y) {
  RequestMouseLeave();
  UpdateHover(x, y);
  const Integer link = LinkUnderPointer();
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
void Marklet::SurfaceMouseUp(Integer& button, Integer& shift, Single& x, Single& y) {
  if (surface().MousePointer() == kPointerCustom) {
    const Integer link = LinkUnderPointer();
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

// Images report points relative to themselves; the handlers see surface
// coordinates, and a handler's X and Y go to the translated values.
void Marklet::ImageMouseMove(Integer index, Integer& button, Integer& shift, Single& x, Single& y) {
  Single surfaceX = ImageToSurface(container_.imgC().Left(index), x);
  Single surfaceY = ImageToSurface(container_.imgC().Top(index), y);
  SurfaceMouseMove(button, shift, surfaceX, surfaceY);
}

void Marklet::ImageMouseUp(Integer index, Integer& button, Integer& shift, Single& x, Single& y) {
  Single surfaceX = ImageToSurface(container_.imgC().Left(index), x);
  Single surfaceY = ImageToSurface(container_.imgC().Top(index), y);
  SurfaceMouseUp(button, shift, surfaceX, surfaceY);
}

}  // namespace marklet
