// Script commands that set up the trace container around the control: its
// screen, ambient values, surface, font object and the failures of its calls.
#include "control/dispatch.h"
#include "host/font_attribute.h"
#include "platform/trace/script_arguments.h"
#include "platform/trace/script_commands.h"
#include "platform/trace/script_runner.h"

namespace marklet::trace {

void AddContainerCommands(ScriptRunner& runner) {
  runner.AddCommand("screen", [](ScriptRunner& r, const std::vector<Token>& a) {
    Need(a, 3, 3, "screen tpp X Y");
    if (a[0].text != "tpp") throw ScriptArgumentError("usage: screen tpp X Y");
    double x = Number(a[1]), y = Number(a[2]);
    if (!(x > 0 && y > 0 && x <= 1440 && y <= 1440)) throw ScriptArgumentError("twips per pixel must be in 0..1440");
    r.world().tppX = static_cast<Single>(x);
    r.world().tppY = static_cast<Single>(y);
    // The surface keeps its font's point size; its pixel height follows the screen.
    auto& st = r.main().traceSurface().state();
    st.fontPixels = r.main().traceSurface().PixelsForSize(8.25f);
  });

  runner.AddCommand("ambient", [](ScriptRunner& r, const std::vector<Token>& a) {
    if (a.empty()) throw ScriptArgumentError("usage: ambient name|backcolor|font ...");
    std::string what = Lower(a[0].text);
    if (what == "name") {
      Need(a, 2, 2, "ambient name \"NAME\"");
      r.main().ambientName = a[1].value;
    } else if (what == "backcolor") {
      Need(a, 2, 2, "ambient backcolor COLOR");
      r.main().ambientBackColor = static_cast<OleColor>(ValueOf(a[1]).ToLong());
    } else if (what == "font") {
      r.main().ambientFont = FontArgs(a, 1);
    } else {
      throw ScriptArgumentError("unknown ambient property: " + a[0].text);
    }
  });

  runner.AddCommand("surface", [](ScriptRunner& r, const std::vector<Token>& a) {
    Need(a, 2, 6, "surface PROPERTY VALUE");
    auto& st = r.main().traceSurface().state();
    std::string p = Lower(a[0].text);
    Variant v = p == "font" ? Variant() : ValueOf(a[1]);
    if (p == "width") st.width = v.ToSingle();
    else if (p == "height") st.height = v.ToSingle();
    else if (p == "backstyle") st.backStyle = v.ToInteger();
    else if (p == "appearance") st.appearance = v.ToInteger();
    else if (p == "borderstyle") st.borderStyle = v.ToInteger();
    else if (p == "enabled") st.enabled = v.ToBool();
    else if (p == "forecolor") st.foreColor = static_cast<OleColor>(v.ToLong());
    else if (p == "backcolor") st.backColor = static_cast<OleColor>(v.ToLong());
    else if (p == "fontname") st.fontName = v.ToString();
    else if (p == "fontsize") st.fontPixels = r.main().traceSurface().PixelsForSize(v.ToSingle());
    else if (p == "fontbold") st.bold = v.ToBool();
    else if (p == "fontitalic") st.italic = v.ToBool();
    else if (p == "fontunderline") st.underline = v.ToBool();
    else if (p == "mousepointer") st.mousePointer = v.ToInteger();
    else if (p == "font") {
      FontDesc f = FontArgs(a, 1);
      st.fontName = f.name;
      st.fontPixels = r.main().traceSurface().PixelsForSize(f.size);
      st.bold = f.bold;
      st.italic = f.italic;
    } else {
      throw ScriptArgumentError("unknown surface property: " + a[0].text);
    }
  });

  // The user changes one attribute of the font object the control handed out
  // (`Marklet1.Font.Bold = True`): the container tells the control, then the
  // object reads back the font the control keeps, without telling it again.
  runner.AddCommand("font", [](ScriptRunner& r, const std::vector<Token>& a) {
    Need(a, 2, 2, "font ATTRIBUTE VALUE");
    Marklet& c = r.control();
    Variant v = ValueOf(a[1]);
    r.Guard([&] {
      FontDesc changed = WithFontAttribute(c.Font(), a[0].value, v);
      r.main().Deliver("FontChanged", [&] { c.SurfaceFontChanged(changed); });
      r.world().log().Emit("fontobject", ValueJson(Variant::FromFont(c.Font()), static_cast<int>(AutoType::Font)));
    });
  });

  runner.AddCommand("fail", [](ScriptRunner& r, const std::vector<Token>& a) {
    Need(a, 1, 2, "fail OPERATION [NUMBER]");
    static const char* kOperations[] = {
        "Cls", "BackColor", "ForeColor", "FontName", "FontSize", "FontBold", "FontItalic",
        "FontUnderline", "CurrentX", "CurrentY", "Print", "TextWidth", "TextHeight", "Height",
        "MousePointer", "Refresh", "PropertyChanged", "ReadProperty", "WriteProperty", "Ambient",
        "LoadPicture", "Picture", "Enabled", "Appearance", "BorderStyle", "BackStyle", "ScaleX",
        "ScaleY", "imgC"};
    bool known = false;
    for (const char* op : kOperations) known = known || a[0].text == op;
    if (!known) throw ScriptArgumentError("unknown operation: " + a[0].text);
    double number = a.size() == 2 ? Number(a[1]) : 5;
    if (!(number >= -2147483648.0 && number <= 2147483647.0)) throw ScriptArgumentError("out of range: " + a[1].text);
    r.world().failures().Arm(a[0].text, static_cast<int>(number));
  });
}

}  // namespace marklet::trace
