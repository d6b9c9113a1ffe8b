// The trains window "Поезда": one strip per train with its text, composition and speed chart.
#pragma once

#include <QElapsedTimer>
#include <QImage>
#include <QWidget>
#include <array>
#include <filesystem>

#include "state/simulation_data.h"
#include "views/train_view.h"

namespace traklin {

class PictureView;

/// Strip geometry: each strip is 165 pixels high; the bottom 15 hold the signal band, the
/// chart's baseline (0 km/h) lies just above them.
inline constexpr int kStripHeight = 165;
inline constexpr int kStripBaseline = kStripHeight - 1 - 15;
inline constexpr int kSignalBandY = kStripHeight - 1 - 7;
/// Tops of the strip's two text lines, 25 pixels apart, high above the curves of all but the
/// fastest trains; the composition follows the first line, centred in its 25 pixels.
inline constexpr int kStripTextLine1 = 2;
inline constexpr int kStripTextLine2 = kStripTextLine1 + 25;
inline constexpr int kCompositionTop = 0;
inline constexpr int kCompositionHeight = 25;

/// Colours of the signal band: the signal ahead was open, warning, closed, not in sight.
inline constexpr QRgb kBandGreen = 0xFF00C000;
inline constexpr QRgb kBandYellow = 0xFFFFFF00;
inline constexpr QRgb kBandRed = 0xFFFF0000;
inline constexpr QRgb kBandWhite = 0xFFFFFFFF;
/// Colours of the chart.
inline constexpr QRgb kStripBackground = 0xFFECE9D8;
inline constexpr QRgb kGridColor = 0xFFC8C4B0;
inline constexpr QRgb kSpeedColor = 0xFF0000FF;
inline constexpr QRgb kLimitColor = 0xFFC000C0;

/// The eleven rolling-stock pictures, made transparent where they show the colour of their
/// bottom-left pixel. A missing file gives an empty picture, drawn as nothing.
struct StockPictures {
  std::array<QImage, static_cast<std::size_t>(StockPicture::Count)> Images;
  /// Loads them from a directory ("../image").
  static StockPictures Load(const std::filesystem::path& directory);
  const QImage& operator[](StockPicture p) const { return Images[static_cast<std::size_t>(p)]; }
};

/// Strip width for a client width: 20 pixels less, rounded down to whole minutes (60 pixels).
int StripWidth(int clientWidth);

/// The strip of train i: grid, speed and limit curves over the last minutes of its speed log
/// (one pixel per second back from the right edge, one per km/h up from the baseline), the
/// signal band, and at the top its text and composition.
QImage DrawTrainStrip(const SimulationData& sim, int i, int width, const StockPictures& pictures);

/// Every strip of the window, one under the other, for a client width (the window's 1024 less
/// its frame by default); an empty district gives an image of one empty strip.
QImage RenderTrainsWindow(const SimulationData& sim, const StockPictures& pictures,
                          int clientWidth = 1008);

/// The window. It only reads the simulation.
class TfmTrains : public QWidget {
  Q_OBJECT

 public:
  explicit TfmTrains(const SimulationData& sim,
                     const std::filesystem::path& imageDirectory = "../image",
                     QWidget* parent = nullptr);

  /// From the main timer tick: redraws when a second of real time (monotonic) has passed since
  /// the last refresh, whatever the time scale.
  void RefreshTrains();
  /// Redraws at once (on showing the window).
  void Redraw();

  PictureView* View() const { return view_; }

 protected:
  void showEvent(QShowEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  const SimulationData& sim_;
  StockPictures pictures_;
  PictureView* view_;
  QElapsedTimer lastRefresh_;
};

}  // namespace traklin
