// The paint pipeline: clears the surface, places the runs on word-wrapped
// lines with margins and line spacing, hands each run to its drawing routine
// and finally grows the control to its text when AutoSizeHeight asks for it.
//
// Placement works from the widths the parser stored: a run is drawn at PenX
// and the pen then moves by the run's stored Width. Only the fit test measures
// again, and it measures in whatever font the previous run left on the
// surface (the run's own font is set only when it is drawn).
#include <algorithm>
#include <charconv>

#include "control/marklet.h"
#include "host/error.h"
#include "render/render.h"

namespace marklet {

// ---- String and number helpers ----

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

namespace {

bool IsBlank(char16_t c) { return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r'; }

// "&H" and "&O" numbers: up to 16 bits they read as a 16-bit signed value,
// up to 32 bits as a 32-bit signed one, the way such literals always have.
double ReadRadixNumber(const std::u16string& text, std::size_t i, int radix) {
  std::uint64_t value = 0;
  bool any = false;
  for (; i < text.size(); ++i) {
    char16_t c = text[i];
    if (IsBlank(c)) continue;
    int digit = -1;
    if (c >= u'0' && c <= u'9') digit = c - u'0';
    else if (radix == 16 && c >= u'a' && c <= u'f') digit = c - u'a' + 10;
    else if (radix == 16 && c >= u'A' && c <= u'F') digit = c - u'A' + 10;
    if (digit < 0 || digit >= radix) break;
    value = value * radix + digit;
    any = true;
    if (value > 0xFFFFFFFFull) RaiseOverflow();
  }
  if (!any) return 0;
  if (value <= 0xFFFF) return static_cast<double>(static_cast<std::int16_t>(value));
  return static_cast<double>(static_cast<std::int32_t>(static_cast<std::uint32_t>(value)));
}

}  // namespace

double LeadingNumber(const std::u16string& text) {
  std::size_t i = 0;
  auto skip = [&] {
    while (i < text.size() && IsBlank(text[i])) ++i;
  };
  skip();
  if (i + 1 < text.size() && text[i] == u'&') {
    char16_t r = text[i + 1];
    if (r == u'h' || r == u'H') return ReadRadixNumber(text, i + 2, 16);
    if (r == u'o' || r == u'O') return ReadRadixNumber(text, i + 2, 8);
    return 0;
  }
  std::string number;
  if (i < text.size() && (text[i] == u'-' || text[i] == u'+')) number.push_back(static_cast<char>(text[i++]));
  bool digits = false, point = false;
  for (; i < text.size(); ++i) {
    char16_t c = text[i];
    if (IsBlank(c)) continue;
    if (c >= u'0' && c <= u'9') {
      digits = true;
      number.push_back(static_cast<char>(c));
    } else if (c == u'.' && !point) {
      point = true;
      number.push_back('.');
    } else {
      break;
    }
  }
  if (!digits) return 0;
  // An exponent counts only when at least one digit follows it.
  if (i < text.size() && (text[i] == u'e' || text[i] == u'E' || text[i] == u'd' || text[i] == u'D')) {
    std::size_t j = i + 1;
    std::string exponent = "e";
    while (j < text.size() && IsBlank(text[j])) ++j;
    if (j < text.size() && (text[j] == u'-' || text[j] == u'+')) exponent.push_back(static_cast<char>(text[j++]));
    bool expDigits = false;
    for (; j < text.size(); ++j) {
      char16_t c = text[j];
      if (IsBlank(c)) continue;
      if (c < u'0' || c > u'9') break;
      expDigits = true;
      if (exponent.size() < 8) exponent.push_back(static_cast<char>(c));
    }
    if (expDigits) number += exponent;
  }
  if (!number.empty() && number[0] == '+') number.erase(0, 1);
  double value = 0;
  auto result = std::from_chars(number.data(), number.data() + number.size(), value);
  if (result.ec == std::errc::result_out_of_range) {
    // Too small reads as 0; too large cannot become a margin.
    if (number.find("e-") != std::string::npos) return 0;
    RaiseOverflow();
  }
  return value;
}

// ---- The run loop ----

Long Marklet::LineStart() const { return CLng(borderSize_ / 2.0 + indent_); }

LinkRecord& Marklet::LinkAt(Integer index) {
  if (index < 0 || static_cast<std::size_t>(index) >= links_.size()) {
    throw MarkletError(ErrorNumber::SubscriptOutOfRange);
  }
  return links_[index];
}

void Marklet::RenderText() {
  surface().SetBackColor(backColor_);
  if (text_.empty() || !layoutReady_) return;
  if (lastRun_ < 0 || static_cast<std::size_t>(lastRun_) >= runs_.size()) return;

  moreLinkShown_ = false;
  linkSegments_.clear();
  // A text link this paint does not draw has no box, so it can never be hit
  // where it is not shown (under the More link, say). Image links keep theirs:
  // their pictures stay where they were shown.
  for (LinkRecord& link : links_) {
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
  for (int i = 0; i < lastRun_; ++i) {
    Integer index = static_cast<Integer>(i);
    splitLink_ = false;
    switch (runs_[index].Kind) {
      case TextRun: PlaceTextRun(index); break;
      case ImageRun: PlaceImageRun(index); break;
      case MarginRun:
        indent_ = CLng(LeadingNumber(runs_[index].Text) * twipsPerPixelX_);
        break;
      default: break;
    }
    i = index;
  }

  surface().SetFontName(style_.BaseFontName);
  surface().SetFontSize(style_.BaseFontSize);
  surface().SetForeColor(style_.BaseColor);

  if (autoSizeHeight_) {
    // The last run processed; when the text made no run of its own only the
    // More run is left, and its text gives one line in the base font.
    Integer last = moreLinkShown_ ? lastRun_ : static_cast<Integer>(lastRun_ - 1);
    if (last < 0) last = lastRun_;
    Single lineHeight = surface().TextHeight(runs_[last].Text);
    // Setting the height raises Resize, which paints again and sets the same
    // height; that ends the cycle.
    surface().SetHeight(SAdd(SAdd(static_cast<Single>(penY_), lineHeight), static_cast<Single>(borderSize_)));
  }
}

void Marklet::PlaceTextRun(Integer& index) {
  const RunRecord& run = runs_[index];
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
  const RunRecord& run = runs_[index];
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
  const RunRecord& run = runs_[index];
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
