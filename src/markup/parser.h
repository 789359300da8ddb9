// The parser: a Text becomes the run list, the link table, the image table
// and the plain text, each run measured in the font it will be drawn in.
//
// The parser owns nothing between parses. What a parse makes lives in a
// ParsedText the caller keeps: its run records are refilled in place by the
// next parse (their string buffers serve again), its style flags carry over
// to the next parse, and a parse that stops on an error leaves the tables as
// far as it got.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "host/container.h"
#include "host/surface.h"
#include "markup/records.h"

namespace marklet {

struct ParsedText {
  // The runs of the text, then the More run at index lastRun.
  std::vector<RunRecord> runs;
  Integer lastRun = 0;
  // The links of the text, then the More link at index linkCount.
  std::vector<LinkRecord> links;
  Integer linkCount = 0;
  std::vector<ImageRecord> images;
  Integer imageCount = 0;
  StyleState style;
  // The text without its markup (FormatedText), source lines joined by CR LF.
  std::u16string formatedText;
};

// What a parse reads of the control.
struct ParseSettings {
  bool multiLine = true;
  Byte tabSize = 0;
  // The font every parse measures from; null: the surface's font, read when
  // the parse gets to it.
  const FontDesc* acceptedFont = nullptr;
  // The More run's colour and text.
  OleColor linkColor = 0;
  std::u16string_view moreLinkText;
  Long twipsPerPixelX = 0;
  Long twipsPerPixelY = 0;
  // An event handler holds references into the link table: the parse stops
  // with error 10 before touching it.
  bool linksLocked = false;
};

// Loads a picture file named by an image item (errors 53 and 481 end the parse).
using PictureLoader = std::function<Picture(const std::u16string& path)>;

class MarkupParser {
 public:
  // `surface` measures and carries the font while parsing; `images` are the
  // image controls the pictures are shown in.
  MarkupParser(Surface& surface, ImageArray& images, PictureLoader loadPicture)
      : surface_(surface), imageControls_(images), loadPicture_(std::move(loadPicture)) {}

  // Parses `text` into `parsed`, which keeps the style flags of the last
  // parse. Throws MarkletError; the tables then end where the parse stopped.
  void Parse(const std::u16string& text, const ParseSettings& settings, ParsedText& parsed);

  // Applies a style tag to `style` and the surface's drawing font; false,
  // changing nothing, when the piece is no style tag. Only bold reaches the
  // surface, because it changes the widths measured.
  bool ApplyStyleTag(std::u16string_view piece, StyleState& style);

 private:
  void ParseSourceLine(std::u16string_view source, Long lineNumber);
  Long MeasureWidth(const std::u16string& text);
  RunRecord& GrowRuns();
  void FinishRuns();
  LinkRecord& GrowLinks();
  void AddPlainText(RunRecord& run, std::u16string_view piece, Long lineNumber);
  void AddTextLink(RunRecord& run, std::u16string_view key, std::u16string_view content,
                   bool trailingSpace, Long lineNumber);
  void ApplyFontChange(std::u16string_view content);
  void AddImage(RunRecord& run, std::u16string_view key, std::u16string_view content,
                bool trailingSpace, Long lineNumber);
  void AddMoreRunAndLink();
  void HideImageZero();

  Surface& surface_;
  ImageArray& imageControls_;
  PictureLoader loadPicture_;
  // Set for the length of one Parse.
  const ParseSettings* settings_ = nullptr;
  ParsedText* out_ = nullptr;
  // How many records of out_->runs belong to this parse; the rest are the
  // last parse's, kept for their buffers until FinishRuns.
  std::size_t runsBuilt_ = 0;
};

}  // namespace marklet
