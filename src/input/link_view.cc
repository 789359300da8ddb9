#include "input/link_view.h"

#include <algorithm>
#include <cstddef>

#include "render/render.h"

namespace marklet {

namespace {

template <typename Table>
bool InTable(const Table& table, long index) {
  return index >= 0 && static_cast<std::size_t>(index) < table.size();
}

}  // namespace

std::vector<DrawnLink> DrawnLinks(const ParsedText& parsed, const PaintedLinks& painted, Integer hoveredLink) {
  const std::vector<LinkRecord>& links = parsed.links;
  // The first segment of each link, found in one pass: segments lie in drawing order.
  std::vector<long> firstSegment(links.size(), -1);
  for (std::size_t k = 0; k < painted.segments.size(); ++k) {
    const long link = painted.segments[k].LinkIndex;
    if (InTable(links, link) && firstSegment[link] == -1) firstSegment[link] = static_cast<long>(k);
  }

  std::vector<DrawnLink> drawn;
  const std::size_t count = std::min(links.size(), painted.drawn.size());
  for (std::size_t i = 0; i < count; ++i) {
    if (!painted.drawn[i]) continue;
    const LinkRecord& record = links[i];
    const bool isMore = static_cast<long>(i) == parsed.linkCount;
    if (isMore && !painted.moreLinkShown) continue;
    DrawnLink link;
    link.index = static_cast<Integer>(i);
    link.key = record.LinkKey;
    link.isImage = record.IsImage;
    link.isMore = isMore;
    link.hovered = hoveredLink == link.index;
    if (firstSegment[i] != -1) {
      const LinkSegment& segment = painted.segments[firstSegment[i]];
      link.left = segment.Left, link.top = segment.Top, link.right = segment.Right, link.bottom = segment.Bottom;
    } else {
      link.left = record.Left, link.top = record.Top, link.right = record.Right, link.bottom = record.Bottom;
      // A text link cut to nothing shows nothing and cannot be pointed at.
      if (!record.IsImage && !(link.left < link.right && link.top < link.bottom)) continue;
    }
    link.name = record.IsImage ? record.LinkKey
                               : TrimTrailingSpaces(record.DrawnText.empty() ? record.LinkText : record.DrawnText);
    drawn.push_back(std::move(link));
  }
  return drawn;
}

Integer LinkAtPoint(const ParsedText& parsed, const PaintedLinks& painted, Single x, Single y) {
  const long lastLink = painted.moreLinkShown ? parsed.linkCount : parsed.linkCount - 1L;
  for (long i = 0; i <= lastLink && InTable(parsed.links, i); ++i) {
    const LinkRecord& box = parsed.links[i];
    if (BoxHits(box.Left, box.Top, box.Right, box.Bottom, x, y)) return static_cast<Integer>(i);
  }
  for (const LinkSegment& segment : painted.segments) {
    if (!BoxHits(segment.Left, segment.Top, segment.Right, segment.Bottom, x, y)) continue;
    return InTable(parsed.links, segment.LinkIndex) ? segment.LinkIndex : Integer{-1};
  }
  return -1;
}

}  // namespace marklet
