// ParseText: the Text becomes the run list, the link table, the image table
// and the plain text, each run measured in the font it will be drawn in.
#include <cmath>
#include <string>

#include "control/marklet.h"
#include "host/error.h"
#include "markup/markup.h"
#include "markup/parse_limits.h"

namespace marklet {

namespace {

bool EndsWith(std::u16string_view text, std::u16string_view tail) {
  return text.size() >= tail.size() && text.substr(text.size() - tail.size()) == tail;
}

// The next occurrence of one character at or after a position that only ever
// moves forward. The answer is kept, so a search never covers the same
// stretch of the line twice, even when words end before the character found.
class NextOf {
 public:
  NextOf(const std::u16string& line, char16_t c) : line_(line), c_(c) {}
  std::size_t From(std::size_t start) {
    if (!searched_ || (found_ != std::u16string::npos && found_ < start)) {
      found_ = line_.find(c_, start);
      searched_ = true;
    }
    return found_;
  }

 private:
  const std::u16string& line_;
  char16_t c_;
  bool searched_ = false;
  std::size_t found_ = std::u16string::npos;
};

}  // namespace

void Marklet::ParseText(const std::u16string& text) {
  container_.ParseStarted();
  layoutReady_ = false;
  try {
    images_.clear();
    imageCount_ = 0;
    // The run table is emptied by counting: the records of the last parse
    // are refilled in place, so their string buffers serve again instead of
    // being freed and allocated run by run. FinishRuns drops the rest.
    runsBuilt_ = 0;
    lastRun_ = 0;
    // Event handlers may hold references into the link table while the
    // pointer code raises their events; the table cannot be rebuilt under them.
    if (linksLocked_ > 0) {
      FinishRuns();
      throw MarkletError(ErrorNumber::ArrayLocked);
    }
    links_.clear();
    linkCount_ = 0;
    // Segments and the More link point into the link table: a parse that
    // stops half way must not leave boxes that hit the new table's links.
    linkSegments_.clear();
    moreLinkShown_ = false;
    formatedText_.clear();

    ImageArray& images = container_.imgC();
    int upper = images.UBound();
    for (int i = 1; i <= upper; ++i) {
      // A member whose load failed in an earlier parse is not there to unload.
      if (images.IsLoaded(static_cast<Integer>(i))) images.Unload(static_cast<Integer>(i));
    }

    // Every parse measures from the accepted font, whatever the last paint,
    // hover or failed parse left on the surface, so widths match the drawing.
    FontDesc accepted = Font();
    surface().SetFontName(accepted.name);
    surface().SetFontSize(accepted.size);
    surface().SetFontBold(style_.StyleBold);
    style_.BaseFontName = surface().FontName();
    style_.CurFontName = style_.BaseFontName;
    style_.BaseFontSize = surface().FontSize();
    style_.CurFontSize = style_.BaseFontSize;
    style_.BaseColor = surface().ForeColor();
    style_.CurColor = style_.BaseColor;

    const std::u16string converted = ConvertLines(text, !singleLine_, tabSize_);
    std::vector<std::u16string_view> lines = CutSourceLines(converted);
    for (std::size_t n = 0; n < lines.size(); ++n) {
      if (n > 0) formatedText_ += u"\r\n";
      ParseSourceLine(lines[n], CLng(static_cast<std::int64_t>(n)));
    }
    AddMoreRunAndLink();
    FinishRuns();
    if (imageCount_ == 0) HideImageZero();
  } catch (const MarkletError&) {
    FinishRuns();
    // Nothing of a failed parse is drawn; a picture left visible from an
    // earlier parse would be the only thing on screen.
    try {
      HideImageZero();
    } catch (const MarkletError&) {
    }
    throw;
  } catch (...) {
    FinishRuns();
    throw;
  }
  layoutReady_ = true;
}

// Cuts one source line into words and each word into pieces at "#", and
// makes the runs of the pieces.
void Marklet::ParseSourceLine(std::u16string_view source, Long lineNumber) {
  // Preparing never shortens a line, so a line already too long with its
  // terminator is refused before the work of preparing it.
  if (source.size() + 1 > kMaxPreparedLine) {
    RaiseOverflow("Overflow: source line " + std::to_string(lineNumber) +
                  " is longer than 32,766 characters");
  }
  std::u16string line;
  line.reserve(source.size() + 1);
  line.append(source);
  line.push_back(u' ');  // the line terminator
  const std::u16string prepared = PrepareLine(std::move(line));
  if (prepared.size() > kMaxPreparedLine) {
    RaiseOverflow("Overflow: source line " + std::to_string(lineNumber) +
                  " is longer than 32,766 characters once its style tags are isolated");
  }

  const std::size_t npos = std::u16string::npos;
  const std::size_t last = prepared.size() - 1;
  NextOf nextSpace(prepared, u' '), nextLt(prepared, u'<'), nextGt(prepared, u'>');
  std::vector<std::u16string_view> pieces;
  std::size_t start = 0;
  std::size_t pos = nextSpace.From(start);
  while (pos != npos) {
    // A word that holds a "<" runs to the first ">" after its start (and the
    // space after that), so link texts and item contents may hold spaces.
    std::size_t lt = nextLt.From(start);
    if (lt != npos && lt <= pos) {
      std::size_t gt = nextGt.From(start);
      if (gt != npos) {
        pos = gt;
        if (pos + 1 <= last && prepared[pos + 1] == u' ') ++pos;
      }
    }
    std::u16string_view word(prepared.data() + start, pos - start + 1);
    SplitAtHash(word, u'#', pieces);
    // Only the last word of a line hides its last character, the terminator.
    std::size_t lastPiece = pos == last ? pieces.size() - 1 : npos;

    for (std::size_t j = 0; j < pieces.size(); ++j) {
      std::u16string_view piece = pieces[j];
      if (ApplyStyleTag(piece)) break;
      RunRecord& run = GrowRuns();
      if (EndsWith(piece, kGlueMarker)) {
        piece.remove_suffix(kGlueMarker.size());
        ++pos;  // drop the character after the word
      }
      bool item = false;
      if (!piece.empty() && piece[0] == u'#') {
        std::size_t open = piece.find(u'<');
        std::size_t close = open == npos ? npos : piece.find(u'>', open + 1);
        item = open != npos && close != npos && piece[1] != u'<';
        if (item) {
          std::u16string_view key = piece.substr(2, open - 2);
          std::u16string_view content = piece.substr(open + 1, close - open - 1);
          bool endsInSpace = piece.back() == u' ';
          switch (piece[1]) {
            case u'e':
            case u'E':
              AddTextLink(run, key, content, endsInSpace && lastPiece == npos, lineNumber);
              break;
            case u'f':
            case u'F':
              ApplyFontChange(content);
              lastRun_ = static_cast<Integer>(lastRun_ - 1);  // the next run takes this slot
              break;
            case u'i':
            case u'I':
              AddImage(run, key, content, endsInSpace, lineNumber);
              break;
            case u'm':
            case u'M':
              run.Kind = MarginRun;
              run.LinkIndex = -1;
              run.Text = content;
              break;
            default:
              lastRun_ = static_cast<Integer>(lastRun_ - 1);  // unknown items make nothing
              break;
          }
        }
      }
      if (!item) {
        if (j == lastPiece && !piece.empty()) piece.remove_suffix(1);
        AddPlainText(run, piece, lineNumber);
      }
      lastRun_ = NextCount(lastRun_, "runs");
    }

    start = pos + 1;
    pos = start <= last ? nextSpace.From(start) : npos;
  }
}

RunRecord& Marklet::GrowRuns() {
  std::size_t index = static_cast<std::size_t>(lastRun_);
  for (; runsBuilt_ <= index; ++runsBuilt_) {
    if (runsBuilt_ == runs_.size()) {
      runs_.emplace_back();
      continue;
    }
    // A record of the last parse, made new but for its strings' buffers.
    RunRecord& run = runs_[runsBuilt_];
    run.Kind = TextRun;
    run.LinkIndex = 0;
    run.ImageIndex = 0;
    run.Bold = run.Underline = run.Italic = false;
    run.FontName.clear();
    run.FontSize = 0;
    run.Color = 0;
    run.Text.clear();
    run.SourceLine = 0;
    run.Width = 0;
  }
  return runs_[index];
}

// The run table ends where this parse got to.
void Marklet::FinishRuns() {
  runs_.erase(runs_.begin() + static_cast<std::ptrdiff_t>(runsBuilt_), runs_.end());
}

LinkRecord& Marklet::GrowLinks() {
  std::size_t index = static_cast<std::size_t>(linkCount_);
  if (links_.size() <= index) links_.resize(index + 1);
  return links_[index];
}

Long Marklet::MeasureWidth(const std::u16string& text) {
  if (text.empty()) return 0;
  double width = surface().TextWidth(text);
  // Widths are nearly always whole twips already, and a whole number in range
  // converts as it is: only the others need the rounding.
  if (width >= -2147483648.0 && width <= 2147483647.0 && width == std::trunc(width)) {
    return static_cast<Long>(width);
  }
  return CLng(width);
}

void Marklet::AddPlainText(RunRecord& run, std::u16string_view piece, Long lineNumber) {
  run.Kind = TextRun;
  run.LinkIndex = -1;
  run.Text = UnescapeHash(piece);
  run.Bold = style_.StyleBold;
  run.Underline = style_.StyleUnderline;
  run.Italic = style_.StyleItalic;
  run.FontName = style_.CurFontName;
  run.Color = style_.CurColor;
  run.FontSize = style_.CurFontSize;
  run.Width = MeasureWidth(run.Text);
  run.SourceLine = SourceLineOf(lineNumber);
  formatedText_ += run.Text;
}

// The More run and the More link close every parse, whether or not the
// renderer will show them.
void Marklet::AddMoreRunAndLink() {
  RunRecord& run = GrowRuns();
  run.Kind = TextRun;
  run.LinkIndex = linkCount_;
  run.Bold = style_.StyleBold;
  run.FontName = style_.CurFontName;
  run.FontSize = style_.CurFontSize;
  run.Italic = false;
  run.Color = linkColor_;
  run.Text = moreLinkText_;
  run.Width = MeasureWidth(run.Text);

  LinkRecord& link = GrowLinks();
  link.Bold = style_.StyleBold;
  link.FontName = style_.CurFontName;
  link.FontSize = style_.CurFontSize;
  link.LinkKey = u"!More";
  link.LinkText = moreLinkText_;
}

// Image control 0 always exists; with no image of its own in the layout, it
// must not keep showing a picture from an earlier text.
void Marklet::HideImageZero() {
  ImageArray& images = container_.imgC();
  if (images.Visible(0)) images.SetVisible(0, false);
}

}  // namespace marklet
