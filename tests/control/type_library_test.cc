// The type library as IDL: the interface contract hosts compile against, in
// both the true description and the form widl accepts.
#include "control/type_library.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "control/dispatch.h"

namespace marklet {
namespace {

// The text between the line that starts `head` and the first "};" after it.
std::string Block(const std::string& idl, const std::string& head) {
  std::size_t start = idl.find(head);
  if (start == std::string::npos) return {};
  std::size_t end = idl.find("};", start);
  return idl.substr(start, end - start);
}

// The attribute list written just before `head`: from the last "[" line that
// opens the list to `head`.
std::string AttributesBefore(const std::string& idl, const std::string& head) {
  std::size_t at = idl.find(head);
  if (at == std::string::npos) return {};
  std::size_t open = idl.rfind("[\n", at);
  return idl.substr(open, at - open);
}

// The interface's declarations in order, as "DISPID kind name" strings.
std::vector<std::string> InterfaceMembers(const std::string& idl) {
  std::string body = Block(idl, "interface _Marklet : IDispatch");
  std::regex declaration(R"(\[id\(([-0-9A-Fx]+)\)(?:, (propget|propput|propputref))?\]\s*HRESULT (\w+)\()");
  std::vector<std::string> found;
  for (std::sregex_iterator it(body.begin(), body.end(), declaration), end; it != end; ++it) {
    std::string kind = (*it)[2].matched ? (*it)[2].str() : "method";
    found.push_back((*it)[1].str() + " " + kind + " " + (*it)[3].str());
  }
  return found;
}

const std::vector<std::string> kExpectedMembers = {
    "0x68030016 propget LineSpacing",     "0x68030016 propput LineSpacing",
    "0x68030015 propget Picture",         "0x68030015 propputref Picture",
    "0x68030014 propget BackColor",       "0x68030014 propput BackColor",
    "0x68030013 propget ShowMoreLink",    "0x68030013 propput ShowMoreLink",
    "0x68030012 propget GetTextOnEvent",  "0x68030012 propput GetTextOnEvent",
    "0x68030011 propget MultiLine",       "0x68030011 propput MultiLine",
    "0x68030010 propget AutoSizeHeight",  "0x68030010 propput AutoSizeHeight",
    "0x6803000E propget UnderlineLink",   "0x6803000E propput UnderlineLink",
    "0x6803000D propget LeftMargin",      "0x6803000D propput LeftMargin",
    "0x6803000C propget LinkDisplay",     "0x6803000C propput LinkDisplay",
    "0x6803000B propget TabSize",         "0x6803000B propput TabSize",
    "0x6803000A propget ForeColor",       "0x6803000A propput ForeColor",
    "-552 method About",
    "0x68030009 propget LinkColor",       "0x68030009 propput LinkColor",
    "0x68030008 propget ActiveLinkColor", "0x68030008 propput ActiveLinkColor",
    "0x68030007 propget FormatedText",
    "0x68030006 propget Enabled",         "0x68030006 propput Enabled",
    "0x68030005 propget Font",            "0x68030005 propputref Font",
    "0x68030004 propget Appearance",      "0x68030004 propput Appearance",
    "0x68030002 propget Text",            "0x68030002 propput Text",
    "0x68030001 propget MoreLinkText",    "0x68030001 propput MoreLinkText",
    "0x68030000 propget BorderStyle",     "0x68030000 propput BorderStyle",
    "0x6003001A method Refresh",
};

bool Contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

TEST(TypeLibraryIdl, LibraryAndClassAreFlaggedAsAControl) {
  std::string idl = TypeLibraryIdl(IdlDialect::Description);
  std::string library = AttributesBefore(idl, "library MarkletControl\n");
  EXPECT_TRUE(Contains(library, "control")) << library;
  EXPECT_TRUE(Contains(library, "version(1.0)")) << library;
  EXPECT_TRUE(Contains(library, "helpstring(\"")) << library;
  EXPECT_TRUE(Contains(idl, "importlib(\"stdole2.tlb\");"));

  std::string coclass = Block(idl, "coclass Marklet {");
  EXPECT_TRUE(Contains(AttributesBefore(idl, "coclass Marklet {"), "control"));
  EXPECT_TRUE(Contains(coclass, "[default] interface _Marklet;")) << coclass;
  EXPECT_TRUE(Contains(coclass, "[default, source] dispinterface __Marklet;")) << coclass;

  // Eight distinct fixed GUIDs: the library, the class, two interfaces, four enumerations.
  std::regex uuid(R"(uuid\(([0-9A-F-]{36})\))");
  std::set<std::string> ours;
  for (std::sregex_iterator it(idl.begin(), idl.end(), uuid), end; it != end; ++it)
    ours.insert((*it)[1].str());
  EXPECT_EQ(ours.size(), 8u);
  EXPECT_EQ(FormatGuid(Guid{0x1, 0x2, 0x3, {0, 1, 2, 3, 4, 5, 6, 7}}),
            "00000001-0002-0003-0001-020304050607");
}

TEST(TypeLibraryIdl, DualInterfaceHasEveryMemberWithItsDispidAndAccessorOrder) {
  std::string idl = TypeLibraryIdl(IdlDialect::Description);
  std::string attributes = AttributesBefore(idl, "interface _Marklet : IDispatch");
  for (const char* flag : {"hidden", "dual", "nonextensible", "oleautomation"})
    EXPECT_TRUE(Contains(attributes, flag)) << flag << " missing in " << attributes;
  EXPECT_EQ(InterfaceMembers(idl), kExpectedMembers);

  // Value types as automation spells them.
  std::string body = Block(idl, "interface _Marklet : IDispatch");
  for (const char* line : {
           "HRESULT LineSpacing([out, retval] short* );",
           "HRESULT LineSpacing([in] short );",
           "HRESULT TabSize([in] unsigned char );",
           "HRESULT BackColor([in] OLE_COLOR );",
           "HRESULT MultiLine([in] VARIANT_BOOL );",
           "HRESULT Text([in] BSTR );",
           "HRESULT LinkDisplay([in] linkdisp_en );",
           "HRESULT Appearance([out, retval] apariencia* );",
           "HRESULT BorderStyle([in] borde );",
           "HRESULT Font([out, retval] IFontDisp** );",
           "HRESULT Font([in] IFontDisp* );",
           "HRESULT Picture([in] IPictureDisp* );",
           "HRESULT About();",
       })
    EXPECT_TRUE(Contains(body, line)) << line;
}

// How IDL spells a value of each automation type.
std::string Spelling(AutoType type) {
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
    case AutoType::Apariencia: return "apariencia";
    case AutoType::Borde: return "borde";
    case AutoType::LinkDisplay: return "linkdisp_en";
    case AutoType::Void: return "void";
  }
  return "?";
}

std::string IdlDispid(Long dispid) {
  char text[16];
  if (dispid < 0) std::snprintf(text, sizeof text, "%ld", static_cast<long>(dispid));
  else std::snprintf(text, sizeof text, "0x%08lX", static_cast<unsigned long>(dispid));
  return text;
}

// The interface's declarations with their parameter lists, as written.
std::vector<std::string> Declarations(const std::string& body) {
  std::regex declaration(R"(\[id\(([-0-9A-Fx]+)\)(?:, (propget|propput|propputref))?\]\s*HRESULT (\w+)\(([^)]*)\);)");
  std::vector<std::string> found;
  for (std::sregex_iterator it(body.begin(), body.end(), declaration), end; it != end; ++it) {
    std::string kind = (*it)[2].matched ? (*it)[2].str() : "method";
    found.push_back((*it)[1].str() + " " + kind + " " + (*it)[3].str() + "(" + (*it)[4].str() + ")");
  }
  return found;
}

// The IDL is written from the member and event tables; read back, it must
// give every row with its DISPID, accessors and types, in the table's order,
// and nothing else.
TEST(TypeLibraryIdl, InterfacesDeclareExactlyTheTableRows) {
  std::vector<std::string> members;
  for (const MemberInfo& m : Members()) {
    std::string id = IdlDispid(m.dispid);
    if (m.kind == MemberKind::Method) {
      members.push_back(id + " method " + m.name + "()");
      continue;
    }
    members.push_back(id + " propget " + m.name + "([out, retval] " + Spelling(m.type) + "* )");
    if (m.canPut()) {
      members.push_back(id + (m.putsByReference() ? " propputref " : " propput ") + m.name + "([in] " +
                        Spelling(m.type) + " )");
    }
  }
  std::vector<std::string> events;
  for (const EventInfo& e : Events()) {
    std::string line = IdlDispid(static_cast<Long>(e.id)) + " " + e.name + "(";
    for (std::size_t i = 0; i < e.params.size(); ++i)
      line += (i ? ", " : "") + std::string("[in, out] ") + Spelling(e.params[i].type) + "* " + e.params[i].name;
    events.push_back(line + ")");
  }
  for (IdlDialect dialect : {IdlDialect::Description, IdlDialect::Widl}) {
    std::string idl = TypeLibraryIdl(dialect);
    EXPECT_EQ(Declarations(Block(idl, "interface _Marklet : IDispatch")), members);
    std::string body = Block(idl, "dispinterface __Marklet {");
    std::regex event(R"(\[id\(([-0-9A-Fx]+)\)\]\s*void (\w+\([^)]*\));)");
    std::vector<std::string> declared;
    for (std::sregex_iterator it(body.begin(), body.end(), event), end; it != end; ++it)
      declared.push_back((*it)[1].str() + " " + (*it)[2].str());
    EXPECT_EQ(declared, events);
  }
}

TEST(TypeLibraryIdl, EventInterfaceTakesEveryArgumentByReference) {
  std::string idl = TypeLibraryIdl(IdlDialect::Description);
  std::string attributes = AttributesBefore(idl, "dispinterface __Marklet {");
  EXPECT_TRUE(Contains(attributes, "hidden"));
  EXPECT_TRUE(Contains(attributes, "nonextensible"));
  std::string body = Block(idl, "dispinterface __Marklet {");
  std::regex event(R"(\[id\(0x([0-9A-F]{8})\)\]\s*void (\w+)\()");
  std::vector<std::string> events;
  for (std::sregex_iterator it(body.begin(), body.end(), event), end; it != end; ++it)
    events.push_back(std::to_string(std::stoi((*it)[1].str(), nullptr, 16)) + " " + (*it)[2].str());
  EXPECT_EQ(events, (std::vector<std::string>{"1 Click", "2 DblClick", "3 KeyDown", "4 KeyPress",
                                              "5 KeyUp", "6 MouseDown", "7 MouseMove", "8 MouseUp",
                                              "9 OnLinkClick", "10 MouseOut"}));
  EXPECT_TRUE(Contains(body,
                       "void MouseMove([in, out] BSTR* LinkText, [in, out] BSTR* LinkKey, "
                       "[in, out] short* Button, [in, out] short* Shift, [in, out] float* X, "
                       "[in, out] float* Y);"));
  EXPECT_TRUE(Contains(body, "void KeyPress([in, out] short* KeyAscii);"));
  EXPECT_TRUE(Contains(body, "void MouseOut();"));
}

TEST(TypeLibraryIdl, DescriptionSpellsSolidoInLatin1WithHelpStrings) {
  std::string idl = TypeLibraryIdl(IdlDialect::Description);
  EXPECT_TRUE(Contains(idl, "[helpstring(\"S\xF3lido\")] S\xF3lido = 1")) << Block(idl, "enum borde");
  EXPECT_FALSE(Contains(idl, "\xC3\xB3")) << "UTF-8 in a Latin-1 description";
  for (char c : idl) {
    unsigned char b = static_cast<unsigned char>(c);
    EXPECT_TRUE(b < 0x80 || b == 0xF3) << "unexpected byte " << int(b);
  }
  for (const char* member : {"cPlano = 0", "c3d = 1", "Transparente = 0", "Opaco = 1",
                             "Ninguno = 0", "Normal = 0", "NotU_NotC = 1", "NotC = 2", "NotU = 3"}) {
    std::string name(member, std::string(member).find(' '));
    EXPECT_TRUE(Contains(idl, "[helpstring(\"" + name + "\")] " + member)) << member;
  }
  for (const char* type : {"} apariencia;", "} transparencia;", "} borde;", "} linkdisp_en;"})
    EXPECT_TRUE(Contains(idl, type)) << type;
}

TEST(TypeLibraryIdl, WidlFormIsAsciiWithoutMemberHelpStringsAndTheSameMembers) {
  std::string idl = TypeLibraryIdl(IdlDialect::Widl);
  for (char c : idl) ASSERT_LT(static_cast<unsigned char>(c), 0x80);
  EXPECT_TRUE(Contains(idl, "    Solido = 1\n"));
  // The library's own help string is the only one.
  std::size_t first = idl.find("helpstring(");
  ASSERT_NE(first, std::string::npos);
  EXPECT_EQ(idl.find("helpstring(", first + 1), std::string::npos);
  EXPECT_FALSE(Contains(AttributesBefore(idl, "dispinterface __Marklet {"), "nonextensible"));
  EXPECT_EQ(InterfaceMembers(idl), kExpectedMembers);
  EXPECT_TRUE(Contains(AttributesBefore(idl, "library MarkletControl\n"), "control"));
}

// ---- Compiling the widl form ----

// A program on PATH, or an empty path.
std::filesystem::path FindOnPath(const std::string& name) {
  const char* path = std::getenv("PATH");
  if (!path) return {};
  std::stringstream dirs(path);
  std::string dir;
  while (std::getline(dirs, dir, ':')) {
    if (dir.empty()) continue;
    std::filesystem::path candidate = std::filesystem::path(dir) / name;
    if (access(candidate.c_str(), X_OK) == 0) return candidate;
  }
  return {};
}

// Debian's mingw-w64 packages ship neither stdole2.tlb nor the SDK's IDL
// files, so the test builds a small stand-in for the standard OLE library
// with the real GUIDs of the types the control refers to.
constexpr char kStdoleStandIn[] = R"(
[uuid(00020430-0000-0000-C000-000000000046), version(2.0), helpstring("OLE Automation")]
library stdole
{
  typedef long HRESULT;
  typedef short VARIANT_BOOL;
  typedef wchar_t* BSTR;
  typedef struct GUID {
    unsigned long Data1;
    unsigned short Data2;
    unsigned short Data3;
    unsigned char Data4[8];
  } GUID;

  typedef [uuid(66504301-BE0F-101A-8BBB-00AA00300CAB), public] unsigned long OLE_COLOR;

  [odl, uuid(00000000-0000-0000-C000-000000000046), hidden]
  interface IUnknown
  {
    [restricted] HRESULT QueryInterface([in] GUID* riid, [out] void** ppvObj);
    [restricted] unsigned long AddRef();
    [restricted] unsigned long Release();
  };

  [odl, uuid(00020400-0000-0000-C000-000000000046), restricted]
  interface IDispatch : IUnknown
  {
    [restricted] HRESULT GetTypeInfoCount([out] unsigned int* pctinfo);
    [restricted] HRESULT GetTypeInfo([in] unsigned int itinfo, [in] unsigned long lcid,
                                     [out] void** pptinfo);
    [restricted] HRESULT GetIDsOfNames([in] GUID* riid, [in] signed char** rgszNames,
                                       [in] unsigned int cNames, [in] unsigned long lcid,
                                       [out] long* rgdispid);
    [restricted] HRESULT Invoke([in] long dispidMember, [in] GUID* riid, [in] unsigned long lcid,
                                [in] unsigned short wFlags, [in] void* pdispparams,
                                [out] void* pvarResult, [out] void* pexcepinfo,
                                [out] unsigned int* puArgErr);
  };

  [uuid(BEF6E003-A874-101A-8BBA-00AA00300CAB)]
  dispinterface Font
  {
  properties:
    [id(0)] BSTR Name;
  methods:
  };
  typedef [public] Font IFontDisp;

  [uuid(7BF80981-BF32-101A-8BBB-00AA00300CAB)]
  dispinterface Picture
  {
  properties:
    [id(0), readonly] long Handle;
  methods:
  };
  typedef [public] Picture IPictureDisp;
};
)";

class TempDir {
 public:
  TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "marklet-idl-XXXXXX").string();
    if (mkdtemp(pattern.data())) path_ = pattern;
  }
  ~TempDir() {
    std::error_code ignored;
    if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
  }
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

void WriteFile(const std::filesystem::path& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary);
  out << text;
}

std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// Runs widl to make a type library; returns its exit status and keeps its messages.
int RunWidl(const std::filesystem::path& widl, const TempDir& dir, const std::string& idl,
            const std::string& tlb, std::string& messages) {
  std::filesystem::path log = dir.path() / (tlb + ".log");
  std::string command = "cd '" + dir.path().string() + "' && '" + widl.string() +
                        "' -L . -t -o '" + tlb + "' '" + idl + "' > '" + log.string() + "' 2>&1";
  int status = std::system(command.c_str());
  messages = ReadFile(log);
  return status;
}

TEST(TypeLibraryIdl, WidlCompilesTheWidlFormToATypeLibrary) {
  std::filesystem::path widl;
  for (const char* name : {"widl", "x86_64-w64-mingw32-widl", "i686-w64-mingw32-widl"}) {
    widl = FindOnPath(name);
    if (!widl.empty()) break;
  }
  if (widl.empty()) {
    GTEST_SKIP() << "widl is not on PATH (Debian package mingw-w64-tools); "
                    "the widl form of the type library was not compiled";
  }
  TempDir dir;
  ASSERT_FALSE(dir.path().empty()) << "cannot make a temporary folder";
  WriteFile(dir.path() / "stdole2.idl", kStdoleStandIn);
  WriteFile(dir.path() / "marklet.idl", TypeLibraryIdl(IdlDialect::Widl));

  std::string messages;
  ASSERT_EQ(RunWidl(widl, dir, "stdole2.idl", "stdole2.tlb", messages), 0) << messages;
  ASSERT_EQ(RunWidl(widl, dir, "marklet.idl", "marklet.tlb", messages), 0) << messages;
  std::string tlb = ReadFile(dir.path() / "marklet.tlb");
  ASSERT_GE(tlb.size(), 4u);
  EXPECT_EQ(tlb.substr(0, 4), "MSFT");
  for (const char* name : {"MarkletControl", "_Marklet", "__Marklet", "Solido", "OnLinkClick"})
    EXPECT_TRUE(Contains(tlb, name)) << name << " missing from the type library";
}

}  // namespace
}  // namespace marklet
