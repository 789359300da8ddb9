#include "platform/trace/trace_container.h"

#include <algorithm>
#include <cmath>

#include "host/error.h"
#include "host/font_size.h"
#include "platform/trace/json.h"
#include "platform/pixbuf/picture_loader.h"

namespace marklet::trace {

std::string ErrorJson(int number, const std::string& description) {
  return JsonObject().Num("number", number).Str("description", description).str();
}

// ---- TraceLog ----

void TraceLog::Emit(const std::string& key, const std::string& valueJson, const std::string& source) {
  JsonObject record;
  record.Raw(key, valueJson);
  if (!source.empty()) record.Str("source", source);
  EmitObject(record.str());
}

void TraceLog::EmitObject(const std::string& objectJson) { *out_ << objectJson << '\n'; }

// ---- FailurePlan ----

void FailurePlan::Check(const char* operation) {
  if (armed_.empty()) return;
  auto it = armed_.find(operation);
  if (it == armed_.end()) return;
  int number = it->second;
  armed_.erase(it);
  throw MarkletError(number, std::string("Injected failure of ") + operation);
}

// ---- TraceWorld ----

TraceWorld::TraceWorld(std::ostream& out)
    : log_(out),
      windows_(std::make_unique<TraceWindowSystem>(*this)),
      forms_(std::make_unique<TraceFormHost>(*this)) {}

TraceWorld::~TraceWorld() = default;

bool TraceWorld::PaintQueued(const void* container) const {
  return std::any_of(queue_.begin(), queue_.end(),
                     [&](const Message& m) { return m.paintFor == container; });
}

void TraceWorld::ForgetPaints(const void* container) {
  std::erase_if(queue_, [&](const Message& m) { return m.paintFor == container; });
}

void TraceWorld::Pump() {
  // A handler that keeps queueing work must not hang the scenario.
  constexpr int kMaxMessagesPerPump = 100000;
  if (pumpDepth_ == 0) depthLimitReported_ = false;
  // Each message a nested pump delivers may pump again (a hit test does):
  // past the limit the messages stay queued, in order, for the pump that is
  // already running, so the stack stays shallow however many are pending.
  if (pumpDepth_ > kMaxNestedPumps) {
    if (!depthLimitReported_) {
      depthLimitReported_ = true;
      log_.Emit("pumpDepthLimit", std::to_string(kMaxNestedPumps));
    }
    return;
  }
  ++pumpDepth_;
  int delivered = 0;
  while (!queue_.empty() && delivered < kMaxMessagesPerPump) {
    Message message = std::move(queue_.front());
    queue_.pop_front();
    ++delivered;
    message.deliver();
  }
  --pumpDepth_;
}

// ---- TraceWindowSystem ----

HWND TraceWindowSystem::CreateWindow(const std::string& source) {
  HWND hwnd = WindowTable::CreateWindow();
  windows_[hwnd].source = source;
  return hwnd;
}

void TraceWindowSystem::DestroyWindow(HWND hwnd) {
  auto it = windows_.find(hwnd);
  if (it == windows_.end()) return;
  menus_.erase(it->second.systemMenu);
  windows_.erase(it);
  WindowTable::DestroyWindow(hwnd);
}

bool TraceWindowSystem::HasCloseCommand(HWND hwnd) const {
  auto it = windows_.find(hwnd);
  if (it == windows_.end()) return false;
  auto menu = menus_.find(it->second.systemMenu);
  if (menu == menus_.end()) return true;  // never fetched: the standard menu
  return std::find(menu->second.begin(), menu->second.end(), "close") != menu->second.end();
}

std::string TraceWindowSystem::SourceOf(HWND hwnd) const {
  auto it = windows_.find(hwnd);
  return it == windows_.end() ? std::string() : it->second.source;
}

void TraceWindowSystem::DeliveringMouseLeave(HWND hwnd) {
  world_.log().Emit("deliver", "\"MouseLeave\"", SourceOf(hwnd));
}

LRESULT TraceWindowSystem::DefWindowProcA(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  ++defWindowProcCalls_;
  return WindowTable::DefWindowProcA(hwnd, msg, wParam, lParam);
}

void TraceWindowSystem::MouseTracked(HWND hwnd, bool) {
  world_.log().Emit("trackmouse", "true", SourceOf(hwnd));
}

HMENU TraceWindowSystem::GetSystemMenu(HWND hwnd, bool revert) {
  auto it = windows_.find(hwnd);
  if (it == windows_.end()) return 0;
  if (it->second.systemMenu == 0 || revert) {
    // A standard system menu: restore, move, size, minimise, maximise,
    // separator, close.
    HMENU menu = hwnd + 1;
    menus_[menu] = {"restore", "move", "size", "minimize", "maximize", "separator", "close"};
    it->second.systemMenu = menu;
  }
  long long items = static_cast<long long>(menus_[it->second.systemMenu].size());
  world_.log().Emit("sysmenu", JsonObject().Str("op", "get").Num("items", items).str(),
                    it->second.source);
  return revert ? 0 : it->second.systemMenu;
}

int TraceWindowSystem::GetMenuItemCount(HMENU menu) {
  auto it = menus_.find(menu);
  return it == menus_.end() ? -1 : static_cast<int>(it->second.size());
}

bool TraceWindowSystem::RemoveMenu(HMENU menu, UINT position, UINT flags) {
  auto it = menus_.find(menu);
  bool ok = it != menus_.end() && (flags & MF_BYPOSITION) && position < it->second.size();
  world_.log().Emit("sysmenu",
                    JsonObject().Str("op", "remove").Num("position", position).Num("flags", flags).str(),
                    SourceOf(menu - 1));
  if (ok) it->second.erase(it->second.begin() + position);
  return ok;
}

bool TraceWindowSystem::DrawMenuBar(HWND hwnd) {
  world_.log().Emit("sysmenu", JsonObject().Str("op", "draw").str(), SourceOf(hwnd));
  return windows_.count(hwnd) != 0;
}

LONG_PTR TraceWindowSystem::ShellExecuteA(HWND hwnd, const std::string& operation,
                                          const std::string& file, const std::string&,
                                          const std::string&, int) {
  world_.log().Emit("shell", JsonObject().Str("op", operation).Str("file", file).str(), SourceOf(hwnd));
  return 33;  // above 32: success
}

// ---- TraceSurface ----

TraceSurface::TraceSurface(TraceContainer& owner) : owner_(owner) {
  state_.fontPixels = PixelsForSize(8.25f);
}

void TraceSurface::Check(const char* op) { owner_.Check(op); }

int TraceSurface::PixelsForSize(Single size) const {
  if (!FontSizeAccepted(size)) {
    throw MarkletError(ErrorNumber::InvalidPropertyValue,
                       "Invalid property value: font size " + FormatSingle(size));
  }
  double pixels = RoundHalfEven(static_cast<double>(size) * 20.0 / owner_.world().tppY);
  return std::max(1, static_cast<int>(pixels));
}

Single TraceSurface::SizeForPixels(int pixels) const {
  return ReportedFontSize(pixels * static_cast<double>(owner_.world().tppY) / 20.0);
}

int TraceSurface::BorderPixels() const {
  if (state_.borderStyle == 0) return 0;
  return state_.appearance == 1 ? 2 : 1;
}

void TraceSurface::Cls() {
  Check("Cls");
  state_.currentX = 0;
  state_.currentY = 0;
  owner_.Emit("cls", "true");
}

OleColor TraceSurface::BackColor() {
  Check("BackColor");
  return state_.backColor;
}

void TraceSurface::SetBackColor(OleColor color) {
  Check("BackColor");
  state_.backColor = color;
  owner_.Emit("backcolor", JsonColor(color));
}

OleColor TraceSurface::ForeColor() {
  Check("ForeColor");
  return state_.foreColor;
}

void TraceSurface::SetForeColor(OleColor color) {
  Check("ForeColor");
  state_.foreColor = color;
}

FontDesc TraceSurface::Font() {
  Check("FontName");
  FontDesc f;
  f.name = state_.fontName;
  f.size = SizeForPixels(state_.fontPixels);
  f.bold = state_.bold;
  f.italic = state_.italic;
  f.underline = state_.underline;
  f.strikethrough = state_.strikethrough;
  f.weight = state_.bold ? 700 : 400;
  f.charset = state_.charset;
  return f;
}

void TraceSurface::SetFont(const FontDesc& font) {
  Check("FontName");
  if (font.name.empty() || font.name.size() > 31) {
    throw MarkletError(ErrorNumber::InvalidPropertyValue,
                       "Invalid property value: font name '" + U16ToUtf8(font.name) + "'");
  }
  int pixels = PixelsForSize(font.size);
  state_.fontName = font.name;
  state_.fontPixels = pixels;
  state_.bold = font.bold || font.weight >= 600;
  state_.italic = font.italic;
  state_.underline = font.underline;
  state_.strikethrough = font.strikethrough;
  state_.charset = font.charset;
}

std::u16string TraceSurface::FontName() {
  Check("FontName");
  return state_.fontName;
}

void TraceSurface::SetFontName(const std::u16string& name) {
  Check("FontName");
  if (name.empty() || name.size() > 31) {
    throw MarkletError(ErrorNumber::InvalidPropertyValue,
                       "Invalid property value: font name '" + U16ToUtf8(name) + "'");
  }
  state_.fontName = name;
}

Single TraceSurface::FontSize() {
  Check("FontSize");
  return SizeForPixels(state_.fontPixels);
}

void TraceSurface::SetFontSize(Single size) {
  Check("FontSize");
  state_.fontPixels = PixelsForSize(size);
}

bool TraceSurface::FontBold() {
  Check("FontBold");
  return state_.bold;
}
void TraceSurface::SetFontBold(bool bold) {
  Check("FontBold");
  state_.bold = bold;
}
bool TraceSurface::FontItalic() {
  Check("FontItalic");
  return state_.italic;
}
void TraceSurface::SetFontItalic(bool italic) {
  Check("FontItalic");
  state_.italic = italic;
}
bool TraceSurface::FontUnderline() {
  Check("FontUnderline");
  return state_.underline;
}
void TraceSurface::SetFontUnderline(bool underline) {
  Check("FontUnderline");
  state_.underline = underline;
}

Single TraceSurface::CurrentX() {
  Check("CurrentX");
  return state_.currentX;
}
void TraceSurface::SetCurrentX(Single x) {
  Check("CurrentX");
  state_.currentX = x;
}
Single TraceSurface::CurrentY() {
  Check("CurrentY");
  return state_.currentY;
}
void TraceSurface::SetCurrentY(Single y) {
  Check("CurrentY");
  state_.currentY = y;
}

void TraceSurface::Print(const std::u16string& text) {
  Check("Print");
  JsonObject p;
  p.Sng("x", state_.currentX)
      .Sng("y", state_.currentY)
      .Str("text", text)
      .Str("font", state_.fontName)
      .Sng("size", SizeForPixels(state_.fontPixels))
      .Bool("bold", state_.bold)
      .Bool("italic", state_.italic)
      .Bool("underline", state_.underline)
      .Raw("color", JsonColor(state_.foreColor));
  owner_.Emit("print", p.str());
  double advance = static_cast<double>(text.size()) * (std::max(1, state_.fontPixels / 2) + (state_.bold ? 1 : 0)) *
                   owner_.world().tppX;
  state_.currentX = static_cast<Single>(state_.currentX + advance);
}

Single TraceSurface::TextWidth(const std::u16string& text) {
  Check("TextWidth");
  double perUnit = std::max(1, state_.fontPixels / 2) + (state_.bold ? 1 : 0);
  return static_cast<Single>(static_cast<double>(text.size()) * perUnit * owner_.world().tppX);
}

Single TraceSurface::TextHeight(const std::u16string&) {
  Check("TextHeight");
  return static_cast<Single>((state_.fontPixels + 2) * static_cast<double>(owner_.world().tppY));
}

Single TraceSurface::ScaleWidth() {
  double inner = state_.width - 2.0 * BorderPixels() * owner_.world().tppX;
  return static_cast<Single>(std::max(0.0, inner));
}

Single TraceSurface::ScaleHeight() {
  double inner = state_.height - 2.0 * BorderPixels() * owner_.world().tppY;
  return static_cast<Single>(std::max(0.0, inner));
}

Single TraceSurface::Width() { return state_.width; }

Single TraceSurface::Height() {
  Check("Height");
  return state_.height;
}

void TraceSurface::SetHeight(Single height) {
  Check("Height");
  if (!(height >= 0) || height > 2147483647.0f) {
    throw MarkletError(ErrorNumber::InvalidPropertyValue,
                       "Invalid property value: height " + FormatSingle(height));
  }
  owner_.Emit("height", JsonSingle(height));
  if (height == state_.height) return;
  state_.height = height;
  owner_.Deliver("Resize", [this] {
    if (owner_.control()) owner_.control()->Resize();
    else if (owner_.siteControl()) owner_.siteControl()->Resize();
  });
}

namespace {

double TwipsPer(ScaleMode mode, double tpp) {
  switch (mode) {
    case ScaleMode::Twips: return 1.0;
    case ScaleMode::Pixels: return tpp;
    case ScaleMode::HiMetric: return 1440.0 / 2540.0;
  }
  throw MarkletError(ErrorNumber::InvalidPropertyValue, "Invalid scale mode");
}

}  // namespace

Single TraceSurface::ScaleX(Single value, ScaleMode from, ScaleMode to) {
  Check("ScaleX");
  Single factor = static_cast<Single>(TwipsPer(from, owner_.world().tppX) / TwipsPer(to, owner_.world().tppX));
  return value * factor;
}

Single TraceSurface::ScaleY(Single value, ScaleMode from, ScaleMode to) {
  Check("ScaleY");
  Single factor = static_cast<Single>(TwipsPer(from, owner_.world().tppY) / TwipsPer(to, owner_.world().tppY));
  return value * factor;
}

Integer TraceSurface::BackStyle() {
  Check("BackStyle");
  return state_.backStyle;
}

void TraceSurface::SetBackStyle(Integer style) {
  Check("BackStyle");
  if (style != 0 && style != 1) {
    throw MarkletError(ErrorNumber::InvalidPropertyValue,
                       "Invalid property value: BackStyle " + std::to_string(style));
  }
  state_.backStyle = style;
}

Picture TraceSurface::GetPicture() {
  Check("Picture");
  return state_.picture;
}

void TraceSurface::SetPicture(const Picture& picture) {
  Check("Picture");
  state_.picture = picture;
}

bool TraceSurface::Enabled() {
  Check("Enabled");
  return state_.enabled;
}

void TraceSurface::SetEnabled(bool enabled) {
  Check("Enabled");
  state_.enabled = enabled;
}

Integer TraceSurface::Appearance() {
  Check("Appearance");
  return state_.appearance;
}

void TraceSurface::SetAppearance(Integer appearance) {
  Check("Appearance");
  if (appearance != 0 && appearance != 1) {
    throw MarkletError(ErrorNumber::InvalidPropertyValue,
                       "Invalid property value: Appearance " + std::to_string(appearance));
  }
  state_.appearance = appearance;
}

Integer TraceSurface::BorderStyle() {
  Check("BorderStyle");
  return state_.borderStyle;
}

void TraceSurface::SetBorderStyle(Integer style) {
  Check("BorderStyle");
  if (style != 0 && style != 1) {
    throw MarkletError(ErrorNumber::InvalidPropertyValue,
                       "Invalid property value: BorderStyle " + std::to_string(style));
  }
  state_.borderStyle = style;
}

Integer TraceSurface::MousePointer() {
  Check("MousePointer");
  return state_.mousePointer;
}

void TraceSurface::SetMousePointer(Integer pointer) {
  Check("MousePointer");
  if (pointer < 0 || (pointer > 15 && pointer != 99)) {
    throw MarkletError(ErrorNumber::InvalidPropertyValue,
                       "Invalid property value: MousePointer " + std::to_string(pointer));
  }
  state_.mousePointer = pointer;
  owner_.Emit("pointer", std::to_string(pointer));
}

void TraceSurface::Refresh() {
  Check("Refresh");
  owner_.Emit("refresh", "true");
  owner_.QueuePaint();
}

HWND TraceSurface::hWnd() { return state_.hwnd; }

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
