// The forms' tooltip: a small borderless window showing a text just below
// the pointer's last known place (above it near the bottom of the screen),
// made on first use and kept for the next text.
#pragma once

#include <string>

#include "host/numeric.h"
#include "platform/raster/text_engine.h"

struct _XDisplay;

namespace marklet::x11 {

class Tooltip {
 public:
  Tooltip(_XDisplay* display, raster::TextEngine& text) : display_(display), text_(text) {}
  ~Tooltip();
  Tooltip(const Tooltip&) = delete;
  Tooltip& operator=(const Tooltip&) = delete;

  // Shows the text in the form's font on a screen of `tppY` twips per pixel;
  // an empty text hides the tip.
  void Show(const std::u16string& text, Single tppY);
  void Hide();
  bool shown() const { return shown_; }
  // The tip's window (0 before its first show).
  unsigned long window() const { return window_; }
  // Where the pointer was last seen, in root window pixels.
  void SetPointerRoot(int x, int y) {
    pointerX_ = x;
    pointerY_ = y;
  }

 private:
  _XDisplay* display_;
  raster::TextEngine& text_;
  unsigned long window_ = 0;
  bool shown_ = false;
  std::u16string shownText_;
  int pointerX_ = 0, pointerY_ = 0;
};

}  // namespace marklet::x11
