// The items of the markup: text links, font changes and images. (Margin
// changes only keep their content for the renderer; ParseSourceLine stores it.)
#include "host/error.h"
#include "markup/markup.h"
#include "markup/parse_limits.h"
#include "markup/parser.h"

namespace marklet {

namespace {

// The fields of a content cut at every occurrence of `separator`; an empty
// content has none.
std::vector<std::u16string_view> CutFields(std::u16string_view content, char16_t separator) {
  std::vector<std::u16string_view> fields;
  if (content.empty()) return fields;
  std::size_t from = 0;
  while (true) {
    std::size_t at = content.find(separator, from);
    if (at == std::u16string_view::npos) {
      fields.push_back(content.substr(from));
      return fields;
    }
    fields.push_back(content.substr(from, at - from));
    from = at + 1;
  }
}

}  // namespace

// The link's text is its content with "\s" read as "#", plus the space that
// ended the word unless the link closes its source line. A link records the
// style it was written in, except underline, which LinkDisplay decides.
void MarkupParser::AddTextLink(RunRecord& run, std::u16string_view key,
                               std::u16string_view content, bool trailingSpace, Long lineNumber) {
  run.Kind = TextRun;
  run.LinkIndex = out_->linkCount;
  run.Text = UnescapeHash(content);
  if (trailingSpace) run.Text.push_back(u' ');
  run.Bold = out_->style.StyleBold;
  run.Italic = out_->style.StyleItalic;
  run.FontName = out_->style.CurFontName;
  run.FontSize = out_->style.CurFontSize;
  run.Color = out_->style.CurColor;
  run.Width = MeasureWidth(run.Text);
  run.SourceLine = SourceLineOf(lineNumber);
  out_->formatedText += run.Text;

  LinkRecord& link = GrowLinks();
  link.Bold = run.Bold;
  link.Italic = run.Italic;
  link.FontName = run.FontName;
  link.FontSize = run.FontSize;
  link.LinkKey = key;
  link.LinkText = run.Text;
  out_->linkCount = NextCount(out_->linkCount, "links");
}

// Entries are applied left to right; an entry shorter than two characters or
// with an unknown selector does nothing. Name and size reach the surface at
// once, so the runs that follow are measured in them.
void MarkupParser::ApplyFontChange(std::u16string_view content) {
  for (std::u16string_view entry : CutFields(content, u';')) {
    if (entry.size() < 2) continue;
    char16_t selector = entry[0];
    if (selector >= u'A' && selector <= u'Z') selector = static_cast<char16_t>(selector + (u'a' - u'A'));
    if (entry[1] != u':') continue;
    std::u16string_view value = entry.substr(2);
    if (selector == u'c') {
      OleColor colour;
      if (ReadColorNumber(value, colour)) out_->style.CurColor = colour;  // unreadable: unchanged
    } else if (selector == u'f') {
      out_->style.CurFontName = value;
      surface_.SetFontName(out_->style.CurFontName);
    } else if (selector == u's') {
      Single size = CSng(ReadLenientNumber(value));
      if (size == 0) size = 8;
      out_->style.CurFontSize = size;
      surface_.SetFontSize(size);
    }
  }
}

// The picture must load and the content must name a file; both failures end
// the parse. The offsets and the image control are best effort: an unreadable
// or too large offset stays 0, and a control that will not load leaves the
// picture without one.
void MarkupParser::AddImage(RunRecord& run, std::u16string_view key, std::u16string_view content,
                            bool trailingSpace, Long lineNumber) {
  std::size_t index = static_cast<std::size_t>(out_->imageCount);
  if (out_->images.size() <= index) out_->images.resize(index + 1);
  ImageRecord& image = out_->images[index];
  std::vector<std::u16string_view> fields = CutFields(content, u':');
  if (fields.empty()) {
    throw MarkletError(ErrorNumber::SubscriptOutOfRange,
                       "Subscript out of range: an image item names no picture file");
  }
  image.Picture = loadPicture_(std::u16string(fields[0]));

  auto offset = [&](std::size_t field, Long twipsPerPixel, Integer& out) {
    double pixels;
    if (fields.size() <= field || !ReadStrictNumber(fields[field], pixels)) return;
    try {
      out = CInt(pixels * static_cast<double>(twipsPerPixel));
    } catch (const MarkletError&) {
    }
  };
  offset(1, settings_->twipsPerPixelX, image.OffsetX);
  offset(2, settings_->twipsPerPixelY, image.OffsetY);
  if (out_->imageCount > 0) {
    try {
      imageControls_.Load(out_->imageCount);
    } catch (const MarkletError&) {
    }
  }

  run.Kind = ImageRun;
  run.LinkIndex = key.empty() ? Integer{-1} : out_->linkCount;
  run.ImageIndex = out_->imageCount;
  Long himetric = image.Picture ? image.Picture->widthHiMetric : 0;
  Single pictureWidth =
      surface_.ScaleX(static_cast<Single>(himetric), ScaleMode::HiMetric, ScaleMode::Twips);
  Single spaceWidth = trailingSpace ? surface_.TextWidth(u" ") : Single{0};
  run.Width = CLng(static_cast<double>(SAdd(pictureWidth, spaceWidth)));
  run.SourceLine = SourceLineOf(lineNumber);

  if (!key.empty()) {
    LinkRecord& link = GrowLinks();
    link.IsImage = true;
    link.LinkKey = key;
    out_->linkCount = NextCount(out_->linkCount, "links");
  }
  out_->imageCount = NextCount(out_->imageCount, "images");
}

}  // namespace marklet
