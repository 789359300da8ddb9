// The run list, link table and image table that parsing builds and that
// drawing and hit testing work from.
#pragma once

#include <string>
#include <vector>

#include "host/numeric.h"
#include "host/values.h"

namespace marklet {

enum RunKind : Byte { TextRun = 0, ImageRun = 1, MarginRun = 2 };

struct RunRecord {
  Byte Kind = TextRun;
  Integer LinkIndex = 0;
  Integer ImageIndex = 0;
  bool Bold = false;
  bool Underline = false;
  bool Italic = false;
  std::u16string FontName;
  Single FontSize = 0;
  OleColor Color = 0;
  std::u16string Text;
  Integer SourceLine = 0;
  Long Width = 0;
};

struct LinkRecord {
  bool IsImage = false;
  std::u16string LinkText;
  std::u16string DrawnText;
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
