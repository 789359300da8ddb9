#include "platform/trace/trace_forms.h"

#include <algorithm>

#include "host/container.h"
#include "host/error.h"
#include "host/stored_property_bag.h"
#include "platform/trace/json.h"
#include "platform/pixbuf/picture_loader.h"
#include "platform/trace/trace_container.h"

namespace marklet::trace {

namespace {

const char* KindName(FormDesign::Kind kind) {
  switch (kind) {
    case FormDesign::Kind::PictureBox: return "PictureBox";
    case FormDesign::Kind::CommandButton: return "CommandButton";
    case FormDesign::Kind::ControlSite: return "ControlSite";
  }
  return "?";
}

[[noreturn]] void NoSuch(const char* what, const std::u16string& name) {
  throw MarkletError(ErrorNumber::InvalidProcedureCall,
                     std::string("Invalid procedure call or argument: no ") + what + " '" +
                         U16ToUtf8(name) + "'");
}

}  // namespace

// ---- TraceForm ----

class TraceForm::LoadedSite : public ControlSite {
 public:
  LoadedSite(TraceWorld& world, const FormDesign::Control& design)
      : name(design.name), container(std::make_unique<TraceContainer>(world, U16ToUtf8(design.name))) {
    // The form's own ambient values, as a form hands them to its controls.
    container->ambientName = design.name;
    container->ambientBackColor = 0x8000000Fu;
    container->ambientFont = FontDesc{u"MS Sans Serif", 8.25f};
    container->traceSurface().SetSizeQuietly(design.width, design.height);
  }

  SiteControl& control() override { return *container->siteControl(); }
  std::u16string ToolTipText() override { return tooltip; }
  void SetToolTipText(const std::u16string& text) override {
    tooltip = text;
    container->Emit("tooltip", JsonString(text));
  }

  std::u16string name;
  std::unique_ptr<TraceContainer> container;
  std::u16string tooltip;
};

TraceForm::TraceForm(TraceWorld& world, const FormDesign& design, std::vector<Picture> pictures,
                     std::unique_ptr<FormCode> code)
    : world_(world), design_(design), pictures_(std::move(pictures)), code_(std::move(code)) {
  // The image bytes were decoded into pictures_; the design keeps no view of them.
  for (auto& control : design_.controls) control.image = {};
}

TraceForm::~TraceForm() {
  // A form still loaded when the world ends goes quietly.
  sites_.clear();
  if (hwnd_) world_.windows().DestroyWindow(hwnd_);
}

void TraceForm::Emit(const std::string& op, const std::string& extra) {
  std::string json = "{\"op\":" + JsonString(std::string_view(op));
  if (!extra.empty()) json += "," + extra;
  world_.log().Emit("form", json + "}", U16ToUtf8(design_.name));
}

HWND TraceForm::hWnd() { return loaded_ ? hwnd_ : 0; }

WindowSystem& TraceForm::windows() { return world_.windows(); }

TraceForm::LoadedSite& TraceForm::FindSite(const std::u16string& name) {
  for (auto& site : sites_)
    if (site->name == name) return *site;
  NoSuch("control site", name);
}

ControlSite& TraceForm::Site(const std::u16string& name) { return FindSite(name); }

TraceContainer& TraceForm::SiteContainer(const std::u16string& name) { return *FindSite(name).container; }

void TraceForm::Load() {
  Emit("load");
  hwnd_ = world_.windows().CreateWindow(U16ToUtf8(design_.name));
  loaded_ = true;
  try {
    for (const auto& control : design_.controls) {
      if (control.kind != FormDesign::Kind::ControlSite) continue;
      auto site = std::make_unique<LoadedSite>(world_, control);
      TraceContainer& container = *site->container;
      container.SetSiteControl(control.create(container));
      std::u16string name = control.name;
      container.SetEventHandler([this, name](EventId id, EventArgs& args) {
        code_->ControlEvent(*this, name, id, args);
      });
      sites_.push_back(std::move(site));
      SiteControl& hosted = *container.siteControl();
      container.Deliver("Initialize", [&] { hosted.Initialize(); });
      StoredPropertyBag bag(control.stored, [&container] { container.Check("ReadProperty"); });
      container.Deliver("ReadProperties", [&] { hosted.ReadProperties(bag); });
    }
    code_->Load(*this);
  } catch (...) {
    Unload();
    throw;
  }
}

void TraceForm::ShowModal(HWND) {
  if (loaded_) throw MarkletError(400, "Form already displayed; can't show modally");
  Load();
  Emit("show", "\"modal\":true");
  for (auto& site : sites_) site->container->QueuePaint();
  world_.Pump();
  // The modal loop: the scenario's next lines run here until the form unloads.
  while (loaded_) {
    if (!world_.RunNestedLine()) Unload();
  }
}

void TraceForm::Unload() {
  if (!loaded_ || unloading_) return;
  if (dispatching_ > 0) {
    unloadPending_ = true;
    return;
  }
  unloading_ = true;
  unloadPending_ = false;
  Emit("unload");
  try {
    code_->Unload(*this);
  } catch (const MarkletError& e) {
    world_.log().EmitObject(JsonObject()
                                .Raw("error", ErrorJson(e.number(), e.what()))
                                .Str("in", "Unload")
                                .Str("source", U16ToUtf8(design_.name))
                                .str());
  }
  for (auto& site : sites_) {
    SiteControl& hosted = *site->container->siteControl();
    site->container->Deliver("Terminate", [&] { hosted.Terminate(); });
  }
  sites_.clear();
  world_.windows().DestroyWindow(hwnd_);
  hwnd_ = 0;
  loaded_ = false;
  unloading_ = false;
}

void TraceForm::PressButton(const std::u16string& name) {
  auto it = std::find_if(design_.controls.begin(), design_.controls.end(), [&](const auto& c) {
    return c.kind == FormDesign::Kind::CommandButton && c.name == name;
  });
  if (!loaded_ || it == design_.controls.end()) NoSuch("command button", name);
  Emit("click", "\"name\":" + JsonString(name));
  code_->ButtonClick(*this, name);
}

void TraceForm::Dispatch(const std::u16string& site, const std::function<void(SiteControl&)>& action) {
  SiteControl& control = FindSite(site).control();
  ++dispatching_;
  try {
    action(control);
  } catch (...) {
    --dispatching_;
    if (dispatching_ == 0 && unloadPending_) Unload();
    throw;
  }
  --dispatching_;
  if (dispatching_ == 0 && unloadPending_) Unload();
}

void TraceForm::CloseFromTitleBar() {
  bool available = world_.windows().HasCloseCommand(hwnd_);
  Emit("close", "\"available\":" + JsonBool(available));
  if (available) Unload();
}

// ---- TraceFormHost ----

TraceFormHost::~TraceFormHost() = default;

Form* TraceFormHost::FindForm(const std::u16string& name) {
  for (auto& form : forms_)
    if (form->name() == name) return form.get();
  return nullptr;
}

TraceForm* TraceFormHost::LoadedForm(const std::u16string& name) {
  auto* form = static_cast<TraceForm*>(FindForm(name));
  return form && form->Loaded() ? form : nullptr;
}

Form& TraceFormHost::CreateForm(const FormDesign& design, std::unique_ptr<FormCode> code) {
  if (FindForm(design.name)) {
    throw MarkletError(ErrorNumber::InvalidProcedureCall,
                       "Invalid procedure call or argument: a form '" + U16ToUtf8(design.name) +
                           "' exists already");
  }
  std::vector<Picture> pictures;
  for (const auto& control : design.controls) {
    Picture picture;
    if (control.kind == FormDesign::Kind::PictureBox && !control.image.empty()) {
      picture = DecodePictureData(control.image, world_.tppX, world_.tppY, false,
                                  "the picture of " + U16ToUtf8(control.name));
    }
    if (control.kind == FormDesign::Kind::ControlSite && !control.create) NoSuch("control for the site", control.name);
    pictures.push_back(picture);
  }
  forms_.push_back(std::make_unique<TraceForm>(world_, design, pictures, std::move(code)));
  std::string source = U16ToUtf8(design.name);
  world_.log().Emit("form",
                    JsonObject()
                        .Str("op", "create")
                        .Str("caption", design.caption)
                        .Sng("width", design.clientWidth)
                        .Sng("height", design.clientHeight)
                        .str(),
                    source);
  for (std::size_t i = 0; i < design.controls.size(); ++i) {
    const auto& c = design.controls[i];
    JsonObject record;
    record.Str("op", "control")
        .Str("kind", KindName(c.kind))
        .Str("name", c.name)
        .Sng("left", c.left)
        .Sng("top", c.top)
        .Sng("width", c.width)
        .Sng("height", c.height);
    if (c.kind == FormDesign::Kind::CommandButton) record.Str("caption", c.caption);
    if (c.kind == FormDesign::Kind::PictureBox) record.Raw("picture", JsonPicture(pictures[i]));
    world_.log().Emit("form", record.str(), source);
  }
  return *forms_.back();
}

}  // namespace marklet::trace
