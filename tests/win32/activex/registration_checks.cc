// Registration of MarkletControl.dll through regsvr32, per machine and per
// user: the keys written, their values, the type library registered beside
// them, and unregistration removing exactly those keys. Every case leaves the
// server registered per machine, as the later cases expect.
#include "platform/win32/win_api.h"

#include <optional>
#include <string>

#include "server.h"
#include "suite_runner.h"

namespace marklet::win32 {
namespace {

using activex_suite::Regsvr32;
using activex_suite::ServerPath;
using activex_suite::SuiteFolder;
using activex_suite::ToGuid;

std::wstring GuidText(const marklet::Guid& guid) {
  wchar_t text[40];
  int length = ::StringFromGUID2(ToGuid(guid), text, 40);
  return std::wstring(text, length > 0 ? length - 1 : 0);
}

const std::wstring kClassKey = L"CLSID\\" + GuidText(kClassGuid);
const std::wstring kProgId = L"MarkletControl.Marklet";
const std::wstring kMachineClasses = L"Software\\Classes\\";
const std::wstring kUserClasses = L"Software\\Classes\\";

// A string value of a key; nothing when the key or value is missing.
std::optional<std::wstring> Value(HKEY root, const std::wstring& key, const wchar_t* name = nullptr) {
  wchar_t text[1024];
  ::DWORD size = sizeof text;
  if (::RegGetValueW(root, key.c_str(), name, RRF_RT_REG_SZ, nullptr, text, &size) != ERROR_SUCCESS) {
    return std::nullopt;
  }
  return std::wstring(text);
}

bool KeyExists(HKEY root, const std::wstring& key) {
  HKEY opened = nullptr;
  if (::RegOpenKeyExW(root, key.c_str(), 0, KEY_READ, &opened) != ERROR_SUCCESS) return false;
  ::RegCloseKey(opened);
  return true;
}

::DWORD SubkeyCount(HKEY root, const std::wstring& key) {
  HKEY opened = nullptr;
  if (::RegOpenKeyExW(root, key.c_str(), 0, KEY_READ, &opened) != ERROR_SUCCESS) return 0;
  ::DWORD count = 0;
  ::RegQueryInfoKeyW(opened, nullptr, nullptr, nullptr, &count, nullptr, nullptr, nullptr, nullptr, nullptr,
                     nullptr, nullptr);
  ::RegCloseKey(opened);
  return count;
}

bool FileExists(const std::wstring& path) { return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

std::string Narrow(const std::wstring& text) { return U16ToUtf8(FromWide(text.c_str(), text.size())); }

std::wstring LibraryFile() { return SuiteFolder() + L"MarkletControl.tlb"; }

// Leaves the server registered per machine however the case ends.
struct RegisteredAfterwards {
  ~RegisteredAfterwards() { Regsvr32(L""); }
};

// Every key and value a registration writes, under `classes` of `root`.
void CheckClassKeys(HKEY root, const std::wstring& classes) {
  const std::wstring clsid = classes + kClassKey;
  CHECK(Value(root, clsid) == L"Marklet Control");
  std::optional<std::wstring> server = Value(root, clsid + L"\\InprocServer32");
  CHECK_MSG(server && ::lstrcmpiW(server->c_str(), ServerPath().c_str()) == 0, Narrow(server.value_or(L"-")));
  CHECK(Value(root, clsid + L"\\InprocServer32", L"ThreadingModel") == L"Apartment");
  CHECK(Value(root, clsid + L"\\ProgID") == kProgId);
  CHECK(Value(root, clsid + L"\\VersionIndependentProgID") == kProgId);
  CHECK(KeyExists(root, clsid + L"\\Control"));
  CHECK(KeyExists(root, clsid + L"\\Programmable"));
  CHECK(Value(root, clsid + L"\\TypeLib") == GuidText(kTypeLibraryGuid));
  CHECK(Value(root, clsid + L"\\Version") == L"1.0");
  CHECK(Value(root, clsid + L"\\MiscStatus") == L"0");
  // RECOMPOSEONRESIZE | CANTLINKINSIDE | INSIDEOUT | ACTIVATEWHENVISIBLE | SETCLIENTSITEFIRST
  CHECK(Value(root, clsid + L"\\MiscStatus\\1") == L"131473");
  CHECK(KeyExists(root, clsid + L"\\Implemented Categories\\{40FC6ED4-2438-11CF-A3DB-080036F12502}"));
  CHECK(Value(root, classes + kProgId) == L"Marklet Control");
  CHECK(Value(root, classes + kProgId + L"\\CLSID") == GuidText(kClassGuid));
}

void CheckNoClassKeys(HKEY root, const std::wstring& classes) {
  CHECK(!KeyExists(root, classes + kClassKey));
  CHECK(!KeyExists(root, classes + kProgId));
}

std::wstring TypeLibraryKey() { return L"TypeLib\\" + GuidText(kTypeLibraryGuid) + L"\\1.0"; }

SUITE_CASE(registration_per_machine_writes_and_removes_exactly_its_keys) {
  RegisteredAfterwards registered;
  // Start unregistered, and count what is there without the control.
  REQUIRE(Regsvr32(L"/u") == 0);
  const ::DWORD classesBefore = SubkeyCount(HKEY_LOCAL_MACHINE, kMachineClasses);
  const ::DWORD clsidsBefore = SubkeyCount(HKEY_LOCAL_MACHINE, kMachineClasses + L"CLSID");
  const ::DWORD interfacesBefore = SubkeyCount(HKEY_LOCAL_MACHINE, kMachineClasses + L"Interface");
  const ::DWORD libraryVersionsBefore = SubkeyCount(HKEY_CLASSES_ROOT, L"TypeLib");

  REQUIRE(Regsvr32(L"") == 0);
  // Through the machine's store and the merged view hosts read.
  CheckClassKeys(HKEY_LOCAL_MACHINE, kMachineClasses);
  CheckClassKeys(HKEY_CLASSES_ROOT, L"");
  CheckNoClassKeys(HKEY_CURRENT_USER, kUserClasses);
  CLSID clsid{};
  CHECK(::CLSIDFromProgID(L"MarkletControl.Marklet", &clsid) == S_OK);
  CHECK(::IsEqualCLSID(clsid, ToGuid(kClassGuid)));
  // The type library beside the server, registered for 64-bit code.
  CHECK(FileExists(LibraryFile()));
  std::optional<std::wstring> library = Value(HKEY_CLASSES_ROOT, TypeLibraryKey() + L"\\0\\win64");
  CHECK_MSG(library && ::lstrcmpiW(library->c_str(), LibraryFile().c_str()) == 0, Narrow(library.value_or(L"-")));
  CHECK(KeyExists(HKEY_CLASSES_ROOT, L"Interface\\" + GuidText(kInterfaceGuid)));
  CHECK(KeyExists(HKEY_CLASSES_ROOT, L"Interface\\" + GuidText(kEventInterfaceGuid)));
  // Registering again over a registration is fine.
  CHECK(Regsvr32(L"") == 0);
  CheckClassKeys(HKEY_LOCAL_MACHINE, kMachineClasses);

  REQUIRE(Regsvr32(L"/u") == 0);
  CheckNoClassKeys(HKEY_CLASSES_ROOT, L"");
  CHECK(!KeyExists(HKEY_CLASSES_ROOT, TypeLibraryKey()));
  CHECK(!KeyExists(HKEY_CLASSES_ROOT, L"Interface\\" + GuidText(kInterfaceGuid)));
  CHECK(!FileExists(LibraryFile()));
  CHECK(SubkeyCount(HKEY_LOCAL_MACHINE, kMachineClasses) == classesBefore);
  CHECK(SubkeyCount(HKEY_LOCAL_MACHINE, kMachineClasses + L"CLSID") == clsidsBefore);
  CHECK(SubkeyCount(HKEY_LOCAL_MACHINE, kMachineClasses + L"Interface") == interfacesBefore);
  CHECK(SubkeyCount(HKEY_CLASSES_ROOT, L"TypeLib") == libraryVersionsBefore);
  // Nothing can create the control any more, by name or by class.
  CHECK(::CLSIDFromProgID(L"MarkletControl.Marklet", &clsid) == CO_E_CLASSSTRING);
  IUnknown* object = nullptr;
  CHECK(::CoCreateInstance(ToGuid(kClassGuid), nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                           reinterpret_cast<void**>(&object)) == REGDB_E_CLASSNOTREG);
  if (object) object->Release();
  // Unregistering what is not registered is harmless.
  CHECK(Regsvr32(L"/u") == 0);
}

SUITE_CASE(registration_leaves_a_progid_another_class_claimed) {
  RegisteredAfterwards registered;
  REQUIRE(Regsvr32(L"") == 0);
  // Another server takes the name over; unregistering this one keeps its claim.
  const std::wstring progIdClass = kMachineClasses + kProgId + L"\\CLSID";
  const wchar_t other[] = L"{0F6B3C22-5D4B-4E0A-9C1E-6B7A1D2E3F40}";
  REQUIRE(::RegSetKeyValueW(HKEY_LOCAL_MACHINE, progIdClass.c_str(), nullptr, REG_SZ, other, sizeof other) ==
          ERROR_SUCCESS);
  CHECK(Regsvr32(L"/u") == 0);
  CHECK(Value(HKEY_LOCAL_MACHINE, progIdClass) == std::wstring(other));
  CHECK(!KeyExists(HKEY_LOCAL_MACHINE, kMachineClasses + kClassKey));
  ::RegDeleteTreeW(HKEY_LOCAL_MACHINE, (kMachineClasses + kProgId).c_str());
}

SUITE_CASE(registration_that_fails_takes_back_its_keys) {
  RegisteredAfterwards registered;
  REQUIRE(Regsvr32(L"/u") == 0);
  // A folder where the type library file goes: writing it fails.
  REQUIRE(::CreateDirectoryW(LibraryFile().c_str(), nullptr));
  CHECK(Regsvr32(L"") != 0);
  CheckNoClassKeys(HKEY_CLASSES_ROOT, L"");
  CHECK(!KeyExists(HKEY_CLASSES_ROOT, TypeLibraryKey()));
  ::RemoveDirectoryW(LibraryFile().c_str());
}

SUITE_CASE(registration_removed_after_its_type_library_file_was_deleted) {
  RegisteredAfterwards registered;
  REQUIRE(Regsvr32(L"") == 0);
  REQUIRE(::DeleteFileW(LibraryFile().c_str()));
  CHECK(Regsvr32(L"/u") == 0);
  CheckNoClassKeys(HKEY_CLASSES_ROOT, L"");
  CHECK(!KeyExists(HKEY_CLASSES_ROOT, TypeLibraryKey()));
  CHECK(!KeyExists(HKEY_CLASSES_ROOT, L"TypeLib\\" + GuidText(kTypeLibraryGuid)));
  CHECK(!KeyExists(HKEY_CLASSES_ROOT, L"Interface\\" + GuidText(kInterfaceGuid)));
  CHECK(!KeyExists(HKEY_CLASSES_ROOT, L"Interface\\" + GuidText(kEventInterfaceGuid)));
}

SUITE_CASE(registration_per_user_stays_in_the_user_store) {
  RegisteredAfterwards registered;
  REQUIRE(Regsvr32(L"/u") == 0);
  // The user's class store may gain an empty CLSID key; nothing else stays.
  const ::DWORD userClassesBefore = SubkeyCount(HKEY_CURRENT_USER, kUserClasses + L"CLSID");

  REQUIRE(Regsvr32(L"/n /i:user") == 0);
  CheckClassKeys(HKEY_CURRENT_USER, kUserClasses);
  CheckNoClassKeys(HKEY_LOCAL_MACHINE, kMachineClasses);
  CHECK(FileExists(LibraryFile()));
  // Wine's per-user type-library registration registers the library for the
  // whole machine instead; Windows writes it to the user's store.
  CHECK(KeyExists(HKEY_CURRENT_USER, kUserClasses + TypeLibraryKey()) ||
        KeyExists(HKEY_LOCAL_MACHINE, kMachineClasses + TypeLibraryKey()));
  REQUIRE(Regsvr32(L"/u /n /i:user") == 0);
  CheckNoClassKeys(HKEY_CURRENT_USER, kUserClasses);
  // Wherever the system put the library's registration, it is gone.
  CHECK(!KeyExists(HKEY_CLASSES_ROOT, TypeLibraryKey()));
  CHECK(!KeyExists(HKEY_CURRENT_USER, kUserClasses + TypeLibraryKey()));
  CHECK(!FileExists(LibraryFile()));
  CHECK(SubkeyCount(HKEY_CURRENT_USER, kUserClasses + L"CLSID") == userClassesBefore);
  CHECK(Regsvr32(L"/u /n /i:user") == 0);

  // Per-machine registration beside a user's leaves the user's keys alone,
  // and removing it keeps the type library file the user's keys name.
  REQUIRE(Regsvr32(L"/n /i:user") == 0);
  REQUIRE(Regsvr32(L"") == 0);
  CheckClassKeys(HKEY_CURRENT_USER, kUserClasses);
  CheckClassKeys(HKEY_LOCAL_MACHINE, kMachineClasses);
  REQUIRE(Regsvr32(L"/u") == 0);
  CheckNoClassKeys(HKEY_LOCAL_MACHINE, kMachineClasses);
  CheckClassKeys(HKEY_CURRENT_USER, kUserClasses);
  CHECK(FileExists(LibraryFile()));
  REQUIRE(Regsvr32(L"/u /n /i:user") == 0);
  CheckNoClassKeys(HKEY_CURRENT_USER, kUserClasses);
  CHECK(!FileExists(LibraryFile()));

  // An unknown install option is refused.
  CHECK(Regsvr32(L"/n /i:everyone") != 0);
}

}  // namespace
}  // namespace marklet::win32
