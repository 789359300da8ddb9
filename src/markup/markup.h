// The string-level steps of reading a Text: line conversion, source lines,
// style-tag isolation, cutting words into pieces, the hash escape, and the
// small number readers of font changes, image offsets and margins.
//
// None of these touch the control; ParseText (Marklet) strings them together.
// Positions in comments are 1-based, as the markup's users count them.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "host/values.h"

namespace marklet {

// The seven style tags, in the order PrepareLine isolates them. The order
// matters: a tag isolated earlier already carries its following space when a
// later tag looks at the characters on its left.
inline constexpr std::u16string_view kStyleTags[] = {u"&b", u"\\b", u"&u", u"\\u",
                                                      u"\\f", u"&i", u"\\i"};

// Written at the end of a word, it makes the parser drop the character after
// the word, so text on both sides of a style tag joins with no space.
inline constexpr std::u16string_view kGlueMarker = u"\\0 ";

// Line ends and tabs as MultiLine reads them. MultiLine: each CR LF pair
// becomes the line-break escape "\n", each tab character `tabSize` spaces,
// then each "\t" escape `tabSize` spaces. Single line: each CR LF pair and
// each tab character becomes one space and "\t" stays as written. Every
// replacement runs left to right and never rescans what it inserted.
std::u16string ConvertLines(std::u16string_view text, bool multiLine, int tabSize);

// Cuts converted text at every "\n" escape (the two characters disappear). An
// empty text has no source lines; a trailing "\n" leaves a last empty line.
// The lines are views into `converted`.
std::vector<std::u16string_view> CutSourceLines(std::u16string_view converted);

// Gives every occurrence of `tag` one space after it. When the character in
// front of the tag is not a space, and the two characters in front are not an
// ampersand followed by any character, the glue marker and one extra space go
// in front as well, so the tag stands as a word of its own while the text on
// its two sides still joins. `tag` is two characters long.
void IsolateTag(std::u16string& line, std::u16string_view tag);

// The line after isolating each style tag in turn.
std::u16string PrepareLine(std::u16string line);

// Cuts a word before every separator: the text before the first one (if any),
// then each separator with what follows it up to the next one. A separator
// directly followed by another yields nothing. The views point into `word`.
void SplitAtHash(std::u16string_view word, char16_t separator,
                 std::vector<std::u16string_view>& pieces);
std::vector<std::u16string> SplitAtHash(std::u16string_view word, char16_t separator = u'#');

// The text with every "\s" replaced by "#", left to right.
std::u16string UnescapeHash(std::u16string_view text);

enum class StyleTag { None, BoldOn, BoldOff, UnderlineOn, UnderlineOff, ItalicOn, ItalicOff, FontReset };

// Which style tag a piece is: compared with spaces trimmed from both ends
// (other white space stays) and letters in lower case.
StyleTag ClassifyStyleTag(std::u16string_view piece);

// ---- Number readers ----

// The colour of a "c:" entry: decimal digits with an optional sign and
// fraction (rounded to the nearest whole number, a tie to the even one), or
// hexadecimal digits after "&H", with blanks around. Hexadecimal gives the
// bits as written (so &H8000000F is a system colour); a decimal must fit a
// signed 32-bit number and a negative one gives its two's complement bits.
// Returns false, leaving `colour` alone, when the text is no such number or
// does not fit 32 bits.
bool ReadColorNumber(std::u16string_view text, OleColor& colour);

// The lenient reading of "s:" sizes and margin changes: blanks (spaces, tabs,
// line feeds) are skipped wherever they stand, "." separates the fraction,
// "&H" starts a hexadecimal number, an exponent (E or D) may follow the
// digits, and reading stops at the first character that cannot continue the
// number. Nothing readable gives 0. A number too large for a double gives
// infinity, which the caller's conversion refuses.
double ReadLenientNumber(std::u16string_view text);

// The strict reading of image offsets: apart from blanks around it, the whole
// text must be one decimal number (optional sign, digits, optional fraction,
// optional exponent). Returns false for anything else, the empty text
// included.
bool ReadStrictNumber(std::u16string_view text, double& value);

}  // namespace marklet
