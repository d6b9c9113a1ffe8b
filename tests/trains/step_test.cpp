// A train under the whole simulation step: routes ordered, assembled and released by the
// interlocking, signals opened by it, the train run through the district.
#include <gtest/gtest.h>

#include "state/clock.h"
#include "state/interlocking.h"
#include "trains/station_messages.h"
#include "trains/stops.h"
#include "trains/test_line.h"

namespace traklin::test {
namespace {

// Even direction runs to the right.
//
//   A (1)                  peregon 0                B (2)              peregon 1   C (3)
//   [1]-[2 A/I]>|-[3]-[4]--[5]--[6]>|-[7]-[8 B/I]>|-[9]-[11]>|-[12 C/I]>|-[13]
const char* kLine = R"(
station 1 Alfa 1 15
station 2 Beta 1 12
station 3 Gamma 1 9
section 1 500
section 2 1200
section 3 300
section 4 1500
section 5 1500
section 6 1500
section 7 300
section 8 1200
section 9 300
section 11 2000
section 12 1200
section 13 500
chain 1 2 3 4 5 6 7 8 9 11 12 13
track 1 2 1 3 0
track 2 8 1 3 0
track 3 12 1 3 0
signal 2 0 1
signal 6 0 0
signal 8 0 1
signal 11 0 0
signal 12 0 1
peregon 2 1 6 4 150 152
peregon 3 2 11 11 154 156
route 1 0 2 3
route 2 0 6 7 8
route 2 0 8 9
route 3 0 11 12
pass 2 3
stop 0 1 0 1201 0
stop 0 2 1210 1212 0
stop 0 3 1220 1221 0
)";

TEST(SimulationStep, TrainRunsOnRoutesSetByTheInterlockingAndIsDisbanded) {
  TestLine line(kLine);
  line.Sim.State.ClockTime = 45000.5;
  line.Sim.LastSaveTime = line.Sim.State.ClockTime;
  const int i = line.AddTrain(2, 100, 10, 300, 1000, 2, 0, 1, 3);
  EnterLP(line.Sim, i, 1);
  line.Place(i, 1, 0);
  ASSERT_TRUE(OrderRoute(line.Sim, line.LPIndex(1), 0));
  ASSERT_TRUE(OrderRoute(line.Sim, line.LPIndex(2), 0));
  ASSERT_TRUE(OrderRoute(line.Sim, line.LPIndex(2), 1));
  ASSERT_TRUE(OrderRoute(line.Sim, line.LPIndex(3), 0));

  int steps = 0;
  while (!line.Sim.State.Trains.empty() && steps < 8000) {
    line.Sim.SimulationStep(kStepLength);
    ++steps;
  }
  ASSERT_TRUE(line.Sim.State.Trains.empty()) << "still there after " << steps << " steps";
  EXPECT_TRUE(line.Console.Notes.empty()) << line.Console.Notes.front();
  ASSERT_EQ(line.Console.Infos.size(), 4u);
  EXPECT_EQ(line.Console.Infos[1].Caption, "ДСП Beta");
  EXPECT_EQ(line.Console.Infos[2].Text, "Поезд № 2 отправился в 12 мин.");
  // Every route the train ran over has returned to free.
  for (int code : {1, 2, 3}) {
    const int lp = line.LPIndex(code);
    for (std::size_t r = 0; r < line.Sim.State.Routes[lp].size(); ++r) {
      EXPECT_FALSE(line.Sim.State.Routes[lp][r].SCHUNTED) << code << "-" << r;
      EXPECT_EQ(line.Sim.State.Routes[lp][r].TASKED, 0) << code << "-" << r;
    }
  }
  for (int s = 1; s <= 13; ++s) {
    EXPECT_EQ(line.Sim.State.Sects[s].ROUTE_EVEN, -1) << s;
    EXPECT_EQ(line.Sim.State.Sects[s].ROUTE_ODD, -1) << s;
  }
}

}  // namespace
}  // namespace traklin::test
