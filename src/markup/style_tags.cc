// Style tags: recognising one, and applying it to the style state and the
// surface's drawing font.
#include "control/marklet.h"
#include "markup/markup.h"

namespace marklet {

StyleTag ClassifyStyleTag(std::u16string_view piece) {
  while (!piece.empty() && piece.front() == u' ') piece.remove_prefix(1);
  while (!piece.empty() && piece.back() == u' ') piece.remove_suffix(1);
  if (piece.size() != 2) return StyleTag::None;
  char16_t letter = piece[1];
  if (letter >= u'A' && letter <= u'Z') letter = static_cast<char16_t>(letter + (u'a' - u'A'));
  if (piece[0] == u'&') {
    switch (letter) {
      case u'b': return StyleTag::BoldOn;
      case u'u': return StyleTag::UnderlineOn;
      case u'i': return StyleTag::ItalicOn;
      default: return StyleTag::None;
    }
  }
  if (piece[0] == u'\\') {
    switch (letter) {
      case u'b': return StyleTag::BoldOff;
      case u'u': return StyleTag::UnderlineOff;
      case u'i': return StyleTag::ItalicOff;
      case u'f': return StyleTag::FontReset;
      default: return StyleTag::None;
    }
  }
  return StyleTag::None;
}

// Only bold reaches the surface while parsing, because it changes the widths
// measured; italic and underline are put on the surface when runs are drawn.
bool Marklet::ApplyStyleTag(std::u16string_view piece) {
  StyleTag tag = ClassifyStyleTag(piece);
  switch (tag) {
    case StyleTag::None: return false;
    case StyleTag::BoldOn: style_.StyleBold = true; break;
    case StyleTag::BoldOff: style_.StyleBold = false; break;
    case StyleTag::UnderlineOn: style_.StyleUnderline = true; break;
    case StyleTag::UnderlineOff: style_.StyleUnderline = false; break;
    case StyleTag::ItalicOn: style_.StyleItalic = true; break;
    case StyleTag::ItalicOff: style_.StyleItalic = false; break;
    case StyleTag::FontReset:
      style_.CurFontName = style_.BaseFontName;
      surface().SetFontName(style_.CurFontName);
      style_.CurFontSize = style_.BaseFontSize;
      surface().SetFontSize(style_.CurFontSize);
      style_.CurColor = style_.BaseColor;
      break;
  }
  surface().SetFontBold(style_.StyleBold);
  return true;
}

}  // namespace marklet
