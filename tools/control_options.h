// The options `render` and `view` share, and the setting up of the one
// control they show from them, so both commands read the same options the
// same way and set the control up in the same order.
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "host/values.h"
#include "platform/raster/raster_container.h"
#include "tools/arguments.h"
#include "tools/commands.h"

namespace marklet::tools {

struct ControlOptions {
  ControlOptions(int width, int height) : widthPx(width), heightPx(height) {}

  TextOption text;
  std::string bagFile;
  int widthPx;
  int heightPx;
  bool heightGiven = false;
  raster::RasterOptions raster;
  PropertySettings surface;  // --surface NAME=VALUE, in the order given
  std::optional<FontDesc> font;
  PropertySettings props;  // --prop NAME=VALUE, in the order given

  // Reads argv[i], and the values it takes, when it is one of the options
  // above, leaving i on the last argument it used; false for any other
  // argument. Throws OptionError for a missing or unusable value, and
  // MarkletError for a --file that cannot be read.
  bool Take(int argc, char** argv, int& i);
};

// For each command's --help: the usage of the shared options, one line for
// each of them, and what holds for all of them.
extern const char kControlOptionsUsage[];
extern const char kControlOptionsHelp[];
extern const char kControlOptionsNotes[];

// Creates the container's control, loaded from --bag when one is given, then
// makes the settings in the order a designer does: the surface values, the
// font, the properties, and the text (the built-in demo when neither --text,
// --file nor --bag gives one). A value out of its range is ignored by the
// control, as in a container: `warn` gets a line that names the option or
// the bag's key and the range, and the setting up goes on. Any other refusal
// throws MarkletError naming the option or file.
void SetUpControl(raster::RasterContainer& container, const ControlOptions& options,
                  const std::function<void(const std::string&)>& warn);

}  // namespace marklet::tools
