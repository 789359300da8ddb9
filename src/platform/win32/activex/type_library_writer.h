// The control's type library, written with the system's type-library builder
// (ICreateTypeLib2) from the dispatch layer's member, event and enumeration
// tables and the identity constants of control/type_library.h, so the
// library, the IDL text and the dispatch layer describe one interface.
#pragma once

#include <string>

#include "platform/win32/win_api.h"

namespace marklet::win32::activex {

// Writes the type library to a .tlb file at `path`, replacing any file there.
HRESULT WriteTypeLibrary(const std::wstring& path);

// The type library for the server's own use (IDispatch, IProvideClassInfo):
// the registered one when this version is registered, else one written to a
// temporary file and loaded from it. Built once per process; the caller gets
// its own reference.
HRESULT LoadControlTypeLibrary(ITypeLib** library);

// The type information of one of the library's types, by its GUID.
HRESULT LoadControlTypeInfo(const GUID& guid, ITypeInfo** info);

}  // namespace marklet::win32::activex
