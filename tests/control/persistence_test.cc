// Saving and loading a control: the keys, their types, defaults and orders,
// and every property coming back through a saved text.
#include <gtest/gtest.h>

#include <map>
#include <sstream>

#include "control/marklet.h"
#include "platform/trace/bag_file.h"
#include "platform/trace/trace_container.h"

namespace marklet {
namespace {

struct Host {
  std::ostringstream log;
  trace::TraceWorld world{log};
  trace::TraceContainer container{world};

  Marklet& NewControl() {
    container.CreateControl();
    Marklet& c = *container.control();
    c.Initialize();
    c.InitProperties();
    return c;
  }
};

// Records every call; reads give the stored value or the default.
class RecordingBag : public PropertyBag {
 public:
  struct Call {
    std::u16string key;
    Variant value;
    Variant defaultValue;
  };
  std::map<std::u16string, Variant> stored;
  std::vector<Call> reads, writes;

  Variant ReadProperty(const std::u16string& name, const Variant& defaultValue) override {
    reads.push_back({name, Variant(), defaultValue});
    auto it = stored.find(name);
    return it == stored.end() ? defaultValue : it->second;
  }
  void WriteProperty(const std::u16string& name, const Variant& value, const Variant& defaultValue) override {
    writes.push_back({name, value, defaultValue});
  }
};

Variant L(Long v) { return Variant::FromLong(v); }
Variant I(Integer v) { return Variant::FromInteger(v); }
Variant B(bool v) { return Variant::FromBool(v); }
Variant S(const char16_t* v) { return Variant::FromString(v); }

TEST(Persistence, ReadsEveryKeyInOrderWithItsTypedDefault) {
  Host host;
  host.container.ambientBackColor = 0x123456;
  host.container.ambientFont = FontDesc{u"Tahoma", 8.25f};
  host.container.CreateControl();
  Marklet& c = *host.container.control();
  c.Initialize();
  RecordingBag bag;
  bag.stored[u"LinkColor"] = L(255);
  c.ReadProperties(bag);
  const std::vector<std::pair<std::u16string, Variant>> expected = {
      {u"BackColor", L(0x123456)},         {u"MultiLine", B(true)},
      {u"ForeColor", L(static_cast<Long>(0x80000012u))},
      {u"Enabled", B(true)},               {u"ShowMoreLink", B(false)},
      {u"Font", Variant::FromFont(FontDesc{u"Tahoma", 8.25f})},
      {u"Appearance", I(1)},               {u"BackStyle", I(1)},
      {u"BorderStyle", I(1)},              {u"Text", S(u"")},
      {u"MoreLinkText", S(u"...+")},       {u"AutoSizeHeight", B(false)},
      {u"LeftMargin", I(0)},               {u"LinkColor", L(0xFF0000)},
      {u"UnderlineLink", B(true)},         {u"Picture", Variant::FromPicture(nullptr)},
      {u"TabSize", Variant::FromByte(5)},  {u"LineSpacing", I(0)},
      {u"LinkDisplay", I(0)},
      {u"ActiveLinkColor", L(255)},  // the LinkColor just loaded
      {u"GetTextOnEvent", B(false)},
  };
  ASSERT_EQ(bag.reads.size(), expected.size());
  for (std::size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(bag.reads[i].key, expected[i].first) << i;
    EXPECT_TRUE(bag.reads[i].defaultValue == expected[i].second) << U16ToUtf8(expected[i].first);
  }
  EXPECT_EQ(c.ActiveLinkColor(), 255u);
}

TEST(Persistence, WritesEveryKeyInOrderWithItsTypeAndDefault) {
  Host host;
  host.container.ambientName = u"Etiqueta1";
  Marklet& c = host.NewControl();
  c.SetLinkColor(0x00FF00);
  RecordingBag bag;
  c.WriteProperties(bag);
  const std::vector<RecordingBag::Call> expected = {
      {u"BackColor", L(static_cast<Long>(0x8000000Fu)), L(static_cast<Long>(0x8000000Fu))},
      {u"ForeColor", L(0), L(static_cast<Long>(0x80000012u))},
      {u"Enabled", B(true), B(true)},
      {u"ShowMoreLink", B(true), B(false)},
      {u"Font", Variant::FromFont(FontDesc{u"MS Sans Serif", 8.25f}), Variant::FromFont(FontDesc{u"MS Sans Serif", 8.25f})},
      {u"Appearance", I(1), I(1)},
      {u"BackStyle", I(1), I(1)},
      {u"BorderStyle", I(1), I(1)},
      {u"Text", S(u"Etiqueta1"), S(u"")},
      {u"MoreLinkText", S(u"...+"), S(u"...+")},
      {u"AutoSizeHeight", B(true), B(false)},
      {u"LeftMargin", I(0), I(0)},
      {u"LinkColor", L(0x00FF00), L(0xFF0000)},
      {u"UnderlineLink", B(true), B(true)},
      {u"Picture", Variant::FromPicture(nullptr), Variant::FromPicture(nullptr)},
      {u"TabSize", Variant::FromByte(5), Variant::FromByte(5)},
      {u"LineSpacing", I(0), I(0)},
      {u"LinkDisplay", L(0), I(0)},
      {u"ActiveLinkColor", L(0xFF0000), L(0x00FF00)},  // default: the current LinkColor
      {u"MultiLine", B(true), B(true)},
      {u"GetTextOnEvent", B(false), B(false)},
  };
  ASSERT_EQ(bag.writes.size(), expected.size());
  for (std::size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(bag.writes[i].key, expected[i].key) << i;
    EXPECT_TRUE(bag.writes[i].value == expected[i].value) << U16ToUtf8(expected[i].key);
    EXPECT_TRUE(bag.writes[i].defaultValue == expected[i].defaultValue) << U16ToUtf8(expected[i].key);
  }
}

TEST(Persistence, EveryPropertyComesBackThroughASavedText) {
  Host saving;
  Marklet& c = saving.NewControl();
  c.SetBackColor(0x00C0C0C0);
  c.SetForeColor(0x80000008u);
  c.SetEnabled(false);
  c.SetShowMoreLink(false);
  FontDesc font{u"Courier New", 12};
  font.italic = font.underline = font.strikethrough = true;
  c.SetFont(font);
  c.SetAppearance(0);
  c.SetBorderStyle(0);
  saving.container.traceSurface().state().backStyle = 0;
  c.SetText(std::u16string(u"say \"hi\"\r\n\tend ") + char16_t(0xD800) + u" " + char16_t(0xDFFF) +
            u"\r" + char16_t(0) + u"\U0001F600");
  c.SetMoreLinkText(u"m\u00e1s\n");
  c.SetAutoSizeHeight(false);
  c.SetLeftMargin(2184);
  c.SetLinkColor(0x800080);
  c.SetUnderlineLink(false);
  c.SetPicture(saving.container.LoadPicture(Utf8ToU16(MARKLET_FIXTURE_DIR "/persist/pixel.gif")));
  c.SetTabSize(0);
  c.SetLineSpacing(7);
  c.SetLinkDisplay(NotC);  // NotC keeps the transparent background
  c.SetActiveLinkColor(0x00FF00);
  c.SetMultiLine(false);
  c.SetGetTextOnEvent(true);
  trace::PropertyBagFile out(saving.container);
  c.WriteProperties(out);

  Host loading;
  auto in = trace::PropertyBagFile::Parse(out.Format(), loading.container);
  loading.container.CreateControl();
  Marklet& d = *loading.container.control();
  d.Initialize();
  d.ReadProperties(in);

  EXPECT_EQ(d.BackColor(), c.BackColor());
  EXPECT_EQ(d.ForeColor(), c.ForeColor());
  EXPECT_EQ(d.Enabled(), false);
  EXPECT_EQ(d.ShowMoreLink(), false);
  EXPECT_EQ(d.Font(), c.Font());
  EXPECT_TRUE(d.Font().italic && d.Font().underline && d.Font().strikethrough);
  EXPECT_EQ(d.Appearance(), 0);
  EXPECT_EQ(d.BorderStyle(), 0);
  EXPECT_EQ(loading.container.traceSurface().state().backStyle, 0);
  EXPECT_EQ(d.Text(), c.Text());
  EXPECT_EQ(d.MoreLinkText(), c.MoreLinkText());
  EXPECT_EQ(d.AutoSizeHeight(), false);
  EXPECT_EQ(d.LeftMargin(), 2184);
  EXPECT_EQ(d.LinkColor(), 0x800080u);
  EXPECT_EQ(d.UnderlineLink(), false);
  ASSERT_TRUE(d.GetPicture());
  EXPECT_EQ(d.GetPicture()->path, c.GetPicture()->path);
  EXPECT_EQ(d.GetPicture()->widthHiMetric, c.GetPicture()->widthHiMetric);
  EXPECT_EQ(d.TabSize(), 0);
  EXPECT_EQ(d.LineSpacing(), 7);
  EXPECT_EQ(d.LinkDisplay(), NotC);
  EXPECT_EQ(d.ActiveLinkColor(), 0x00FF00u);
  EXPECT_EQ(d.MultiLine(), false);
  EXPECT_EQ(d.GetTextOnEvent(), true);
}

// What Font reports and saves is the font the surface accepted, never the
// drawing font that painting leaves behind (here: bold and another size).
TEST(Persistence, SavedFontIsTheAcceptedFontNotTheDrawingFont) {
  Host host;
  Marklet& fresh = host.NewControl();
  auto& drawing = host.container.traceSurface().state();
  drawing.bold = true;
  drawing.fontPixels = 20;
  RecordingBag bag;
  fresh.WriteProperties(bag);
  EXPECT_TRUE(bag.writes.at(4).value == Variant::FromFont(FontDesc{u"MS Sans Serif", 8.25f}));

  FontDesc arial{u"Arial", 10};
  fresh.SetFont(arial);
  drawing.bold = true;
  RecordingBag after;
  fresh.WriteProperties(after);
  EXPECT_TRUE(after.writes.at(4).value == Variant::FromFont(FontDesc{u"Arial", 9.75f}));
}

}  // namespace
}  // namespace marklet
