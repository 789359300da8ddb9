// Writes the control's type library as IDL from the member, event and
// enumeration tables of the dispatch layer.
#include "control/type_library.h"

#include <cstdio>
#include <sstream>

#include "control/dispatch.h"
#include "host/error.h"

namespace marklet {

std::string FormatGuid(const Guid& g) {
  char text[37];
  std::snprintf(text, sizeof text, "%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X",
                static_cast<unsigned>(g.data1), static_cast<unsigned>(g.data2),
                static_cast<unsigned>(g.data3), g.data4[0], g.data4[1], g.data4[2], g.data4[3],
                g.data4[4], g.data4[5], g.data4[6], g.data4[7]);
  return text;
}

namespace {

// Type libraries of this kind store names in the Latin-1 code page.
std::string Latin1(const char* utf8) {
  std::string out;
  for (char16_t c : Utf8ToU16(utf8)) {
    if (c > 0xFF) {
      throw MarkletError(ErrorNumber::InvalidProcedureCall,
                         std::string("Name has no Latin-1 spelling: ") + utf8);
    }
    out.push_back(static_cast<char>(c));
  }
  return out;
}

// The nearest ASCII letter for each Latin-1 character from U+00C0 on.
constexpr char kAsciiFold[] = "AAAAAAACEEEEIIIIDNOOOOOxOUUUUYTsaaaaaaaceeeeiiiidnooooo_ouuuuyty";

std::string Ascii(const char* utf8) {
  std::string out;
  for (char16_t c : Utf8ToU16(utf8)) {
    if (c < 0x80) out.push_back(static_cast<char>(c));
    else if (c >= 0xC0 && c <= 0xFF) out.push_back(kAsciiFold[c - 0xC0]);
    else out.push_back('_');
  }
  return out;
}

std::string Name(const char* utf8, IdlDialect dialect) {
  return dialect == IdlDialect::Widl ? Ascii(utf8) : Latin1(utf8);
}

std::string Dispid(Long dispid) {
  char text[16];
  if (dispid < 0) std::snprintf(text, sizeof text, "%ld", static_cast<long>(dispid));
  else std::snprintf(text, sizeof text, "0x%08lX", static_cast<unsigned long>(dispid));
  return text;
}

std::string Version() {
  return std::to_string(kTypeLibraryMajorVersion) + "." + std::to_string(kTypeLibraryMinorVersion);
}

// The IDL spelling of a value of the type, as passed by value.
std::string IdlType(AutoType type) {
  switch (type) {
    case AutoType::Integer: return "short";
    case AutoType::Long: return "long";
    case AutoType::Byte: return "unsigned char";
    case AutoType::Single: return "float";
    case AutoType::Boolean: return "VARIANT_BOOL";
    case AutoType::OleColor: return "OLE_COLOR";
    case AutoType::String: return "BSTR";
    case AutoType::Font: return "IFontDisp*";
    case AutoType::Picture: return "IPictureDisp*";
    case AutoType::Apariencia:
    case AutoType::Borde:
    case AutoType::LinkDisplay: return FindEnumeration(type)->name;
    case AutoType::Void: return "void";
  }
  return "void";
}

// Declarations widl needs to parse the library. widl knows none of the
// standard automation types by itself; with stdole2.tlb imported by name, the
// type library refers to that library's IDispatch, IFontDisp, IPictureDisp
// and OLE_COLOR rather than to these.
constexpr char kWidlPrelude[] = R"(typedef long HRESULT;
typedef short VARIANT_BOOL;
typedef wchar_t* BSTR;
typedef unsigned long OLE_COLOR;
typedef struct GUID {
  unsigned long Data1;
  unsigned short Data2;
  unsigned short Data3;
  unsigned char Data4[8];
} GUID;

[local, object, uuid(00000000-0000-0000-C000-000000000046)]
interface IUnknown
{
  HRESULT QueryInterface([in] GUID* riid, [out] void** ppvObject);
  unsigned long AddRef();
  unsigned long Release();
}

[local, object, uuid(00020400-0000-0000-C000-000000000046)]
interface IDispatch : IUnknown
{
  HRESULT GetTypeInfoCount([out] unsigned int* pctinfo);
  HRESULT GetTypeInfo([in] unsigned int iTInfo, [in] unsigned long lcid, [out] void** ppTInfo);
  HRESULT GetIDsOfNames([in] GUID* riid, [in] wchar_t** rgszNames, [in] unsigned int cNames,
                        [in] unsigned long lcid, [out] long* rgDispId);
  HRESULT Invoke([in] long dispIdMember, [in] GUID* riid, [in] unsigned long lcid,
                 [in] unsigned short wFlags, [in] void* pDispParams, [out] void* pVarResult,
                 [out] void* pExcepInfo, [out] unsigned int* puArgErr);
}

[local, object, uuid(BEF6E003-A874-101A-8BBA-00AA00300CAB)]
interface IFontDisp : IDispatch
{
}

[local, object, uuid(7BF80981-BF32-101A-8BBB-00AA00300CAB)]
interface IPictureDisp : IDispatch
{
}

)";

void WriteEnumeration(std::ostream& out, const EnumInfo& e, IdlDialect dialect) {
  out << "  typedef [uuid(" << FormatGuid(e.guid) << "), version(" << Version() << ")]\n"
      << "  enum " << e.name << " {\n";
  for (std::size_t i = 0; i < e.members.size(); ++i) {
    const EnumMember& m = e.members[i];
    std::string name = Name(m.name, dialect);
    out << "    ";
    if (dialect == IdlDialect::Description) out << "[helpstring(\"" << name << "\")] ";
    out << name << " = " << m.value << (i + 1 < e.members.size() ? ",\n" : "\n");
  }
  out << "  } " << e.name << ";\n\n";
}

void WriteInterface(std::ostream& out) {
  out << "  [\n"
      << "    odl,\n"
      << "    uuid(" << FormatGuid(kInterfaceGuid) << "),\n"
      << "    version(" << Version() << "),\n"
      << "    hidden,\n"
      << "    dual,\n"
      << "    nonextensible,\n"
      << "    oleautomation\n"
      << "  ]\n"
      << "  interface " << kInterfaceName << " : IDispatch {\n";
  for (const MemberInfo& m : Members()) {
    std::string id = Dispid(m.dispid);
    if (m.kind == MemberKind::Method) {
      out << "    [id(" << id << ")]\n"
          << "    HRESULT " << m.name << "();\n";
      continue;
    }
    std::string type = IdlType(m.type);
    out << "    [id(" << id << "), propget]\n"
        << "    HRESULT " << m.name << "([out, retval] " << type << "* );\n";
    if (m.canPut()) {
      out << "    [id(" << id << "), " << (m.putsByReference() ? "propputref" : "propput") << "]\n"
          << "    HRESULT " << m.name << "([in] " << type << " );\n";
    }
  }
  out << "  };\n\n";
}

void WriteEventInterface(std::ostream& out, IdlDialect dialect) {
  out << "  [\n"
      << "    uuid(" << FormatGuid(kEventInterfaceGuid) << "),\n"
      << "    hidden" << (dialect == IdlDialect::Description ? ",\n    nonextensible\n" : "\n")
      << "  ]\n"
      << "  dispinterface " << kEventInterfaceName << " {\n"
      << "    properties:\n"
      << "    methods:\n";
  for (const EventInfo& e : Events()) {
    out << "      [id(" << Dispid(static_cast<Long>(e.id)) << ")]\n"
        << "      void " << e.name << "(";
    for (std::size_t i = 0; i < e.params.size(); ++i) {
      // Every event argument goes by reference: a handler may assign to it.
      out << (i ? ", " : "") << "[in, out] " << IdlType(e.params[i].type) << "* "
          << e.params[i].name;
    }
    out << ");\n";
  }
  out << "  };\n\n";
}

}  // namespace

std::string TypeLibraryIdl(IdlDialect dialect) {
  std::ostringstream out;
  out << "// " << kTypeLibraryName << " type library"
      << (dialect == IdlDialect::Widl ? " (the form widl accepts)" : "") << "\n\n";
  if (dialect == IdlDialect::Widl) out << kWidlPrelude;
  out << "[\n"
      << "  uuid(" << FormatGuid(kTypeLibraryGuid) << "),\n"
      << "  version(" << Version() << "),\n"
      << "  helpstring(\"" << kTypeLibraryHelpString << "\"),\n"
      << "  control\n"
      << "]\n"
      << "library " << kTypeLibraryName << "\n"
      << "{\n"
      << "  importlib(\"stdole2.tlb\");\n\n"
      << "  interface " << kInterfaceName << ";\n"
      << "  dispinterface " << kEventInterfaceName << ";\n\n";
  for (const EnumInfo& e : Enumerations()) WriteEnumeration(out, e, dialect);
  WriteInterface(out);
  WriteEventInterface(out, dialect);
  out << "  [\n"
      << "    uuid(" << FormatGuid(kClassGuid) << "),\n"
      << "    version(" << Version() << "),\n"
      << "    control\n"
      << "  ]\n"
      << "  coclass " << kClassName << " {\n"
      << "    [default] interface " << kInterfaceName << ";\n"
      << "    [default, source] dispinterface " << kEventInterfaceName << ";\n"
      << "  };\n"
      << "};\n";
  return out.str();
}

}  // namespace marklet
