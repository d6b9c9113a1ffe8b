// What the trains window shows of a train: its strips' order, its text and its composition.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "state/simulation_data.h"

namespace traklin {

/// The rolling-stock pictures of the composition, in the order of their files.
enum class StockPicture {
  Loco80,     ///< "80.bmp": locomotive of type 2
  Loco2T116,  ///< "2T116.bmp": locomotive of type 5
  Car0432,    ///< "0432.bmp": passenger car
  Car300,     ///< "300.bmp": freight car
  ER9H,       ///< electric unit: head, motor, other middle and tail cars
  ER9M,
  ER9A,
  ER9T,
  D1H,  ///< diesel unit: head, middle and tail cars
  D1A,
  D1T,
  Count
};

/// The file name of a picture under the images directory ("80.bmp").
const char* StockPictureFile(StockPicture picture);

/// One element of a composition: a picture, or (with Text set) the car count of a long train.
struct CompositionItem {
  StockPicture Picture = StockPicture::Loco80;
  std::string Text;  ///< "~60~" in place of the middle cars; empty for a picture

  bool operator==(const CompositionItem&) const = default;
};

/// The pictures of a train from its head: a hauled train (locomotive 2 or 5) shows its
/// locomotive and its cars (the middle ones of a train of 12 cars or more as "~N~"), a
/// multiple unit (3 electric, 4 diesel) one picture per car; other locomotives show nothing.
std::vector<CompositionItem> TrainComposition(const TTrainData& train);

/// The trains with a strip: in the district and not being made up, ordered by number.
std::vector<int> TrainsWithStrip(const SimulationData& sim);

/// The train's text for the letters given: n name, l route, p speed and kilometre, d arrival
/// point, t the working figures. Decimals always use '.', durations read "hh:mm:ss".
std::string TrainInfoText(const SimulationData& sim, int i, std::string_view letters);

}  // namespace traklin
