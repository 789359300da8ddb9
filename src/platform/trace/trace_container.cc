#include "platform/trace/trace_container.h"

#include "host/error.h"
#include "platform/trace/json.h"
#include "platform/pixbuf/picture_loader.h"

namespace marklet::trace {

std::string ErrorJson(int number, const std::string& description) {
  return JsonObject().Num("number", number).Str("description", description).str();
}

// ---- TraceImages ----

void TraceImages::BeforeAccess() { owner_.Check("imgC"); }

void TraceImages::Changed(Change change, Integer index, bool) {
  std::string json = "{\"op\":";
  const Image& image = images()[index < static_cast<Integer>(images().size()) ? index : 0];
  switch (change) {
    case Change::Load: json += "\"load\""; break;
    case Change::Unload: json += "\"unload\""; break;
    case Change::Picture: json += "\"picture\""; break;
    case Change::Move: json += "\"move\""; break;
    case Change::Show: json += "\"show\""; break;
    case Change::Hide: json += "\"hide\""; break;
  }
  json += ",\"index\":" + std::to_string(index);
  if (change == Change::Picture) json += ",\"picture\":" + JsonPicture(image.picture);
  if (change == Change::Move) json += ",\"left\":" + JsonSingle(image.left) + ",\"top\":" + JsonSingle(image.top);
  owner_.Emit("img", json + "}");
}

// ---- TraceContainer ----

TraceContainer::TraceContainer(TraceWorld& world, std::string source)
    : world_(world), source_(std::move(source)), surface_(*this), images_(*this) {
  surface_.state().hwnd = world_.windows().CreateWindow(source_);
}

TraceContainer::~TraceContainer() {
  control_.reset();
  siteControl_.reset();
  world_.ForgetPaints(this);
  world_.windows().DestroyWindow(surface_.state().hwnd);
}

WindowSystem& TraceContainer::windows() { return world_.windows(); }

void TraceContainer::Emit(const std::string& key, const std::string& valueJson) {
  world_.log().Emit(key, valueJson, source_);
}

void TraceContainer::PropertyChanged(const std::u16string& name) {
  Check("PropertyChanged");
  Emit("notify", JsonString(name));
}

std::u16string TraceContainer::AmbientDisplayName() {
  Check("Ambient");
  return ambientName;
}

OleColor TraceContainer::AmbientBackColor() {
  Check("Ambient");
  return ambientBackColor;
}

FontDesc TraceContainer::AmbientFont() {
  Check("Ambient");
  return ambientFont;
}

void TraceContainer::DoEvents() { world_.Pump(); }

void TraceContainer::RaiseEvent(EventId id, EventArgs& args) {
  JsonObject record;
  record.Str("event", EventName(id)).Raw("args", JsonArgs(args));
  if (!source_.empty()) record.Str("source", source_);
  world_.log().EmitObject(record.str());
  if (eventHandler_) eventHandler_(id, args);
}

Picture TraceContainer::LoadPicture(const std::u16string& path) {
  Check("LoadPicture");
  return LoadPictureFile(path, world_.tppX, world_.tppY, false, world_.root(), &pictures_);
}

Single TraceContainer::ScreenTwipsPerPixelX() { return world_.tppX; }
Single TraceContainer::ScreenTwipsPerPixelY() { return world_.tppY; }

int TraceContainer::MsgBox(const std::u16string& prompt, int buttons, const std::u16string& title) {
  Emit("msgbox",
       JsonObject().Str("prompt", prompt).Num("buttons", buttons).Str("title", title).str());
  return 1;  // OK
}

FormHost& TraceContainer::forms() { return world_.forms(); }

void TraceContainer::ParseStarted() {
  pictures_.Reset();
  Emit("parse", "true");
}

void TraceContainer::CreateControl() {
  control_ = std::make_unique<Marklet>(*this);
}

void TraceContainer::DestroyControl() { control_.reset(); }

void TraceContainer::SetSiteControl(std::unique_ptr<SiteControl> control) {
  siteControl_ = std::move(control);
}

void TraceContainer::Deliver(const char* name, const std::function<void()>& action) {
  Emit("deliver", JsonString(std::string_view(name)));
  try {
    action();
  } catch (const MarkletError& e) {
    JsonObject record;
    record.Raw("error", ErrorJson(e.number(), e.what())).Str("in", name);
    if (!source_.empty()) record.Str("source", source_);
    world_.log().EmitObject(record.str());
  }
}

void TraceContainer::QueuePaint() {
  if (world_.PaintQueued(this)) return;
  TraceWorld::Message m;
  m.paintFor = this;
  m.deliver = [this] {
    if (control_) Deliver("Paint", [this] { control_->Paint(); });
    else if (siteControl_) Deliver("Paint", [this] { siteControl_->Paint(); });
  };
  world_.Post(std::move(m));
}

}  // namespace marklet::trace
