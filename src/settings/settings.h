// The user's preferences (Traklin.ini).
#pragma once

namespace traklin {

/// The settings record; every subsystem reads it directly.
struct TSettings {
  bool GidEnabled = false;
  bool ShowAllBlockSect = false;
  bool RestoreTimeScaleAtMsg = false;
  bool RestoreTimeScaleAtRings = false;
};

}  // namespace traklin
