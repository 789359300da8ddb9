#include "platform/win32/activex/registration.h"

#include <string>
#include <vector>

#include "control/type_library.h"
#include "platform/win32/activex/misc_status.h"
#include "platform/win32/activex/module.h"
#include "platform/win32/activex/type_library_writer.h"

// The per-user type-library registration calls are in oleaut32 (Vista on) but
// not in every SDK's headers.
extern "C" {
HRESULT WINAPI RegisterTypeLibForUser(ITypeLib* library, OLECHAR* path, OLECHAR* helpFolder);
HRESULT WINAPI UnRegisterTypeLibForUser(REFGUID library, WORD major, WORD minor, LCID lcid, SYSKIND kind);
}

namespace marklet::win32::activex {
namespace {

// The component category of controls.
constexpr wchar_t kControlCategory[] = L"{40FC6ED4-2438-11CF-A3DB-080036F12502}";
constexpr wchar_t kDescription[] = L"Marklet Control";
constexpr wchar_t kTypeLibraryFile[] = L"MarkletControl.tlb";

std::wstring GuidText(const marklet::Guid& guid) {
  wchar_t text[40];
  int length = ::StringFromGUID2(ToGuid(guid), text, 40);
  return std::wstring(text, length > 0 ? length - 1 : 0);
}

std::wstring Widen(const char* ascii) {
  std::wstring out;
  for (; *ascii; ++ascii) out.push_back(static_cast<wchar_t>(static_cast<unsigned char>(*ascii)));
  return out;
}

std::wstring ClassKey() { return L"CLSID\\" + GuidText(kClassGuid); }
std::wstring ProgIdKey() { return Widen(kProgId); }
std::wstring TypeLibraryKey() {
  return L"TypeLib\\" + GuidText(kTypeLibraryGuid) + L"\\" + std::to_wstring(kTypeLibraryMajorVersion) + L"." +
         std::to_wstring(kTypeLibraryMinorVersion);
}

// Per-machine registration goes to the machine's class store itself rather
// than through HKEY_CLASSES_ROOT: writes through that merged view land in the
// user's store whenever the user has registered the control too.
struct Store {
  HKEY root;
  const wchar_t* path;
};
Store StoreOf(RegistrationScope scope) {
  return scope == RegistrationScope::Machine ? Store{HKEY_LOCAL_MACHINE, L"Software\\Classes"}
                                             : Store{HKEY_CURRENT_USER, L"Software\\Classes"};
}
RegistrationScope Other(RegistrationScope scope) {
  return scope == RegistrationScope::Machine ? RegistrationScope::User : RegistrationScope::Machine;
}

// Registry failures as results: access denied stays what it is (the usual
// cause, registering per machine without the right), anything else says
// which part of the registration failed.
HRESULT Failure(LONG error, HRESULT part) {
  return error == ERROR_ACCESS_DENIED ? E_ACCESSDENIED : part;
}

class Key {
 public:
  Key() = default;
  Key(const Key&) = delete;
  Key& operator=(const Key&) = delete;
  ~Key() {
    if (key_) ::RegCloseKey(key_);
  }
  HKEY* Out() { return &key_; }
  HKEY get() const { return key_; }

 private:
  HKEY key_ = nullptr;
};

// Creates `sub` under the store and sets one of its values (the default one
// when `name` is null); `value` null creates the key alone.
LONG Write(const Store& store, const std::wstring& sub, const wchar_t* name, const std::wstring* value) {
  Key key;
  std::wstring path = std::wstring(store.path) + L"\\" + sub;
  LONG error = ::RegCreateKeyExW(store.root, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_SET_VALUE,
                                 nullptr, key.Out(), nullptr);
  if (error != ERROR_SUCCESS || !value) return error;
  return ::RegSetValueExW(key.get(), name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value->c_str()),
                          static_cast<DWORD>((value->size() + 1) * sizeof(wchar_t)));
}

// The default value of a key of the store; empty when there is none.
std::wstring ReadDefault(const Store& store, const std::wstring& sub) {
  std::wstring path = std::wstring(store.path) + L"\\" + sub;
  wchar_t text[1024];
  DWORD size = sizeof text;
  DWORD type = 0;
  if (::RegGetValueW(store.root, path.c_str(), nullptr, RRF_RT_REG_SZ, &type, text, &size) != ERROR_SUCCESS) {
    return {};
  }
  return std::wstring(text);
}

bool Exists(const Store& store, const std::wstring& sub) {
  Key key;
  std::wstring path = std::wstring(store.path) + L"\\" + sub;
  return ::RegOpenKeyExW(store.root, path.c_str(), 0, KEY_READ, key.Out()) == ERROR_SUCCESS;
}

// Removes a key of the store with everything under it; a key that is not
// there is already removed.
LONG DeleteTree(const Store& store, const std::wstring& sub) {
  Key classes;
  LONG error = ::RegOpenKeyExW(store.root, store.path, 0, KEY_READ | KEY_WRITE, classes.Out());
  if (error == ERROR_FILE_NOT_FOUND) return ERROR_SUCCESS;
  if (error != ERROR_SUCCESS) return error;
  error = ::RegDeleteTreeW(classes.get(), sub.c_str());
  return error == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : error;
}

// The keys a type-library registration writes for this library: its version
// key (and the library key once no other version is left), and the keys of
// its two interfaces.
bool RemoveLibraryKeys(const Store& store) {
  bool ok = DeleteTree(store, TypeLibraryKey()) == ERROR_SUCCESS;
  for (const marklet::Guid* iid : {&kInterfaceGuid, &kEventInterfaceGuid})
    ok = DeleteTree(store, L"Interface\\" + GuidText(*iid)) == ERROR_SUCCESS && ok;
  Key library;
  std::wstring path = std::wstring(store.path) + L"\\TypeLib\\" + GuidText(kTypeLibraryGuid);
  if (::RegOpenKeyExW(store.root, path.c_str(), 0, KEY_READ, library.Out()) == ERROR_SUCCESS) {
    ::DWORD subkeys = 1;
    ::RegQueryInfoKeyW(library.get(), nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, nullptr, nullptr,
                       nullptr, nullptr, nullptr);
    if (subkeys == 0) ok = DeleteTree(store, L"TypeLib\\" + GuidText(kTypeLibraryGuid)) == ERROR_SUCCESS && ok;
  }
  return ok;
}

HRESULT ModulePath(HMODULE module, std::wstring& path) {
  if (!module) return E_UNEXPECTED;
  std::vector<wchar_t> buffer(MAX_PATH);
  for (;;) {
    DWORD length = ::GetModuleFileNameW(module, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (length == 0) return HRESULT_FROM_WIN32(::GetLastError());
    if (length < buffer.size()) {
      path.assign(buffer.data(), length);
      return S_OK;
    }
    if (buffer.size() >= 32768) return HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER);
    buffer.resize(buffer.size() * 2);
  }
}

std::wstring LibraryPathBeside(const std::wstring& modulePath) {
  return modulePath.substr(0, modulePath.find_last_of(L"\\/") + 1) + kTypeLibraryFile;
}

// The class and ProgID keys.
HRESULT WriteClassKeys(const Store& store, const std::wstring& modulePath) {
  const std::wstring clsid = ClassKey();
  const std::wstring classGuid = GuidText(kClassGuid);
  const std::wstring progId = ProgIdKey();
  const std::wstring description = kDescription;
  const std::wstring apartment = L"Apartment";
  const std::wstring libraryGuid = GuidText(kTypeLibraryGuid);
  const std::wstring version =
      std::to_wstring(kTypeLibraryMajorVersion) + L"." + std::to_wstring(kTypeLibraryMinorVersion);
  const std::wstring otherAspects = std::to_wstring(kOtherAspectsMiscStatus);
  const std::wstring miscStatus = std::to_wstring(MiscStatusFor(DVASPECT_CONTENT));
  struct Entry {
    std::wstring key;
    const wchar_t* name;
    const std::wstring* value;
  };
  const Entry entries[] = {
      {clsid, nullptr, &description},
      {clsid + L"\\InprocServer32", nullptr, &modulePath},
      {clsid + L"\\InprocServer32", L"ThreadingModel", &apartment},
      {clsid + L"\\ProgID", nullptr, &progId},
      {clsid + L"\\VersionIndependentProgID", nullptr, &progId},
      // Form designers list the classes that have a Control key.
      {clsid + L"\\Control", nullptr, nullptr},
      {clsid + L"\\Programmable", nullptr, nullptr},
      {clsid + L"\\TypeLib", nullptr, &libraryGuid},
      {clsid + L"\\Version", nullptr, &version},
      {clsid + L"\\MiscStatus", nullptr, &otherAspects},
      {clsid + L"\\MiscStatus\\1", nullptr, &miscStatus},
      {clsid + L"\\Implemented Categories\\" + kControlCategory, nullptr, nullptr},
      {progId, nullptr, &description},
      {progId + L"\\CLSID", nullptr, &classGuid},
  };
  for (const Entry& e : entries) {
    LONG error = Write(store, e.key, e.name, e.value);
    if (error != ERROR_SUCCESS) return Failure(error, SELFREG_E_CLASS);
  }
  return S_OK;
}

HRESULT RegisterLibrary(RegistrationScope scope, const std::wstring& libraryPath) {
  HRESULT hr = WriteTypeLibrary(libraryPath);
  if (FAILED(hr)) return hr == E_ACCESSDENIED ? hr : SELFREG_E_TYPELIB;
  ITypeLib* library = nullptr;
  hr = ::LoadTypeLibEx(libraryPath.c_str(), REGKIND_NONE, &library);
  if (FAILED(hr)) return SELFREG_E_TYPELIB;
  std::wstring path = libraryPath;
  hr = scope == RegistrationScope::Machine ? ::RegisterTypeLib(library, path.data(), nullptr)
                                           : ::RegisterTypeLibForUser(library, path.data(), nullptr);
  library->Release();
  if (FAILED(hr)) return hr == E_ACCESSDENIED || hr == TYPE_E_REGISTRYACCESS ? E_ACCESSDENIED : SELFREG_E_TYPELIB;
  return S_OK;
}

// Whether the other scope registers this same server file: the type library
// beside it is then still in use.
bool OtherScopeUses(RegistrationScope scope, const std::wstring& modulePath) {
  std::wstring registered = ReadDefault(StoreOf(Other(scope)), ClassKey() + L"\\InprocServer32");
  return !registered.empty() && ::lstrcmpiW(registered.c_str(), modulePath.c_str()) == 0;
}

}  // namespace

HRESULT RegisterServer(HMODULE module, RegistrationScope scope) {
  std::wstring modulePath;
  HRESULT hr = ModulePath(module, modulePath);
  if (FAILED(hr)) return hr;
  const Store store = StoreOf(scope);
  // Start from nothing, so keys an earlier registration wrote and this one
  // does not cannot linger.
  for (const std::wstring& key : {ClassKey(), ProgIdKey()}) {
    LONG error = DeleteTree(store, key);
    if (error != ERROR_SUCCESS) return Failure(error, SELFREG_E_CLASS);
  }
  hr = WriteClassKeys(store, modulePath);
  if (SUCCEEDED(hr)) hr = RegisterLibrary(scope, LibraryPathBeside(modulePath));
  // A registration that fails half way takes back what it wrote.
  if (FAILED(hr)) UnregisterServer(module, scope);
  return hr;
}

HRESULT UnregisterServer(HMODULE module, RegistrationScope scope) {
  std::wstring modulePath;
  HRESULT hr = ModulePath(module, modulePath);
  if (FAILED(hr)) return hr;
  const Store store = StoreOf(scope);
  HRESULT result = S_OK;

  // The type library first: unregistering it reads the registered file.
  const std::wstring libraryPath = LibraryPathBeside(modulePath);
  const bool registeredHere = Exists(store, TypeLibraryKey());
  // Some systems register a user's type library for the whole machine; a
  // machine registration of this very file that no machine registration of
  // the class accounts for is then the user's.
  const bool userLibraryOnMachine =
      scope == RegistrationScope::User && !registeredHere &&
      ::lstrcmpiW(ReadDefault(StoreOf(RegistrationScope::Machine), TypeLibraryKey() + L"\\0\\win64").c_str(),
                  libraryPath.c_str()) == 0 &&
      !OtherScopeUses(scope, modulePath);
  if (registeredHere || userLibraryOnMachine) {
    GUID library = ToGuid(kTypeLibraryGuid);
    hr = scope == RegistrationScope::Machine
             ? ::UnRegisterTypeLib(library, kTypeLibraryMajorVersion, kTypeLibraryMinorVersion, LOCALE_NEUTRAL,
                                   SYS_WIN64)
             : ::UnRegisterTypeLibForUser(library, kTypeLibraryMajorVersion, kTypeLibraryMinorVersion,
                                          LOCALE_NEUTRAL, SYS_WIN64);
    // The system's unregistration reads the registered file; when that is
    // gone or unreadable, the library's own keys are removed directly.
    if (FAILED(hr) && registeredHere && !RemoveLibraryKeys(store)) result = SELFREG_E_TYPELIB;
  }

  LONG error = DeleteTree(store, ClassKey());
  if (error != ERROR_SUCCESS) result = Failure(error, SELFREG_E_CLASS);
  // The ProgID key is removed only while it names this class: another server
  // may have claimed the name since.
  std::wstring progIdClass = ReadDefault(store, ProgIdKey() + L"\\CLSID");
  bool ours = progIdClass.empty() || ::lstrcmpiW(progIdClass.c_str(), GuidText(kClassGuid).c_str()) == 0;
  if (ours && Exists(store, ProgIdKey())) {
    error = DeleteTree(store, ProgIdKey());
    if (error != ERROR_SUCCESS) result = Failure(error, SELFREG_E_CLASS);
  }

  // The file beside the server goes too, unless the other scope's
  // registration still names it. A file some process still holds open is
  // left behind (registering again replaces it); the keys are what counts.
  if (!OtherScopeUses(scope, modulePath)) ::DeleteFileW(libraryPath.c_str());
  return result;
}

}  // namespace marklet::win32::activex
