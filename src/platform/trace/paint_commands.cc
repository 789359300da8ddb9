// Script commands that make the control draw (paint, resize, show) and print
// what it holds afterwards (dump).
#include "platform/trace/json.h"
#include "platform/trace/script_arguments.h"
#include "platform/trace/script_commands.h"
#include "platform/trace/script_runner.h"

namespace marklet::trace {

void AddPaintCommands(ScriptRunner& runner) {
  runner.AddCommand("paint", [](ScriptRunner& r, const std::vector<Token>& a) {
    Need(a, 0, 0, "paint");
    Marklet& c = r.control();
    r.main().Deliver("Paint", [&] { c.Paint(); });
  });

  runner.AddCommand("resize", [](ScriptRunner& r, const std::vector<Token>& a) {
    Need(a, 2, 2, "resize W H");
    Marklet& c = r.control();
    double w = Number(a[0]), h = Number(a[1]);
    if (!(w >= 0 && h >= 0 && w < 2147483647.0 && h < 2147483647.0)) throw ScriptArgumentError("sizes must be 0 or more");
    r.main().traceSurface().SetSizeQuietly(static_cast<Single>(w), static_cast<Single>(h));
    r.main().Deliver("Resize", [&] { c.Resize(); });
  });

  runner.AddCommand("show", [](ScriptRunner& r, const std::vector<Token>& a) {
    Need(a, 0, 0, "show");
    Marklet& c = r.control();
    r.main().Deliver("Show", [&] { c.Show(); });
  });

  runner.AddCommand("dump", [](ScriptRunner& r, const std::vector<Token>& a) {
    Need(a, 0, 0, "dump");
    Marklet& c = r.control();
    r.world().log().Emit("dump", DumpJson(c, r.main()));
  });
}

// ---- dump ----

std::string DumpJson(Marklet& c, TraceContainer&) {
  std::string runs = "[";
  for (std::size_t i = 0; i < c.Runs().size(); ++i) {
    const RunRecord& r = c.Runs()[i];
    if (i) runs += ",";
    runs += JsonObject()
                .Num("kind", r.Kind)
                .Num("linkIndex", r.LinkIndex)
                .Num("imageIndex", r.ImageIndex)
                .Bool("bold", r.Bold)
                .Bool("underline", r.Underline)
                .Bool("italic", r.Italic)
                .Str("fontName", r.FontName)
                .Sng("fontSize", r.FontSize)
                .Raw("color", JsonColor(r.Color))
                .Str("text", r.Text)
                .Num("sourceLine", r.SourceLine)
                .Num("width", r.Width)
                .str();
  }
  runs += "]";
  std::string links = "[";
  for (std::size_t i = 0; i < c.Links().size(); ++i) {
    const LinkRecord& l = c.Links()[i];
    if (i) links += ",";
    links += JsonObject()
                 .Bool("isImage", l.IsImage)
                 .Str("linkText", l.LinkText)
                 .Str("drawnText", l.DrawnText)
                 .Str("fontName", l.FontName)
                 .Sng("fontSize", l.FontSize)
                 .Bool("bold", l.Bold)
                 .Bool("italic", l.Italic)
                 .Str("linkKey", l.LinkKey)
                 .Sng("left", l.Left)
                 .Sng("top", l.Top)
                 .Sng("right", l.Right)
                 .Sng("bottom", l.Bottom)
                 .str();
  }
  links += "]";
  std::string images = "[";
  for (std::size_t i = 0; i < c.Images().size(); ++i) {
    const ImageRecord& im = c.Images()[i];
    if (i) images += ",";
    images += JsonObject()
                  .Num("offsetX", im.OffsetX)
                  .Num("offsetY", im.OffsetY)
                  .Num("width", im.Picture ? im.Picture->widthHiMetric : 0)
                  .Num("height", im.Picture ? im.Picture->heightHiMetric : 0)
                  .str();
  }
  images += "]";
  std::string segments = "[";
  for (std::size_t i = 0; i < c.LinkSegments().size(); ++i) {
    const LinkSegment& s = c.LinkSegments()[i];
    if (i) segments += ",";
    segments += JsonObject()
                    .Num("linkIndex", s.LinkIndex)
                    .Str("text", s.Text)
                    .Sng("left", s.Left)
                    .Sng("top", s.Top)
                    .Sng("right", s.Right)
                    .Sng("bottom", s.Bottom)
                    .str();
  }
  segments += "]";
  const StyleState& st = c.Style();
  std::string style = JsonObject()
                          .Bool("bold", st.StyleBold)
                          .Bool("underline", st.StyleUnderline)
                          .Bool("italic", st.StyleItalic)
                          .Str("fontName", st.CurFontName)
                          .Sng("fontSize", st.CurFontSize)
                          .Raw("color", JsonColor(st.CurColor))
                          .Str("baseFontName", st.BaseFontName)
                          .Sng("baseFontSize", st.BaseFontSize)
                          .Raw("baseColor", JsonColor(st.BaseColor))
                          .str();
  return JsonObject()
      .Raw("runs", runs)
      .Num("lastRun", c.LastRun())
      .Raw("links", links)
      .Num("linkCount", c.LinkCount())
      .Raw("images", images)
      .Num("imageCount", c.ImageCount())
      .Raw("segments", segments)
      .Bool("moreLinkShown", c.MoreLinkShown())
      .Bool("layoutReady", c.LayoutReady())
      .Num("hoverLink", c.HoverLink())
      .Num("hoverSegment", c.HoverSegment())
      .Str("formatedText", c.FormatedText())
      .Raw("style", style)
      .str();
}

}  // namespace marklet::trace
