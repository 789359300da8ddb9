// Parse: the Text becomes the run list, the link table, the image table and
// the plain text, each run measured in the font it will be drawn in.
#include <cmath>
#include <string>

#include "host/error.h"
#include "markup/markup.h"
#include "markup/parse_limits.h"
#include "markup/parser.h"

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

void MarkupParser::Parse(const std::u16string& text, const ParseSettings& settings,
                         ParsedText& parsed) {
  settings_ = &settings;
  out_ = &parsed;
  StyleState& style = parsed.style;
  try {
    parsed.images.clear();
    parsed.imageCount = 0;
    // The run table is emptied by counting: the records of the last parse
    // are refilled in place, so their string buffers serve again instead of
    // being freed and allocated run by run. FinishRuns drops the rest.
    runsBuilt_ = 0;
    parsed.lastRun = 0;
    // Event handlers may hold references into the link table while the
    // pointer code raises their events; the table cannot be rebuilt under them.
    if (settings.linksLocked) {
      FinishRuns();
      throw MarkletError(ErrorNumber::ArrayLocked);
    }
    parsed.links.clear();
    parsed.linkCount = 0;
    parsed.formatedText.clear();

    int upper = imageControls_.UBound();
    for (int i = 1; i <= upper; ++i) {
      // A member whose load failed in an earlier parse is not there to unload.
      if (imageControls_.IsLoaded(static_cast<Integer>(i))) imageControls_.Unload(static_cast<Integer>(i));
    }

    // Every parse measures from the accepted font, whatever the last paint,
    // hover or failed parse left on the surface, so widths match the drawing.
    FontDesc accepted = settings.acceptedFont ? *settings.acceptedFont : surface_.Font();
    surface_.SetFontName(accepted.name);
    surface_.SetFontSize(accepted.size);
    surface_.SetFontBold(style.StyleBold);
    style.BaseFontName = surface_.FontName();
    style.CurFontName = style.BaseFontName;
    style.BaseFontSize = surface_.FontSize();
    style.CurFontSize = style.BaseFontSize;
    style.BaseColor = surface_.ForeColor();
    style.CurColor = style.BaseColor;

    const std::u16string converted = ConvertLines(text, settings.multiLine, settings.tabSize);
    std::vector<std::u16string_view> lines = CutSourceLines(converted);
    for (std::size_t n = 0; n < lines.size(); ++n) {
      if (n > 0) parsed.formatedText += u"\r\n";
      ParseSourceLine(lines[n], CLng(static_cast<std::int64_t>(n)));
    }
    AddMoreRunAndLink();
    FinishRuns();
    if (parsed.imageCount == 0) HideImageZero();
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
}

// Cuts one source line into words and each word into pieces at "#", and
// makes the runs of the pieces.
void MarkupParser::ParseSourceLine(std::u16string_view source, Long lineNumber) {
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
      if (ApplyStyleTag(piece, out_->style)) break;
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
              out_->lastRun = static_cast<Integer>(out_->lastRun - 1);  // the next run takes this slot
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
              out_->lastRun = static_cast<Integer>(out_->lastRun - 1);  // unknown items make nothing
              break;
          }
        }
      }
      if (!item) {
        if (j == lastPiece && !piece.empty()) piece.remove_suffix(1);
        AddPlainText(run, piece, lineNumber);
      }
      out_->lastRun = NextCount(out_->lastRun, "runs");
    }

    start = pos + 1;
    pos = start <= last ? nextSpace.From(start) : npos;
  }
}

RunRecord& MarkupParser::GrowRuns() {
  std::size_t index = static_cast<std::size_t>(out_->lastRun);
  for (; runsBuilt_ <= index; ++runsBuilt_) {
    if (runsBuilt_ == out_->runs.size()) {
      out_->runs.emplace_back();
      continue;
    }
    // A record of the last parse, made new but for its strings' buffers.
    RunRecord& run = out_->runs[runsBuilt_];
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
  return out_->runs[index];
}

// The run table ends where this parse got to.
void MarkupParser::FinishRuns() {
  out_->runs.erase(out_->runs.begin() + static_cast<std::ptrdiff_t>(runsBuilt_), out_->runs.end());
}

LinkRecord& MarkupParser::GrowLinks() {
  std::size_t index = static_cast<std::size_t>(out_->linkCount);
  if (out_->links.size() <= index) out_->links.resize(index + 1);
  return out_->links[index];
}

Long MarkupParser::MeasureWidth(const std::u16string& text) {
  if (text.empty()) return 0;
  double width = surface_.TextWidth(text);
  // Widths are nearly always whole twips already, and a whole number in range
  // converts as it is: only the others need the rounding.
  if (width >= -2147483648.0 && width <= 2147483647.0 && width == std::trunc(width)) {
    return static_cast<Long>(width);
  }
  return CLng(width);
}

void MarkupParser::AddPlainText(RunRecord& run, std::u16string_view piece, Long lineNumber) {
  run.Kind = TextRun;
  run.LinkIndex = -1;
  run.Text = UnescapeHash(piece);
  run.Bold = out_->style.StyleBold;
  run.Underline = out_->style.StyleUnderline;
  run.Italic = out_->style.StyleItalic;
  run.FontName = out_->style.CurFontName;
  run.Color = out_->style.CurColor;
  run.FontSize = out_->style.CurFontSize;
  run.Width = MeasureWidth(run.Text);
  run.SourceLine = SourceLineOf(lineNumber);
  out_->formatedText += run.Text;
}

// The More run and the More link close every parse, whether or not the
// renderer will show them.
void MarkupParser::AddMoreRunAndLink() {
  RunRecord& run = GrowRuns();
  run.Kind = TextRun;
  run.LinkIndex = out_->linkCount;
  run.Bold = out_->style.StyleBold;
  run.FontName = out_->style.CurFontName;
  run.FontSize = out_->style.CurFontSize;
  run.Italic = false;
  run.Color = settings_->linkColor;
  run.Text = settings_->moreLinkText;
  run.Width = MeasureWidth(run.Text);

  LinkRecord& link = GrowLinks();
  link.Bold = out_->style.StyleBold;
  link.FontName = out_->style.CurFontName;
  link.FontSize = out_->style.CurFontSize;
  link.LinkKey = u"!More";
  link.LinkText = settings_->moreLinkText;
}

// Image control 0 always exists; with no image of its own in the layout, it
// must not keep showing a picture from an earlier text.
void MarkupParser::HideImageZero() {
  if (imageControls_.Visible(0)) imageControls_.SetVisible(0, false);
}

}  // namespace marklet
