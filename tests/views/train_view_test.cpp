// What the trains window shows of a train: composition, text lines and the order of strips.
#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "area/date_time.h"
#include "views/train_view.h"

namespace traklin {
namespace {

using SP = StockPicture;

std::vector<CompositionItem> Pictures(std::initializer_list<SP> pictures) {
  std::vector<CompositionItem> items;
  for (SP p : pictures) items.push_back({p, {}});
  return items;
}

TEST(TrainCompositionTest, EachKindOfTrainShowsItsPictures) {
  std::vector<CompositionItem> freight60 =
      Pictures({SP::Loco80, SP::Car300, SP::Car300, SP::Car300, SP::Car300, SP::Car300});
  freight60.push_back({SP::Car300, "~60~"});
  for (int k = 0; k < 5; ++k) freight60.push_back({SP::Car300, {}});
  std::vector<CompositionItem> passenger11 = Pictures({SP::Loco2T116});
  passenger11.insert(passenger11.end(), 11, CompositionItem{SP::Car0432, {}});

  const struct {
    const char* name;
    int loco, cars, load;
    std::vector<CompositionItem> expected;
  } cases[] = {
      {"freight of 60 cars", 2, 60, 10, freight60},
      {"passenger of 11 cars", 5, 11, 100, passenger11},
      {"freight of 6 cars", 2, 6, 0,
       Pictures(
           {SP::Loco80, SP::Car300, SP::Car300, SP::Car300, SP::Car300, SP::Car300, SP::Car300})},
      {"electric unit of 6", 3, 6, 100,
       Pictures({SP::ER9H, SP::ER9M, SP::ER9A, SP::ER9A, SP::ER9M, SP::ER9T})},
      {"electric unit of 9", 3, 9, 100,
       Pictures({SP::ER9H, SP::ER9M, SP::ER9A, SP::ER9M, SP::ER9M, SP::ER9A, SP::ER9M, SP::ER9A,
                 SP::ER9T})},
      {"diesel unit of 9", 4, 9, 100,
       Pictures({SP::D1H, SP::D1A, SP::D1A, SP::D1T, SP::D1H, SP::D1A, SP::D1A, SP::D1T, SP::D1H})},
      {"diesel unit of 6", 4, 6, 100,
       Pictures({SP::D1H, SP::D1A, SP::D1A, SP::D1T, SP::D1H, SP::D1T})},
      {"not a real locomotive", 1, 20, 10, {}},
  };
  for (const auto& c : cases) {
    TTrainData t;
    t.LOCO_IDX = c.loco;
    t.CARS = c.cars;
    t.LOAD_TYPE = c.load;
    EXPECT_EQ(TrainComposition(t), c.expected) << c.name;
  }
}

class TrainTextTest : public ::testing::Test {
 protected:
  void SetUp() override {
    sim.AreaData.Stations = {{"-", 0}, {"Ясная", 1}, {"Kalna", 2}};
    sim.State.ClockTime = EncodeDate(2024, 3, 15) + 10 * kMinute / 60 * 60;
    TTrainData t;
    t.NUMBER = 2001;
    t.HEAD.DIR = 0;
    t.HEAD.SECT_IDX = 26;
    t.PLAN_CREATION_LP_CODE = 1;
    t.PLAN_ARRIVAL_LP_CODE = 2;
    t.ARRIVAL_LP_CODE = 7;
    t.STOP_LP_CODE = 3;
    t.SCHEDULE_IDX = 4;
    t.HEAD.ROUTE_IDX = -1;
    t.WEIGHT = 3600;
    t.SPEED = 12.5;
    t.LOCO_POS = 12345;
    sim.State.Trains.push_back(t);
  }
  SimulationData sim;
};

TEST_F(TrainTextTest, TheLettersChooseThePartsInTheirFixedOrder) {
  sim.State.Trains[0].DEPARTURE_TIME = sim.State.ClockTime + (3723 * kSecond);
  const struct {
    const char* letters;
    const char* text;
  } cases[] = {
      {"nl", "№ 2002 Ясная -- Kalna "},
      {"ln", "№ 2002 Ясная -- Kalna "},
      {"p", " V=45.00 Km=12.3"},
      {"d", " LPd=7"},
      {"t", " LPs=3 stop=4 LP=0 Sect=01Ah Rt=-1 Metr=0 Tons=3600 prgn=0 Stay=01:02:03"},
      {"", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(TrainInfoText(sim, 0, c.letters), c.text) << c.letters;
  EXPECT_EQ(TrainInfoText(sim, 5, "nl"), "");
}

TEST_F(TrainTextTest, TheKilometreHasOneDecimalAndAZeroNeverASign) {
  // LOCO_POS in metres -> the "p" text's kilometre.
  for (const auto& [metres, km] : {std::pair{-40, " Km=0.0"},
                                   {-1, " Km=0.0"},
                                   {0, " Km=0.0"},
                                   {40, " Km=0.0"},
                                   {-60, " Km=-0.1"},
                                   {-1250, " Km=-1.2"},
                                   {999, " Km=1.0"}}) {
    sim.State.Trains[0].LOCO_POS = metres;
    EXPECT_EQ(TrainInfoText(sim, 0, "p"), std::string(" V=45.00") + km) << metres;
  }
}

TEST_F(TrainTextTest, StripsAreTheTrainsInTheDistrictByNumber) {
  TTrainData outside = sim.State.Trains[0];
  outside.NUMBER = 1;
  outside.HEAD.SECT_IDX = 0;
  TTrainData makingUp = outside;
  makingUp.HEAD.SECT_IDX = 3;
  makingUp.PLACE_TIME = sim.State.ClockTime;
  TTrainData low = outside;
  low.NUMBER = 904;
  low.HEAD.SECT_IDX = 5;
  sim.State.Trains.push_back(outside);
  sim.State.Trains.push_back(makingUp);
  sim.State.Trains.push_back(low);
  EXPECT_EQ(TrainsWithStrip(sim), (std::vector<int>{3, 0}));
}

}  // namespace
}  // namespace traklin
