#include "platform/trace/trace_forms.h"

#include <algorithm>

#include "host/container.h"
#include "host/error.h"
#include "platform/pixbuf/picture_loader.h"
#include "platform/trace/json.h"
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

}  // namespace

// ---- TraceForm ----

class TraceForm::LoadedSite : public FormSite {
 public:
  LoadedSite(TraceWorld& world, const FormDesign::Control& design)
      : FormSite(design.name), container_(std::make_unique<TraceContainer>(world, U16ToUtf8(design.name))) {
    // The form's own ambient values, as a form hands them to its controls.
    container_->ambientName = design.name;
    container_->ambientBackColor = 0x8000000Fu;
    container_->ambientFont = FontDesc{u"MS Sans Serif", 8.25f};
    container_->traceSurface().SetSizeQuietly(design.width, design.height);
  }

  TraceContainer& traceContainer() { return *container_; }

  SiteControl& control() override { return *container_->siteControl(); }
  std::u16string ToolTipText() override { return tooltip_; }
  void SetToolTipText(const std::u16string& text) override {
    tooltip_ = text;
    container_->Emit("tooltip", JsonString(text));
  }

  Container& container() override { return *container_; }
  void Attach(std::unique_ptr<SiteControl> control) override { container_->SetSiteControl(std::move(control)); }
  void Deliver(const char* notification, const std::function<void()>& action) override {
    container_->Deliver(notification, action);
  }
  void Detach() override {
    SiteControl& hosted = control();
    container_->Deliver("Terminate", [&] { hosted.Terminate(); });
  }
  // The failure plan may refuse a read.
  void BeforeRead() override { container_->Check("ReadProperty"); }

 private:
  std::unique_ptr<TraceContainer> container_;
  std::u16string tooltip_;
};

TraceForm::TraceForm(TraceWorld& world, const FormDesign& design, std::vector<Picture> pictures,
                     std::unique_ptr<FormCode> code)
    : FormLifecycle(design, std::move(pictures), std::move(code)), world_(world) {}

TraceForm::~TraceForm() {
  // A form still loaded when the world ends goes quietly.
  DiscardSites();
  if (hwnd_) world_.windows().DestroyWindow(hwnd_);
}

void TraceForm::Emit(const std::string& op, const std::string& extra) {
  std::string json = "{\"op\":" + JsonString(std::string_view(op));
  if (!extra.empty()) json += "," + extra;
  world_.log().Emit("form", json + "}", U16ToUtf8(name()));
}

WindowSystem& TraceForm::windows() { return world_.windows(); }

TraceContainer& TraceForm::SiteContainer(const std::u16string& name) {
  return static_cast<LoadedSite&>(FindSite(name)).traceContainer();
}

void TraceForm::OpenWindow(HWND) { hwnd_ = world_.windows().CreateWindow(U16ToUtf8(name())); }

std::unique_ptr<FormSite> TraceForm::MakeSite(const FormDesign::Control& control) {
  auto site = std::make_unique<LoadedSite>(world_, control);
  std::u16string name = control.name;
  site->traceContainer().SetEventHandler(
      [this, name](EventId id, EventArgs& args) { RaiseControlEvent(name, id, args); });
  return site;
}

void TraceForm::RunModal(HWND owner) {
  Load(owner);
  if (!Loaded()) return;
  Emit("show", "\"modal\":true");
  for (const auto& site : sites()) static_cast<LoadedSite&>(*site).traceContainer().QueuePaint();
  world_.Pump();
  // The modal loop: the scenario's next lines run here until the form unloads.
  while (Loaded()) {
    if (!world_.RunNestedLine()) Unload();
  }
}

void TraceForm::ReportError(const char* where, const MarkletError& error) {
  world_.log().EmitObject(JsonObject()
                              .Raw("error", ErrorJson(error.number(), error.what()))
                              .Str("in", where)
                              .Str("source", U16ToUtf8(name()))
                              .str());
}

void TraceForm::CloseWindow() {
  world_.windows().DestroyWindow(hwnd_);
  hwnd_ = 0;
}

void TraceForm::PressButton(const std::u16string& name) {
  const auto& controls = design().controls;
  auto it = std::find_if(controls.begin(), controls.end(), [&](const auto& c) {
    return c.kind == FormDesign::Kind::CommandButton && c.name == name;
  });
  if (!Loaded() || it == controls.end()) RaiseNoSuch("command button", name);
  Emit("click", "\"name\":" + JsonString(name));
  Call([&] { code().ButtonClick(*this, name); });
}

void TraceForm::Dispatch(const std::u16string& site, const std::function<void(SiteControl&)>& action) {
  SiteControl& control = FindSite(site).control();
  Call([&] { action(control); });
}

void TraceForm::CloseFromTitleBar() {
  bool available = world_.windows().HasCloseCommand(hwnd_);
  Emit("close", "\"available\":" + JsonBool(available));
  if (available) Unload();
}

// ---- TraceFormHost ----

TraceFormHost::~TraceFormHost() = default;

TraceForm* TraceFormHost::LoadedForm(const std::u16string& name) {
  TraceForm* form = Find(name);
  return form && form->Loaded() ? form : nullptr;
}

Picture TraceFormHost::Decode(std::span<const unsigned char> bytes, const std::string& what) {
  return DecodePictureData(bytes, world_.tppX, world_.tppY, false, what);
}

std::unique_ptr<TraceForm> TraceFormHost::MakeForm(const FormDesign& design, std::vector<Picture> pictures,
                                                   std::unique_ptr<FormCode> code) {
  return std::make_unique<TraceForm>(world_, design, std::move(pictures), std::move(code));
}

void TraceFormHost::Created(TraceForm& form) {
  const FormDesign& design = form.design();
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
    if (c.kind == FormDesign::Kind::PictureBox) record.Raw("picture", JsonPicture(form.picture(i)));
    world_.log().Emit("form", record.str(), source);
  }
}

}  // namespace marklet::trace
