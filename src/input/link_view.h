// The links as the last paint left them on screen, read-only: what a host
// tells assistive technology about them, and the pointer's hit test without
// its yields to the host and its redraws.
//
// Both read the tables as they stand when called and change nothing, so a
// host may call them at any moment on the control's thread.
#pragma once

#include <string>
#include <vector>

#include "host/numeric.h"
#include "markup/parser.h"
#include "render/render_pass.h"

namespace marklet {

struct DrawnLink {
  // Index into the link table; the More link is the record at LinkCount.
  Integer index = -1;
  // The text as drawn (DrawnText when the paint cut the link, else its
  // LinkText) without trailing spaces; an image link shows no text, so its key.
  std::u16string name;
  std::u16string key;
  bool isImage = false;
  bool isMore = false;
  // The link under the pointer, as the hover look shows it.
  bool hovered = false;
  // Its box, or for a word-wrapped link the box of its first segment; twips.
  Single left = 0;
  Single top = 0;
  Single right = 0;
  Single bottom = 0;
};

// The hit rule: strictly inside, so a point on an edge, or a box with no
// width or height, hits nothing.
inline bool BoxHits(Single left, Single top, Single right, Single bottom, Single x, Single y) {
  return left < x && x < right && top < y && y < bottom;
}

// One entry per link the last paint drew, in link-table order, the More link
// last while it is shown. A text link the paint took back, or cut to nothing,
// is left out. `hoveredLink` is the hover state's link under the pointer (-1: none).
std::vector<DrawnLink> DrawnLinks(const ParsedText& parsed, const PaintedLinks& painted, Integer hoveredLink);

// The link the pointer's own hit test finds at (X, Y): the link boxes first,
// lowest index first, the More link only while it is shown, then the
// segments of wrapped links; -1 when nothing is hit. Every box up to the
// bound counts, as for the pointer, drawn by the last paint or not.
Integer LinkAtPoint(const ParsedText& parsed, const PaintedLinks& painted, Single x, Single y);

}  // namespace marklet
