// Between the control's values and errors and their automation forms:
// VARIANTs, BSTRs, the standard font and picture objects, and HRESULTs with
// error information.
#pragma once

#include <string>

#include "control/dispatch.h"
#include "host/error.h"
#include "host/values.h"
#include "platform/win32/com_ref.h"
#include "platform/win32/win_api.h"

namespace marklet::win32::activex {

// A control error as automation reports it: FACILITY_CONTROL with the
// error's number (0x800A0006 for overflow, 0x800A000D for type mismatch...).
HRESULT ErrorResult(int number);

// The error of the exception being handled, set as the thread's error
// information (source: the ProgID, description: the error's message) and
// returned as its HRESULT. Call from a catch block.
HRESULT ReportCurrentException(REFIID iid);
// The same for a known error.
HRESULT ReportError(const MarkletError& error, REFIID iid);

// An EXCEPINFO for the exception being handled; returns DISP_E_EXCEPTION.
HRESULT FillExceptionInfo(EXCEPINFO* info);

std::u16string FromBstr(BSTR text);
// Throws error 7 when out of memory.
BSTR ToBstr(const std::u16string& text);

// A VARIANT's value as the control's variant; a by-reference VARIANT gives
// what it points to. The standard font and picture objects become a font
// and a picture; Nothing (a null object) becomes an empty picture; another
// object gives its default value. Error 13 for what the control cannot take
// (arrays, errors, Null).
Variant FromVariant(const VARIANT& value);

// The automation type that carries a member's values.
VARTYPE VarTypeOf(AutoType type);

// A value of the member's type as a VARIANT (which the caller clears).
void ToVariant(const Variant& value, AutoType type, VARIANT* out);

// A new standard font object with the font's attributes.
IFontDisp* NewFontObject(const FontDesc& font);
// A font object's attributes; error 13 when the object is not a font.
FontDesc FontOf(IUnknown* object);

// The standard picture object of a picture (a new reference), null for none.
// A picture that is not a picture object here gives error 481.
IPictureDisp* PictureDispOf(const Picture& picture);
// A picture over a picture object; null gives no picture; error 13 when the
// object is not a picture.
Picture PictureOf(IUnknown* object);

}  // namespace marklet::win32::activex
