// Link hit testing and the hover looks of links.
//
// The pointer is tested against the boxes the last paint recorded: first the
// boxes of the link table (the More link only while it is on screen), then
// the segments of word-wrapped links. The link under the pointer is redrawn
// in place by overprinting its text; nothing is invalidated.
//
// The host may process its pending messages before every box test, and those
// messages may parse or paint again. Every index into a table is therefore
// checked against the table as it stands at the moment it is read; an index
// beyond it counts as no hover.
#pragma once

#include <string>

#include "host/container.h"
#include "markup/parser.h"
#include "render/render_pass.h"

namespace marklet {

// LinkDisplay: which part of a link's look changes under the pointer.
enum linkdisp_en : Long { Normal = 0, NotU_NotC = 1, NotC = 2, NotU = 3 };

// The properties that make a link's look. Read as they stand at every step,
// since a handler run by a yield may change them.
struct LinkLook {
  Long display = Normal;
  bool underline = false;
  OleColor color = 0;
  OleColor activeColor = 0;
};

class HoverState {
 public:
  // The tables and the look are the owner's, read live.
  HoverState(Container& container, const ParsedText& parsed, const PaintedLinks& painted,
             const LinkLook& look)
      : container_(container), parsed_(parsed), painted_(painted), look_(look) {}

  // The hover indices: a link box or a segment, -1 for none.
  Integer link() const { return link_; }
  Integer segment() const { return segment_; }
  void Forget() { link_ = segment_ = -1; }

  // Finds the link under the point and moves the hover look and the pointer
  // shape to it.
  void Update(Single x, Single y);
  // With nothing found, puts the look of the hovered link back and the
  // default pointer, and forgets the hover.
  void Clear(bool found);
  // The index into the link table of the link under the pointer, or -1 when
  // there is none or the hover indices lie beyond the tables as they stand.
  Integer LinkUnderPointer() const;

 private:
  Surface& surface() { return container_.surface(); }
  void RestoreSegments();
  void DrawLinkLook(const std::u16string& text, Single x, Single y, bool hover, bool isSegment,
                    Integer index);
  void DrawLink(Integer index, bool hover);
  void DrawSegmentsOf(Integer segment, bool hover);

  Container& container_;
  const ParsedText& parsed_;
  const PaintedLinks& painted_;
  const LinkLook& look_;
  Integer link_ = -1;
  Integer segment_ = -1;
};

}  // namespace marklet
