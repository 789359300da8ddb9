// HoverState: the hit test and the look table of links.
#include <cstddef>
#include <vector>

#include "host/error.h"
#include "input/hover_state.h"
#include "input/link_view.h"

namespace marklet {

namespace {

std::u16string TrimSpaces(const std::u16string& text) {
  std::size_t first = text.find_first_not_of(u' ');
  if (first == std::u16string::npos) return {};
  std::size_t last = text.find_last_not_of(u' ');
  return text.substr(first, last - first + 1);
}

template <typename Table>
bool InTable(const Table& table, long index) {
  return index >= 0 && static_cast<std::size_t>(index) < table.size();
}

// The underline and colour of a look, and whether the text is first printed
// over in the background colour (to take an underline off the screen).
struct Look {
  bool underline;
  OleColor color;
  bool erasePrint;
};

}  // namespace

Integer HoverState::LinkUnderPointer() const {
  if (link_ != -1) return InTable(parsed_.links, link_) ? link_ : Integer{-1};
  if (segment_ != -1) {
    if (!InTable(painted_.segments, segment_)) return -1;
    Integer link = painted_.segments[segment_].LinkIndex;
    return InTable(parsed_.links, link) ? link : Integer{-1};
  }
  return -1;
}

void HoverState::Update(Single x, Single y) {
  bool found = false;
  // The tables themselves stay where they are; only what they hold changes.
  const std::vector<LinkRecord>& links = parsed_.links;
  const std::vector<LinkSegment>& segments = painted_.segments;

  // The More link is tested only while it is on screen. The bound is taken
  // once; the table may shrink during a yield, and the search then stops.
  const long lastLink = painted_.moreLinkShown ? parsed_.linkCount : parsed_.linkCount - 1L;
  for (long i = 0; i <= lastLink; ++i) {
    container_.DoEvents();
    if (!InTable(links, i)) break;
    const LinkRecord& box = links[i];
    if (!BoxHits(box.Left, box.Top, box.Right, box.Bottom, x, y)) continue;
    found = true;
    const Integer hit = static_cast<Integer>(i);
    if (hit != link_) {
      const bool hitIsImage = box.IsImage;
      surface().SetMousePointer(kPointerCustom);
      if (look_.display > 0) {
        if (link_ != -1) {
          DrawLink(link_, false);
        } else if (segment_ != -1) {
          RestoreSegments();
        }
        if (!hitIsImage) DrawLink(hit, true);
      }
      link_ = hit;
      segment_ = -1;
    }
    break;
  }

  if (!found) {
    const long lastSegment = static_cast<long>(segments.size()) - 1;
    for (long j = 0; j <= lastSegment; ++j) {
      container_.DoEvents();
      if (!InTable(segments, j)) break;
      const LinkSegment& segment = segments[j];
      if (!BoxHits(segment.Left, segment.Top, segment.Right, segment.Bottom, x, y)) continue;
      found = true;
      const Integer hit = static_cast<Integer>(j);
      if (hit != segment_) {
        surface().SetMousePointer(kPointerCustom);
        if (look_.display > 0) {
          if (segment_ != -1) {
            RestoreSegments();
          } else if (link_ != -1) {
            DrawLink(link_, false);
          }
          DrawSegmentsOf(hit, true);
        }
        segment_ = hit;
        link_ = -1;
      }
      break;
    }
  }

  Clear(found);
}

void HoverState::Clear(bool found) {
  if (!found && (link_ != -1 || segment_ != -1)) {
    surface().SetMousePointer(kPointerDefault);
    if (look_.display > 0) {
      if (link_ != -1) DrawLink(link_, false);
      if (segment_ != -1) RestoreSegments();
    }
    link_ = -1;
    segment_ = -1;
  }
}

void HoverState::RestoreSegments() { DrawSegmentsOf(segment_, false); }

// Draws link `index` in a look; an image link or an index beyond the table draws nothing.
void HoverState::DrawLink(Integer index, bool hover) {
  if (!InTable(parsed_.links, index) || parsed_.links[index].IsImage) return;
  const LinkRecord& link = parsed_.links[index];
  const std::u16string& shown = link.DrawnText.empty() ? link.LinkText : link.DrawnText;
  DrawLinkLook(TrimSpaces(shown), link.Left, link.Top, hover, false, index);
}

// Draws, in a look, every segment of the link that segment `segment` belongs to.
void HoverState::DrawSegmentsOf(Integer segment, bool hover) {
  if (!InTable(painted_.segments, segment)) return;
  const Integer link = painted_.segments[segment].LinkIndex;
  for (std::size_t k = 0; k < painted_.segments.size(); ++k) {
    if (painted_.segments[k].LinkIndex != link) continue;
    const LinkSegment& part = painted_.segments[k];
    DrawLinkLook(TrimSpaces(part.Text), part.Left, part.Top, hover, true, static_cast<Integer>(k));
  }
}

void HoverState::DrawLinkLook(const std::u16string& text, Single x, Single y, bool hover,
                           bool isSegment, Integer index) {
  long source = index;
  if (isSegment) source = InTable(painted_.segments, index) ? painted_.segments[index].LinkIndex : -1;
  if (!InTable(parsed_.links, source)) return;
  const std::u16string fontName = parsed_.links[source].FontName;
  const Single fontSize = parsed_.links[source].FontSize;

  Look look{look_.underline, look_.color, false};
  switch (look_.display) {
    case NotU_NotC:
      look = hover ? Look{!look_.underline, look_.activeColor, look_.underline}
                   : Look{look_.underline, look_.color, !look_.underline};
      break;
    case NotC:
      look = hover ? Look{look_.underline, look_.activeColor, false}
                   : Look{look_.underline, look_.color, false};
      break;
    case NotU:
      look = hover ? Look{!look_.underline, look_.color, look_.underline}
                   : Look{look_.underline, look_.color, !look_.underline};
      break;
    default: break;
  }

  // The overprint borrows the drawing font and colour; the next fit test must
  // measure in the font the paint left, and the next parse must not take the
  // link colour for its base colour.
  Surface& s = surface();
  const std::u16string savedName = s.FontName();
  const Single savedSize = s.FontSize();
  const OleColor savedColor = s.ForeColor();
  auto restore = [&] {
    s.SetFontName(savedName);
    s.SetFontSize(savedSize);
    s.SetForeColor(savedColor);
  };
  try {
    s.SetFontName(fontName);
    s.SetFontSize(fontSize);
    if (look.erasePrint) {
      // Printing the text underlined in the background colour covers the
      // underline on screen as well as the glyphs.
      s.SetForeColor(s.BackColor());
      s.SetFontUnderline(true);
      s.SetCurrentX(x);
      s.SetCurrentY(y);
      s.Print(text);
    }
    s.SetFontUnderline(look.underline);
    s.SetForeColor(look.color);
    s.SetCurrentX(x);
    s.SetCurrentY(y);
    s.Print(text);
  } catch (const MarkletError&) {
    try {
      restore();
    } catch (const MarkletError&) {
    }
    throw;
  }
  restore();
}

}  // namespace marklet
