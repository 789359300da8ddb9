// The type-library writer used directly, compiled into the suite (the server
// does not export it): writing over an existing file, and the library the
// server loads for itself when its own is not registered.
// server.h first: its helpers name the SDK's DWORD, which the control's
// headers would otherwise shadow inside namespace marklet.
#include "server.h"
#include "suite_runner.h"

#include "platform/win32/activex/type_library_writer.cc"

namespace marklet::win32 {
namespace {

using activex_suite::Regsvr32;

std::wstring TemporaryFolder() {
  wchar_t folder[MAX_PATH + 1];
  ::DWORD length = ::GetTempPathW(MAX_PATH + 1, folder);
  return std::wstring(folder, length);
}

// Files in the temporary folder matching a pattern.
int CountFiles(const std::wstring& pattern) {
  WIN32_FIND_DATAW found;
  HANDLE search = ::FindFirstFileW((TemporaryFolder() + pattern).c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return 0;
  int count = 0;
  do ++count;
  while (::FindNextFileW(search, &found));
  ::FindClose(search);
  return count;
}

SUITE_CASE(type_library_writer_replaces_a_file) {
  const std::wstring path = TemporaryFolder() + L"marklet-writer-check.tlb";
  HANDLE file = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  REQUIRE(file != INVALID_HANDLE_VALUE);
  std::string junk(200000, 'x');  // longer than the library
  ::DWORD written = 0;
  ::WriteFile(file, junk.data(), static_cast<::DWORD>(junk.size()), &written, nullptr);
  ::CloseHandle(file);

  CHECK(activex::WriteTypeLibrary(path) == S_OK);
  ITypeLib* library = nullptr;
  CHECK(::LoadTypeLibEx(path.c_str(), REGKIND_NONE, &library) == S_OK);
  if (library) {
    CHECK(library->GetTypeInfoCount() == 7);
    library->Release();
  }
  WIN32_FILE_ATTRIBUTE_DATA attributes{};
  CHECK(::GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &attributes));
  CHECK(attributes.nFileSizeHigh == 0 && attributes.nFileSizeLow < junk.size());
  ::DeleteFileW(path.c_str());
  // A folder that does not exist is an error, not a crash.
  CHECK(FAILED(activex::WriteTypeLibrary(TemporaryFolder() + L"no-such-folder\\MarkletControl.tlb")));
}

SUITE_CASE(type_library_loaded_for_the_server_when_unregistered) {
  struct RegisteredAfterwards {
    ~RegisteredAfterwards() { Regsvr32(L""); }
  } registered;
  REQUIRE(Regsvr32(L"/u") == 0);
  const std::wstring ours = L"MarkletControl-" + std::to_wstring(::GetCurrentProcessId()) + L"-*.tlb";

  ITypeLib* first = nullptr;
  ITypeLib* second = nullptr;
  REQUIRE(activex::LoadControlTypeLibrary(&first) == S_OK);
  CHECK(activex::LoadControlTypeLibrary(&second) == S_OK);
  CHECK(first == second);  // built once per process
  TLIBATTR* attr = nullptr;
  if (first && first->GetLibAttr(&attr) == S_OK) {
    CHECK(::IsEqualGUID(attr->guid, activex_suite::ToGuid(kTypeLibraryGuid)));
    first->ReleaseTLibAttr(attr);
  }
  // The temporary file is gone once the library is loaded.
  CHECK(CountFiles(ours) == 0);
  if (second) second->Release();
  if (first) first->Release();

  ITypeInfo* info = nullptr;
  CHECK(activex::LoadControlTypeInfo(activex_suite::ToGuid(kEventInterfaceGuid), &info) == S_OK);
  if (info) info->Release();
  CHECK(activex::LoadControlTypeInfo(IID_IDispatch, &info) == TYPE_E_ELEMENTNOTFOUND);
  CHECK(info == nullptr);
  CHECK(activex::LoadControlTypeLibrary(nullptr) == E_POINTER);

  // Registered, the registered library is used, not the temporary one (which
  // the server keeps alive, so its address stays its own).
  REQUIRE(Regsvr32(L"") == 0);
  ITypeLib* loaded = nullptr;
  CHECK(activex::LoadControlTypeLibrary(&loaded) == S_OK);
  CHECK(loaded && loaded != first);
  if (loaded) loaded->Release();
}

}  // namespace
}  // namespace marklet::win32
