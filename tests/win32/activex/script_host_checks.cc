// The control as a named item of a script engine, wired as script hosts wire
// it: the engine (the system's JScript or VBScript, loaded through
// IActiveScript) gets `Marklet1` with SCRIPTITEM_ISVISIBLE | SCRIPTITEM_ISSOURCE,
// and the script's handlers bind to the control's events themselves:
// `function Marklet1::OnLinkClick(LinkText, LinkKey)` in JScript,
// `Sub Marklet1_OnLinkClick(LinkText, LinkKey)` in VBScript. The control sits
// in an ATL host window; pointer messages sent to its window raise the events,
// and each handler writes what it received through a `Host` object.
#include "platform/win32/win_api.h"

#include <activscp.h>

#include <string>
#include <vector>

#include "com_support.h"
#include "suite_runner.h"

namespace marklet::win32 {
namespace {

using namespace activex_suite;

// `Host.Record(text)`: what the handlers saw, in order.
class HostObject final : public SuiteObject<IDispatch> {
 public:
  HostObject() : SuiteObject(IID_IDispatch) {}
  std::vector<std::wstring> records;

  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
    *count = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override {
    if (count != 1 || ::lstrcmpiW(names[0], L"Record") != 0) {
      for (UINT i = 0; i < count; ++i) ids[i] = DISPID_UNKNOWN;
      return DISP_E_UNKNOWNNAME;
    }
    ids[0] = 1;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT* result, EXCEPINFO*,
                                   UINT*) override {
    if (id != 1 || !params || params->cArgs != 1) return DISP_E_MEMBERNOTFOUND;
    VARIANT text;
    ::VariantInit(&text);
    if (FAILED(::VariantChangeType(&text, &params->rgvarg[0], 0, VT_BSTR))) return DISP_E_TYPEMISMATCH;
    records.emplace_back(V_BSTR(&text), ::SysStringLen(V_BSTR(&text)));
    ::VariantClear(&text);
    if (result) ::VariantInit(result);
    return S_OK;
  }
};

class ScriptSite final : public SuiteObject<IActiveScriptSite> {
 public:
  ScriptSite(IUnknown* control, HostObject* host)
      : SuiteObject(__uuidof(IActiveScriptSite)), control_(control), host_(host) {}
  std::vector<std::wstring> errors;

  HRESULT STDMETHODCALLTYPE GetLCID(LCID* lcid) override {
    *lcid = LOCALE_USER_DEFAULT;
    return S_OK;
  }
  // The type information of the named control is its class's, whose default
  // source interface carries the events a handler binds to.
  HRESULT STDMETHODCALLTYPE GetItemInfo(LPCOLESTR name, ::DWORD mask, IUnknown** item, ITypeInfo** info) override {
    if (item) *item = nullptr;
    if (info) *info = nullptr;
    IUnknown* object = nullptr;
    if (::lstrcmpiW(name, L"Marklet1") == 0) object = control_;
    else if (::lstrcmpiW(name, L"Host") == 0) object = host_;
    if (!object) return TYPE_E_ELEMENTNOTFOUND;
    if ((mask & SCRIPTINFO_IUNKNOWN) && item) {
      *item = object;
      object->AddRef();
    }
    if ((mask & SCRIPTINFO_ITYPEINFO) && info && object == control_) {
      if (IProvideClassInfo* classInfo = Query<IProvideClassInfo>(control_, IID_IProvideClassInfo)) {
        classInfo->GetClassInfo(info);
        classInfo->Release();
      }
    }
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetDocVersionString(BSTR*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE OnScriptTerminate(const VARIANT*, const EXCEPINFO*) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE OnStateChange(SCRIPTSTATE) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE OnScriptError(IActiveScriptError* error) override {
    EXCEPINFO info{};
    error->GetExceptionInfo(&info);
    ::DWORD context = 0;
    ULONG line = 0;
    LONG column = 0;
    error->GetSourcePosition(&context, &line, &column);
    std::wstring text = info.bstrDescription ? info.bstrDescription : L"(no description)";
    errors.push_back(text + L" (line " + std::to_wstring(line + 1) + L")");
    ::SysFreeString(info.bstrSource);
    ::SysFreeString(info.bstrDescription);
    ::SysFreeString(info.bstrHelpFile);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE OnEnterScript() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE OnLeaveScript() override { return S_OK; }

 private:
  IUnknown* control_;
  HostObject* host_;
};

std::string Narrow(const std::wstring& text) { return U16ToUtf8(FromWide(text.c_str(), text.size())); }

std::string Joined(const std::vector<std::wstring>& lines) {
  std::string out;
  for (const std::wstring& line : lines) out += "\n    " + Narrow(line);
  return out;
}

bool HasRecord(const std::vector<std::wstring>& records, const std::wstring& start) {
  for (const std::wstring& r : records)
    if (r.compare(0, start.size(), start) == 0) return true;
  return false;
}

struct ScriptRun {
  std::vector<std::wstring> records;
  std::vector<std::wstring> errors;
  bool started = false;
};

// Hosts the control, runs `script` in the engine `language` with the control
// as Marklet1, then moves over the first link, presses and releases there,
// and moves there again. The text's first link lies at the window's top left.
ScriptRun RunWithControl(const wchar_t* language, const std::wstring& script) {
  ScriptRun run;
  if (!EnsureRegistered() || !AtlHostReady()) return run;
  ::HWND frame = ::CreateWindowExW(0, L"STATIC", L"Marklet script host", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 40, 40,
                                   440, 200, nullptr, nullptr, ::GetModuleHandleW(nullptr), nullptr);
  ::HWND hostWindow = ::CreateWindowExW(0, L"AtlAxWin", L"MarkletControl.Marklet", WS_CHILD | WS_VISIBLE, 0, 0, 400,
                                        120, frame, nullptr, ::GetModuleHandleW(nullptr), nullptr);
  IUnknown* control = nullptr;
  if (!hostWindow || FAILED(AtlAxGetControl(hostWindow, &control)) || !control) {
    if (frame) ::DestroyWindow(frame);
    return run;
  }
  auto* host = new HostObject();
  auto* site = new ScriptSite(control, host);
  CLSID engineClass{};
  IActiveScript* engine = nullptr;
  IActiveScriptParse64* parse = nullptr;
  if (SUCCEEDED(::CLSIDFromProgID(language, &engineClass)) &&
      SUCCEEDED(::CoCreateInstance(engineClass, nullptr, CLSCTX_INPROC_SERVER, __uuidof(IActiveScript),
                                   reinterpret_cast<void**>(&engine))) &&
      SUCCEEDED(engine->QueryInterface(__uuidof(IActiveScriptParse64), reinterpret_cast<void**>(&parse))) &&
      SUCCEEDED(engine->SetScriptSite(site)) && SUCCEEDED(parse->InitNew()) &&
      SUCCEEDED(engine->AddNamedItem(L"Marklet1", SCRIPTITEM_ISVISIBLE | SCRIPTITEM_ISSOURCE)) &&
      SUCCEEDED(engine->AddNamedItem(L"Host", SCRIPTITEM_ISVISIBLE))) {
    EXCEPINFO exception{};
    HRESULT parsed = parse->ParseScriptText(script.c_str(), nullptr, nullptr, nullptr, 0, 0, 0, nullptr, &exception);
    run.started = SUCCEEDED(parsed) && SUCCEEDED(engine->SetScriptState(SCRIPTSTATE_CONNECTED));
  }
  if (run.started) {
    PumpFor(300);
    ::HWND window = nullptr;
    if (IOleWindow* inPlace = Query<IOleWindow>(control, IID_IOleWindow)) {
      inPlace->GetWindow(&window);
      inPlace->Release();
    }
    if (window) {
      // Sent one after another, before a leave can come between them.
      const LPARAM at = MAKELPARAM(8, 6);
      ::SendMessageW(window, WM_MOUSEMOVE, 0, at);
      ::SendMessageW(window, WM_LBUTTONDOWN, MK_LBUTTON, at);
      ::SendMessageW(window, WM_LBUTTONUP, 0, at);
      ::SendMessageW(window, WM_MOUSEMOVE, 0, MAKELPARAM(10, 6));
      PumpFor(100);
    }
  }
  run.records = host->records;
  run.errors = site->errors;
  if (engine) {
    engine->SetScriptState(SCRIPTSTATE_DISCONNECTED);
    engine->Close();
    engine->Release();
  }
  if (parse) parse->Release();
  site->Release();
  host->Release();
  control->Release();
  ::DestroyWindow(frame);
  PumpFor(50);
  return run;
}

SUITE_CASE(ScriptHostJScriptBindsEvents) {
  ScriptRun run = RunWithControl(L"JScript", LR"(
Marklet1.Text = "#ek1<Wide link> and some text after it";
Marklet1.GetTextOnEvent = true;
Host.Record("started " + Marklet1.FormatedText);
function Marklet1::MouseMove(LinkText, LinkKey, Button, Shift, X, Y) {
  Host.Record("MouseMove " + LinkText + "|" + LinkKey + "|" + Button + "|" + Shift + "|" + X + "|" + Y);
}
function Marklet1::MouseDown(Button, Shift, X, Y) {
  Host.Record("MouseDown " + Button + "|" + Shift + "|" + X + "|" + Y);
}
function Marklet1::MouseUp(Button, Shift, X, Y) {
  Host.Record("MouseUp " + Button + "|" + Shift + "|" + X + "|" + Y);
}
function Marklet1::OnLinkClick(LinkText, LinkKey) {
  Host.Record("OnLinkClick " + LinkText + "|" + LinkKey);
}
)");
  CHECK_MSG(run.started, "the engine ran the script");
  CHECK_MSG(run.errors.empty(), Joined(run.errors));
  const std::string seen = Joined(run.records);
  CHECK_MSG(HasRecord(run.records, L"started Wide link and some text after it"), seen);
  // Window pixels (8, 6) lie 6 and 4 pixels inside the 3-D border: 90 and 60
  // twips at 96 dots per inch.
  CHECK_MSG(HasRecord(run.records, L"MouseMove Wide link |k1|0|0|90|60"), seen);
  CHECK_MSG(HasRecord(run.records, L"MouseDown 1|0|90|60"), seen);
  CHECK_MSG(HasRecord(run.records, L"OnLinkClick Wide link |k1"), seen);
  CHECK_MSG(HasRecord(run.records, L"MouseUp 1|0|90|60"), seen);
}

// Where the engine binds `Sub Marklet1_OnLinkClick`, a handler's assignment
// to LinkKey comes back to the control: the next move over the link reports it.
SUITE_CASE(ScriptHostVBScriptBindsEvents) {
  ScriptRun run = RunWithControl(L"VBScript", LR"(
Marklet1.Text = "#ek1<Wide link> and some text after it"
Marklet1.GetTextOnEvent = True
Host.Record "started " & Marklet1.FormatedText
Sub Marklet1_MouseMove(LinkText, LinkKey, Button, Shift, X, Y)
  Host.Record "MouseMove " & LinkText & "|" & LinkKey & "|" & Button & "|" & Shift & "|" & X & "|" & Y
End Sub
Sub Marklet1_OnLinkClick(LinkText, LinkKey)
  Host.Record "OnLinkClick " & LinkText & "|" & LinkKey
  LinkKey = "changed"
End Sub
)");
  CHECK_MSG(run.started, "the engine ran the script");
  CHECK_MSG(run.errors.empty(), Joined(run.errors));
  const std::string seen = Joined(run.records);
  CHECK_MSG(HasRecord(run.records, L"started Wide link and some text after it"), seen);
  if (!HasRecord(run.records, L"MouseMove")) {
    std::printf("  note: this VBScript engine binds no Sub Marklet1_Event handler; events left unchecked\n");
    return;
  }
  CHECK_MSG(HasRecord(run.records, L"MouseMove Wide link |k1|0|0|90|60"), seen);
  CHECK_MSG(HasRecord(run.records, L"OnLinkClick Wide link |k1"), seen);
  CHECK_MSG(HasRecord(run.records, L"MouseMove Wide link |changed|0|0|120|60"), seen);
}

}  // namespace
}  // namespace marklet::win32
