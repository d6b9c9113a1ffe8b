// Two stations ordering exits onto one single line at the same moment: only one gets it.
#include <gtest/gtest.h>

#include "state/interlocking.h"
#include "trains/harness.h"

namespace traklin {
namespace {

using test::TestLine;

// Alfa and Beta, both without a duty officer, joined by one peregon; each has one exit onto it.
//
//   Alfa (1)                 peregon                 Beta (2)
//   [1]-[2 A/I]-->|[3]---------[4]---------[5]|<--[6 B/I]-[7]
//                  even exit signal on 3    odd exit signal on 5
const char* const kTwoStations = R"(
station 1 Alfa 0 15; station 2 Beta 0 12
sections 500 1 7; sections 1200 2 6; sections 1500 3 4 5
chain 1 2 3 4 5 6 7
track 1 2 1 3 0; track 2 6 1 3 0
signal 3 0 0; signal 5 1 0
peregon 2 1 5 3 150 152
route 1 0 2 3; route 2 1 6 5
)";

struct OpposingExitsTest : ::testing::Test {
  TestLine line{kTwoStations};
  int alfa = line.LPIndex(1), beta = line.LPIndex(2);

  OpposingExitsTest() {
    // Both exit signals stand at the ends of the same peregon.
    for (TSemaphoreData& g : line.Sim.AreaData.Semaphores) g.Next = 1;
  }
  void Steps(int n) {
    for (int k = 0; k < n; ++k) UpdateRoutes(line.Sim);
  }
};

TEST_F(OpposingExitsTest, ExitOrderedAloneIsSet) {
  ASSERT_TRUE(OrderRoute(line.Sim, beta, 0));
  Steps(10);
  EXPECT_TRUE(RouteIsSet(line.Sim, beta, 0));
}

TEST_F(OpposingExitsTest, ExitsOrderedTogetherGiveTheLineToTheFirstToLockAndTheOtherWaits) {
  ASSERT_TRUE(OrderRoute(line.Sim, alfa, 0));
  ASSERT_TRUE(OrderRoute(line.Sim, beta, 0));
  Steps(10);
  EXPECT_TRUE(RouteIsSet(line.Sim, alfa, 0));
  EXPECT_FALSE(RouteIsSet(line.Sim, beta, 0));
  EXPECT_TRUE(RouteIsPending(line.Sim, beta, 0));
  // Once Alfa's exit is cancelled and released, Beta's is assembled.
  ASSERT_TRUE(CancelRoute(line.Sim, alfa, 0));
  Steps(20);
  EXPECT_FALSE(RouteIsSet(line.Sim, alfa, 0));
  EXPECT_TRUE(RouteIsSet(line.Sim, beta, 0));
}

TEST_F(OpposingExitsTest, AnExitAlreadyAssemblingKeepsTheLineAgainstALaterLowerStation) {
  ASSERT_TRUE(OrderRoute(line.Sim, beta, 0));
  Steps(1);
  ASSERT_FALSE(RouteIsSet(line.Sim, beta, 0));
  ASSERT_TRUE(OrderRoute(line.Sim, alfa, 0));
  Steps(10);
  EXPECT_TRUE(RouteIsSet(line.Sim, beta, 0));
  EXPECT_TRUE(RouteIsPending(line.Sim, alfa, 0));
}

}  // namespace
}  // namespace traklin
