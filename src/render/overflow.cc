// Ending the visible text with the More link when the text does not fit.
//
// Room is made on a surface already drawn on: runs already printed are taken
// back by printing them again in the background colour, and the last one
// taken back is printed again, cut to the room that is left. All widths come
// from the parser; only the cut text's own width is measured. The loops never
// take back runs before the first run of the current line.
#include <algorithm>
#include <cstdlib>

#include "host/error.h"
#include "render/render.h"
#include "render/render_pass.h"

namespace marklet {

// Prints a text run again where it was drawn, in the background colour. Only
// text runs are printed: an image or margin run taken back prints nothing.
void RenderPass::EraseRun(Integer index) {
  const RunRecord& run = parsed_.runs[index];
  if (run.Kind != TextRun) return;
  Surface& s = surface_;
  s.SetCurrentX(static_cast<Single>(penX_));
  s.SetFontBold(run.Bold);
  s.SetFontName(run.FontName);
  s.SetFontSize(run.FontSize);
  s.SetCurrentY(CSng(penY_ + BaselineShift()));
  s.SetFontItalic(run.Italic);
  s.SetForeColor(settings_.backColor);
  s.SetFontUnderline(run.LinkIndex < 0 ? run.Underline : settings_.underlineLink);
  s.Print(run.Text);
}

// Text links among the runs taken back and not drawn again lose their boxes:
// nothing of them is on screen any more, and the More link may now stand
// where they were.
void RenderPass::ForgetTakenBackBoxes(Integer from, Integer to) {
  for (int k = from; k <= to; ++k) {
    const RunRecord& run = parsed_.runs[k];
    if (run.Kind != TextRun || run.LinkIndex < 0) continue;
    LinkRecord& link = LinkAt(run.LinkIndex);
    link.Left = link.Top = link.Right = link.Bottom = 0;
    MarkDrawn(run.LinkIndex, false);
  }
}

// Prints the cut text of run `index` at PenX. In the single-line case a
// shortened link gets its box and DrawnText rewritten, measured in the
// run's own font so the box matches the text drawn; in the vertical case only
// its right edge moves. Plain text keeps its own colour on one line and takes
// the ForeColor property when cut at the bottom.
void RenderPass::DrawShortenedRun(Integer index, const std::u16string& shown, bool singleLine) {
  const RunRecord& run = parsed_.runs[index];
  if (run.Kind != TextRun) return;
  Surface& s = surface_;
  s.SetCurrentX(static_cast<Single>(penX_));
  s.SetFontName(run.FontName);
  s.SetFontSize(run.FontSize);
  double shift = BaselineShift();
  s.SetCurrentY(CSng(penY_ + shift));
  s.SetFontItalic(run.Italic);
  s.SetFontBold(run.Bold);
  if (run.LinkIndex >= 0) {
    s.SetForeColor(settings_.linkColor);
    s.SetFontUnderline(settings_.underlineLink);
    LinkRecord& link = LinkAt(run.LinkIndex);
    if (singleLine) {
      link.Right = CSng(penX_ + static_cast<double>(s.TextWidth(shown)));
      link.Left = static_cast<Single>(penX_);
      link.Top = CSng(penY_ + shift);
      link.Bottom = SAdd(link.Top, s.TextHeight(shown));
      link.DrawnText = shown;
      // The run that did not fit is drawn here for the first time.
      MarkDrawn(run.LinkIndex, true);
    } else {
      link.Right = CSng(penX_ + static_cast<double>(s.TextWidth(shown)));
    }
  } else {
    s.SetFontUnderline(run.Underline);
    s.SetForeColor(singleLine ? run.Color : settings_.foreColor);
  }
  s.Print(shown);
  penX_ = CLng(penX_ + static_cast<double>(s.TextWidth(shown)));
}

void RenderPass::DrawMoreLink(Integer& index) {
  index = parsed_.lastRun;
  painted_.moreLinkShown = true;
  DrawRun(index);
}

// Run `index` does not fit the one line (or comes from a later source line).
void RenderPass::SingleLineOverflow(Integer& index) {
  const Long moreWidth = parsed_.runs[parsed_.lastRun].Width;
  const Single right = SSub(surface_.ScaleWidth(), static_cast<Single>(borderSize_));
  nextX_ = AddLng(AddLng(penX_, parsed_.runs[index].Width), moreWidth);

  // PenX counts on both sides here, so this holds only near the left edge. A
  // More link of width 0 takes nothing back either.
  if (static_cast<double>(right) - penX_ >= nextX_ || moreWidth == 0) {
    DrawMoreLink(index);
    return;
  }

  auto room = [&] { return CLng(static_cast<double>(right) - penX_ - moreWidth); };
  Integer k = index;
  Long avail = room();
  // Take back whole runs until 200 twips are free in front of the More link.
  while (avail < 200 && k > lineFirstRun_) {
    k = static_cast<Integer>(k - 1);
    penX_ = SubLng(penX_, parsed_.runs[k].Width);
    EraseRun(k);
    avail = room();
  }
  ForgetTakenBackBoxes(static_cast<Integer>(k + 1), static_cast<Integer>(index - 1));

  // Cut run k to the room left; no room (or no width to divide) cuts it to
  // nothing.
  const RunRecord& run = parsed_.runs[k];
  Integer length = LenInt(run.Text.size());
  Long count = 0;
  if (run.Width != 0) count = DivLng(MulLng(length, avail), run.Width);
  count = std::clamp<Long>(count, 0, length);
  DrawShortenedRun(k, run.Text.substr(0, static_cast<std::size_t>(count)), true);
  DrawMoreLink(index);
}

// Run `index` would start a line that ends below the usable height: the More
// link ends the current line instead.
void RenderPass::VerticalOverflow(Integer& index) {
  const Long moreWidth = parsed_.runs[parsed_.lastRun].Width;
  nextX_ = AddLng(nextX_, moreWidth);
  const Single right = SSub(surface_.ScaleWidth(), static_cast<Single>(borderSize_));
  if (right >= static_cast<Single>(nextX_) || moreWidth == 0) {
    DrawMoreLink(index);
    return;
  }

  // Take back runs from the end of the line until the More width is covered.
  Long uncovered = moreWidth;
  Integer k = static_cast<Integer>(index - 1);
  while (uncovered > 0 && k >= lineFirstRun_) {
    uncovered = SubLng(uncovered, parsed_.runs[k].Width);
    penX_ = SubLng(penX_, parsed_.runs[k].Width);
    EraseRun(k);
    k = static_cast<Integer>(k - 1);
  }
  k = static_cast<Integer>(k + 1);
  if (k < index) {
    ForgetTakenBackBoxes(static_cast<Integer>(k + 1), static_cast<Integer>(index - 1));
    // |uncovered| is the width freed beyond what the More link needs. When
    // even the whole line did not cover it, run k is cut to nothing.
    const RunRecord& run = parsed_.runs[k];
    Integer length = LenInt(run.Text.size());
    Long count = 0;
    if (uncovered <= 0 && run.Width != 0) {
      Long product = MulLng(CLng(static_cast<std::int64_t>(std::llabs(uncovered))), length);
      count = CLng(RoundHalfEven(product / static_cast<double>(run.Width)));
    }
    count = std::clamp<Long>(count, 0, length);
    DrawShortenedRun(k, run.Text.substr(0, static_cast<std::size_t>(count)), false);
  }
  DrawMoreLink(index);
}

}  // namespace marklet
