// Ring sounds: "../sound/ring" + N + ".wav", played asynchronously.
#pragma once

#include <QObject>
#include <filesystem>

class QSoundEffect;

namespace traklin {

/// The file of ring number n (not checked for existence).
std::filesystem::path RingFile(int n);

class RingPlayer : public QObject {
  Q_OBJECT

 public:
  explicit RingPlayer(QObject* parent = nullptr);

  /// The ring played for a negative number; -1 = none.
  int DefaultRing = -1;

  /// Plays ring n, or the default ring when n is negative. Nothing is played when there is no
  /// ring to play or its file is missing. Returns whether playback started.
  bool Play(int n);

 private:
  QSoundEffect* sound_ = nullptr;  ///< created on the first ring
};

}  // namespace traklin
