// Line conversion, source lines, style-tag isolation, pieces and the hash
// escape. Each step builds its result in one pass over its input, so reading
// a Text stays linear in its length however many tags or escapes it holds.
#include "markup/markup.h"

namespace marklet {

namespace {

// Replaces every occurrence of `from` by `to`, left to right, without
// rescanning what was inserted.
std::u16string ReplaceAll(std::u16string_view text, std::u16string_view from, std::u16string_view to) {
  std::size_t at = text.find(from);
  if (at == std::u16string_view::npos) return std::u16string(text);
  std::u16string out;
  out.reserve(text.size());
  std::size_t done = 0;
  while (at != std::u16string_view::npos) {
    out.append(text.substr(done, at - done));
    out.append(to);
    done = at + from.size();
    at = text.find(from, done);
  }
  out.append(text.substr(done));
  return out;
}

}  // namespace

std::u16string ConvertLines(std::u16string_view text, bool multiLine, int tabSize) {
  if (!multiLine) {
    std::u16string out = ReplaceAll(text, u"\r\n", u" ");
    for (char16_t& c : out)
      if (c == u'\t') c = u' ';
    return out;
  }
  std::u16string spaces(tabSize > 0 ? static_cast<std::size_t>(tabSize) : 0, u' ');
  std::u16string out = ReplaceAll(text, u"\r\n", u"\\n");
  out = ReplaceAll(out, u"\t", spaces);
  return ReplaceAll(out, u"\\t", spaces);
}

std::vector<std::u16string> CutSourceLines(std::u16string_view converted) {
  std::vector<std::u16string> lines;
  if (converted.empty()) return lines;
  std::size_t from = 0;
  while (true) {
    std::size_t at = converted.find(u"\\n", from);
    if (at == std::u16string_view::npos) {
      lines.emplace_back(converted.substr(from));
      return lines;
    }
    lines.emplace_back(converted.substr(from, at - from));
    from = at + 2;
  }
}

// The glue decision looks at the line as already changed, which is exactly the
// output built so far: every change happens at or before the occurrence being
// handled. No tag begins with its own second character and the inserted
// characters cannot start a tag, so scanning the input for occurrences finds
// the same ones an in-place search would.
void IsolateTag(std::u16string& line, std::u16string_view tag) {
  std::size_t at = line.find(tag);
  if (at == std::u16string::npos) return;
  std::u16string out;
  out.reserve(line.size() + 16);
  std::size_t done = 0;
  while (at != std::u16string::npos) {
    out.append(line, done, at - done);
    std::size_t n = out.size();
    bool glue = n >= 1 && out[n - 1] != u' ' && !(n >= 2 && out[n - 2] == u'&');
    if (glue) {
      out.append(kGlueMarker);
      out.push_back(u' ');
    }
    out.append(tag);
    out.push_back(u' ');
    done = at + tag.size();
    at = line.find(tag, done);
  }
  out.append(line, done, std::u16string::npos);
  line = std::move(out);
}

std::u16string PrepareLine(std::u16string line) {
  for (std::u16string_view tag : kStyleTags) IsolateTag(line, tag);
  return line;
}

// The word is read as if one separator followed it, so the last piece runs to
// the word's end.
void SplitAtHash(std::u16string_view word, char16_t separator,
                 std::vector<std::u16string_view>& pieces) {
  pieces.clear();
  std::size_t from = 0;  // where the search for the next separator starts
  while (from <= word.size()) {
    std::size_t at = word.find(separator, from);
    if (at == std::u16string_view::npos) at = word.size();
    if (at > from) {
      // After the first piece, each piece starts at the separator before it.
      std::size_t begin = from == 0 ? 0 : from - 1;
      pieces.push_back(word.substr(begin, at - begin));
    }
    from = at + 1;
  }
}

std::vector<std::u16string> SplitAtHash(std::u16string_view word, char16_t separator) {
  std::vector<std::u16string_view> views;
  SplitAtHash(word, separator, views);
  return std::vector<std::u16string>(views.begin(), views.end());
}

std::u16string UnescapeHash(std::u16string_view text) { return ReplaceAll(text, u"\\s", u"#"); }

}  // namespace marklet
