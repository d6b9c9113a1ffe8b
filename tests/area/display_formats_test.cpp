// Track names, station name parts, LP names, hexadecimal numbers, clock faces and dates.
#include <gtest/gtest.h>

#include <cmath>
#include <stdexcept>
#include <string>

#include "area/area_queries.h"
#include "area/date_time.h"
#include "query_districts.h"

namespace traklin {
namespace {

TDateTime At(int h, int m, int s = 0, int ms = 0) {
  return EncodeDate(2024, 3, 5) + (h * 3600000.0 + m * 60000.0 + s * 1000.0 + ms) / 86400000.0;
}

struct TextCase {
  int input;
  const char* text;
};

TEST(FormatTrackName, DecimalRomanAndLetters) {
  const TextCase cases[] = {
      {5, "5"},      {205, "5Б"},    {1012, "XII"}, {1312, "XIIВ"}, {1014, "XIV"},
      {1019, "XIX"}, {1040, "XXXX"}, {0, "0"},      {1001, "I"},    {1004, "IV"},
      {1005, "V"},   {1009, "IX"},   {1010, "X"},   {1008, "VIII"}, {1020, "XX"},
      {14, "14"},    {112, "12А"},   {912, "12К"},  {1912, "XIIК"}, {1012 + 1000, "XII"},
      {1000, ""},    {701, "1П"},    {99, "99"},
  };
  for (const TextCase& c : cases) EXPECT_EQ(FormatTrackName(c.input), c.text) << c.input;
}

TEST(FormatHexNumber, UpperCaseWithLeadingZeroAndSuffix) {
  const TextCase cases[] = {
      {255, "0FFh"}, {0, "0h"}, {16, "010h"}, {1, "01h"}, {-7, "0h"}, {0xABC, "0ABCh"},
  };
  for (const TextCase& c : cases) EXPECT_EQ(FormatHexNumber(c.input), c.text) << c.input;
}

// Station names: 1 plain, 2 one group, 3 two groups, 4 a group followed by a tail.
TAreaData NamedDistrict() {
  TAreaData area;
  area.Stations = {{"", 0},
                   {"Озёрная", 1},
                   {"Узел(Ч/Н/Пасс/Груз)", 2},
                   {"Узел(а/б/в/г)(д/е/ж/з)", 3},
                   {"Пост(1/2/3/4)хвост", 4}};
  return area;
}

TEST(StationNamePart, PlainAndGroupedNames) {
  const TAreaData area = NamedDistrict();
  struct Case {
    int code, part;
    const char* text;
  };
  const Case cases[] = {
      {1, 1, "Озёрная"}, {1, 2, "Озёрная"},  {1, 5, "Озёрная"},  {2, 1, "Узел"},  {2, 2, "УзелЧ"},
      {2, 3, "УзелН"},   {2, 4, "УзелПасс"}, {2, 5, "УзелГруз"}, {3, 1, "Узел"},  {3, 2, "Узелад"},
      {3, 3, "Узелбе"},  {3, 5, "Узелгз"},   {4, 1, "Пост"},     {4, 4, "Пост3"}, {0, 2, ""},
      {9, 2, ""},        {-1, 2, ""},        {2, 0, "Узел"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(StationNamePart(area, c.code, c.part), c.text) << c.code << "/" << c.part;
  }
}

TEST(LPName, StationsByMnemonicOthersByStationName) {
  TAreaData area = NamedDistrict();
  area.StationCount = 1;
  test::AddLP(area, 1);
  test::AddLP(area, 2);
  area.LPMnemNames = {"ОЗР"};
  EXPECT_EQ(LPName(area, 0), "ОЗР");
  EXPECT_EQ(LPName(area, 1), "УзелЧ");
  EXPECT_EQ(LPName(area, 2), "");
  EXPECT_EQ(LPName(area, -1), "");
  EXPECT_EQ(DSPName(area, 0), "ДСП ОЗР");
  EXPECT_EQ(DSPName(area, 1), "ДСП УзелЧ");
  area.LPMnemNames.clear();
  EXPECT_EQ(LPName(area, 0), "");
}

TEST(TimeFromHHMM, HoursAndMinutes) {
  EXPECT_DOUBLE_EQ(TimeFromHHMM(1330), 13.5 / 24);
  EXPECT_DOUBLE_EQ(TimeFromHHMM(0), 0.0);
  EXPECT_DOUBLE_EQ(TimeFromHHMM(2359), 23.0 / 24 + 59.0 / 1440);
  EXPECT_DOUBLE_EQ(TimeFromHHMM(5), 5.0 / 1440);
}

TEST(DateFromYearMMDD, CalendarDate) {
  EXPECT_DOUBLE_EQ(DateFromYearMMDD(2024, 305), EncodeDate(2024, 3, 5));
  EXPECT_DOUBLE_EQ(DateFromYearMMDD(2024, 1231), EncodeDate(2024, 12, 31));
  EXPECT_DOUBLE_EQ(DateFromYearMMDD(2024, 229), EncodeDate(2024, 2, 29));
}

TEST(DateFromYearMMDD, ImpossibleDateThrowsOrIsEmpty) {
  for (int mmdd : {230, 1301, 0, 1232, 100}) {
    EXPECT_THROW(DateFromYearMMDD(2023, mmdd), std::invalid_argument) << mmdd;
    EXPECT_FALSE(TryDateFromYearMMDD(2023, mmdd).has_value()) << mmdd;
  }
  EXPECT_FALSE(TryDateFromYearMMDD(2023, 229).has_value());
  EXPECT_TRUE(TryDateFromYearMMDD(2024, 229).has_value());
}

struct ClockCase {
  TDateTime time;
  const char* text;
};

TEST(FormatClock, HoursAndMinutes) {
  const ClockCase cases[] = {
      {At(9, 5), " 9:05"},       {At(12, 30), "12:30"}, {At(0, 0), " 0:00"},
      {At(23, 59, 59), "23:59"}, {At(10, 0), "10:00"},
  };
  for (const ClockCase& c : cases) EXPECT_EQ(FormatClock(false, c.time), c.text) << c.text;
}

TEST(FormatClock, MinutesOnly) {
  EXPECT_EQ(FormatClock(true, At(0, 7)), " 7 мин.");
  EXPECT_EQ(FormatClock(true, At(0, 45)), "45 мин.");
  EXPECT_EQ(FormatClock(true, At(2, 3)), " 3 мин.");
}

TEST(FormatClock, MillisecondsRoundToNextMinute) {
  EXPECT_EQ(FormatClock(false, At(12, 29, 59, 999) + 0.6 / 86400000.0), "12:30");
}

TEST(FormatBlinkClock, ColonInFirstHalfOfSecondBlankInSecond) {
  const ClockCase cases[] = {
      {At(12, 30, 0, 400), "12:30"}, {At(12, 30, 0, 600), "12 30"}, {At(12, 30, 0, 499), "12:30"},
      {At(12, 30, 0, 500), "12 30"}, {At(9, 5, 10, 0), " 9:05"},    {At(9, 5, 10, 750), " 9 05"},
  };
  for (const ClockCase& c : cases) EXPECT_EQ(FormatBlinkClock(c.time), c.text) << c.text;
}

TEST(IsSecondHalf, FromHalfASecondOn) {
  EXPECT_FALSE(IsSecondHalf(At(1, 0, 0, 0)));
  EXPECT_FALSE(IsSecondHalf(At(1, 0, 0, 499)));
  EXPECT_TRUE(IsSecondHalf(At(1, 0, 0, 500)));
  EXPECT_TRUE(IsSecondHalf(At(1, 0, 0, 999)));
  // The half-second simulation step lands on .500 within rounding.
  EXPECT_TRUE(IsSecondHalf(At(1, 0, 0) + 0.5 / 86400.0));
}

TEST(FormatDayMonth, DayBlankPaddedMonthTwoDigits) {
  EXPECT_EQ(FormatDayMonth(EncodeDate(2024, 3, 5)), " 5.03");
  EXPECT_EQ(FormatDayMonth(EncodeDate(2024, 12, 31) + 0.99), "31.12");
  EXPECT_EQ(FormatDayMonth(EncodeDate(2024, 10, 10)), "10.10");
}

}  // namespace
}  // namespace traklin
