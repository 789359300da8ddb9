// Style tags: recognising one, and applying it to the style state and the
// surface's drawing font.
#include "markup/markup.h"
#include "markup/parser.h"

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

// Italic and underline are put on the surface when runs are drawn.
bool MarkupParser::ApplyStyleTag(std::u16string_view piece, StyleState& style) {
  StyleTag tag = ClassifyStyleTag(piece);
  switch (tag) {
    case StyleTag::None: return false;
    case StyleTag::BoldOn: style.StyleBold = true; break;
    case StyleTag::BoldOff: style.StyleBold = false; break;
    case StyleTag::UnderlineOn: style.StyleUnderline = true; break;
    case StyleTag::UnderlineOff: style.StyleUnderline = false; break;
    case StyleTag::ItalicOn: style.StyleItalic = true; break;
    case StyleTag::ItalicOff: style.StyleItalic = false; break;
    case StyleTag::FontReset:
      style.CurFontName = style.BaseFontName;
      surface_.SetFontName(style.CurFontName);
      style.CurFontSize = style.BaseFontSize;
      surface_.SetFontSize(style.CurFontSize);
      style.CurColor = style.BaseColor;
      break;
  }
  surface_.SetFontBold(style.StyleBold);
  return true;
}

}  // namespace marklet
