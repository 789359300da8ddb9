// The paint pipeline: clears the surface, places the runs on word-wrapped
// lines with margins and line spacing, hands each run to its drawing routine
// and finally grows the control to its text when AutoSizeHeight asks for it.
//
// Placement works from the widths the parser stored: a run is drawn at PenX
// and the pen then moves by the run's stored Width. Only the fit test measures
// again, and it measures in whatever font the previous run left on the
// surface (the run's own font is set only when it is drawn).
#include <algorithm>

#include "control/marklet.h"
#include "host/error.h"
#include "markup/markup.h"
#include "render/render.h"

namespace marklet {

// ---- String helpers ----

Integer ReverseSearchStart(const std::u16string& text) {
  Integer start = SubInt(LenInt(text.size()), 1);
  return start == 0 ? Integer{-1} : start;
}

Integer LastSpaceAtOrBefore(const std::u16string& text, Integer start) {
  std::size_t end = start < 0 ? text.size() : std::min<std::size_t>(text.size(), start);
  for (std::size_t i = end; i > 0; --i)
    if (text[i - 1] == u' ') return LenInt(i);
  return 0;
}

std::u16string TrimTrailingSpaces(const std::u16string& text) {
  std::size_t end = text.size();
  while (end > 0 && text[end - 1] == u' ') --end;
  return text.substr(0, end);
}

// ---- The run loop ----

Long Marklet::LineStart() const { return CLng(borderSize_ / 2.0 + indent_); }

LinkRecord& Marklet::LinkAt(Integer index) {
  if (index < 0 || static_cast<std::size_t>(index) >= parsed_.links.size()) {
    throw MarkletError(ErrorNumber::SubscriptOutOfRange);
  }
  return parsed_.links[index];
}

void Marklet::RenderText() {
  surface().SetBackColor(backColor_);
  moreLinkShown_ = false;
  linkSegments_.clear();
  // An empty text or a layout still to be parsed leaves the surface cleared,
  // and then no segment or More link of an earlier paint may be hit either:
  // their link indexes may no longer mean the same links.
  if (text_.empty() || !layoutReady_) return;
  if (parsed_.lastRun < 0 || static_cast<std::size_t>(parsed_.lastRun) >= parsed_.runs.size()) return;

  // A text link this paint does not draw has no box, so it can never be hit
  // where it is not shown (under the More link, say). Image links keep theirs:
  // their pictures stay where they were shown.
  for (LinkRecord& link : parsed_.links) {
    if (!link.IsImage) link.Left = link.Top = link.Right = link.Bottom = 0;
  }

  // 32-bit working values: large twips-per-pixel factors or margins must not
  // make every paint fail.
  indent_ = CLng(static_cast<double>(leftMargin_) * twipsPerPixelX_);
  lineGap_ = CLng(static_cast<double>(lineSpacing_) * twipsPerPixelY_);
  borderSize_ = CLng(static_cast<double>(SSub(surface().Width(), surface().ScaleWidth())));

  penX_ = LineStart();
  nextX_ = penX_;
  penY_ = 0;
  currentLine_ = 0;
  lineFirstRun_ = 0;

  // The last run is the More run: only the overflow handling draws it. A
  // handler that draws it moves the index onto it, which ends the loop.
  for (int i = 0; i < parsed_.lastRun; ++i) {
    Integer index = static_cast<Integer>(i);
    splitLink_ = false;
    switch (parsed_.runs[index].Kind) {
      case TextRun: PlaceTextRun(index); break;
      case ImageRun: PlaceImageRun(index); break;
      case MarginRun:
        indent_ = CLng(ReadLenientNumber(parsed_.runs[index].Text) * twipsPerPixelX_);
        break;
      default: break;
    }
    i = index;
  }

  surface().SetFontName(parsed_.style.BaseFontName);
  surface().SetFontSize(parsed_.style.BaseFontSize);
  surface().SetForeColor(parsed_.style.BaseColor);

  if (autoSizeHeight_) {
    // The last run processed; when the text made no run of its own only the
    // More run is left, and its text gives one line in the base font.
    Integer last = moreLinkShown_ ? parsed_.lastRun : static_cast<Integer>(parsed_.lastRun - 1);
    if (last < 0) last = parsed_.lastRun;
    Single lineHeight = surface().TextHeight(parsed_.runs[last].Text);
    // Setting the height raises Resize, which paints again and sets the same
    // height; that ends the cycle.
    surface().SetHeight(SAdd(SAdd(static_cast<Single>(penY_), lineHeight), static_cast<Single>(borderSize_)));
  }
}

void Marklet::PlaceTextRun(Integer& index) {
  const RunRecord& run = parsed_.runs[index];
  if (run.LinkIndex >= 0) LinkAt(run.LinkIndex).DrawnText.clear();

  Single width = surface().TextWidth(TrimTrailingSpaces(run.Text));
  Single right = SSub(surface().ScaleWidth(), static_cast<Single>(borderSize_));
  bool fits = right >= SAdd(static_cast<Single>(nextX_), width);
  bool sameSourceLine = run.SourceLine == currentLine_;

  if (fits && sameSourceLine) {
    nextX_ = AddLng(nextX_, run.Width);
    DrawRun(index);
    penX_ = nextX_;
  } else if (sameSourceLine && run.LinkIndex >= 0 && !showMoreLink_ && !singleLine_ &&
             LastSpaceAtOrBefore(run.Text, ReverseSearchStart(run.Text)) > 0) {
    splitLink_ = true;
    WrapLink(index);
  } else if (!singleLine_) {
    StartLineWith(index);
  } else if (!showMoreLink_) {
    // Single-line mode without the More link: everything goes on the one
    // line and the surface clips what passes the right edge.
    nextX_ = AddLng(nextX_, run.Width);
    DrawRun(index);
    penX_ = nextX_;
  } else {
    SingleLineOverflow(index);
  }
}

// A run that did not fit, or that comes from a later source line, starts the
// next line, unless that line would end below the usable height and the More
// link is to end the text there.
void Marklet::StartLineWith(Integer& index) {
  const RunRecord& run = parsed_.runs[index];
  // A run that only failed to fit keeps CurrentLine, so the runs after it
  // from its source line continue on the new visual line.
  if (run.SourceLine > currentLine_) currentLine_ = run.SourceLine;

  Single lineHeight = surface().TextHeight(run.Text);
  Single twoLines = SMul(SAdd(static_cast<Single>(lineGap_), lineHeight), 2);
  Long bottom = CLng(static_cast<double>(twoLines) + CLng(penY_) + borderSize_);
  bool below = static_cast<double>(surface().ScaleHeight()) - borderSize_ < bottom;
  if (below && showMoreLink_ && !autoSizeHeight_ && surface().BackStyle() != 0) {
    VerticalOverflow(index);
    return;
  }

  penY_ = SAdd(SAdd(static_cast<Single>(penY_), lineHeight), static_cast<Single>(lineGap_));
  nextX_ = CLng(borderSize_ / 2.0 + (static_cast<double>(indent_) + run.Width));
  penX_ = LineStart();
  lineFirstRun_ = index;
  DrawRun(index);
  penX_ = nextX_;
}

// Images always wrap, in every mode; they never cause an overflow.
void Marklet::PlaceImageRun(Integer index) {
  const RunRecord& run = parsed_.runs[index];
  if (static_cast<double>(surface().ScaleWidth()) < static_cast<double>(nextX_) + run.Width) {
    currentLine_ = AddInt(currentLine_, 1);
  }
  if (currentLine_ == run.SourceLine) {
    nextX_ = AddLng(nextX_, run.Width);
  } else {
    currentLine_ = run.SourceLine;
    Single lineHeight = surface().TextHeight(run.Text);
    penY_ = SAdd(SAdd(static_cast<Single>(penY_), lineHeight), static_cast<Single>(lineGap_));
    nextX_ = CLng(borderSize_ / 2.0 + (static_cast<double>(indent_) + run.Width));
    penX_ = LineStart();
    lineFirstRun_ = index;
  }
  PlaceImage(index);
  penX_ = nextX_;
}

}  // namespace marklet
