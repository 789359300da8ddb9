// Line conversion, source lines, style-tag isolation, pieces and the hash
// escape. Each step builds its result in one pass over its input, so reading
// a Text stays linear in its length however many tags or escapes it holds.
#include "markup/markup.h"

namespace marklet {

// One pass does the work of the three replacements: none of them makes or
// breaks a match of another (the inserted "\n" ends in "n", spaces match
// nothing), so reading the text once from left to right gives the same result.
std::u16string ConvertLines(std::u16string_view text, bool multiLine, int tabSize) {
  std::size_t tab = multiLine ? static_cast<std::size_t>(tabSize > 0 ? tabSize : 0) : 1;
  std::u16string out;
  out.reserve(text.size());
  std::size_t done = 0;  // characters of `text` already copied or replaced
  for (std::size_t i = 0; i < text.size(); ++i) {
    char16_t c = text[i];
    if (c != u'\r' && c != u'\t' && c != u'\\') continue;
    char16_t next = i + 1 < text.size() ? text[i + 1] : u'\0';
    bool lineEnd = c == u'\r' && next == u'\n';
    bool tabEscape = multiLine && c == u'\\' && next == u't';
    if (!lineEnd && !tabEscape && c != u'\t') continue;
    out.append(text, done, i - done);
    if (lineEnd) out.append(multiLine ? u"\\n" : u" ");
    else out.append(tab, u' ');
    if (lineEnd || tabEscape) ++i;
    done = i + 1;
  }
  out.append(text, done);
  return out;
}

std::vector<std::u16string_view> CutSourceLines(std::u16string_view converted) {
  std::vector<std::u16string_view> lines;
  if (converted.empty()) return lines;
  std::size_t from = 0;
  while (true) {
    std::size_t at = converted.find(u"\\n", from);
    if (at == std::u16string_view::npos) {
      lines.push_back(converted.substr(from));
      return lines;
    }
    lines.push_back(converted.substr(from, at - from));
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

namespace {

// The place of a style tag in the isolation order, or -1 for no tag.
int TagOrder(char16_t first, char16_t second) {
  if (first == u'&') {
    switch (second) {
      case u'b': return 0;
      case u'u': return 2;
      case u'i': return 5;
    }
  } else if (first == u'\\') {
    switch (second) {
      case u'b': return 1;
      case u'u': return 3;
      case u'f': return 4;
      case u'i': return 6;
    }
  }
  return -1;
}

}  // namespace

// Isolating the seven tags one after the other, in their order, comes down to
// one pass: when a tag is isolated, the line in front of it differs from the
// original only where a tag written directly before it was isolated already
// (that is, comes earlier in the order, or is the same tag), which leaves a
// space in front of it. Every other character it looks at is as written.
std::u16string PrepareLine(std::u16string line) {
  std::u16string out;
  std::size_t done = 0;
  for (std::size_t p = 0; p + 1 < line.size(); ++p) {
    if (line[p] != u'&' && line[p] != u'\\') continue;
    int order = TagOrder(line[p], line[p + 1]);
    if (order < 0) continue;
    if (done == 0 && out.empty()) out.reserve(line.size() + 64);
    out.append(line, done, p - done);
    bool glue;
    if (p == 0) {
      glue = false;
    } else if (int before = p >= 2 ? TagOrder(line[p - 2], line[p - 1]) : -1; before >= 0 && before <= order) {
      glue = false;
    } else {
      glue = line[p - 1] != u' ' && !(p >= 2 && line[p - 2] == u'&');
    }
    if (glue) {
      out.append(kGlueMarker);
      out.push_back(u' ');
    }
    out.append(line, p, 2);
    out.push_back(u' ');
    done = p + 2;
    ++p;  // a tag's second character starts no tag
  }
  if (done == 0) return line;
  out.append(line, done, std::u16string::npos);
  return out;
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

std::u16string UnescapeHash(std::u16string_view text) {
  std::size_t at = text.find(u'\\');
  if (at == std::u16string_view::npos) return std::u16string(text);
  std::u16string out;
  out.reserve(text.size());
  std::size_t done = 0;
  for (; at != std::u16string_view::npos; at = text.find(u'\\', at + 1)) {
    if (at + 1 < text.size() && text[at + 1] == u's') {
      out.append(text, done, at - done);
      out.push_back(u'#');
      done = at + 2;
      ++at;
    }
  }
  out.append(text, done);
  return out;
}

}  // namespace marklet
