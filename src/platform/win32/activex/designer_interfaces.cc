#include "platform/win32/activex/designer_interfaces.h"

#include <cstddef>

#include "platform/win32/activex/marklet_object.h"
#include "platform/win32/activex/misc_status.h"
#include "platform/win32/activex/tear_off.h"
#include "platform/win32/com_ref.h"

namespace marklet::win32::activex {
namespace {

// The standard property pages every container knows; the control's
// property sheet is these two.
constexpr GUID kStockFontPage = {0x7EBDAAE0, 0x8120, 0x11CF, {0x89, 0x9F, 0x00, 0xAA, 0x00, 0x68, 0x8B, 0x10}};
constexpr GUID kStockColorPage = {0x7EBDAAE1, 0x8120, 0x11CF, {0x89, 0x9F, 0x00, 0xAA, 0x00, 0x68, 0x8B, 0x10}};

class DesignerInterfaces final : public TearOff<DesignerInterfaces, IQuickActivate, ISpecifyPropertyPages> {
 public:
  DesignerInterfaces(MarkletObject& owner, IUnknown* ownerUnknown) : TearOff(ownerUnknown), owner_(owner) {}

  void* Own(REFIID iid) {
    if (::IsEqualIID(iid, IID_IQuickActivate)) return static_cast<IQuickActivate*>(this);
    if (::IsEqualIID(iid, IID_ISpecifyPropertyPages)) return static_cast<ISpecifyPropertyPages*>(this);
    return nullptr;
  }

  // ---- IQuickActivate ----

  // What a container would otherwise do in several calls: set the client
  // site, connect the view's advise sink, the change-notice sink and the
  // event sink, and read the object's status.
  HRESULT STDMETHODCALLTYPE QuickActivate(QACONTAINER* container, QACONTROL* control) override {
    if (!container || !control) return E_POINTER;
    // Older containers describe themselves in fewer fields; the sinks and
    // the site, all that is read here, come first.
    if (container->cbSize < offsetof(QACONTAINER, dwAmbientFlags) || control->cbSize < sizeof(QACONTROL)) {
      return E_INVALIDARG;
    }
    HRESULT hr = owner_.SetClientSite(container->pClientSite);
    if (FAILED(hr)) return hr;
    if (container->pAdviseSink) {
      hr = owner_.SetAdvise(DVASPECT_CONTENT, 0, container->pAdviseSink);
      if (FAILED(hr)) return hr;
    }
    ::DWORD cookie = 0;
    control->dwPropNotifyCookie = 0;
    control->dwEventCookie = 0;
    if (container->pPropertyNotifySink && Connect(IID_IPropertyNotifySink, container->pPropertyNotifySink, cookie)) {
      control->dwPropNotifyCookie = cookie;
    }
    if (container->pUnkEventSink && Connect(EventIid(), container->pUnkEventSink, cookie)) {
      control->dwEventCookie = cookie;
    }
    control->dwMiscStatus = MiscStatusFor(DVASPECT_CONTENT);
    // The control draws its whole rectangle only when its background is
    // opaque, which can change; it promises nothing.
    control->dwViewStatus = 0;
    control->dwPointerActivationPolicy = 0;
    // The ambient values in the container's description are left there: the
    // control reads them through the site when it needs them.
    return S_OK;
  }

  HRESULT STDMETHODCALLTYPE SetContentExtent(LPSIZEL size) override {
    if (!size) return E_POINTER;
    return owner_.SetExtent(DVASPECT_CONTENT, size);
  }

  HRESULT STDMETHODCALLTYPE GetContentExtent(LPSIZEL size) override {
    if (!size) return E_POINTER;
    return static_cast<IOleObject&>(owner_).GetExtent(DVASPECT_CONTENT, size);
  }

  // ---- ISpecifyPropertyPages ----

  HRESULT STDMETHODCALLTYPE GetPages(CAUUID* pages) override {
    if (!pages) return E_POINTER;
    pages->cElems = 0;
    pages->pElems = static_cast<GUID*>(::CoTaskMemAlloc(2 * sizeof(GUID)));
    if (!pages->pElems) return E_OUTOFMEMORY;
    pages->pElems[0] = kStockFontPage;
    pages->pElems[1] = kStockColorPage;
    pages->cElems = 2;
    return S_OK;
  }

 private:
  friend TearOff;
  ~DesignerInterfaces() = default;

  GUID EventIid() {
    GUID iid{};
    owner_.GetGUID(GUIDKIND_DEFAULT_SOURCE_DISP_IID, &iid);
    return iid;
  }

  bool Connect(REFIID iid, IUnknown* sink, ::DWORD& cookie) {
    ComRef<IConnectionPoint> point;
    if (FAILED(owner_.FindConnectionPoint(iid, point.put()))) return false;
    return SUCCEEDED(point->Advise(sink, &cookie));
  }

  MarkletObject& owner_;
};

}  // namespace

bool IsDesignerInterface(REFIID iid) {
  return ::IsEqualIID(iid, IID_IQuickActivate) || ::IsEqualIID(iid, IID_ISpecifyPropertyPages);
}

HRESULT CreateDesignerInterface(MarkletObject& owner, IUnknown* ownerUnknown, REFIID iid, void** out) {
  *out = nullptr;
  if (!IsDesignerInterface(iid)) return E_NOINTERFACE;
  return DesignerInterfaces::Create(iid, out, owner, ownerUnknown);
}

}  // namespace marklet::win32::activex
