// What each fuzzer runs on one input. The libFuzzer targets and the
// regression test that replays every input the fuzzers ever crashed on call
// the same functions, so a fixed defect stays fixed in the normal build.
//
// Each entry aborts with a message on a broken invariant; errors the control
// raises by design (MarkletError) are part of normal runs.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace marklet::fuzz {

// Markup text, parsed and painted on the trace container, then walked over
// with the pointer. The first four bytes choose the mode and size:
//   byte 0: bit 0 MultiLine, 1 ShowMoreLink, 2 AutoSizeHeight, 3 the text is
//           UTF-16LE (else UTF-8), 4-5 LinkDisplay, 6 UnderlineLink,
//           7 a second Text set from inside the first MouseMove
//   bytes 1-2: width in twips (little-endian, modulo 8192)
//   byte 3: height in units of 16 twips
void RunMarkup(const std::uint8_t* data, std::size_t size);

// A property-bag text: parsed; when well formed, read into a control, which
// paints, saves to a new bag, and that bag's text parses back to itself.
// Then the same bytes, taken as choices, set a control's every property to
// extreme values (fonts of any name and size, margins, colours, any UTF-16
// text); what the control accepted saves, loads into a new control without
// an error, paints, and saves again to the same text with the same values.
void RunBag(const std::uint8_t* data, std::size_t size);

// Lines of `marklet script`, run in a fresh temporary folder that every file
// command is confined to.
void RunScript(const std::uint8_t* data, std::size_t size);

// Markup text (read as RunMarkup reads it) on the raster container, whose
// pictures come from a folder of real and crafted picture files
// (picture_sandbox.h): parsed, painted, composed, then walked over with the
// pointer. The pictures of one text and the surface must stay within their
// pixel budgets.
void RunRaster(const std::uint8_t* data, std::size_t size);

// The entry named "markup", "bag", "script" or "raster"; null for another name.
using Entry = void (*)(const std::uint8_t*, std::size_t);
Entry EntryNamed(const std::string& name);

}  // namespace marklet::fuzz
