// The run list, link table and image table that parsing builds and that
// drawing and hit testing work from.
#pragma once

#include <string>
#include <vector>

#include "host/numeric.h"
#include "host/values.h"

namespace marklet {

// Positions and widths are twips; font sizes points; colours OLE colours.

enum RunKind : Byte { TextRun = 0, ImageRun = 1, MarginRun = 2 };

// One measured piece of text, a picture or a margin change, in reading order.
struct RunRecord {
  Byte Kind = TextRun;
  Integer LinkIndex = 0;   // its entry in the link table; -1 when not a link
  Integer ImageIndex = 0;  // its entry in the image table (ImageRun)
  bool Bold = false;
  bool Underline = false;
  bool Italic = false;
  std::u16string FontName;
  Single FontSize = 0;
  OleColor Color = 0;
  std::u16string Text;     // a MarginRun holds the new margin, in pixels, as text
  Integer SourceLine = 0;  // a run from another source line starts a new drawn line
  Long Width = 0;          // measured when parsed
};

// One link: what link events report (its text and key), the font it was
// drawn in for the hover look, and the box the last paint gave it.
struct LinkRecord {
  bool IsImage = false;
  std::u16string LinkText;   // the text events carry when GetTextOnEvent is on
  std::u16string DrawnText;  // the text as drawn, for the hover overprint
  std::u16string FontName;
  Single FontSize = 0;
  bool Bold = false;
  bool Italic = false;
  std::u16string LinkKey;
  Single Left = 0;
  Single Top = 0;
  Single Right = 0;
  Single Bottom = 0;
};

// One picture of the text, drawn by an image control; its offsets were given
// in pixels and are kept in twips.
struct ImageRecord {
  marklet::Picture Picture;
  Integer OffsetY = 0;
  Integer OffsetX = 0;
};

// The style state that runs through a whole Text and carries its flags from
// one parse to the next.
struct StyleState {
  bool StyleBold = false;
  bool StyleUnderline = false;
  bool StyleItalic = false;
  std::u16string CurFontName;
  Single CurFontSize = 0;
  OleColor CurColor = 0;
  std::u16string BaseFontName;
  Single BaseFontSize = 0;
  OleColor BaseColor = 0;
};

}  // namespace marklet
