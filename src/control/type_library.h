// The identity of the control's type library: its name, version, help string
// and the fixed GUIDs of the library and its seven types, and the library written out as IDL.
//
// The members, events and enumerations themselves come from the tables of
// control/dispatch.h; the IDL writer here and the Windows build's type-library
// writer both read those tables and these constants, so the two descriptions
// cannot drift apart.
#pragma once

#include <cstdint>
#include <string>

namespace marklet {

struct Guid {
  std::uint32_t data1;
  std::uint16_t data2;
  std::uint16_t data3;
  std::uint8_t data4[8];
};

// "XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX", upper-case hexadecimal.
std::string FormatGuid(const Guid& guid);

inline constexpr char kTypeLibraryName[] = "MarkletControl";
inline constexpr char kTypeLibraryHelpString[] = "Marklet markup label control";
inline constexpr std::uint16_t kTypeLibraryMajorVersion = 1;
inline constexpr std::uint16_t kTypeLibraryMinorVersion = 0;

inline constexpr char kClassName[] = "Marklet";
inline constexpr char kInterfaceName[] = "_Marklet";
inline constexpr char kEventInterfaceName[] = "__Marklet";
inline constexpr char kProgId[] = "MarkletControl.Marklet";

// Fixed for good: hosts store these in their forms and registries.
inline constexpr Guid kTypeLibraryGuid{
    0xBC8EA9D4, 0xECCF, 0x4F56, {0x9D, 0xA2, 0x05, 0x64, 0x77, 0x65, 0xCB, 0xA8}};
inline constexpr Guid kClassGuid{
    0x6A444699, 0x63A3, 0x43F8, {0xB7, 0xAC, 0x98, 0xB7, 0x15, 0x3F, 0xB7, 0xC2}};
inline constexpr Guid kInterfaceGuid{
    0x99586413, 0xAB81, 0x4122, {0x80, 0x47, 0xDF, 0x6A, 0x54, 0xD7, 0x50, 0xC6}};
inline constexpr Guid kEventInterfaceGuid{
    0x75812490, 0x8438, 0x4DFB, {0xB7, 0x39, 0xF0, 0x67, 0xD1, 0xBB, 0x17, 0x8D}};
inline constexpr Guid kAparienciaGuid{
    0x10744A9B, 0x0333, 0x436D, {0xB3, 0xC0, 0x4F, 0xC7, 0xCF, 0x09, 0x94, 0xD6}};
inline constexpr Guid kTransparenciaGuid{
    0xBD807310, 0xE39B, 0x4222, {0x82, 0x5E, 0xEF, 0xF5, 0x5E, 0xDE, 0x6F, 0x70}};
inline constexpr Guid kBordeGuid{
    0xC87BDACD, 0x15E3, 0x4B03, {0xA2, 0x3F, 0x93, 0xA1, 0x85, 0x7D, 0x6C, 0xD6}};
inline constexpr Guid kLinkDisplayGuid{
    0x453E58AA, 0xDDDC, 0x4A28, {0xA6, 0xFC, 0x1A, 0x62, 0x00, 0xF2, 0x7B, 0x6E}};

// The DISPID of the standard about-box method.
inline constexpr std::int32_t kDispidAboutBox = -552;

enum class IdlDialect {
  // The true description: enumeration members carry help strings equal to
  // their names, and borde's second member is written with its accented
  // letter as the single Latin-1 byte 0xF3.
  Description,
  // What widl accepts: no help strings on enumeration members, ASCII names
  // only (Solido), no nonextensible on the event dispinterface, and the
  // declarations of the standard automation types that widl does not know by
  // itself written ahead of the library.
  Widl,
};

// The type library as IDL text. The Description dialect is Latin-1, not UTF-8.
std::string TypeLibraryIdl(IdlDialect dialect);

}  // namespace marklet
