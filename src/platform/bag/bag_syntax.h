// The text form of a property bag: one `Key = Value` line per stored key, in
// the notation form designers use.
//
//   BackColor = &H8000000F&          Long (32-bit): decimal or &H hex, & suffix
//   LinkDisplay = 3&
//   Appearance = 0                   Integer (16-bit): no suffix
//   TabSize = CByte(7)               Byte
//   ShowMoreLink = -1  'True         Boolean: -1 / 0 (True / False also read)
//   Ratio = 1.5!                     Single (! suffix); Double has #
//   Text = "a ""b""" & vbCrLf & "c" & vbTab & ChrW(55296)
//   Picture = LoadPicture("logo.png")
//   BeginProperty Font
//      Name = "MS Sans Serif"
//      Size = 8.25
//      Charset = 0
//      Weight = 400
//      Underline = 0  'False
//      Italic = 0  'False
//      Strikethrough = 0  'False
//   EndProperty
//
// Strings are double-quoted with doubled quotes; every character a text line
// cannot hold safely (control characters, lone surrogates, line and paragraph
// separators, the byte-order mark) is written as a named constant or
// Chr(N) / ChrW(N) joined with `&`, so every UTF-16 string comes back as it
// was. A `'` outside a string starts a comment. Blank lines, indentation and
// CR LF line ends are accepted. The text is UTF-8.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "host/values.h"

namespace marklet::bag {

// One stored key. A picture is kept by the path of its file and loaded when
// it is read; `value` then caches the loaded picture.
struct BagEntry {
  std::u16string key;
  Variant value;
  std::optional<std::u16string> pictureFile;
  int line = 0;  // where the text gave it (its BeginProperty line for a block); 0 if not read
};

// Reads a whole bag text. Anything that is not well formed (a syntax error,
// bad UTF-8, an unterminated string or block, a duplicate key) throws error 13
// naming the line; `origin` (a file name, or empty) prefixes the message.
std::vector<BagEntry> ParseBagText(std::string_view text, std::string_view origin = {});

// Reads one value written as after `Key =` (a number with its suffix, a
// Boolean, a string expression, CByte(N), LoadPicture("FILE")): the whole of
// `text` on one line. A picture comes back as the path of its file. Error 13
// naming `origin` and what was wrong when it is not one well-formed value.
BagEntry ParseBagValue(std::string_view text, std::string_view origin = {});

// Writes the entries in their order. Throws 380 for a value the text cannot
// hold (a picture with no file, a number that is not finite).
std::string FormatBagText(const std::vector<BagEntry>& entries);

// A string as a quoted literal, or a concatenation when it holds characters a
// line cannot hold.
std::string FormatStringExpression(std::u16string_view text);

// Whether a key can be written: letters, digits and underscores, not starting
// with a digit, and not one of the block words.
bool IsValidKey(std::u16string_view key);

}  // namespace marklet::bag
