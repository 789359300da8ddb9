// The object in a container: its client site, verbs and in-place
// activation, its size and position, and drawing into the container's
// device context.
//
// The control's window is the in-place window. Its position and size come
// from the site's rectangles (DoVerb, SetObjectRects); SetExtent only keeps
// the extent the container reports back, since some containers pass it in
// units other than HiMetric. When the control sets its own height
// (AutoSizeHeight), the site is told through OnPosRectChange.
#include "control/type_library.h"
#include "platform/win32/activex/marklet_object.h"
#include "platform/win32/activex/misc_status.h"
#include "platform/win32/activex/module.h"

namespace marklet::win32::activex {
namespace {

SIZE ScreenPixelsPerInch() {
  HDC screen = ::GetDC(nullptr);
  SIZE dpi{::GetDeviceCaps(screen, LOGPIXELSX), ::GetDeviceCaps(screen, LOGPIXELSY)};
  ::ReleaseDC(nullptr, screen);
  return dpi;
}

}  // namespace

SIZEL MarkletObject::PixelsToHiMetric(int width, int height) const {
  SIZE dpi = ScreenPixelsPerInch();
  return SIZEL{::MulDiv(width, 2540, dpi.cx > 0 ? dpi.cx : 96), ::MulDiv(height, 2540, dpi.cy > 0 ? dpi.cy : 96)};
}

// ---- IOleObject ----

HRESULT MarkletObject::SetClientSite(IOleClientSite* site) {
  site_ = ComRef<IOleClientSite>::Share(site);
  return S_OK;
}

HRESULT MarkletObject::GetClientSite(IOleClientSite** site) {
  if (!site) return E_POINTER;
  *site = site_.get();
  if (*site) (*site)->AddRef();
  return S_OK;
}

HRESULT MarkletObject::SetHostNames(LPCOLESTR, LPCOLESTR) { return S_OK; }

HRESULT MarkletObject::Close(::DWORD saveOption) {
  AddRef();
  if ((saveOption == OLECLOSE_SAVEIFDIRTY || saveOption == OLECLOSE_PROMPTSAVE) && dirty_ && site_) {
    site_->SaveObject();
  }
  InPlaceDeactivate();
  if (adviseHolder_) adviseHolder_->SendOnClose();
  Release();
  return S_OK;
}

HRESULT MarkletObject::SetMoniker(::DWORD, IMoniker*) { return E_NOTIMPL; }

HRESULT MarkletObject::GetMoniker(::DWORD, ::DWORD, IMoniker** moniker) {
  if (moniker) *moniker = nullptr;
  return E_NOTIMPL;
}

HRESULT MarkletObject::InitFromData(IDataObject*, BOOL, ::DWORD) { return E_NOTIMPL; }

HRESULT MarkletObject::GetClipboardData(::DWORD, IDataObject** data) {
  if (data) *data = nullptr;
  return E_NOTIMPL;
}

HRESULT MarkletObject::DoVerb(LONG verb, LPMSG, IOleClientSite* site, LONG, ::HWND, LPCRECT bounds) {
  switch (verb) {
    case OLEIVERB_PRIMARY:
    case OLEIVERB_SHOW:
    case OLEIVERB_INPLACEACTIVATE:
      return ActivateInPlace(site ? site : site_.get(), bounds, false);
    case OLEIVERB_UIACTIVATE:
      return ActivateInPlace(site ? site : site_.get(), bounds, true);
    case OLEIVERB_HIDE:
      if (container_) ::ShowWindow(container_->window(), SW_HIDE);
      return S_OK;
    case OLEIVERB_OPEN:
    case OLEIVERB_PROPERTIES:
      return OLEOBJ_S_CANNOT_DOVERB_NOW;
    default:
      return verb < 0 ? E_NOTIMPL : OLEOBJ_S_INVALIDVERB;
  }
}

HRESULT MarkletObject::ActivateInPlace(IOleClientSite* site, LPCRECT bounds, bool uiActivate) {
  if (!site) return E_INVALIDARG;
  AddRef();
  HRESULT hr = S_OK;
  try {
    EnsureInitialised();
    if (!inPlaceActive_) {
      ComRef<IOleInPlaceSite> inPlace;
      hr = site->QueryInterface(IID_IOleInPlaceSite, reinterpret_cast<void**>(inPlace.put()));
      if (SUCCEEDED(hr)) hr = inPlace->CanInPlaceActivate() == S_OK ? S_OK : E_FAIL;
      if (SUCCEEDED(hr)) hr = inPlace->OnInPlaceActivate();
      ::HWND parent = nullptr;
      if (SUCCEEDED(hr)) hr = inPlace->GetWindow(&parent);
      RECT position{}, clip{};
      if (SUCCEEDED(hr)) {
        ComRef<IOleInPlaceFrame> frame;
        ComRef<IOleInPlaceUIWindow> document;
        OLEINPLACEFRAMEINFO frameInfo{};
        frameInfo.cb = sizeof frameInfo;
        hr = inPlace->GetWindowContext(frame.put(), document.put(), &position, &clip, &frameInfo);
      }
      if (FAILED(hr)) {
        Release();
        return hr;
      }
      inPlaceSite_ = inPlace;
      inPlaceActive_ = true;
      ::HWND window = container_->window();
      ::SetParent(window, parent);
      if (bounds) position = *bounds;
      position_ = position;
      ::SetWindowPos(window, nullptr, position.left, position.top, position.right - position.left,
                     position.bottom - position.top, SWP_NOZORDER | SWP_NOACTIVATE);
      ::ShowWindow(window, SW_SHOWNA);
    } else if (bounds) {
      SetObjectRects(bounds, bounds);
    }
    if (uiActivate && !uiActive_) {
      uiActive_ = true;
      inPlaceSite_->OnUIActivate();
      ::SetFocus(container_->window());
    }
  } catch (...) {
    hr = ReportCurrentException(IID_IOleObject);
  }
  Release();
  return hr;
}

HRESULT MarkletObject::EnumVerbs(IEnumOLEVERB** verbs) {
  if (!verbs) return E_POINTER;
  return ::OleRegEnumVerbs(ToGuid(kClassGuid), verbs);
}

HRESULT MarkletObject::Update() { return S_OK; }
HRESULT MarkletObject::IsUpToDate() { return S_OK; }

HRESULT MarkletObject::GetUserClassID(CLSID* clsid) { return GetClassID(clsid); }

HRESULT MarkletObject::GetUserType(::DWORD form, LPOLESTR* type) {
  if (!type) return E_POINTER;
  return ::OleRegGetUserType(ToGuid(kClassGuid), form, type);
}

HRESULT MarkletObject::SetExtent(::DWORD aspect, SIZEL* size) {
  if (aspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
  if (!size) return E_POINTER;
  extent_ = *size;
  return S_OK;
}

HRESULT MarkletObject::GetExtent(::DWORD aspect, SIZEL* size) {
  if (aspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
  if (!size) return E_POINTER;
  *size = extent_;
  return S_OK;
}

HRESULT MarkletObject::Advise(IAdviseSink* sink, ::DWORD* cookie) {
  if (!adviseHolder_) {
    HRESULT hr = ::CreateOleAdviseHolder(adviseHolder_.put());
    if (FAILED(hr)) return hr;
  }
  return adviseHolder_->Advise(sink, cookie);
}

HRESULT MarkletObject::Unadvise(::DWORD cookie) {
  return adviseHolder_ ? adviseHolder_->Unadvise(cookie) : OLE_E_NOCONNECTION;
}

HRESULT MarkletObject::EnumAdvise(IEnumSTATDATA** advise) {
  if (!advise) return E_POINTER;
  *advise = nullptr;
  return adviseHolder_ ? adviseHolder_->EnumAdvise(advise) : S_OK;
}

HRESULT MarkletObject::GetMiscStatus(::DWORD aspect, ::DWORD* status) {
  if (!status) return E_POINTER;
  *status = MiscStatusFor(aspect);
  return S_OK;
}

HRESULT MarkletObject::SetColorScheme(LOGPALETTE*) { return E_NOTIMPL; }

// ---- In place ----

HRESULT MarkletObject::GetWindow(::HWND* window) {
  if (!window) return E_POINTER;
  *window = inPlaceActive_ && container_ ? container_->window() : nullptr;
  return *window ? S_OK : E_FAIL;
}

HRESULT MarkletObject::ContextSensitiveHelp(BOOL) { return E_NOTIMPL; }

HRESULT MarkletObject::InPlaceDeactivate() {
  if (!inPlaceActive_) return S_OK;
  AddRef();
  UIDeactivate();
  inPlaceActive_ = false;
  if (container_) {
    ::HWND window = container_->window();
    ::ShowWindow(window, SW_HIDE);
    ::SetParent(window, parking_);
  }
  ComRef<IOleInPlaceSite> site = inPlaceSite_;
  inPlaceSite_.reset();
  if (site) site->OnInPlaceDeactivate();
  Release();
  return S_OK;
}

HRESULT MarkletObject::UIDeactivate() {
  if (!uiActive_) return S_OK;
  uiActive_ = false;
  if (inPlaceSite_) inPlaceSite_->OnUIDeactivate(FALSE);
  return S_OK;
}

HRESULT MarkletObject::SetObjectRects(LPCRECT position, LPCRECT) {
  if (!position) return E_POINTER;
  position_ = *position;
  if (container_) {
    // Resize follows from the window's new size.
    container_->SetBounds(*position);
    extent_ = PixelsToHiMetric(position->right - position->left, position->bottom - position->top);
  }
  return S_OK;
}

HRESULT MarkletObject::ReactivateAndUndo() { return E_NOTIMPL; }
HRESULT MarkletObject::TranslateAccelerator(LPMSG) { return S_FALSE; }
HRESULT MarkletObject::OnFrameWindowActivate(BOOL) { return S_OK; }
HRESULT MarkletObject::OnDocWindowActivate(BOOL) { return S_OK; }
HRESULT MarkletObject::ResizeBorder(LPCRECT, IOleInPlaceUIWindow*, BOOL) { return S_OK; }
HRESULT MarkletObject::EnableModeless(BOOL) { return S_OK; }

// The control set its own height: the window has it already; the site
// learns the new rectangle and answers with SetObjectRects.
void MarkletObject::HeightSet(int width, int height) {
  position_.right = position_.left + width;
  position_.bottom = position_.top + height;
  extent_ = PixelsToHiMetric(width, height);
  if (inPlaceSite_) {
    RECT position = position_;
    inPlaceSite_->OnPosRectChange(&position);
  }
  NotifyViewChange();
}

void MarkletObject::NotifyViewChange() {
  if (viewSink_ && (viewAspects_ & DVASPECT_CONTENT)) viewSink_->OnViewChange(DVASPECT_CONTENT, -1);
}

// ---- IOleControl ----

HRESULT MarkletObject::GetControlInfo(CONTROLINFO* info) {
  if (!info) return E_POINTER;
  info->hAccel = nullptr;
  info->cAccel = 0;
  info->dwFlags = 0;
  return S_OK;
}

HRESULT MarkletObject::OnMnemonic(MSG*) { return E_NOTIMPL; }

// Ambient values are read when the control needs them (a new instance, a
// load or a save), so a change needs nothing here.
HRESULT MarkletObject::OnAmbientPropertyChange(DISPID) { return S_OK; }

HRESULT MarkletObject::FreezeEvents(BOOL freeze) {
  if (freeze) ++eventsFrozen_;
  else if (eventsFrozen_ > 0) --eventsFrozen_;
  return S_OK;
}

// ---- IViewObject2 ----

// Draws the control as its window shows it, scaled into the bounds.
HRESULT MarkletObject::Draw(::DWORD aspect, LONG, void*, DVTARGETDEVICE*, HDC, HDC dc, LPCRECTL bounds, LPCRECTL,
                            BOOL(STDMETHODCALLTYPE*)(ULONG_PTR), ULONG_PTR) {
  if (aspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
  if (!dc || !bounds) return E_INVALIDARG;
  AddRef();
  HRESULT hr = S_OK;
  try {
    EnsureInitialised();
    container_->PaintIfPending();
    GdiSurface& surface = container_->gdiSurface();
    int w = surface.PixelWidth(), h = surface.PixelHeight();
    HDC memory = ::CreateCompatibleDC(dc);
    HBITMAP bitmap = ::CreateCompatibleBitmap(dc, w > 0 ? w : 1, h > 0 ? h : 1);
    if (!memory || !bitmap) {
      hr = E_OUTOFMEMORY;
    } else {
      HGDIOBJ old = ::SelectObject(memory, bitmap);
      container_->Present(memory);
      int mode = ::SetStretchBltMode(dc, COLORONCOLOR);
      ::StretchBlt(dc, bounds->left, bounds->top, bounds->right - bounds->left, bounds->bottom - bounds->top, memory,
                   0, 0, w, h, SRCCOPY);
      ::SetStretchBltMode(dc, mode);
      ::SelectObject(memory, old);
    }
    if (bitmap) ::DeleteObject(bitmap);
    if (memory) ::DeleteDC(memory);
  } catch (...) {
    hr = ReportCurrentException(IID_IViewObject);
  }
  Release();
  return hr;
}

HRESULT MarkletObject::GetColorSet(::DWORD, LONG, void*, DVTARGETDEVICE*, HDC, LOGPALETTE** colors) {
  if (colors) *colors = nullptr;
  return S_FALSE;
}

HRESULT MarkletObject::Freeze(::DWORD, LONG, void*, ::DWORD*) { return E_NOTIMPL; }
HRESULT MarkletObject::Unfreeze(::DWORD) { return E_NOTIMPL; }

HRESULT MarkletObject::SetAdvise(::DWORD aspects, ::DWORD flags, IAdviseSink* sink) {
  viewAspects_ = aspects;
  viewFlags_ = flags;
  viewSink_ = ComRef<IAdviseSink>::Share(sink);
  return S_OK;
}

HRESULT MarkletObject::GetAdvise(::DWORD* aspects, ::DWORD* flags, IAdviseSink** sink) {
  if (aspects) *aspects = viewAspects_;
  if (flags) *flags = viewFlags_;
  if (sink) {
    *sink = viewSink_.get();
    if (*sink) (*sink)->AddRef();
  }
  return S_OK;
}

HRESULT MarkletObject::GetExtent(::DWORD aspect, LONG, DVTARGETDEVICE*, LPSIZEL size) {
  return GetExtent(aspect, size);
}

}  // namespace marklet::win32::activex
