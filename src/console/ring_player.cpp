// Ring sounds: "../sound/ring" + N + ".wav", played asynchronously.
#include "console/ring_player.h"

#include <QSoundEffect>
#include <QUrl>
#include <string>
#include <system_error>

namespace traklin {

std::filesystem::path RingFile(int n) {
  return std::filesystem::path("../sound") / ("ring" + std::to_string(n) + ".wav");
}

RingPlayer::RingPlayer(QObject* parent) : QObject(parent) {}

bool RingPlayer::Play(int n) {
  const int ring = n < 0 ? DefaultRing : n;
  if (ring < 0) return false;
  const std::filesystem::path file = RingFile(ring);
  std::error_code ec;
  if (!std::filesystem::is_regular_file(file, ec)) return false;
  if (sound_ == nullptr) sound_ = new QSoundEffect(this);
  sound_->stop();
  sound_->setSource(
      QUrl::fromLocalFile(QString::fromStdString(std::filesystem::absolute(file, ec).string())));
  sound_->play();
  return true;
}

}  // namespace traklin
