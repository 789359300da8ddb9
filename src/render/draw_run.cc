// Drawing one run where the run loop placed it: a text run or a link in one
// box, a link broken into segments over several lines, or a picture. Drawing
// a link records its box (or its segments) for the hit tester.
//
// These routines set the surface's font and colour and leave them so: the
// next run's fit test measures in what the previous run left.
#include <algorithm>
#include <cstdlib>

#include "host/error.h"
#include "render/render.h"
#include "render/render_pass.h"

namespace marklet {

namespace {

bool EndsWithSpace(const std::u16string& text) { return !text.empty() && text.back() == u' '; }

}  // namespace

// Runs of different sizes share roughly one baseline: a run one point larger
// than the base font sits one pixel higher than the line top. The size is
// read back because the surface may round it to one it can render.
double RenderPass::BaselineShift() {
  return (static_cast<double>(parsed_.style.BaseFontSize) - static_cast<double>(surface_.FontSize())) *
         settings_.twipsPerPixelY;
}

void RenderPass::DrawRun(Integer index) {
  const RunRecord& run = parsed_.runs[index];
  Surface& s = surface_;
  s.SetCurrentX(static_cast<Single>(penX_));

  if (run.LinkIndex < 0) {
    s.SetFontBold(run.Bold);
    s.SetFontName(run.FontName);
    s.SetFontItalic(run.Italic);
    s.SetFontSize(run.FontSize);
    s.SetCurrentY(CSng(penY_ + BaselineShift()));
    s.SetForeColor(run.Color);
    s.SetFontUnderline(run.Underline);
    s.Print(run.Text);
    return;
  }

  LinkRecord& link = LinkAt(run.LinkIndex);
  s.SetFontName(link.FontName);
  s.SetFontSize(link.FontSize);
  double shift = BaselineShift();
  s.SetCurrentY(CSng(penY_ + shift));
  s.SetFontItalic(link.Italic);

  // A link's trailing space is printed after it, never underlined, and lies
  // outside its box.
  bool trailing = EndsWithSpace(run.Text);
  std::u16string shown = trailing ? run.Text.substr(0, run.Text.size() - 1) : run.Text;
  s.SetForeColor(settings_.linkColor);
  s.SetFontBold(run.Bold);
  s.SetFontUnderline(settings_.underlineLink);
  s.Print(shown);
  if (trailing) {
    s.SetFontUnderline(false);
    s.Print(u" ");
  }

  link.Left = static_cast<Single>(penX_);
  link.Right = trailing ? CSng(penX_ + static_cast<double>(s.TextWidth(shown))) : CSng(static_cast<double>(penX_) + run.Width);
  link.Top = CSng(penY_ + shift);
  link.Bottom = SAdd(link.Top, s.TextHeight(run.Text));
  MarkDrawn(run.LinkIndex, true);
}

// Breaks a link into segments at its spaces, one segment per line, starting
// at PenX on the current line. Each segment is a hit box of its own. On
// return PenX and NextX hold the x right after the last segment and PenY the
// top of its line.
void RenderPass::WrapLink(Integer index) {
  const RunRecord& run = parsed_.runs[index];
  const Integer linkIndex = run.LinkIndex;
  const bool bold = run.Bold;
  LinkRecord& link = LinkAt(linkIndex);
  Surface& s = surface_;
  MarkDrawn(linkIndex, true);

  s.SetCurrentX(static_cast<Single>(penX_));
  s.SetFontName(link.FontName);
  s.SetFontSize(link.FontSize);
  const double shift = BaselineShift();
  s.SetCurrentY(CSng(penY_ + shift));
  s.SetFontItalic(link.Italic);

  // How many characters of `rest` fit between PenX and the right edge, by
  // proportion of its measured width.
  auto fittingChars = [&](const std::u16string& rest) -> Integer {
    Long avail = CLng(static_cast<double>(s.ScaleWidth()) - borderSize_ - penX_);
    Integer length = LenInt(rest.size());
    Single width = s.TextWidth(rest);
    Long product = CLng(static_cast<std::int64_t>(std::llabs(avail)) * length);
    if (width == 0) return length;
    double n = RoundHalfEven(product / static_cast<double>(width));
    return static_cast<Integer>(std::min<double>(n, length));
  };
  auto newLine = [&](const std::u16string& rest) {
    penX_ = LineStart();
    penY_ = SAdd(SAdd(static_cast<Single>(penY_), s.TextHeight(rest)), static_cast<Single>(lineGap_));
    lineFirstRun_ = index;
  };

  std::u16string rest = run.Text;
  std::u16string last;
  Long lastLeft = penX_;
  while (!rest.empty()) {
    Integer n = fittingChars(rest);
    // Every line takes at least one character, so the loop always ends.
    if (n == 0) {
      newLine(rest);
      n = std::max<Integer>(fittingChars(rest), 1);
    }
    const Integer length = LenInt(rest.size());
    if (n < length && rest[n - 1] != u' ') {
      Integer space = LastSpaceAtOrBefore(rest, n);
      if (space == 0) {
        newLine(rest);
        n = std::max<Integer>(fittingChars(rest), 1);
      } else {
        n = space;
      }
    }

    // The space at which the line breaks belongs to neither segment; a break
    // inside a word keeps its character for the next segment.
    std::u16string segment, remainder;
    if (n >= length) {
      segment = rest;
    } else if (rest[n - 1] == u' ') {
      segment = rest.substr(0, n - 1);
      remainder = rest.substr(n);
    } else {
      std::size_t keep = std::max<std::size_t>(n - 1, 1);
      segment = rest.substr(0, keep);
      remainder = rest.substr(keep);
    }
    last = segment;

    bool trailing = EndsWithSpace(segment);
    std::u16string shown = trailing ? segment.substr(0, segment.size() - 1) : segment;
    LinkSegment entry;
    entry.LinkIndex = linkIndex;
    entry.Text = shown;
    entry.Left = static_cast<Single>(penX_);
    entry.Top = CSng(penY_ + shift);
    entry.Right = CSng(penX_ + static_cast<double>(s.TextWidth(shown)));
    entry.Bottom = SAdd(entry.Top, s.TextHeight(shown));
    // Segment indexes are 16-bit: one past 32,767 is an overflow.
    CInt(static_cast<std::int64_t>(SafeUpperBound(painted_.segments)) + 1);
    painted_.segments.push_back(std::move(entry));

    s.SetForeColor(settings_.linkColor);
    s.SetFontBold(bold);
    s.SetFontUnderline(settings_.underlineLink);
    s.SetCurrentX(static_cast<Single>(penX_));
    s.SetCurrentY(CSng(penY_ + shift));
    s.Print(shown);
    if (trailing) {
      s.SetFontUnderline(false);
      s.Print(u" ");
    }

    lastLeft = penX_;
    penX_ = LineStart();
    if (remainder.empty()) break;
    penY_ = SAdd(SAdd(static_cast<Single>(penY_), s.TextHeight(segment)), static_cast<Single>(lineGap_));
    lineFirstRun_ = index;
    rest = std::move(remainder);
  }
  // The pen continues right after the last segment, wherever it was drawn.
  penX_ = CLng(lastLeft + static_cast<double>(s.TextWidth(last)));
  nextX_ = penX_;
}

void RenderPass::PlaceImage(Integer index) {
  const RunRecord& run = parsed_.runs[index];
  if (run.ImageIndex < 0 || static_cast<std::size_t>(run.ImageIndex) >= parsed_.images.size()) {
    throw MarkletError(ErrorNumber::SubscriptOutOfRange);
  }
  const ImageRecord& image = parsed_.images[run.ImageIndex];
  ImageArray& imgC = imageControls_;
  // The parser goes on when an image control cannot be loaded; such a
  // picture is not shown (and gives no box) rather than failing every paint.
  if (!imgC.IsLoaded(run.ImageIndex)) return;
  imgC.SetPicture(run.ImageIndex, image.Picture);
  Single left = CSng(static_cast<double>(penX_) + image.OffsetX);
  Single top = CSng(penY_ + image.OffsetY);
  imgC.Move(run.ImageIndex, left, top);
  imgC.SetVisible(run.ImageIndex, true);

  if (run.LinkIndex >= 0) {
    LinkRecord& link = LinkAt(run.LinkIndex);
    Long widthHiMetric = image.Picture ? image.Picture->widthHiMetric : 0;
    Long heightHiMetric = image.Picture ? image.Picture->heightHiMetric : 0;
    Surface& s = surface_;
    link.Left = left;
    link.Top = top;
    link.Right = SAdd(left, s.ScaleX(static_cast<Single>(widthHiMetric), ScaleMode::HiMetric, ScaleMode::Twips));
    link.Bottom = SAdd(top, s.ScaleY(static_cast<Single>(heightHiMetric), ScaleMode::HiMetric, ScaleMode::Twips));
    MarkDrawn(run.LinkIndex, true);
  }
}

}  // namespace marklet
