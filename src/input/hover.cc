// Link hit testing and the hover looks of links.
//
// The pointer is tested against the boxes the last paint recorded: first the
// boxes of Links (the More link only while it is on screen), then the
// segments of word-wrapped links. The link under the pointer is redrawn in
// place by overprinting its text; nothing is invalidated.
//
// The host may process its pending messages before every box test, and those
// messages may parse or paint again. Every index into a table is therefore
// checked against the table as it stands at the moment it is read; an index
// beyond it counts as no hover.
#include <cstddef>

#include "control/marklet.h"
#include "host/error.h"

namespace marklet {

namespace {

// A point on an edge hits nothing, so a box with no width or height never hits.
bool Hits(Single left, Single top, Single right, Single bottom, Single x, Single y) {
  return left < x && x < right && top < y && y < bottom;
}

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

Integer Marklet::LinkUnderPointer() const {
  if (hoverLink_ != -1) return InTable(parsed_.links, hoverLink_) ? hoverLink_ : Integer{-1};
  if (hoverSegment_ != -1) {
    if (!InTable(painted_.segments, hoverSegment_)) return -1;
    Integer link = painted_.segments[hoverSegment_].LinkIndex;
    return InTable(parsed_.links, link) ? link : Integer{-1};
  }
  return -1;
}

void Marklet::UpdateHover(Single x, Single y) {
  bool found = false;

  // The More link is tested only while it is on screen. The bound is taken
  // once; the table may shrink during a yield, and the search then stops.
  const long lastLink = painted_.moreLinkShown ? parsed_.linkCount : parsed_.linkCount - 1L;
  for (long i = 0; i <= lastLink; ++i) {
    container_.DoEvents();
    if (!InTable(parsed_.links, i)) break;
    const LinkRecord& box = parsed_.links[i];
    if (!Hits(box.Left, box.Top, box.Right, box.Bottom, x, y)) continue;
    found = true;
    const Integer hit = static_cast<Integer>(i);
    if (hit != hoverLink_) {
      const bool hitIsImage = box.IsImage;
      surface().SetMousePointer(kPointerCustom);
      if (linkDisplay_ > 0) {
        if (hoverLink_ != -1) {
          DrawLink(hoverLink_, false);
        } else if (hoverSegment_ != -1) {
          RestoreSegments();
        }
        if (!hitIsImage) DrawLink(hit, true);
      }
      hoverLink_ = hit;
      hoverSegment_ = -1;
    }
    break;
  }

  if (!found) {
    const long lastSegment = static_cast<long>(painted_.segments.size()) - 1;
    for (long j = 0; j <= lastSegment; ++j) {
      container_.DoEvents();
      if (!InTable(painted_.segments, j)) break;
      const LinkSegment& segment = painted_.segments[j];
      if (!Hits(segment.Left, segment.Top, segment.Right, segment.Bottom, x, y)) continue;
      found = true;
      const Integer hit = static_cast<Integer>(j);
      if (hit != hoverSegment_) {
        surface().SetMousePointer(kPointerCustom);
        if (linkDisplay_ > 0) {
          if (hoverSegment_ != -1) {
            RestoreSegments();
          } else if (hoverLink_ != -1) {
            DrawLink(hoverLink_, false);
          }
          DrawSegmentsOf(hit, true);
        }
        hoverSegment_ = hit;
        hoverLink_ = -1;
      }
      break;
    }
  }

  ClearHover(found, false);
}

void Marklet::ClearHover(bool found, bool raiseMouseOut) {
  if (!found && (hoverLink_ != -1 || hoverSegment_ != -1)) {
    surface().SetMousePointer(kPointerDefault);
    if (linkDisplay_ > 0) {
      if (hoverLink_ != -1) DrawLink(hoverLink_, false);
      if (hoverSegment_ != -1) RestoreSegments();
    }
    hoverLink_ = -1;
    hoverSegment_ = -1;
  }
  if (raiseMouseOut) {
    EventArgs none;
    container_.RaiseEvent(EventId::MouseOut, none);
  }
}

void Marklet::RestoreSegments() { DrawSegmentsOf(hoverSegment_, false); }

// Draws link `index` in a look; an image link or an index beyond the table draws nothing.
void Marklet::DrawLink(Integer index, bool hover) {
  if (!InTable(parsed_.links, index) || parsed_.links[index].IsImage) return;
  const LinkRecord& link = parsed_.links[index];
  const std::u16string& shown = link.DrawnText.empty() ? link.LinkText : link.DrawnText;
  DrawLinkLook(TrimSpaces(shown), link.Left, link.Top, hover, false, index);
}

// Draws, in a look, every segment of the link that segment `segment` belongs to.
void Marklet::DrawSegmentsOf(Integer segment, bool hover) {
  if (!InTable(painted_.segments, segment)) return;
  const Integer link = painted_.segments[segment].LinkIndex;
  for (std::size_t k = 0; k < painted_.segments.size(); ++k) {
    if (painted_.segments[k].LinkIndex != link) continue;
    const LinkSegment& part = painted_.segments[k];
    DrawLinkLook(TrimSpaces(part.Text), part.Left, part.Top, hover, true, static_cast<Integer>(k));
  }
}

void Marklet::DrawLinkLook(const std::u16string& text, Single x, Single y, bool hover,
                           bool isSegment, Integer index) {
  long source = index;
  if (isSegment) source = InTable(painted_.segments, index) ? painted_.segments[index].LinkIndex : -1;
  if (!InTable(parsed_.links, source)) return;
  const std::u16string fontName = parsed_.links[source].FontName;
  const Single fontSize = parsed_.links[source].FontSize;

  Look look{underlineLink_, linkColor_, false};
  switch (linkDisplay_) {
    case NotU_NotC:
      look = hover ? Look{!underlineLink_, activeLinkColor_, underlineLink_}
                   : Look{underlineLink_, linkColor_, !underlineLink_};
      break;
    case NotC:
      look = hover ? Look{underlineLink_, activeLinkColor_, false}
                   : Look{underlineLink_, linkColor_, false};
      break;
    case NotU:
      look = hover ? Look{!underlineLink_, linkColor_, underlineLink_}
                   : Look{underlineLink_, linkColor_, !underlineLink_};
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
