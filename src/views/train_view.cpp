// What the trains window shows of a train: its strips' order, its text and its composition.
#include "views/train_view.h"

#include <fmt/format.h>

#include <algorithm>
#include <cmath>

#include "area/area_queries.h"
#include "trains/train_records.h"

namespace traklin {

const char* StockPictureFile(StockPicture picture) {
  static constexpr const char* kFiles[] = {"80.bmp",   "2T116.bmp", "0432.bmp", "300.bmp",
                                           "ER9H.bmp", "ER9M.bmp",  "ER9A.bmp", "ER9T.bmp",
                                           "D1H.bmp",  "D1A.bmp",   "D1T.bmp"};
  const auto k = static_cast<std::size_t>(picture);
  return k < std::size(kFiles) ? kFiles[k] : "";
}

std::vector<CompositionItem> TrainComposition(const TTrainData& train) {
  std::vector<CompositionItem> items;
  const int cars = std::max(0, train.CARS);
  switch (train.LOCO_IDX) {
    case 2:
    case 5: {
      items.push_back({train.LOCO_IDX == 2 ? StockPicture::Loco80 : StockPicture::Loco2T116, {}});
      const StockPicture car = train.LOAD_TYPE < 100 ? StockPicture::Car300 : StockPicture::Car0432;
      if (cars >= 12) {
        items.insert(items.end(), 5, CompositionItem{car, {}});
        items.push_back({car, "~" + std::to_string(cars) + "~"});
        items.insert(items.end(), 5, CompositionItem{car, {}});
      } else {
        items.insert(items.end(), static_cast<std::size_t>(cars), CompositionItem{car, {}});
      }
      break;
    }
    case 3: {
      const int half = cars / 2;
      for (int k = 0; k < cars; ++k) {
        StockPicture p = StockPicture::ER9A;
        if (k == 0) {
          p = StockPicture::ER9H;
        } else if (k == cars - 1) {
          p = StockPicture::ER9T;
        } else if ((k < half && k % 2 == 1) || (k >= half && k % 2 == 0)) {
          p = StockPicture::ER9M;
        }
        items.push_back({p, {}});
      }
      break;
    }
    case 4:
      for (int k = 0; k < cars; ++k) {
        StockPicture p = StockPicture::D1A;
        if (k % 4 == 0) {
          p = StockPicture::D1H;
        } else if (k == cars - 1 || k % 4 == 3) {
          p = StockPicture::D1T;
        }
        items.push_back({p, {}});
      }
      break;
    default:
      break;
  }
  return items;
}

std::vector<int> TrainsWithStrip(const SimulationData& sim) {
  const TTrainsData& trains = sim.State.Trains;
  std::vector<int> list;
  for (int i = 0; i < static_cast<int>(trains.size()); ++i) {
    if (trains[i].HEAD.SECT_IDX > 0 && trains[i].PLACE_TIME == 0) list.push_back(i);
  }
  std::stable_sort(list.begin(), list.end(),
                   [&](int a, int b) { return trains[a].NUMBER < trains[b].NUMBER; });
  return list;
}

std::string TrainInfoText(const SimulationData& sim, int i, std::string_view letters) {
  if (!ValidTrain(sim, i)) return {};
  const TAreaData& area = sim.AreaData;
  const TTrainData& t = sim.State.Trains[i];
  const auto has = [&](char c) { return letters.find(c) != std::string_view::npos; };
  std::string text;
  if (has('n')) text += TrainName(sim, i, 3) + " ";
  if (has('l')) {
    text += StationNamePart(area, t.PLAN_CREATION_LP_CODE, 2) + " -- " +
            StationNamePart(area, t.PLAN_ARRIVAL_LP_CODE, 2) + " ";
  }
  if (has('p')) {
    text += fmt::format(" V={:.2f}", t.SPEED * 3.6);
    std::string km = fmt::format("{:.1f}", t.LOCO_POS / 1000.0);
    // A position a few metres below zero rounds to a zero that keeps its sign.
    if (km == "-0.0") km = "0.0";
    text += " Km=" + km;
  }
  if (has('d')) text += " LPd=" + std::to_string(t.ARRIVAL_LP_CODE);
  if (has('t')) {
    text += " LPs=" + std::to_string(t.STOP_LP_CODE);
    text += " stop=" + std::to_string(t.SCHEDULE_IDX);
    text += " LP=" + std::to_string(t.HEAD.LP_CODE);
    if (t.HEAD.LP_CODE > 0) text += "=" + LPName(area, FindLPIndex(area, t.HEAD.LP_CODE));
    text += " Sect=" + FormatHexNumber(t.HEAD.SECT_IDX);
    text += " Rt=" + std::to_string(t.HEAD.ROUTE_IDX);
    const int metres = ValidSection(area, t.HEAD.SECT_IDX)
                           ? RoomToSectionEnd(sim, t.HEAD.SECT_IDX, t.HEAD.SECT_POS, t.HEAD.DIR)
                           : 0;
    text += " Metr=" + std::to_string(metres);
    text += " Tons=" + std::to_string(t.WEIGHT);
    text += " prgn=" + std::to_string(t.HEAD.PEREGON_IDX + 1);
    const int p = t.HEAD.PEREGON_IDX;
    if (p >= 0 && p < static_cast<int>(area.GraphPeregons.size())) {
      const TGraphPeregonData& gp = area.GraphPeregons[p];
      if (gp.LP[0] > 0 && gp.LP[1] > 0)
        text += "=" + LPName(area, gp.LP[0] - 1) + ".." + LPName(area, gp.LP[1] - 1);
    }
    const int s = t.SEMAPH_NEXT_IDX;
    if (s >= 0 && s < static_cast<int>(sim.State.Semaphores.size()))
      text += " SectSm=" + FormatHexNumber(sim.State.Semaphores[s].SECT_NEXT);
    if (t.DEPARTURE_TIME > sim.State.ClockTime) {
      const long seconds = std::lround((t.DEPARTURE_TIME - sim.State.ClockTime) * 86400.0);
      text +=
          fmt::format(" Stay={:02}:{:02}:{:02}", seconds / 3600, seconds / 60 % 60, seconds % 60);
    }
  }
  return text;
}

}  // namespace traklin
