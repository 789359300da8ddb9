// What form designers and script writers take besides automation: the live
// font object, IQuickActivate, ISpecifyPropertyPages, the objects made on
// request for those and for script engines' event binding, the status bits
// per aspect as the registration gives them, and creation failing cleanly
// where no window can be made.
#include "platform/win32/win_api.h"

#include <cstddef>
#include <string>

#include "com_support.h"
#include "suite_runner.h"

namespace marklet::win32 {
namespace {

using namespace activex_suite;

constexpr DISPID kFontDispid = 0x68030005;
constexpr GUID kStockFontPage = {0x7EBDAAE0, 0x8120, 0x11CF, {0x89, 0x9F, 0x00, 0xAA, 0x00, 0x68, 0x8B, 0x10}};
constexpr GUID kStockColorPage = {0x7EBDAAE1, 0x8120, 0x11CF, {0x89, 0x9F, 0x00, 0xAA, 0x00, 0x68, 0x8B, 0x10}};

// The control's font object, through IDispatch as a script gets it.
IFont* FontOf(IDispatch* control) {
  Call got;
  Get(control, kFontDispid, got);
  if (got.hr != S_OK || V_VT(&got.value) != VT_DISPATCH) return nullptr;
  return Query<IFont>(V_DISPATCH(&got.value), IID_IFont);
}

LONGLONG SizeOf(IFont* font) {
  CY size{};
  font->get_Size(&size);
  return size.int64;
}

std::wstring NameOf(IFont* font) {
  BSTR name = nullptr;
  font->get_Name(&name);
  std::wstring out = name ? name : L"";
  ::SysFreeString(name);
  return out;
}

int Count(const std::vector<DISPID>& ids, DISPID id) {
  int n = 0;
  for (DISPID d : ids) n += d == id;
  return n;
}

SUITE_CASE(ActiveXFontObjectIsLive) {
  IDispatch* control = NewInitialisedControl();
  REQUIRE(control);
  auto* notices = new PropertyNotifySink();
  CHECK(Connect(control, IID_IPropertyNotifySink, notices) != 0);
  IFont* font = FontOf(control);
  REQUIRE(font);
  IFont* again = FontOf(control);
  CHECK_MSG(again == font, "one font object for as long as the control keeps that font");
  if (again) again->Release();

  // Marklet1.Font.Bold = True: one notice, and the control's font is bold.
  CHECK(font->put_Bold(TRUE) == S_OK);
  CHECK(Count(notices->changed, kFontDispid) == 1);
  IFont* seen = FontOf(control);
  BOOL bold = FALSE;
  if (seen) seen->get_Bold(&bold);
  CHECK(bold);
  BSTR tahoma = ::SysAllocString(L"Tahoma");
  font->put_Name(tahoma);
  ::SysFreeString(tahoma);
  CHECK(NameOf(font) == L"Tahoma");
  // Size 14 reads back as the surface realised it: 14.25 at 96 dots per inch.
  CHECK(font->put_Size(CY{.int64 = 140000}) == S_OK);
  CHECK_MSG(SizeOf(font) == 142500, std::to_string(SizeOf(font)));
  CHECK_MSG(Count(notices->changed, kFontDispid) == 3, "writing the read-back size tells nobody");
  CHECK(Read(control, L"Text") == L"");  // the control still answers
  if (seen) {
    CHECK(NameOf(seen) == L"Tahoma");
    seen->Release();
  }

  // A size the surface refuses is undone on the object; the error goes to
  // the thread's error information, since the object's caller hears S_OK.
  ::SetErrorInfo(0, nullptr);
  CHECK(font->put_Size(CY{.int64 = 50000000}) == S_OK);
  CHECK_MSG(SizeOf(font) == 142500, std::to_string(SizeOf(font)));
  std::wstring description = TakeErrorDescription();
  CHECK_MSG(description.find(L"font size") != std::wstring::npos, U16ToUtf8(FromWide(description.c_str())));

  // Set Font = f copies f: a later change to f stays out of the control.
  FONTDESC desc{sizeof desc, const_cast<LPOLESTR>(L"MS Sans Serif"), CY{.int64 = 100000}, FW_NORMAL, 0, FALSE, FALSE, FALSE};
  IFontDisp* other = nullptr;
  ::OleCreateFontIndirect(&desc, IID_IFontDisp, reinterpret_cast<void**>(&other));
  REQUIRE(other);
  Call set;
  VARIANT value;
  V_VT(&value) = VT_DISPATCH;
  V_DISPATCH(&value) = other;
  Put(control, kFontDispid, value, set, true);
  CHECK(set.hr == S_OK);
  CHECK_MSG(NameOf(font) == L"MS Sans Serif", "the control's own object shows the set font");
  if (IFont* otherFont = Query<IFont>(other, IID_IFont)) {
    otherFont->put_Size(CY{.int64 = 200000});
    otherFont->Release();
  }
  CHECK_MSG(SizeOf(font) < 200000, std::to_string(SizeOf(font)));
  IFont* after = FontOf(control);
  CHECK(after == font);
  if (after) after->Release();
  other->Release();
  font->Release();
  control->Release();
}

// A font object handed out before the host loads the control shows the loaded font.
SUITE_CASE(ActiveXFontObjectFollowsLoading) {
  IDispatch* control = NewControl();
  REQUIRE(control);
  IFont* font = FontOf(control);
  REQUIRE(font);
  auto* bag = new MemoryPropertyBag();
  FONTDESC desc{sizeof desc, const_cast<LPOLESTR>(L"Tahoma"), CY{.int64 = 120000}, FW_BOLD, 0, FALSE, FALSE, FALSE};
  IFontDisp* saved = nullptr;
  ::OleCreateFontIndirect(&desc, IID_IFontDisp, reinterpret_cast<void**>(&saved));
  REQUIRE(saved);
  VARIANT value;
  V_VT(&value) = VT_DISPATCH;
  V_DISPATCH(&value) = saved;
  bag->Write(L"Font", &value);
  saved->Release();
  IPersistPropertyBag* persist = Query<IPersistPropertyBag>(control, IID_IPersistPropertyBag);
  REQUIRE(persist);
  CHECK(persist->Load(bag, nullptr) == S_OK);
  CHECK_MSG(NameOf(font) == L"Tahoma", U16ToUtf8(FromWide(NameOf(font).c_str())));
  BOOL bold = FALSE;
  font->get_Bold(&bold);
  CHECK(bold);
  persist->Release();
  bag->Release();
  font->Release();
  control->Release();
}

SUITE_CASE(ActiveXQuickActivate) {
  IDispatch* control = NewControl();
  REQUIRE(control);
  IQuickActivate* quick = Query<IQuickActivate>(control, IID_IQuickActivate);
  REQUIRE(quick);
  auto* events = new EventSink();
  auto* notices = new PropertyNotifySink();
  QACONTAINER container{};
  container.cbSize = sizeof container;
  container.pPropertyNotifySink = notices;
  container.pUnkEventSink = static_cast<IDispatch*>(events);
  QACONTROL answer{};
  answer.cbSize = sizeof answer;
  CHECK(quick->QuickActivate(&container, &answer) == S_OK);
  CHECK(answer.dwMiscStatus == 131473);
  CHECK(answer.dwPropNotifyCookie != 0);
  CHECK(answer.dwEventCookie != 0);
  // The sinks it was handed are connected.
  CHECK(Set(control, L"Text", Text(L"quick")) == S_OK);
  CHECK(Count(notices->changed, 0x68030002) == 1);
  SIZEL extent{};
  CHECK(quick->GetContentExtent(&extent) == S_OK);
  CHECK_MSG(extent.cx > 0 && extent.cy > 0, std::to_string(extent.cx) + " x " + std::to_string(extent.cy));
  SIZEL wanted{5000, 1000};
  CHECK(quick->SetContentExtent(&wanted) == S_OK);
  CHECK(quick->QuickActivate(nullptr, &answer) == E_POINTER);
  // An older container's shorter description, up to the event sink, is taken.
  QACONTAINER older{};
  older.cbSize = offsetof(QACONTAINER, dwAmbientFlags);
  QACONTROL olderAnswer{};
  olderAnswer.cbSize = sizeof olderAnswer;
  CHECK(quick->QuickActivate(&older, &olderAnswer) == S_OK);
  CHECK(olderAnswer.dwMiscStatus == 131473);
  older.cbSize = offsetof(QACONTAINER, pUnkEventSink);
  CHECK(quick->QuickActivate(&older, &olderAnswer) == E_INVALIDARG);
  // A tear-off answers for the object: IUnknown is the object's own.
  IUnknown* fromQuick = Query<IUnknown>(quick, IID_IUnknown);
  IUnknown* fromControl = Query<IUnknown>(control, IID_IUnknown);
  CHECK(fromQuick && fromQuick == fromControl);
  if (fromQuick) fromQuick->Release();
  if (fromControl) fromControl->Release();
  CHECK(Disconnect(control, IID_IPropertyNotifySink, answer.dwPropNotifyCookie));
  CHECK(Disconnect(control, ToGuid(kEventInterfaceGuid), answer.dwEventCookie));
  quick->Release();
  notices->Release();
  events->Release();
  control->Release();
}

// The interfaces the control makes only when asked (the designer interfaces
// and the script engines' event binder) answer for the object and keep it
// alive by themselves.
SUITE_CASE(ActiveXTearOffsAnswerForTheObjectAndKeepItAlive) {
  constexpr GUID kBindEventHandler = {0x63CDBCB0, 0xC1B1, 0x11D0, {0x93, 0x36, 0x00, 0xA0, 0xC9, 0x0D, 0xCA, 0xA9}};
  const IID* tearOffs[] = {&IID_IQuickActivate, &IID_ISpecifyPropertyPages, &kBindEventHandler};
  PumpFor(50);
  for (const IID* iid : tearOffs) {
    IDispatch* control = NewControl();
    REQUIRE(control);
    IUnknown* tearOff = Query<IUnknown>(control, *iid);
    REQUIRE(tearOff);
    IUnknown* identity = Query<IUnknown>(control, IID_IUnknown);
    IUnknown* identityViaTearOff = Query<IUnknown>(tearOff, IID_IUnknown);
    CHECK(identity && identityViaTearOff == identity);
    IDispatch* dispatch = Query<IDispatch>(control, IID_IDispatch);
    IDispatch* dispatchViaTearOff = Query<IDispatch>(tearOff, IID_IDispatch);
    CHECK(dispatch && dispatchViaTearOff == dispatch);
    IUnknown* again = Query<IUnknown>(tearOff, *iid);
    CHECK(again != nullptr);
    void* none = reinterpret_cast<void*>(1);
    CHECK(tearOff->QueryInterface(IID_IClassFactory, &none) == E_NOINTERFACE && none == nullptr);
    CHECK(tearOff->QueryInterface(*iid, nullptr) == E_POINTER);
    for (IUnknown* held : {identity, identityViaTearOff, static_cast<IUnknown*>(dispatch),
                           static_cast<IUnknown*>(dispatchViaTearOff), again}) {
      if (held) held->Release();
    }
    control->Release();
    // The tear-off alone holds the object now; its last release lets it go.
    CHECK(ServerCanUnloadNow() == S_FALSE);
    tearOff->Release();
    CHECK(ServerCanUnloadNow() == S_OK);
  }
}

// Wine registers no property pages; what is checked is what the control asks for.
SUITE_CASE(ActiveXPropertyPages) {
  IDispatch* control = NewControl();
  REQUIRE(control);
  ISpecifyPropertyPages* pages = Query<ISpecifyPropertyPages>(control, IID_ISpecifyPropertyPages);
  REQUIRE(pages);
  CAUUID list{};
  CHECK(pages->GetPages(&list) == S_OK);
  CHECK(list.cElems == 2);
  if (list.cElems == 2) {
    CHECK(::IsEqualGUID(list.pElems[0], kStockFontPage));
    CHECK(::IsEqualGUID(list.pElems[1], kStockColorPage));
  }
  ::CoTaskMemFree(list.pElems);
  CHECK(pages->GetPages(nullptr) == E_POINTER);
  pages->Release();
  control->Release();
}

// What the registration says for an aspect: its own MiscStatus\N value, or
// the MiscStatus default for aspects without one.
bool RegisteredMiscStatus(::DWORD aspect, ::DWORD& status) {
  wchar_t clsid[40];
  ::StringFromGUID2(ToGuid(kClassGuid), clsid, 40);
  std::wstring key = std::wstring(L"CLSID\\") + clsid + L"\\MiscStatus";
  wchar_t text[32];
  LONG size = sizeof text;
  if (::RegQueryValueW(HKEY_CLASSES_ROOT, (key + L"\\" + std::to_wstring(aspect)).c_str(), text, &size) != ERROR_SUCCESS) {
    size = sizeof text;
    if (::RegQueryValueW(HKEY_CLASSES_ROOT, key.c_str(), text, &size) != ERROR_SUCCESS) return false;
  }
  status = static_cast<::DWORD>(std::wcstoul(text, nullptr, 10));
  return true;
}

SUITE_CASE(ActiveXMiscStatusMatchesTheRegistration) {
  IDispatch* control = NewControl();
  REQUIRE(control);
  IOleObject* object = Query<IOleObject>(control, IID_IOleObject);
  REQUIRE(object);
  for (::DWORD aspect : {DVASPECT_CONTENT, DVASPECT_THUMBNAIL, DVASPECT_ICON, DVASPECT_DOCPRINT}) {
    ::DWORD registered = 0xFFFFFFFF, reported = 0xFFFFFFFE;
    CHECK_MSG(RegisteredMiscStatus(aspect, registered), "aspect " + std::to_string(aspect));
    CHECK(object->GetMiscStatus(aspect, &reported) == S_OK);
    CHECK_MSG(reported == registered, "aspect " + std::to_string(aspect) + ": " + std::to_string(reported) +
                                          " reported, " + std::to_string(registered) + " registered");
  }
  object->Release();
  control->Release();
}

// Run with no display (scripts/windows-test.sh does): no window can be made,
// and creating the control fails with error 5 and a message. With a display
// there is nothing to see.
SUITE_CASE(ActiveXCreationWithoutAWindow) {
  ::HWND probe = ::CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
  if (probe) {
    ::DestroyWindow(probe);
    std::printf("  note: windows can be made here; run without a display to check this\n");
    return;
  }
  REQUIRE(EnsureRegistered());
  CLSID clsid{};
  REQUIRE(SUCCEEDED(::CLSIDFromProgID(L"MarkletControl.Marklet", &clsid)));
  IDispatch* control = nullptr;
  HRESULT hr = ::CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
                                  reinterpret_cast<void**>(&control));
  CHECK_MSG(hr == static_cast<HRESULT>(0x800A0005) || hr == E_OUTOFMEMORY, std::to_string(hr));
  CHECK(!control);
  std::wstring description = TakeErrorDescription();
  CHECK_MSG(description.find(L"window") != std::wstring::npos, U16ToUtf8(FromWide(description.c_str())));
  if (control) control->Release();
}

}  // namespace
}  // namespace marklet::win32
