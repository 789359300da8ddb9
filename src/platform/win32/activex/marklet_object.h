// The control class as a COM object: the dual automation interface, the
// event and property-change connection points, persistence to property bags
// and streams, and the embedding and in-place activation interfaces an
// ActiveX container drives it through.
//
// The object owns one control and its Windows container. Until a container
// activates it in place, the control's window lies hidden in a parking window
// of the thread; activation moves it into the container's window.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "control/marklet.h"
#include "platform/win32/activex/com_values.h"
#include "platform/win32/activex/connection_point.h"
#include "platform/win32/activex/font_link.h"
#include "platform/win32/win32_container.h"
#include "platform/win32/win_api.h"

namespace marklet::win32::activex {

class MarkletObject;

// The automation interface `_Marklet` as a vtable: IDispatch, then each
// property's get and let/set accessor and the methods, in the order of the
// type library (so each function sits in the slot its type information gives).
struct IMarkletAutomation : public IDispatch {
  virtual HRESULT STDMETHODCALLTYPE get_LineSpacing(SHORT* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_LineSpacing(SHORT value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Picture(IPictureDisp** value) = 0;
  virtual HRESULT STDMETHODCALLTYPE putref_Picture(IPictureDisp* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_BackColor(OLE_COLOR* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_BackColor(OLE_COLOR value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_ShowMoreLink(VARIANT_BOOL* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_ShowMoreLink(VARIANT_BOOL value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_GetTextOnEvent(VARIANT_BOOL* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_GetTextOnEvent(VARIANT_BOOL value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_MultiLine(VARIANT_BOOL* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_MultiLine(VARIANT_BOOL value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_AutoSizeHeight(VARIANT_BOOL* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_AutoSizeHeight(VARIANT_BOOL value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_UnderlineLink(VARIANT_BOOL* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_UnderlineLink(VARIANT_BOOL value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_LeftMargin(SHORT* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_LeftMargin(SHORT value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_LinkDisplay(LONG* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_LinkDisplay(LONG value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_TabSize(BYTE* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_TabSize(BYTE value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_ForeColor(OLE_COLOR* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_ForeColor(OLE_COLOR value) = 0;
  virtual HRESULT STDMETHODCALLTYPE About() = 0;
  virtual HRESULT STDMETHODCALLTYPE get_LinkColor(OLE_COLOR* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_LinkColor(OLE_COLOR value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_ActiveLinkColor(OLE_COLOR* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_ActiveLinkColor(OLE_COLOR value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_FormatedText(BSTR* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Enabled(VARIANT_BOOL* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_Enabled(VARIANT_BOOL value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Font(IFontDisp** value) = 0;
  virtual HRESULT STDMETHODCALLTYPE putref_Font(IFontDisp* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Appearance(LONG* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_Appearance(LONG value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Text(BSTR* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_Text(BSTR value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_MoreLinkText(BSTR* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_MoreLinkText(BSTR value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_BorderStyle(LONG* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_BorderStyle(LONG value) = 0;
  virtual HRESULT STDMETHODCALLTYPE Refresh() = 0;
};

// The control's Windows container inside the object: ambient values come
// from the client site, change notices and events go out through the object.
class SiteContainer final : public Win32Container {
 public:
  SiteContainer(MarkletObject& owner, ::HWND parking, const RECT& bounds);
  void PropertyChanged(const std::u16string& name) override;
  std::u16string AmbientDisplayName() override;
  OleColor AmbientBackColor() override;
  FontDesc AmbientFont() override;
  void RaiseEvent(EventId id, EventArgs& args) override;

 private:
  MarkletObject& owner_;
};

class MarkletObject final : public IMarkletAutomation,
                            public IConnectionPointContainer,
                            public IProvideClassInfo2,
                            public IPersistPropertyBag,
                            public IPersistStreamInit,
                            public IOleObject,
                            public IOleInPlaceObject,
                            public IOleInPlaceActiveObject,
                            public IOleControl,
                            public IViewObject2,
                            public ISupportErrorInfo {
 public:
  // Creates an object and asks it for `iid`; the control is created
  // (Initialize) at once, its properties at InitNew or Load.
  static HRESULT Create(REFIID iid, void** out);

  // IUnknown
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;

  // IDispatch
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID lcid, ITypeInfo** info) override;
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID lcid,
                                          DISPID* ids) override;
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID iid, LCID lcid, WORD flags, DISPPARAMS* params,
                                   VARIANT* result, EXCEPINFO* exception, UINT* argError) override;

  // _Marklet
  HRESULT STDMETHODCALLTYPE get_LineSpacing(SHORT* value) override;
  HRESULT STDMETHODCALLTYPE put_LineSpacing(SHORT value) override;
  HRESULT STDMETHODCALLTYPE get_Picture(IPictureDisp** value) override;
  HRESULT STDMETHODCALLTYPE putref_Picture(IPictureDisp* value) override;
  HRESULT STDMETHODCALLTYPE get_BackColor(OLE_COLOR* value) override;
  HRESULT STDMETHODCALLTYPE put_BackColor(OLE_COLOR value) override;
  HRESULT STDMETHODCALLTYPE get_ShowMoreLink(VARIANT_BOOL* value) override;
  HRESULT STDMETHODCALLTYPE put_ShowMoreLink(VARIANT_BOOL value) override;
  HRESULT STDMETHODCALLTYPE get_GetTextOnEvent(VARIANT_BOOL* value) override;
  HRESULT STDMETHODCALLTYPE put_GetTextOnEvent(VARIANT_BOOL value) override;
  HRESULT STDMETHODCALLTYPE get_MultiLine(VARIANT_BOOL* value) override;
  HRESULT STDMETHODCALLTYPE put_MultiLine(VARIANT_BOOL value) override;
  HRESULT STDMETHODCALLTYPE get_AutoSizeHeight(VARIANT_BOOL* value) override;
  HRESULT STDMETHODCALLTYPE put_AutoSizeHeight(VARIANT_BOOL value) override;
  HRESULT STDMETHODCALLTYPE get_UnderlineLink(VARIANT_BOOL* value) override;
  HRESULT STDMETHODCALLTYPE put_UnderlineLink(VARIANT_BOOL value) override;
  HRESULT STDMETHODCALLTYPE get_LeftMargin(SHORT* value) override;
  HRESULT STDMETHODCALLTYPE put_LeftMargin(SHORT value) override;
  HRESULT STDMETHODCALLTYPE get_LinkDisplay(LONG* value) override;
  HRESULT STDMETHODCALLTYPE put_LinkDisplay(LONG value) override;
  HRESULT STDMETHODCALLTYPE get_TabSize(BYTE* value) override;
  HRESULT STDMETHODCALLTYPE put_TabSize(BYTE value) override;
  HRESULT STDMETHODCALLTYPE get_ForeColor(OLE_COLOR* value) override;
  HRESULT STDMETHODCALLTYPE put_ForeColor(OLE_COLOR value) override;
  HRESULT STDMETHODCALLTYPE About() override;
  HRESULT STDMETHODCALLTYPE get_LinkColor(OLE_COLOR* value) override;
  HRESULT STDMETHODCALLTYPE put_LinkColor(OLE_COLOR value) override;
  HRESULT STDMETHODCALLTYPE get_ActiveLinkColor(OLE_COLOR* value) override;
  HRESULT STDMETHODCALLTYPE put_ActiveLinkColor(OLE_COLOR value) override;
  HRESULT STDMETHODCALLTYPE get_FormatedText(BSTR* value) override;
  HRESULT STDMETHODCALLTYPE get_Enabled(VARIANT_BOOL* value) override;
  HRESULT STDMETHODCALLTYPE put_Enabled(VARIANT_BOOL value) override;
  HRESULT STDMETHODCALLTYPE get_Font(IFontDisp** value) override;
  HRESULT STDMETHODCALLTYPE putref_Font(IFontDisp* value) override;
  HRESULT STDMETHODCALLTYPE get_Appearance(LONG* value) override;
  HRESULT STDMETHODCALLTYPE put_Appearance(LONG value) override;
  HRESULT STDMETHODCALLTYPE get_Text(BSTR* value) override;
  HRESULT STDMETHODCALLTYPE put_Text(BSTR value) override;
  HRESULT STDMETHODCALLTYPE get_MoreLinkText(BSTR* value) override;
  HRESULT STDMETHODCALLTYPE put_MoreLinkText(BSTR value) override;
  HRESULT STDMETHODCALLTYPE get_BorderStyle(LONG* value) override;
  HRESULT STDMETHODCALLTYPE put_BorderStyle(LONG value) override;
  HRESULT STDMETHODCALLTYPE Refresh() override;

  // IConnectionPointContainer
  HRESULT STDMETHODCALLTYPE EnumConnectionPoints(IEnumConnectionPoints** points) override;
  HRESULT STDMETHODCALLTYPE FindConnectionPoint(REFIID iid, IConnectionPoint** point) override;

  // IProvideClassInfo2
  HRESULT STDMETHODCALLTYPE GetClassInfo(ITypeInfo** info) override;
  HRESULT STDMETHODCALLTYPE GetGUID(::DWORD kind, GUID* guid) override;

  // IPersist, IPersistPropertyBag, IPersistStreamInit
  HRESULT STDMETHODCALLTYPE GetClassID(CLSID* clsid) override;
  HRESULT STDMETHODCALLTYPE InitNew() override;
  HRESULT STDMETHODCALLTYPE Load(IPropertyBag* bag, IErrorLog* log) override;
  HRESULT STDMETHODCALLTYPE Save(IPropertyBag* bag, BOOL clearDirty, BOOL saveAll) override;
  HRESULT STDMETHODCALLTYPE IsDirty() override;
  HRESULT STDMETHODCALLTYPE Load(LPSTREAM stream) override;
  HRESULT STDMETHODCALLTYPE Save(LPSTREAM stream, BOOL clearDirty) override;
  HRESULT STDMETHODCALLTYPE GetSizeMax(ULARGE_INTEGER* size) override;

  // IOleObject
  HRESULT STDMETHODCALLTYPE SetClientSite(IOleClientSite* site) override;
  HRESULT STDMETHODCALLTYPE GetClientSite(IOleClientSite** site) override;
  HRESULT STDMETHODCALLTYPE SetHostNames(LPCOLESTR app, LPCOLESTR object) override;
  HRESULT STDMETHODCALLTYPE Close(::DWORD saveOption) override;
  HRESULT STDMETHODCALLTYPE SetMoniker(::DWORD which, IMoniker* moniker) override;
  HRESULT STDMETHODCALLTYPE GetMoniker(::DWORD assign, ::DWORD which, IMoniker** moniker) override;
  HRESULT STDMETHODCALLTYPE InitFromData(IDataObject* data, BOOL creation, ::DWORD reserved) override;
  HRESULT STDMETHODCALLTYPE GetClipboardData(::DWORD reserved, IDataObject** data) override;
  HRESULT STDMETHODCALLTYPE DoVerb(LONG verb, LPMSG message, IOleClientSite* site, LONG index, ::HWND parent,
                                   LPCRECT bounds) override;
  HRESULT STDMETHODCALLTYPE EnumVerbs(IEnumOLEVERB** verbs) override;
  HRESULT STDMETHODCALLTYPE Update() override;
  HRESULT STDMETHODCALLTYPE IsUpToDate() override;
  HRESULT STDMETHODCALLTYPE GetUserClassID(CLSID* clsid) override;
  HRESULT STDMETHODCALLTYPE GetUserType(::DWORD form, LPOLESTR* type) override;
  HRESULT STDMETHODCALLTYPE SetExtent(::DWORD aspect, SIZEL* size) override;
  HRESULT STDMETHODCALLTYPE GetExtent(::DWORD aspect, SIZEL* size) override;
  HRESULT STDMETHODCALLTYPE Advise(IAdviseSink* sink, ::DWORD* cookie) override;
  HRESULT STDMETHODCALLTYPE Unadvise(::DWORD cookie) override;
  HRESULT STDMETHODCALLTYPE EnumAdvise(IEnumSTATDATA** advise) override;
  HRESULT STDMETHODCALLTYPE GetMiscStatus(::DWORD aspect, ::DWORD* status) override;
  HRESULT STDMETHODCALLTYPE SetColorScheme(LOGPALETTE* palette) override;

  // IOleWindow, IOleInPlaceObject, IOleInPlaceActiveObject
  HRESULT STDMETHODCALLTYPE GetWindow(::HWND* window) override;
  HRESULT STDMETHODCALLTYPE ContextSensitiveHelp(BOOL enter) override;
  HRESULT STDMETHODCALLTYPE InPlaceDeactivate() override;
  HRESULT STDMETHODCALLTYPE UIDeactivate() override;
  HRESULT STDMETHODCALLTYPE SetObjectRects(LPCRECT position, LPCRECT clip) override;
  HRESULT STDMETHODCALLTYPE ReactivateAndUndo() override;
  HRESULT STDMETHODCALLTYPE TranslateAccelerator(LPMSG message) override;
  HRESULT STDMETHODCALLTYPE OnFrameWindowActivate(BOOL activate) override;
  HRESULT STDMETHODCALLTYPE OnDocWindowActivate(BOOL activate) override;
  HRESULT STDMETHODCALLTYPE ResizeBorder(LPCRECT border, IOleInPlaceUIWindow* window, BOOL frameWindow) override;
  HRESULT STDMETHODCALLTYPE EnableModeless(BOOL enable) override;

  // IOleControl
  HRESULT STDMETHODCALLTYPE GetControlInfo(CONTROLINFO* info) override;
  HRESULT STDMETHODCALLTYPE OnMnemonic(MSG* message) override;
  HRESULT STDMETHODCALLTYPE OnAmbientPropertyChange(DISPID id) override;
  HRESULT STDMETHODCALLTYPE FreezeEvents(BOOL freeze) override;

  // IViewObject, IViewObject2
  HRESULT STDMETHODCALLTYPE Draw(::DWORD aspect, LONG index, void* aspectInfo, DVTARGETDEVICE* device,
                                 HDC targetDc, HDC dc, LPCRECTL bounds, LPCRECTL windowBounds,
                                 BOOL(STDMETHODCALLTYPE* cont)(ULONG_PTR), ULONG_PTR contArg) override;
  HRESULT STDMETHODCALLTYPE GetColorSet(::DWORD aspect, LONG index, void* aspectInfo, DVTARGETDEVICE* device,
                                        HDC targetDc, LOGPALETTE** colors) override;
  HRESULT STDMETHODCALLTYPE Freeze(::DWORD aspect, LONG index, void* aspectInfo, ::DWORD* freeze) override;
  HRESULT STDMETHODCALLTYPE Unfreeze(::DWORD freeze) override;
  HRESULT STDMETHODCALLTYPE SetAdvise(::DWORD aspects, ::DWORD flags, IAdviseSink* sink) override;
  HRESULT STDMETHODCALLTYPE GetAdvise(::DWORD* aspects, ::DWORD* flags, IAdviseSink** sink) override;
  HRESULT STDMETHODCALLTYPE GetExtent(::DWORD aspect, LONG index, DVTARGETDEVICE* device, LPSIZEL size) override;

  // ISupportErrorInfo
  HRESULT STDMETHODCALLTYPE InterfaceSupportsErrorInfo(REFIID iid) override;

  // Called by the site container.
  void OnPropertyChanged(const std::u16string& name);
  void OnEvent(EventId id, EventArgs& args);
  ComRef<IDispatch> AmbientDispatch();

  // What the suite and hosts may read through the object's window.
  SiteContainer& container() { return *container_; }

 private:
  MarkletObject();
  ~MarkletObject();
  HRESULT Start();

  Marklet& control() { return *container_->control(); }
  // Runs InitProperties when the host used the control before it called
  // InitNew or Load (a script host creating it by its ProgID, say).
  void EnsureInitialised();
  // Reads a property through the dispatch layer; errors become HRESULTs
  // with error information.
  HRESULT GetProperty(DISPID id, VARIANT* out);
  HRESULT PutProperty(DISPID id, const Variant& value);
  HRESULT CallMethod(DISPID id);
  template <typename T, typename Convert>
  HRESULT GetAs(DISPID id, T* out, Convert convert);

  // The live font object (object_font.cc): made at the first get, showing
  // the font the control keeps; a change made through it reaches the control.
  IFontDisp* FontObject();
  void ShowFontOnObject();
  void FontObjectChanged();
  // The container's error path: a failure no caller can receive (a font the
  // surface refused through the font object) becomes the thread's error
  // information, named by the notification that failed.
  void RecordError(const char* notification, int number, const std::string& description);

  HRESULT ActivateInPlace(IOleClientSite* site, LPCRECT bounds, bool uiActivate);
  void HeightSet(int width, int height);
  void NotifyViewChange();
  SIZEL PixelsToHiMetric(int width, int height) const;

  LONG references_ = 1;
  std::unique_ptr<SiteContainer> container_;
  ::HWND parking_ = nullptr;

  ComRef<FontLink> fontLink_;

  ConnectionPoint events_;
  ConnectionPoint propertyNotify_;

  ComRef<IOleClientSite> site_;
  ComRef<IOleInPlaceSite> inPlaceSite_;
  ComRef<IOleAdviseHolder> adviseHolder_;
  ComRef<IAdviseSink> viewSink_;
  ::DWORD viewAspects_ = 0, viewFlags_ = 0;
  bool inPlaceActive_ = false;
  bool uiActive_ = false;
  bool initialised_ = false;          // InitNew, Load, or an implicit InitProperties ran
  bool initialisedByHost_ = false;    // InitNew or Load ran
  bool dirty_ = false;
  int eventsFrozen_ = 0;
  SIZEL extent_{};                     // HiMetric
  RECT position_{};                    // in the container's window, pixels
};

}  // namespace marklet::win32::activex
