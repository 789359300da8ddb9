// The run loop of a paint: places the runs on word-wrapped lines with
// margins and line spacing, hands each run to its drawing routine and finally
// grows the control to its text when AutoSizeHeight asks for it.
//
// Placement works from the widths the parser stored: a run is drawn at PenX
// and the pen then moves by the run's stored Width. Only the fit test measures
// again, and it measures in whatever font the previous run left on the
// surface (the run's own font is set only when it is drawn).
#include <algorithm>

#include "host/error.h"
#include "markup/markup.h"
#include "render/render.h"
#include "render/render_pass.h"

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

Long RenderPass::LineStart() const { return CLng(borderSize_ / 2.0 + indent_); }

LinkRecord& RenderPass::LinkAt(Integer index) {
  if (index < 0 || static_cast<std::size_t>(index) >= parsed_.links.size()) {
    throw MarkletError(ErrorNumber::SubscriptOutOfRange);
  }
  return parsed_.links[index];
}

void RenderPass::MarkDrawn(Integer link, bool drawn) {
  if (link >= 0 && static_cast<std::size_t>(link) < painted_.drawn.size()) painted_.drawn[link] = drawn;
}

void RenderPass::Run(bool hasLayout) {
  surface_.SetBackColor(settings_.backColor);
  painted_.moreLinkShown = false;
  painted_.segments.clear();
  painted_.drawn.assign(parsed_.links.size(), false);
  // An empty text or a layout still to be parsed leaves the surface cleared,
  // and then no segment or More link of an earlier paint may be hit either:
  // their link indexes may no longer mean the same links.
  if (!hasLayout) return;
  if (parsed_.lastRun < 0 || static_cast<std::size_t>(parsed_.lastRun) >= parsed_.runs.size()) return;

  // A text link this paint does not draw has no box, so it can never be hit
  // where it is not shown (under the More link, say). Image links keep theirs:
  // their pictures stay where they were shown.
  for (LinkRecord& link : parsed_.links) {
    if (!link.IsImage) link.Left = link.Top = link.Right = link.Bottom = 0;
  }

  // 32-bit working values: large twips-per-pixel factors or margins must not
  // make every paint fail.
  indent_ = CLng(static_cast<double>(settings_.leftMargin) * settings_.twipsPerPixelX);
  lineGap_ = CLng(static_cast<double>(settings_.lineSpacing) * settings_.twipsPerPixelY);
  borderSize_ = CLng(static_cast<double>(SSub(surface_.Width(), surface_.ScaleWidth())));

  penX_ = LineStart();
  nextX_ = penX_;
  penY_ = 0;
  currentLine_ = 0;
  lineFirstRun_ = 0;

  // The last run is the More run: only the overflow handling draws it. A
  // handler that draws it moves the index onto it, which ends the loop.
  for (int i = 0; i < parsed_.lastRun; ++i) {
    Integer index = static_cast<Integer>(i);
    switch (parsed_.runs[index].Kind) {
      case TextRun: PlaceTextRun(index); break;
      case ImageRun: PlaceImageRun(index); break;
      case MarginRun:
        indent_ = CLng(ReadLenientNumber(parsed_.runs[index].Text) * settings_.twipsPerPixelX);
        break;
      default: break;
    }
    i = index;
  }

  surface_.SetFontName(parsed_.style.BaseFontName);
  surface_.SetFontSize(parsed_.style.BaseFontSize);
  surface_.SetForeColor(parsed_.style.BaseColor);

  if (settings_.autoSizeHeight) {
    // The last run processed; when the text made no run of its own only the
    // More run is left, and its text gives one line in the base font.
    Integer last = painted_.moreLinkShown ? parsed_.lastRun : static_cast<Integer>(parsed_.lastRun - 1);
    if (last < 0) last = parsed_.lastRun;
    Single lineHeight = surface_.TextHeight(parsed_.runs[last].Text);
    // Setting the height raises Resize, which paints again and sets the same
    // height; that ends the cycle.
    surface_.SetHeight(SAdd(SAdd(static_cast<Single>(penY_), lineHeight), static_cast<Single>(borderSize_)));
  }
}

void RenderPass::PlaceTextRun(Integer& index) {
  const RunRecord& run = parsed_.runs[index];
  if (run.LinkIndex >= 0) LinkAt(run.LinkIndex).DrawnText.clear();

  Single width = surface_.TextWidth(TrimTrailingSpaces(run.Text));
  Single right = SSub(surface_.ScaleWidth(), static_cast<Single>(borderSize_));
  bool fits = right >= SAdd(static_cast<Single>(nextX_), width);
  bool sameSourceLine = run.SourceLine == currentLine_;

  if (fits && sameSourceLine) {
    nextX_ = AddLng(nextX_, run.Width);
    DrawRun(index);
    penX_ = nextX_;
  } else if (sameSourceLine && run.LinkIndex >= 0 && !settings_.showMoreLink && !settings_.singleLine &&
             LastSpaceAtOrBefore(run.Text, ReverseSearchStart(run.Text)) > 0) {
    WrapLink(index);
  } else if (!settings_.singleLine) {
    StartLineWith(index);
  } else if (!settings_.showMoreLink) {
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
void RenderPass::StartLineWith(Integer& index) {
  const RunRecord& run = parsed_.runs[index];
  // A run that only failed to fit keeps CurrentLine, so the runs after it
  // from its source line continue on the new visual line.
  if (run.SourceLine > currentLine_) currentLine_ = run.SourceLine;

  Single lineHeight = surface_.TextHeight(run.Text);
  Single twoLines = SMul(SAdd(static_cast<Single>(lineGap_), lineHeight), 2);
  Long bottom = CLng(static_cast<double>(twoLines) + CLng(penY_) + borderSize_);
  bool below = static_cast<double>(surface_.ScaleHeight()) - borderSize_ < bottom;
  if (below && settings_.showMoreLink && !settings_.autoSizeHeight && surface_.BackStyle() != 0) {
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
void RenderPass::PlaceImageRun(Integer index) {
  const RunRecord& run = parsed_.runs[index];
  if (static_cast<double>(surface_.ScaleWidth()) < static_cast<double>(nextX_) + run.Width) {
    currentLine_ = AddInt(currentLine_, 1);
  }
  if (currentLine_ == run.SourceLine) {
    nextX_ = AddLng(nextX_, run.Width);
  } else {
    currentLine_ = run.SourceLine;
    Single lineHeight = surface_.TextHeight(run.Text);
    penY_ = SAdd(SAdd(static_cast<Single>(penY_), lineHeight), static_cast<Single>(lineGap_));
    nextX_ = CLng(borderSize_ / 2.0 + (static_cast<double>(indent_) + run.Width));
    penX_ = LineStart();
    lineFirstRun_ = index;
  }
  PlaceImage(index);
  penX_ = nextX_;
}

}  // namespace marklet
