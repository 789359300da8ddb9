// The control object driven as an automation client and a container drive
// it, without a window: names and DISPIDs, coercion and errors, the dual
// vtable, font and picture objects, change notices, property bags, streams
// and the server's object count.
#include "platform/win32/win_api.h"

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "com_support.h"
#include "control/dispatch.h"
#include "platform/win32/activex/marklet_object.h"
#include "suite_runner.h"

namespace marklet::win32 {
namespace {

using namespace activex_suite;

// An HRESULT and the thread's error description, for messages.
std::string ErrorText(HRESULT hr) {
  char code[16];
  std::snprintf(code, sizeof code, "0x%08lX", static_cast<unsigned long>(hr));
  std::string text = code;
  std::wstring description = TakeErrorDescription();
  if (!description.empty()) text += ": " + U16ToUtf8(FromWide(description.c_str()));
  return text;
}

std::wstring Wide(const char* ascii) { return std::wstring(ascii, ascii + std::char_traits<char>::length(ascii)); }

IFontDisp* MakeFont(const wchar_t* name, double points, bool bold) {
  FONTDESC desc{};
  desc.cbSizeofstruct = sizeof desc;
  desc.lpstrName = const_cast<LPOLESTR>(name);
  desc.cySize.int64 = static_cast<LONGLONG>(points * 10000);
  desc.sWeight = bold ? FW_BOLD : FW_NORMAL;
  IFontDisp* font = nullptr;
  ::OleCreateFontIndirect(&desc, IID_IFontDisp, reinterpret_cast<void**>(&font));
  return font;
}

// A 16 x 8 bitmap picture object, green.
IPictureDisp* MakePicture() {
  HDC screen = ::GetDC(nullptr);
  HBITMAP bitmap = ::CreateCompatibleBitmap(screen, 16, 8);
  HDC dc = ::CreateCompatibleDC(screen);
  HGDIOBJ old = ::SelectObject(dc, bitmap);
  RECT all{0, 0, 16, 8};
  HBRUSH green = ::CreateSolidBrush(RGB(0, 160, 0));
  ::FillRect(dc, &all, green);
  ::DeleteObject(green);
  ::SelectObject(dc, old);
  ::DeleteDC(dc);
  ::ReleaseDC(nullptr, screen);
  PICTDESC desc{};
  desc.cbSizeofstruct = sizeof desc;
  desc.picType = PICTYPE_BITMAP;
  desc.bmp.hbitmap = bitmap;
  IPictureDisp* picture = nullptr;
  ::OleCreatePictureIndirect(&desc, IID_IPictureDisp, TRUE, reinterpret_cast<void**>(&picture));
  return picture;
}

VARIANT Object(IDispatch* object) {
  VARIANT v;
  V_VT(&v) = VT_DISPATCH;
  V_DISPATCH(&v) = object;
  return v;
}

SUITE_CASE(ActiveXNamesAndDispids) {
  IDispatch* control = NewControl();
  REQUIRE(control);
  for (const MemberInfo& m : Members()) {
    std::wstring name = Wide(m.name), lower = name, upper = name;
    std::transform(lower.begin(), lower.end(), lower.begin(), ::towlower);
    std::transform(upper.begin(), upper.end(), upper.begin(), ::towupper);
    CHECK_MSG(IdOf(control, name.c_str()) == m.dispid, m.name);
    CHECK_MSG(IdOf(control, lower.c_str()) == m.dispid, m.name);
    CHECK_MSG(IdOf(control, upper.c_str()) == m.dispid, m.name);
  }
  DISPID id = 0;
  LPOLESTR unknown[] = {const_cast<LPOLESTR>(L"NoSuchMember")};
  CHECK(control->GetIDsOfNames(IID_NULL, unknown, 1, LOCALE_USER_DEFAULT, &id) == DISP_E_UNKNOWNNAME);
  Call call;
  Get(control, 0x12345, call);
  CHECK(call.hr == DISP_E_MEMBERNOTFOUND);
  // The type information behind the names: the interface and the class with its event interface.
  UINT count = 0;
  CHECK(control->GetTypeInfoCount(&count) == S_OK && count == 1);
  ITypeInfo* info = nullptr;
  CHECK(control->GetTypeInfo(0, LOCALE_USER_DEFAULT, &info) == S_OK && info);
  if (info) {
    TYPEATTR* attr = nullptr;
    if (SUCCEEDED(info->GetTypeAttr(&attr))) {
      CHECK(::IsEqualGUID(attr->guid, ToGuid(kInterfaceGuid)));
      info->ReleaseTypeAttr(attr);
    }
    info->Release();
  }
  IProvideClassInfo2* classInfo = Query<IProvideClassInfo2>(control, IID_IProvideClassInfo2);
  REQUIRE(classInfo);
  GUID events{};
  CHECK(classInfo->GetGUID(GUIDKIND_DEFAULT_SOURCE_DISP_IID, &events) == S_OK &&
        ::IsEqualGUID(events, ToGuid(kEventInterfaceGuid)));
  ITypeInfo* coclass = nullptr;
  CHECK(classInfo->GetClassInfo(&coclass) == S_OK && coclass);
  if (coclass) {
    TYPEATTR* attr = nullptr;
    if (SUCCEEDED(coclass->GetTypeAttr(&attr))) {
      CHECK(attr->typekind == TKIND_COCLASS && ::IsEqualGUID(attr->guid, ToGuid(kClassGuid)));
      coclass->ReleaseTypeAttr(attr);
    }
    coclass->Release();
  }
  classInfo->Release();
  control->Release();
}

SUITE_CASE(ActiveXNewInstanceValues) {
  IDispatch* control = NewInitialisedControl();
  REQUIRE(control);
  CHECK(Read(control, L"MultiLine") == L"True");
  CHECK(Read(control, L"ShowMoreLink") == L"True");
  CHECK(Read(control, L"AutoSizeHeight") == L"True");
  CHECK(Read(control, L"UnderlineLink") == L"True");
  CHECK(Read(control, L"GetTextOnEvent") == L"False");
  CHECK(Read(control, L"TabSize") == L"5");
  CHECK(Read(control, L"LinkColor") == L"16711680");
  CHECK(Read(control, L"ActiveLinkColor") == L"16711680");
  CHECK(Read(control, L"MoreLinkText") == L"...+");
  CHECK(Read(control, L"ForeColor") == L"0");
  CHECK(Read(control, L"LinkDisplay") == L"0");
  CHECK(Read(control, L"LineSpacing") == L"0");
  CHECK(Read(control, L"Picture") == L"<nothing>");
  // No site gives a display name, so the text starts empty.
  CHECK(Read(control, L"Text") == L"");
  // Each value comes in its member's automation type.
  struct Expect {
    const wchar_t* name;
    VARTYPE type;
  } types[] = {{L"LineSpacing", VT_I2}, {L"TabSize", VT_UI1}, {L"BackColor", VT_I4}, {L"Enabled", VT_BOOL},
               {L"Appearance", VT_I4},  {L"Text", VT_BSTR},   {L"Font", VT_DISPATCH}};
  for (const Expect& e : types) {
    Call call;
    Get(control, IdOf(control, e.name), call);
    CHECK_MSG(call.hr == S_OK && V_VT(&call.value) == e.type, std::to_string(V_VT(&call.value)));
  }
  control->Release();
}

SUITE_CASE(ActiveXCoercionAndErrors) {
  IDispatch* control = NewInitialisedControl();
  REQUIRE(control);
  // Numeric strings are taken as numbers.
  CHECK(Set(control, L"LineSpacing", Text(L"12")) == S_OK);
  CHECK(Read(control, L"LineSpacing") == L"12");
  CHECK(Set(control, L"TabSize", Text(L" 7 ")) == S_OK);
  CHECK(Read(control, L"TabSize") == L"7");
  struct Refusal {
    const wchar_t* name;
    VARIANT value;
    int number;
  } refusals[] = {
      {L"TabSize", Int(256), 6},        {L"TabSize", Text(L"seven"), 13}, {L"Appearance", Int(70000), 6},
      {L"FormatedText", Text(L"x"), 383}, {L"LineSpacing", Int(40000), 6},
  };
  for (Refusal& r : refusals) {
    Call call;
    Put(control, IdOf(control, r.name), r.value, call);
    ::VariantClear(&r.value);
    CHECK_MSG(call.hr == DISP_E_EXCEPTION && call.ErrorNumber() == r.number,
              std::to_string(call.ErrorNumber()) + " for " + std::string(r.name, r.name + wcslen(r.name)));
    CHECK(!call.Description().empty());
    CHECK(call.Description() != L"" && std::wstring(call.exception.bstrSource ? call.exception.bstrSource : L"") ==
                                           L"MarkletControl.Marklet");
  }
  CHECK(Read(control, L"TabSize") == L"7");
  // An assignment needs its value; a read takes no arguments.
  {
    Call call;
    DISPPARAMS none{nullptr, nullptr, 0, 0};
    call.hr = control->Invoke(IdOf(control, L"Text"), IID_NULL, 0, DISPATCH_PROPERTYPUT, &none, nullptr,
                              &call.exception, nullptr);
    CHECK(FAILED(call.hr));
  }
  {
    VARIANT arg = Int(1);
    DISPPARAMS one{&arg, nullptr, 1, 0};
    VARIANT result;
    ::VariantInit(&result);
    CHECK(control->Invoke(IdOf(control, L"Text"), IID_NULL, 0, DISPATCH_PROPERTYGET, &one, &result, nullptr,
                          nullptr) == DISP_E_BADPARAMCOUNT);
  }
  // Methods are called with DISPATCH_METHOD.
  {
    DISPPARAMS none{nullptr, nullptr, 0, 0};
    CHECK(control->Invoke(0x6003001A, IID_NULL, 0, DISPATCH_METHOD, &none, nullptr, nullptr, nullptr) == S_OK);
  }
  control->Release();
}

SUITE_CASE(ActiveXDualInterface) {
  IDispatch* control = NewInitialisedControl();
  REQUIRE(control);
  auto* automation = Query<activex::IMarkletAutomation>(control, ToGuid(kInterfaceGuid));
  REQUIRE(automation);
  BSTR text = ::SysAllocString(L"A #ekey<link> here");
  CHECK(automation->put_Text(text) == S_OK);
  ::SysFreeString(text);
  BSTR plain = nullptr;
  CHECK(automation->get_FormatedText(&plain) == S_OK);
  CHECK(plain && std::wstring(plain) == L"A link here");
  ::SysFreeString(plain);
  CHECK(automation->put_TabSize(9) == S_OK);
  BYTE tab = 0;
  CHECK(automation->get_TabSize(&tab) == S_OK && tab == 9);
  // A refused value comes back as the control's error with its description.
  HRESULT hr = automation->put_Appearance(70000);
  CHECK(hr == MAKE_HRESULT(SEVERITY_ERROR, FACILITY_CONTROL, 6));
  IErrorInfo* info = nullptr;
  CHECK(::GetErrorInfo(0, &info) == S_OK && info);
  if (info) {
    BSTR description = nullptr;
    info->GetDescription(&description);
    CHECK(description && ::SysStringLen(description) > 0);
    ::SysFreeString(description);
    info->Release();
  }
  ISupportErrorInfo* support = Query<ISupportErrorInfo>(control, IID_ISupportErrorInfo);
  CHECK(support && support->InterfaceSupportsErrorInfo(ToGuid(kInterfaceGuid)) == S_OK);
  if (support) support->Release();
  automation->Release();
  control->Release();
}

// A scalar automation value as a number, or a string as itself: the vtable
// gives OLE_COLOR as VT_UI4 where late binding gives VT_I4, with the same bits.
std::wstring Comparable(VARIANT& v) {
  if (V_VT(&v) == VT_BSTR) return V_BSTR(&v) ? V_BSTR(&v) : L"";
  VARIANT wide;
  ::VariantInit(&wide);
  if (FAILED(::VariantChangeType(&wide, &v, 0, VT_I8))) return L"(no number)";
  return std::to_wstring(static_cast<std::uint32_t>(V_I8(&wide)));
}

// A value of the member's type other than `now` (a late-bound read).
VARIANT Another(const MemberInfo& m, VARIANT& now) {
  VARIANT v;
  ::VariantInit(&v);
  ::VariantCopy(&v, &now);
  switch (V_VT(&now)) {
    case VT_BOOL: V_BOOL(&v) = V_BOOL(&now) ? VARIANT_FALSE : VARIANT_TRUE; break;
    case VT_I2: V_I2(&v) = static_cast<SHORT>(V_I2(&now) + 3); break;
    case VT_UI1: V_UI1(&v) = static_cast<BYTE>(V_UI1(&now) + 1); break;
    case VT_I4:
      if (m.type == AutoType::OleColor) {
        // An RGB colour, passed as the OLE_COLOR the vtable takes.
        V_VT(&v) = VT_UI4;
        V_UI4(&v) = (static_cast<ULONG>(V_I4(&now)) ^ 0x102030u) & 0xFFFFFFu;
      } else {
        V_I4(&v) = V_I4(&now) == 0;
      }
      break;
    case VT_BSTR: {
      ::VariantClear(&v);
      v = Text((Comparable(now) + L"x").c_str());
      break;
    }
    default: break;
  }
  return v;
}

// A compiled client calls the accessors by vtable slot as the type library
// lays them out; each slot must serve the member table's row with that
// DISPID, as late binding does. ITypeInfo::Invoke on the vtable side of the
// dual interface makes exactly those slot calls.
SUITE_CASE(ActiveXVtableSlotsServeTheirTableRows) {
  IDispatch* control = NewInitialisedControl();
  REQUIRE(control);
  auto* automation = Query<activex::IMarkletAutomation>(control, ToGuid(kInterfaceGuid));
  REQUIRE(automation);
  ComRef<ITypeInfo> dual, vtable;
  HREFTYPE ref = 0;
  REQUIRE(control->GetTypeInfo(0, LOCALE_USER_DEFAULT, dual.put()) == S_OK);
  REQUIRE(dual->GetRefTypeOfImplType(static_cast<UINT>(-1), &ref) == S_OK);
  REQUIRE(dual->GetRefTypeInfo(ref, vtable.put()) == S_OK);
  int written = 0;
  for (const MemberInfo& m : Members()) {
    DISPPARAMS none{nullptr, nullptr, 0, 0};
    if (m.kind == MemberKind::Method) {
      // About opens a modal box; Refresh only queues a paint.
      if (m.dispid == kDispidAboutBox) continue;
      CHECK_MSG(vtable->Invoke(automation, m.dispid, DISPATCH_METHOD, &none, nullptr, nullptr, nullptr) == S_OK,
                m.name);
      continue;
    }
    Call late, early;
    Get(control, m.dispid, late);
    early.hr = vtable->Invoke(automation, m.dispid, DISPATCH_PROPERTYGET, &none, &early.value, &early.exception,
                              nullptr);
    CHECK_MSG(late.hr == S_OK && early.hr == S_OK, m.name);
    if (m.putsByReference()) {
      CHECK_MSG(V_VT(&early.value) == VT_DISPATCH, m.name);
      continue;
    }
    CHECK_MSG(Comparable(early.value) == Comparable(late.value), m.name);
    if (!m.canPut()) continue;
    VARIANT value = Another(m, late.value);
    DISPID named = DISPID_PROPERTYPUT;
    DISPPARAMS one{&value, &named, 1, 1};
    CHECK_MSG(vtable->Invoke(automation, m.dispid, DISPATCH_PROPERTYPUT, &one, nullptr, nullptr, nullptr) == S_OK,
              m.name);
    Call after;
    Get(control, m.dispid, after);
    CHECK_MSG(after.hr == S_OK && Comparable(after.value) == Comparable(value), m.name);
    ::VariantClear(&value);
    ++written;
  }
  CHECK(written == 18);  // every settable property but Font and Picture
  automation->Release();
  control->Release();
}

SUITE_CASE(ActiveXFontAndPictureObjects) {
  IDispatch* control = NewInitialisedControl();
  REQUIRE(control);
  IFontDisp* font = MakeFont(L"Tahoma", 12, true);
  REQUIRE(font);
  Call set;
  Put(control, IdOf(control, L"Font"), Object(font), set, true);
  CHECK(set.hr == S_OK);
  font->Release();
  Call got;
  Get(control, IdOf(control, L"Font"), got);
  IFont* back = V_VT(&got.value) == VT_DISPATCH ? Query<IFont>(V_DISPATCH(&got.value), IID_IFont) : nullptr;
  CHECK(back);
  if (back) {
    BSTR name = nullptr;
    CY size{};
    BOOL bold = FALSE;
    back->get_Name(&name);
    back->get_Size(&size);
    back->get_Bold(&bold);
    CHECK(name && std::wstring(name) == L"Tahoma");
    // The size the surface renders, which may be rounded to whole pixels.
    CHECK_MSG(size.int64 > 110000 && size.int64 < 130000, std::to_string(size.int64));
    CHECK(bold);
    ::SysFreeString(name);
    back->Release();
  }
  IPictureDisp* picture = MakePicture();
  REQUIRE(picture);
  Call setPicture;
  Put(control, IdOf(control, L"Picture"), Object(picture), setPicture, true);
  CHECK(setPicture.hr == S_OK);
  Call gotPicture;
  Get(control, IdOf(control, L"Picture"), gotPicture);
  CHECK(V_VT(&gotPicture.value) == VT_DISPATCH && V_DISPATCH(&gotPicture.value) == picture);
  picture->Release();
  // A font object where a number belongs is a type mismatch.
  IFontDisp* other = MakeFont(L"Arial", 10, false);
  Call wrong;
  Put(control, IdOf(control, L"TabSize"), Object(other), wrong);
  CHECK(wrong.ErrorNumber() == 13);
  other->Release();
  control->Release();
}

SUITE_CASE(ActiveXChangeNotices) {
  IDispatch* control = NewInitialisedControl();
  REQUIRE(control);
  auto* sink = new PropertyNotifySink();
  DWORD cookie = Connect(control, IID_IPropertyNotifySink, sink);
  CHECK(cookie != 0);
  IPersistStreamInit* persist = Query<IPersistStreamInit>(control, IID_IPersistStreamInit);
  REQUIRE(persist);
  CHECK(persist->IsDirty() == S_FALSE);
  CHECK(Set(control, L"Text", Text(L"changed")) == S_OK);
  CHECK(sink->changed == std::vector<DISPID>{0x68030002});
  CHECK(persist->IsDirty() == S_OK);
  // LinkDisplay on a transparent background makes it opaque: BackStyle has
  // no DISPID of its own.
  auto* bag = new MemoryPropertyBag();
  VARIANT transparent = Int(0);
  bag->Write(L"BackStyle", &transparent);
  IDispatch* loaded = NewControl();
  REQUIRE(loaded);
  IPersistPropertyBag* loader = Query<IPersistPropertyBag>(loaded, IID_IPersistPropertyBag);
  CHECK(loader && loader->Load(bag, nullptr) == S_OK);
  auto* loadedSink = new PropertyNotifySink();
  Connect(loaded, IID_IPropertyNotifySink, loadedSink);
  CHECK(Set(loaded, L"LinkDisplay", Int(3)) == S_OK);
  CHECK(loadedSink->changed == (std::vector<DISPID>{0x6803000C, DISPID_UNKNOWN}));
  // Saving with clearDirty leaves the object clean.
  IStream* stream = nullptr;
  ::CreateStreamOnHGlobal(nullptr, TRUE, &stream);
  CHECK(persist->Save(stream, TRUE) == S_OK);
  CHECK(persist->IsDirty() == S_FALSE);
  stream->Release();
  CHECK(Disconnect(control, IID_IPropertyNotifySink, cookie));
  CHECK(Set(control, L"Text", Text(L"again")) == S_OK);
  CHECK(sink->changed.size() == 1);
  if (loader) loader->Release();
  persist->Release();
  bag->Release();
  sink->Release();
  loadedSink->Release();
  loaded->Release();
  control->Release();
}

// Every readable property of a control, as text.
std::vector<std::pair<std::string, std::wstring>> Snapshot(IDispatch* control) {
  std::vector<std::pair<std::string, std::wstring>> out;
  for (const MemberInfo& m : Members()) {
    // The plain text is made by the next parse, not stored.
    if (m.kind != MemberKind::Property || m.dispid == 0x68030007) continue;
    std::wstring value = Read(control, Wide(m.name).c_str());
    if (m.type == AutoType::Font) {
      Call call;
      Get(control, m.dispid, call);
      IFont* font = Query<IFont>(V_DISPATCH(&call.value), IID_IFont);
      BSTR name = nullptr;
      CY size{};
      BOOL bold = FALSE;
      if (font) {
        font->get_Name(&name);
        font->get_Size(&size);
        font->get_Bold(&bold);
        font->Release();
      }
      value = std::wstring(name ? name : L"") + L" " + std::to_wstring(size.int64) + (bold ? L" bold" : L"");
      ::SysFreeString(name);
    }
    out.emplace_back(m.name, value);
  }
  return out;
}

// Sets every writable property away from its new-instance value.
void SetEveryProperty(IDispatch* control) {
  CHECK(Set(control, L"LineSpacing", Int(3)) == S_OK);
  CHECK(Set(control, L"BackColor", Int(0x00336699)) == S_OK);
  CHECK(Set(control, L"ShowMoreLink", Bool(false)) == S_OK);
  CHECK(Set(control, L"GetTextOnEvent", Bool(true)) == S_OK);
  CHECK(Set(control, L"MultiLine", Bool(false)) == S_OK);
  CHECK(Set(control, L"AutoSizeHeight", Bool(false)) == S_OK);
  CHECK(Set(control, L"UnderlineLink", Bool(false)) == S_OK);
  CHECK(Set(control, L"LeftMargin", Int(7)) == S_OK);
  CHECK(Set(control, L"LinkDisplay", Int(2)) == S_OK);
  CHECK(Set(control, L"TabSize", Int(3)) == S_OK);
  CHECK(Set(control, L"ForeColor", Int(0x000000FF)) == S_OK);
  CHECK(Set(control, L"LinkColor", Int(0x0000AA00)) == S_OK);
  CHECK(Set(control, L"ActiveLinkColor", Int(0x00AA0000)) == S_OK);
  CHECK(Set(control, L"Enabled", Bool(false)) == S_OK);
  CHECK(Set(control, L"Appearance", Int(0)) == S_OK);
  CHECK(Set(control, L"Text", Text(L"Saved #ek<text>\twith \"quotes\" and \u00F3")) == S_OK);
  CHECK(Set(control, L"MoreLinkText", Text(L"more...")) == S_OK);
  CHECK(Set(control, L"BorderStyle", Int(0)) == S_OK);
  IFontDisp* font = MakeFont(L"Tahoma", 14, true);
  Call setFont;
  Put(control, IdOf(control, L"Font"), Object(font), setFont, true);
  CHECK(setFont.hr == S_OK);
  font->Release();
}

// The write order of the keys.
const wchar_t* const kWriteOrder[] = {
    L"BackColor", L"ForeColor", L"Enabled",    L"ShowMoreLink",   L"Font",           L"Appearance",  L"BackStyle",
    L"BorderStyle", L"Text",    L"MoreLinkText", L"AutoSizeHeight", L"LeftMargin",   L"LinkColor",   L"UnderlineLink",
    L"Picture",   L"TabSize",   L"LineSpacing", L"LinkDisplay",    L"ActiveLinkColor", L"MultiLine", L"GetTextOnEvent"};

SUITE_CASE(ActiveXPropertyBag) {
  IDispatch* fresh = NewInitialisedControl();
  REQUIRE(fresh);
  IPersistPropertyBag* persist = Query<IPersistPropertyBag>(fresh, IID_IPersistPropertyBag);
  REQUIRE(persist);
  // A new instance stores only what differs from the keys' defaults.
  auto* bag = new MemoryPropertyBag();
  CHECK(persist->Save(bag, TRUE, FALSE) == S_OK);
  for (const wchar_t* key : {L"ShowMoreLink", L"AutoSizeHeight", L"ForeColor"}) {
    CHECK_MSG(bag->values.count(key) == 1, std::string(key, key + wcslen(key)));
  }
  for (const wchar_t* key : {L"LinkColor", L"UnderlineLink", L"TabSize", L"MoreLinkText", L"ActiveLinkColor"}) {
    CHECK_MSG(bag->values.count(key) == 0, std::string(key, key + wcslen(key)));
  }
  bag->Release();
  // Asked for all, every key is written, in the write order.
  auto* all = new MemoryPropertyBag();
  CHECK(persist->Save(all, TRUE, TRUE) == S_OK);
  CHECK(all->writes == std::vector<std::wstring>(std::begin(kWriteOrder), std::end(kWriteOrder)));
  all->Release();
  persist->Release();
  fresh->Release();

  // Every property comes back from the bag as it was saved.
  IDispatch* original = NewInitialisedControl();
  REQUIRE(original);
  SetEveryProperty(original);
  IPictureDisp* picture = MakePicture();
  Call setPicture;
  Put(original, IdOf(original, L"Picture"), Object(picture), setPicture, true);
  picture->Release();
  auto* saved = new MemoryPropertyBag();
  IPersistPropertyBag* saver = Query<IPersistPropertyBag>(original, IID_IPersistPropertyBag);
  CHECK(saver->Save(saved, TRUE, FALSE) == S_OK);
  IDispatch* copy = NewControl();
  IPersistPropertyBag* loader = Query<IPersistPropertyBag>(copy, IID_IPersistPropertyBag);
  CHECK(loader->Load(saved, nullptr) == S_OK);
  auto before = Snapshot(original), after = Snapshot(copy);
  for (size_t i = 0; i < before.size() && i < after.size(); ++i) {
    CHECK_MSG(before[i].second == after[i].second, before[i].first);
  }
  // Loading twice is refused; the bag's own failure reaches the container.
  CHECK(loader->Load(saved, nullptr) == E_UNEXPECTED);
  saver->Release();
  loader->Release();
  saved->Release();
  copy->Release();
  original->Release();
}

SUITE_CASE(ActiveXStream) {
  IDispatch* first = NewInitialisedControl();
  IDispatch* second = NewInitialisedControl();
  REQUIRE(first && second);
  SetEveryProperty(first);
  IPictureDisp* picture = MakePicture();
  Call setPicture;
  Put(first, IdOf(first, L"Picture"), Object(picture), setPicture, true);
  picture->Release();
  CHECK(Set(second, L"Text", Text(L"second")) == S_OK);
  // Two objects, one after the other in one stream, as a container keeps them.
  IStream* stream = nullptr;
  REQUIRE(SUCCEEDED(::CreateStreamOnHGlobal(nullptr, TRUE, &stream)));
  IPersistStreamInit* a = Query<IPersistStreamInit>(first, IID_IPersistStreamInit);
  IPersistStreamInit* b = Query<IPersistStreamInit>(second, IID_IPersistStreamInit);
  ULARGE_INTEGER size{};
  HRESULT sized = a->GetSizeMax(&size);
  CHECK_MSG(sized == S_OK && size.QuadPart > 12, ErrorText(sized));
  CHECK(a->Save(stream, TRUE) == S_OK);
  CHECK(b->Save(stream, TRUE) == S_OK);
  LARGE_INTEGER start{};
  stream->Seek(start, STREAM_SEEK_SET, nullptr);
  IDispatch* firstCopy = NewControl();
  IDispatch* secondCopy = NewControl();
  IPersistStreamInit* ac = Query<IPersistStreamInit>(firstCopy, IID_IPersistStreamInit);
  IPersistStreamInit* bc = Query<IPersistStreamInit>(secondCopy, IID_IPersistStreamInit);
  CHECK(ac->Load(stream) == S_OK);
  CHECK(bc->Load(stream) == S_OK);
  auto before = Snapshot(first), after = Snapshot(firstCopy);
  for (size_t i = 0; i < before.size() && i < after.size(); ++i) {
    CHECK_MSG(before[i].second == after[i].second, before[i].first);
  }
  CHECK(Read(secondCopy, L"Text") == L"second");
  CHECK(Read(firstCopy, L"Picture") == L"<object>");

  // A damaged stream is refused with a type mismatch; nothing is half read.
  IStream* damaged = nullptr;
  ::CreateStreamOnHGlobal(nullptr, TRUE, &damaged);
  ULONG written = 0;
  damaged->Write("MKLT\x01\x00\x00\x00\xFF\x00\x00\x00\x05", 13, &written);
  damaged->Seek(start, STREAM_SEEK_SET, nullptr);
  IDispatch* victim = NewControl();
  IPersistStreamInit* vc = Query<IPersistStreamInit>(victim, IID_IPersistStreamInit);
  CHECK(vc->Load(damaged) == MAKE_HRESULT(SEVERITY_ERROR, FACILITY_CONTROL, 13));
  // The object still works, and may still be initialised.
  CHECK(vc->InitNew() == S_OK);
  CHECK(Set(victim, L"Text", Text(L"fine")) == S_OK);
  for (IUnknown* p : std::initializer_list<IUnknown*>{vc, victim, damaged, ac, bc, a, b, firstCopy, secondCopy,
                                                      stream, first, second}) {
    p->Release();
  }
}

// A client site that answers the ambient properties a form gives its controls.
class AmbientSite final : public SuiteObject<IOleClientSite> {
 public:
  AmbientSite() : SuiteObject(IID_IOleClientSite) {}
  bool Also(REFIID iid) override { return ::IsEqualIID(iid, IID_IDispatch); }
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (::IsEqualIID(iid, IID_IDispatch)) {
      *out = &ambient;
      AddRef();
      return S_OK;
    }
    return SuiteObject::QueryInterface(iid, out);
  }
  HRESULT STDMETHODCALLTYPE SaveObject() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE GetMoniker(::DWORD, ::DWORD, IMoniker** moniker) override {
    *moniker = nullptr;
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE GetContainer(IOleContainer** container) override {
    *container = nullptr;
    return E_NOINTERFACE;
  }
  HRESULT STDMETHODCALLTYPE ShowObject() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE OnShowWindow(BOOL) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE RequestNewObjectLayout() override { return E_NOTIMPL; }

  // The ambient properties, through the site's IDispatch.
  struct Ambient final : public IDispatch {
    explicit Ambient(AmbientSite* owner) : site(owner) {}
    AmbientSite* site;
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override { return site->QueryInterface(iid, out); }
    ULONG STDMETHODCALLTYPE AddRef() override { return site->AddRef(); }
    ULONG STDMETHODCALLTYPE Release() override { return site->Release(); }
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
      *count = 0;
      return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS*, VARIANT* result, EXCEPINFO*,
                                     UINT*) override {
      switch (id) {
        case DISPID_AMBIENT_DISPLAYNAME: *result = Text(L"Label7"); return S_OK;
        case DISPID_AMBIENT_BACKCOLOR: *result = Int(0x00C0FFEE & 0xFFFFFF); return S_OK;
        case DISPID_AMBIENT_FONT:
          V_VT(result) = VT_DISPATCH;
          V_DISPATCH(result) = MakeFont(L"Tahoma", 10, false);
          return S_OK;
        default: return DISP_E_MEMBERNOTFOUND;
      }
    }
  } ambient{this};
};

SUITE_CASE(ActiveXAmbientProperties) {
  IDispatch* control = NewControl();
  REQUIRE(control);
  IOleObject* ole = Query<IOleObject>(control, IID_IOleObject);
  REQUIRE(ole);
  auto* site = new AmbientSite();
  // A form sets the site first (the control asks for that), then makes it new.
  ::DWORD status = 0;
  CHECK(ole->GetMiscStatus(DVASPECT_CONTENT, &status) == S_OK && (status & OLEMISC_SETCLIENTSITEFIRST));
  CHECK(ole->SetClientSite(site) == S_OK);
  IPersistPropertyBag* persist = Query<IPersistPropertyBag>(control, IID_IPersistPropertyBag);
  CHECK(persist->InitNew() == S_OK);
  CHECK(Read(control, L"Text") == L"Label7");
  CHECK(Read(control, L"BackColor") == std::to_wstring(0x00C0FFEE & 0xFFFFFF));
  // Saved against the same ambient values, neither the colour nor the font is stored.
  auto* bag = new MemoryPropertyBag();
  CHECK(persist->Save(bag, TRUE, FALSE) == S_OK);
  CHECK(bag->values.count(L"BackColor") == 0);
  CHECK(bag->values.count(L"Text") == 1);
  bag->Release();
  persist->Release();
  CHECK(ole->Close(OLECLOSE_NOSAVE) == S_OK);
  CHECK(ole->SetClientSite(nullptr) == S_OK);
  ole->Release();
  site->Release();
  control->Release();
}

SUITE_CASE(ActiveXServerLifetime) {
  PumpFor(50);
  CHECK(ServerCanUnloadNow() == S_OK);
  IDispatch* control = NewControl();
  REQUIRE(control);
  CHECK(ServerCanUnloadNow() == S_FALSE);
  control->Release();
  CHECK(ServerCanUnloadNow() == S_OK);
  IClassFactory* factory = nullptr;
  HRESULT got = ::CoGetClassObject(ToGuid(kClassGuid), CLSCTX_INPROC_SERVER, nullptr, IID_IClassFactory,
                                   reinterpret_cast<void**>(&factory));
  REQUIRE(Check(SUCCEEDED(got), "CoGetClassObject " + ErrorText(got), __LINE__, __FILE__));
  factory->LockServer(TRUE);
  CHECK(ServerCanUnloadNow() == S_FALSE);
  factory->LockServer(FALSE);
  CHECK(ServerCanUnloadNow() == S_OK);
  IUnknown* aggregated = nullptr;
  CHECK(factory->CreateInstance(reinterpret_cast<IUnknown*>(factory), IID_IUnknown,
                                reinterpret_cast<void**>(&aggregated)) == CLASS_E_NOAGGREGATION);
  factory->Release();
}

}  // namespace
}  // namespace marklet::win32
