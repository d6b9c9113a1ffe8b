// The clock's initial date from the district's base year and today's date.
#include <gtest/gtest.h>

#include <stdexcept>

#include "area/date_time.h"
#include "state/clock.h"

namespace traklin {
namespace {

struct StartCase {
  const char* scenario;
  int baseYear, month, day;
  int year, expectedMonth, expectedDay;
};

TEST(StartClockTimeTest, YearFollowsTheBaseYearAndTheMonth) {
  const StartCase cases[] = {
      {"before June: the next year", 2010, 3, 15, 2011, 3, 15},
      {"January", 2010, 1, 1, 2011, 1, 1},
      {"May is still before June", 2010, 5, 31, 2011, 5, 31},
      {"June: the base year", 2010, 6, 15, 2010, 6, 15},
      {"December", 2010, 12, 31, 2010, 12, 31},
      {"29 February in a leap year stays", 2011, 2, 29, 2012, 2, 29},
      {"29 February without a leap day becomes 28 February", 2010, 2, 29, 2011, 2, 28},
      {"century year without a leap day", 2099, 2, 29, 2100, 2, 28},
  };
  for (const StartCase& c : cases) {
    SCOPED_TRACE(c.scenario);
    const TDateTime t = StartClockTime(c.baseYear, c.month, c.day);
    EXPECT_EQ(t, EncodeDate(c.year, c.expectedMonth, c.expectedDay));  // midnight
  }
}

TEST(StartClockTimeTest, YearOutsideTheCalendarIsAnError) {
  EXPECT_THROW(StartClockTime(9999, 3, 1), std::invalid_argument);
  EXPECT_THROW(StartClockTime(0, 7, 1), std::invalid_argument);
  EXPECT_THROW(StartClockTime(65535, 3, 1), std::invalid_argument);
}

}  // namespace
}  // namespace traklin
