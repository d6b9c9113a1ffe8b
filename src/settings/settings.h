// The user's preferences (Traklin.ini).
#pragma once

namespace traklin {

/// The settings record; every subsystem reads it directly.
struct TSettings {
  bool GidEnabled = false;
  bool ShowAllBlockSect = false;
  bool RestoreTimeScaleAtMsg = false;
  bool RestoreTimeScaleAtRings = false;
  int ReapplyPutRequestPauseMin = 6;
  int ReapplySameRequestPauseMin = 6;
  bool NotifiesFromControlled = false;
  bool NotifiesFromPosts = false;
  bool NotifiesOfUnplannedStops = true;
};

}  // namespace traklin
