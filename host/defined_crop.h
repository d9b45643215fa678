// run --crop in kvhost: the Trapezoid plug-in's own settings, which say where its result is
// defined.
#pragma once

#include <cstdint>

#include "cli/defined_crop.h"
#include "platform/win32.h"

// The settings of the plug-in's [Trapezoid] section, in the settings file beside it, that say
// where a result is defined; a missing file or key reads as 0, a lens outside 8..800 as 28.
[[nodiscard]] TrapezoidGeometrySettings ReadGeometrySettings(HMODULE plugin);
