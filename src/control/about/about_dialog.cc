#include "control/about/about_dialog.h"

#include "control/about/emblem.h"
#include "control/hosted_marklet.h"
#include "host/container.h"
#include "host/error.h"

namespace marklet {

namespace {

constexpr char16_t kTextSite[] = u"Marklet1";
constexpr char16_t kOkButton[] = u"btnOk";

// Removes the close command and the separator above it (the last two items
// of a standard system menu), so the dialog closes through its button.
void TrimSystemMenu(WindowSystem& windows, HWND hwnd) {
  HMENU menu = windows.GetSystemMenu(hwnd, false);
  if (menu == 0) return;
  int count = windows.GetMenuItemCount(menu);
  // 0: nothing to trim; below 0: the count failed. Positions stay within the menu.
  if (count <= 0) return;
  windows.RemoveMenu(menu, static_cast<UINT>(count - 1), MF_BYPOSITION | MF_REMOVE);
  if (count >= 2) windows.RemoveMenu(menu, static_cast<UINT>(count - 2), MF_BYPOSITION | MF_REMOVE);
  windows.DrawMenuBar(hwnd);
}

std::u16string LinkKeyOf(const EventArgs& args) {
  return args.size() > 1 ? args[1].ToString() : std::u16string();
}

}  // namespace

FormDesign AboutFormDesign() {
  FormDesign d;
  d.name = kAboutFormName;
  d.caption = u"Acerca de Marklet";
  d.clientWidth = 3270;
  d.clientHeight = 2775;

  FormDesign::Control picture;
  picture.kind = FormDesign::Kind::PictureBox;
  picture.name = u"Picture1";
  picture.left = 120, picture.top = 150, picture.width = 480, picture.height = 480;
  picture.image = std::span<const unsigned char>(kAboutEmblemGif, kAboutEmblemGifSize);
  d.controls.push_back(picture);

  // The text control overlaps the picture; its first line starts after three
  // tab escapes, to the right of the emblem.
  FormDesign::Control text;
  text.kind = FormDesign::Kind::ControlSite;
  text.name = kTextSite;
  text.left = 120, text.top = 120, text.width = 3015, text.height = 2115;
  text.create = &HostedMarklet::Create;
  FontDesc font{u"MS Sans Serif", 8.25f};
  font.weight = 400;
  font.charset = 0;
  text.stored = {
      {u"ForeColor", Variant::FromLong(0)},
      {u"ShowMoreLink", Variant::FromBool(true)},
      {u"Font", Variant::FromFont(font)},
      {u"Appearance", Variant::FromInteger(0)},
      {u"BorderStyle", Variant::FromInteger(0)},
      {u"Text", Variant::FromString(u"Marklet1")},
  };
  d.controls.push_back(text);

  FormDesign::Control ok;
  ok.kind = FormDesign::Kind::CommandButton;
  ok.name = kOkButton;
  ok.left = 960, ok.top = 2280, ok.width = 1335, ok.height = 375;
  ok.caption = u"&Aceptar";
  d.controls.push_back(ok);
  return d;
}

std::u16string ComposeAboutText(int major, int minor, int revision) {
  std::u16string version = Utf8ToU16(std::to_string(major) + "." + std::to_string(minor) + "." +
                                      std::to_string(revision));
  return u"\\n\\t\\t\\t&bOCX Marklet " + version + u"\\b\\n\\n\\n" +
         u"\\tEtiqueta con formato y enlaces.\\n" +
         u"\\tWeb: #ehttps://marklet.example/<[Marklet]>\\n" +
         u"\\tCorreo: #emailto:info@marklet.example<info@marklet.example>";
}

void AboutDialog::Load(Form& form) {
  TrimSystemMenu(form.windows(), form.hWnd());
#if defined(MARKLET_VERSION_MAJOR) && defined(MARKLET_VERSION_MINOR) && defined(MARKLET_VERSION_REVISION)
  std::u16string text = ComposeAboutText(MARKLET_VERSION_MAJOR, MARKLET_VERSION_MINOR, MARKLET_VERSION_REVISION);
#else
  std::u16string text = ComposeAboutText(0, 5, 30);
#endif
  form.Site(kTextSite).control().SetProperty(u"Text", Variant::FromString(text));
}

void AboutDialog::Unload(Form&) {}

void AboutDialog::ButtonClick(Form& form, const std::u16string& button) {
  if (button == kOkButton) form.Unload();
}

void AboutDialog::ControlEvent(Form& form, const std::u16string& site, EventId id, EventArgs& args) {
  if (site != kTextSite) return;
  if (id == EventId::OnLinkClick) {
    // The shell's answer is not examined: a key it cannot open fails silently.
    form.windows().ShellExecuteA(form.hWnd(), "open", ToAnsi(LinkKeyOf(args)), "", "", 0);
  } else if (id == EventId::MouseMove) {
    // Over a link the tooltip shows its key; off every link it is cleared
    // once, so moving between two links switches it without clearing.
    std::u16string key = LinkKeyOf(args);
    ControlSite& text = form.Site(kTextSite);
    if (!key.empty()) text.SetToolTipText(key);
    else if (!text.ToolTipText().empty()) text.SetToolTipText(u"");
  }
}

}  // namespace marklet
