// One paint: clears the surface, places the runs of a parsed text on
// word-wrapped lines and draws them, ends an overflowing text with the More
// link, and grows the control to its text when AutoSizeHeight asks for it.
//
// A pass lives for one paint and owns the pen: where the next run goes, the
// current line, its indent and the line gap. Nothing of it survives the
// paint. What the pointer needs afterwards it leaves behind: the boxes of the
// links it drew, written into the link table's records (image links keep
// theirs from earlier paints, as their pictures stay where they were shown),
// and the segments of wrapped links and whether the More link is on screen,
// in a PaintedLinks.
#pragma once

#include <string>
#include <vector>

#include "host/container.h"
#include "host/surface.h"
#include "markup/parser.h"
#include "render/link_segment.h"

namespace marklet {

// What the last paint drew that hit testing looks at besides the link boxes.
struct PaintedLinks {
  std::vector<LinkSegment> segments;
  bool moreLinkShown = false;
  // One flag a record of the link table: the paint drew that link (in one
  // box, in segments, or as a picture) and did not take it back. An image
  // link keeps its box from an earlier paint; only this says whether the
  // last paint showed it.
  std::vector<bool> drawn;
};

// The properties a paint reads.
struct RenderSettings {
  OleColor backColor = 0;
  OleColor foreColor = 0;
  OleColor linkColor = 0;
  bool underlineLink = false;
  bool showMoreLink = false;
  bool singleLine = false;
  bool autoSizeHeight = false;
  Integer leftMargin = 0;
  Integer lineSpacing = 0;
  Long twipsPerPixelX = 0;
  Long twipsPerPixelY = 0;
};

class RenderPass {
 public:
  // `painted` is refilled from the start; a paint that fails half way leaves
  // what it drew up to there, so the pointer finds what is on screen.
  RenderPass(Surface& surface, ImageArray& images, const RenderSettings& settings,
             ParsedText& parsed, PaintedLinks& painted)
      : surface_(surface), imageControls_(images), settings_(settings), parsed_(parsed),
        painted_(painted) {}

  // Paints; with no layout (an empty text, or one still to be parsed) the
  // surface is only cleared.
  void Run(bool hasLayout);

 private:
  // render_text.cc: the run loop.
  void PlaceTextRun(Integer& index);
  void StartLineWith(Integer& index);
  void PlaceImageRun(Integer index);
  LinkRecord& LinkAt(Integer index);
  void MarkDrawn(Integer link, bool drawn);
  Long LineStart() const;

  // draw_run.cc: drawing one run and recording its box.
  void DrawRun(Integer index);
  void WrapLink(Integer index);
  void PlaceImage(Integer index);
  double BaselineShift();

  // overflow.cc: the More link.
  void EraseRun(Integer index);
  void SingleLineOverflow(Integer& index);
  void VerticalOverflow(Integer& index);
  void DrawShortenedRun(Integer index, const std::u16string& shown, bool singleLine);
  void ForgetTakenBackBoxes(Integer from, Integer to);
  void DrawMoreLink(Integer& index);

  Surface& surface_;
  ImageArray& imageControls_;
  const RenderSettings& settings_;
  ParsedText& parsed_;
  PaintedLinks& painted_;

  // The pen.
  Long penX_ = 0;
  double penY_ = 0;  // whole until the first line advance, Single after it
  Long nextX_ = 0;
  Integer currentLine_ = 0;
  Long indent_ = 0;
  Long lineGap_ = 0;
  Long borderSize_ = 0;
  // The run that started the current output line: the overflow loops never
  // take back runs before it.
  Integer lineFirstRun_ = 0;
};

}  // namespace marklet
