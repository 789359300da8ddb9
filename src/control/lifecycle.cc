// Creation, paint, resize, show and termination.
#include "control/marklet.h"
#include "host/error.h"

namespace marklet {

Marklet::Marklet(Container& container)
    : container_(container), input_(container, parsed_, painted_, look_, getTextOnEvent_) {}

// A control destroyed without its Terminate notification still takes its
// hook off the window, so no message ever reaches a freed instance.
Marklet::~Marklet() {
  try {
    input_.hook().Unhook();
  } catch (...) {
  }
}

// The hook goes in first, before any other state is set, so the window never
// runs without it while the control lives.
void Marklet::Initialize() {
  input_.hook().Hook();
  twipsPerPixelX_ = CLng(static_cast<double>(container_.ScreenTwipsPerPixelX()));
  twipsPerPixelY_ = CLng(static_cast<double>(container_.ScreenTwipsPerPixelY()));
  input_.hover().Forget();
  // Until a font is set or loaded, Font reports the surface's font as the
  // control found it, not whatever drawing later leaves on the surface.
  try {
    acceptedFont_ = surface().Font();
    hasAcceptedFont_ = true;
  } catch (const MarkletError&) {
  }
}

// The parser sees the control's settings as they are now; the segments and
// the More link of the last paint point into the link table it rebuilds, so
// they go first, unless a handler still holds that table and the parse is
// refused.
void Marklet::ParseText(const std::u16string& text) {
  container_.ParseStarted();
  layoutReady_ = false;
  ParseSettings settings;
  settings.multiLine = !singleLine_;
  settings.tabSize = tabSize_;
  settings.acceptedFont = hasAcceptedFont_ ? &acceptedFont_ : nullptr;
  settings.linkColor = look_.color;
  settings.moreLinkText = moreLinkText_;
  settings.twipsPerPixelX = twipsPerPixelX_;
  settings.twipsPerPixelY = twipsPerPixelY_;
  settings.linksLocked = input_.LinksLocked();
  if (!settings.linksLocked) {
    painted_.segments.clear();
    painted_.moreLinkShown = false;
  }
  MarkupParser parser(surface(), container_.imgC(),
                      [this](const std::u16string& path) { return container_.LoadPicture(path); });
  parser.Parse(text, settings, parsed_);
  layoutReady_ = true;
}

void Marklet::RenderText() {
  RenderSettings settings;
  settings.backColor = backColor_;
  settings.foreColor = foreColor_;
  settings.linkColor = look_.color;
  settings.underlineLink = look_.underline;
  settings.showMoreLink = showMoreLink_;
  settings.singleLine = singleLine_;
  settings.autoSizeHeight = autoSizeHeight_;
  settings.leftMargin = leftMargin_;
  settings.lineSpacing = lineSpacing_;
  settings.twipsPerPixelX = twipsPerPixelX_;
  settings.twipsPerPixelY = twipsPerPixelY_;
  RenderPass pass(surface(), container_.imgC(), settings, parsed_, painted_);
  try {
    pass.Run(!text_.empty() && layoutReady_);
  } catch (...) {
    container_.Painted();
    throw;
  }
  container_.Painted();
}

// A resize re-wraps the existing runs; it never parses.
void Marklet::Resize() { RenderText(); }

void Marklet::Paint() {
  if (!layoutReady_) ParseText(text_);
  RenderText();
}

void Marklet::Show() {}

void Marklet::Terminate() { input_.hook().Unhook(); }

}  // namespace marklet
