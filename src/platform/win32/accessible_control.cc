#include "platform/win32/win_api.h"

#include "platform/win32/accessible_control.h"

#include <oleacc.h>

#include <cmath>
#include <exception>
#include <new>

#include "control/marklet.h"
#include "platform/win32/com_ref.h"
#include "platform/win32/win32_container.h"

namespace marklet::win32 {

namespace {

UINT DefaultActionMessage() {
  static const UINT message = ::RegisterWindowMessageW(L"MarkletAccessibleDefaultAction");
  return message;
}

UINT NameChangeMessage() {
  static const UINT message = ::RegisterWindowMessageW(L"MarkletAccessibleNameChange");
  return message;
}

// Marshalling the object needs COM on the window's thread; a thread that has
// it already (in whatever model) keeps it.
void EnsureCom() {
  static thread_local bool initialised = false;
  if (initialised) return;
  HRESULT hr = ::OleInitialize(nullptr);
  initialised = SUCCEEDED(hr) || hr == RPC_E_CHANGED_MODE;
}

HRESULT ToBstr(const std::u16string& text, BSTR* out) {
  *out = ::SysAllocStringLen(Wide(text), static_cast<UINT>(text.size()));
  return *out ? S_OK : E_OUTOFMEMORY;
}

// A box the control recorded (twips) in the window's client pixels, right
// and bottom exclusive, rounded as the window rounds the pointer's position.
RECT ClientBox(Win32Container& container, const DrawnLink& link) {
  GdiSurface& s = container.gdiSurface();
  const int b = s.BorderPixels();
  auto x = [&](Single v) { return b + static_cast<LONG>(std::lround(v / s.TppX())); };
  auto y = [&](Single v) { return b + static_cast<LONG>(std::lround(v / s.TppY())); };
  return RECT{x(link.left), y(link.top), x(link.right), y(link.bottom)};
}

}  // namespace

// The COM object. It holds no reference to the control: every call reads the
// control's tables as they stand, and after Detach every call fails.
class AccessibleObject final : public IAccessible, public IOleWindow {
 public:
  AccessibleObject(ControlAccessibility& owner, Win32Container& container) : owner_(&owner), container_(&container) {}

  void Detach() {
    owner_ = nullptr;
    container_ = nullptr;
    standard_.reset();
  }

  // ---- IUnknown ----
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
    if (!out) return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IDispatch || riid == IID_IAccessible) {
      *out = static_cast<IAccessible*>(this);
    } else if (riid == IID_IOleWindow) {
      *out = static_cast<IOleWindow*>(this);
    } else {
      *out = nullptr;
      return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(::InterlockedIncrement(&refs_)); }
  ULONG STDMETHODCALLTYPE Release() override {
    LONG left = ::InterlockedDecrement(&refs_);
    if (left == 0) delete this;
    return static_cast<ULONG>(left);
  }

  // ---- IOleWindow ----
  HRESULT STDMETHODCALLTYPE GetWindow(::HWND* window) override {
    if (!window) return E_POINTER;
    *window = container_ ? container_->window() : nullptr;
    return container_ ? S_OK : RPC_E_DISCONNECTED;
  }
  HRESULT STDMETHODCALLTYPE ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }

  // ---- IDispatch: clients use the vtable ----
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
    if (!count) return E_POINTER;
    *count = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override {
    return E_NOTIMPL;
  }

  // ---- IAccessible ----
  HRESULT STDMETHODCALLTYPE get_accParent(IDispatch** parent) override {
    if (!parent) return E_POINTER;
    *parent = nullptr;
    return Guard([&] {
      IAccessible* standard = Standard();
      return standard ? standard->get_accParent(parent) : S_FALSE;
    });
  }

  HRESULT STDMETHODCALLTYPE get_accChildCount(LONG* count) override {
    if (!count) return E_POINTER;
    *count = 0;
    return Guard([&] {
      *count = static_cast<LONG>(Links().size());
      return S_OK;
    });
  }

  // The links are simple elements: they have no object of their own.
  HRESULT STDMETHODCALLTYPE get_accChild(VARIANT child, IDispatch** out) override {
    if (!out) return E_POINTER;
    *out = nullptr;
    return WithTarget(child, [&](const Target& target) -> HRESULT {
      return target.link ? S_FALSE : E_INVALIDARG;
    });
  }

  HRESULT STDMETHODCALLTYPE get_accName(VARIANT child, BSTR* name) override {
    if (!name) return E_POINTER;
    *name = nullptr;
    return WithTarget(child, [&](const Target& target) -> HRESULT {
      if (target.link) return ToBstr(target.link->name, name);
      Marklet* control = container_->control();
      return ToBstr(control ? control->FormatedText() : std::u16string(), name);
    });
  }

  HRESULT STDMETHODCALLTYPE get_accValue(VARIANT child, BSTR* value) override {
    if (!value) return E_POINTER;
    *value = nullptr;
    return WithTarget(child, [&](const Target& target) -> HRESULT {
      return target.link ? ToBstr(target.link->key, value) : DISP_E_MEMBERNOTFOUND;
    });
  }

  HRESULT STDMETHODCALLTYPE get_accDescription(VARIANT child, BSTR* out) override { return NoText(child, out); }
  HRESULT STDMETHODCALLTYPE get_accHelp(VARIANT child, BSTR* out) override { return NoText(child, out); }
  HRESULT STDMETHODCALLTYPE get_accKeyboardShortcut(VARIANT child, BSTR* out) override { return NoText(child, out); }
  HRESULT STDMETHODCALLTYPE get_accHelpTopic(BSTR* file, VARIANT, LONG* topic) override {
    if (file) *file = nullptr;
    if (topic) *topic = 0;
    return DISP_E_MEMBERNOTFOUND;
  }

  HRESULT STDMETHODCALLTYPE get_accRole(VARIANT child, VARIANT* role) override {
    if (!role) return E_POINTER;
    ::VariantInit(role);
    return WithTarget(child, [&](const Target& target) -> HRESULT {
      role->vt = VT_I4;
      role->lVal = target.link ? ROLE_SYSTEM_LINK : ROLE_SYSTEM_STATICTEXT;
      return S_OK;
    });
  }

  HRESULT STDMETHODCALLTYPE get_accState(VARIANT child, VARIANT* state) override {
    if (!state) return E_POINTER;
    ::VariantInit(state);
    return WithTarget(child, [&](const Target& target) -> HRESULT {
      if (!target.link) {
        // The window's own states: focused, focusable, invisible, unavailable.
        IAccessible* standard = Standard();
        if (standard) return standard->get_accState(child, state);
        state->vt = VT_I4;
        state->lVal = STATE_SYSTEM_FOCUSABLE;
        return S_OK;
      }
      state->vt = VT_I4;
      state->lVal = STATE_SYSTEM_FOCUSABLE | STATE_SYSTEM_LINKED;
      if (target.link->hovered) state->lVal |= STATE_SYSTEM_HOTTRACKED;
      return S_OK;
    });
  }

  HRESULT STDMETHODCALLTYPE get_accFocus(VARIANT* focus) override {
    if (!focus) return E_POINTER;
    ::VariantInit(focus);
    return Guard([&] {
      IAccessible* standard = Standard();
      return standard ? standard->get_accFocus(focus) : S_FALSE;
    });
  }

  HRESULT STDMETHODCALLTYPE get_accSelection(VARIANT* selection) override {
    if (!selection) return E_POINTER;
    ::VariantInit(selection);
    return DISP_E_MEMBERNOTFOUND;
  }

  HRESULT STDMETHODCALLTYPE get_accDefaultAction(VARIANT child, BSTR* action) override {
    if (!action) return E_POINTER;
    *action = nullptr;
    return WithTarget(child, [&](const Target& target) -> HRESULT {
      return target.link ? ToBstr(u"Click", action) : DISP_E_MEMBERNOTFOUND;
    });
  }

  HRESULT STDMETHODCALLTYPE accSelect(LONG flags, VARIANT child) override {
    return WithTarget(child, [&](const Target& target) -> HRESULT {
      IAccessible* standard = target.link ? nullptr : Standard();
      return standard ? standard->accSelect(flags, child) : DISP_E_MEMBERNOTFOUND;
    });
  }

  HRESULT STDMETHODCALLTYPE accLocation(LONG* left, LONG* top, LONG* width, LONG* height, VARIANT child) override {
    if (!left || !top || !width || !height) return E_POINTER;
    *left = *top = *width = *height = 0;
    return WithTarget(child, [&](const Target& target) -> HRESULT {
      RECT r{};
      if (target.link) {
        r = ClientBox(*container_, *target.link);
        ::MapWindowPoints(container_->window(), nullptr, reinterpret_cast<POINT*>(&r), 2);
      } else if (!::GetWindowRect(container_->window(), &r)) {
        return E_FAIL;
      }
      *left = r.left;
      *top = r.top;
      *width = r.right - r.left;
      *height = r.bottom - r.top;
      return S_OK;
    });
  }

  HRESULT STDMETHODCALLTYPE accNavigate(LONG direction, VARIANT start, VARIANT* end) override {
    if (!end) return E_POINTER;
    ::VariantInit(end);
    return Guard([&] {
      Target target;
      HRESULT hr = Resolve(start, target);
      if (FAILED(hr)) return hr;
      const LONG count = static_cast<LONG>(target.links.size());
      LONG to = 0;
      if (!target.link) {
        if (direction == NAVDIR_FIRSTCHILD) to = count > 0 ? 1 : 0;
        else if (direction == NAVDIR_LASTCHILD) to = count;
        else {
          // Beside the window: the window's neighbours.
          IAccessible* standard = Standard();
          return standard ? standard->accNavigate(direction, start, end) : S_FALSE;
        }
      } else if (direction == NAVDIR_NEXT) {
        to = start.lVal < count ? start.lVal + 1 : 0;
      } else if (direction == NAVDIR_PREVIOUS) {
        to = start.lVal - 1;
      } else if (direction == NAVDIR_FIRSTCHILD || direction == NAVDIR_LASTCHILD) {
        return E_INVALIDARG;  // a simple element has no children
      }
      if (to <= 0) return S_FALSE;
      end->vt = VT_I4;
      end->lVal = to;
      return S_OK;
    });
  }

  // The pointer's own hit test, on the point the window would give the
  // control for a pointer there (over a picture, the picture's point moved
  // to the surface as the control moves it).
  HRESULT STDMETHODCALLTYPE accHitTest(LONG x, LONG y, VARIANT* result) override {
    if (!result) return E_POINTER;
    ::VariantInit(result);
    return Guard([&] {
      ::HWND window = container_->window();
      POINT at{x, y};
      ::ScreenToClient(window, &at);
      RECT client{};
      ::GetClientRect(window, &client);
      if (!::PtInRect(&client, at)) return S_FALSE;
      result->vt = VT_I4;
      result->lVal = CHILDID_SELF;
      Marklet* control = container_->control();
      if (!control) return S_OK;
      Single sx = 0, sy = 0;
      Integer image = container_->images().HitTest(at.x, at.y);
      if (image >= 0 && container_->images().IsLoaded(image)) {
        RECT r = container_->images().Bounds(image);
        GdiSurface& s = container_->gdiSurface();
        sx = CSng(static_cast<double>(container_->imgC().Left(image)) +
                  static_cast<double>(static_cast<Single>((at.x - r.left) * s.TppX())));
        sy = CSng(static_cast<double>(container_->imgC().Top(image)) +
                  static_cast<double>(static_cast<Single>((at.y - r.top) * s.TppY())));
      } else {
        sx = container_->ToTwipsX(at.x);
        sy = container_->ToTwipsY(at.y);
      }
      const Integer hit = control->LinkAtPoint(sx, sy);
      std::vector<DrawnLink> links = control->DrawnLinks();
      for (std::size_t i = 0; i < links.size(); ++i) {
        if (links[i].index == hit) result->lVal = static_cast<LONG>(i + 1);
      }
      return S_OK;
    });
  }

  HRESULT STDMETHODCALLTYPE accDoDefaultAction(VARIANT child) override {
    return WithTarget(child, [&](const Target& target) -> HRESULT {
      if (!target.link) return DISP_E_MEMBERNOTFOUND;
      owner_->PostDefaultAction(target.link->index);
      return S_OK;
    });
  }

  HRESULT STDMETHODCALLTYPE put_accName(VARIANT, BSTR) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE put_accValue(VARIANT, BSTR) override { return E_NOTIMPL; }

 private:
  ~AccessibleObject() = default;

  // The child a VARIANT names: CHILDID_SELF (link null) or a drawn link.
  struct Target {
    std::vector<DrawnLink> links;
    const DrawnLink* link = nullptr;
  };

  std::vector<DrawnLink> Links() {
    Marklet* control = container_->control();
    return control ? control->DrawnLinks() : std::vector<DrawnLink>();
  }

  HRESULT Resolve(const VARIANT& child, Target& target) {
    if (child.vt != VT_I4) return E_INVALIDARG;
    target.links = Links();
    if (child.lVal == CHILDID_SELF) return S_OK;
    if (child.lVal < 1 || child.lVal > static_cast<LONG>(target.links.size())) return E_INVALIDARG;
    target.link = &target.links[child.lVal - 1];
    return S_OK;
  }

  // Runs `body` on the child a VARIANT names, once it is known to be the
  // control itself or one of its drawn links, while the object is connected.
  template <typename Body>
  HRESULT WithTarget(const VARIANT& child, Body body) {
    return Guard([&]() -> HRESULT {
      Target target;
      HRESULT hr = Resolve(child, target);
      return FAILED(hr) ? hr : body(static_cast<const Target&>(target));
    });
  }

  HRESULT NoText(VARIANT child, BSTR* out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    return WithTarget(child, [](const Target&) -> HRESULT { return DISP_E_MEMBERNOTFOUND; });
  }

  // The system's object for the window's client area, which knows the
  // window's parent, neighbours, focus and states.
  IAccessible* Standard() {
    if (!standard_) {
      ::CreateStdAccessibleObject(container_->window(), OBJID_CLIENT, IID_IAccessible,
                                  reinterpret_cast<void**>(standard_.put()));
    }
    return standard_.get();
  }

  // Runs a call while the object is connected; nothing may leave a COM call.
  template <typename Body>
  HRESULT Guard(Body body) {
    if (!container_) return RPC_E_DISCONNECTED;
    try {
      return body();
    } catch (const std::bad_alloc&) {
      return E_OUTOFMEMORY;
    } catch (const std::exception&) {
      return E_FAIL;
    }
  }

  LONG refs_ = 1;
  ControlAccessibility* owner_;
  Win32Container* container_;
  ComRef<IAccessible> standard_;
};

// ---- ControlAccessibility ----

ControlAccessibility::ControlAccessibility(Win32Container& owner) : owner_(owner) {}

ControlAccessibility::~ControlAccessibility() {
  if (!object_) return;
  object_->Detach();
  // Proxies in other processes let go of the object now, not when they exit.
  ::CoDisconnectObject(static_cast<IAccessible*>(object_), 0);
  object_->Release();
}

bool ControlAccessibility::AnswerGetObject(WPARAM wParam, LPARAM lParam, LRESULT& result) {
  if (static_cast<LONG>(static_cast<DWORD>(lParam)) != OBJID_CLIENT) return false;
  EnsureCom();
  if (!object_) object_ = new (std::nothrow) AccessibleObject(*this, owner_);
  if (!object_) return false;
  result = ::LresultFromObject(IID_IAccessible, wParam, static_cast<IAccessible*>(object_));
  return true;
}

bool ControlAccessibility::HandleMessage(UINT msg, WPARAM wParam, LPARAM) {
  if (msg == 0) return false;
  if (msg == DefaultActionMessage()) {
    DoDefaultAction(static_cast<Integer>(wParam));
    return true;
  }
  if (msg == NameChangeMessage()) {
    namePosted_ = false;
    ::NotifyWinEvent(EVENT_OBJECT_NAMECHANGE, owner_.window(), OBJID_CLIENT, CHILDID_SELF);
    return true;
  }
  return false;
}

void ControlAccessibility::Painted() {
  Marklet* control = owner_.control();
  std::vector<Child> children;
  if (control) {
    for (DrawnLink& link : control->DrawnLinks()) {
      children.push_back(Child{link.index, std::move(link.name), std::move(link.key)});
    }
  }
  if (children == children_) return;
  children_ = std::move(children);
  ::NotifyWinEvent(EVENT_OBJECT_REORDER, owner_.window(), OBJID_CLIENT, CHILDID_SELF);
}

void ControlAccessibility::TextChanged() {
  if (namePosted_) return;
  namePosted_ = ::PostMessageW(owner_.window(), NameChangeMessage(), 0, 0) != FALSE;
}

void ControlAccessibility::PostDefaultAction(Integer index) {
  ::PostMessageW(owner_.window(), DefaultActionMessage(), static_cast<WPARAM>(index), 0);
}

// The link is looked up again: a paint since the request may have moved it,
// or taken it off the screen, and then there is nothing to click.
void ControlAccessibility::DoDefaultAction(Integer index) {
  Marklet* control = owner_.control();
  if (!control) return;
  for (const DrawnLink& link : control->DrawnLinks()) {
    if (link.index != index) continue;
    RECT box = ClientBox(owner_, link);
    POINT centre{(box.left + box.right) / 2, (box.top + box.bottom) / 2};
    // A press on a picture raises nothing; a pointer over one moves and releases only.
    owner_.ReplayClick(centre, owner_.images().HitTest(centre.x, centre.y) < 0);
    return;
  }
}

}  // namespace marklet::win32
