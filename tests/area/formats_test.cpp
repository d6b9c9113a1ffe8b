// Track names, station name parts, LP names, hexadecimal numbers, clock faces and dates.
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <utility>

#include "area/area_queries.h"
#include "area/date_time.h"
#include "area_builder.h"

namespace traklin::test {
namespace {

TDateTime At(int h, int m, int s = 0, int ms = 0) {
  return EncodeDate(2024, 3, 5) + (h * 3600000.0 + m * 60000.0 + s * 1000.0 + ms) / 86400000.0;
}

TEST(FormatTest, TrackNamesAreDecimalOrRomanWithLetters) {
  const std::pair<int, const char*> rows[] = {
      {5, "5"},       {205, "5Б"},    {1012, "XII"}, {1312, "XIIВ"}, {1014, "XIV"}, {1019, "XIX"},
      {1040, "XXXX"}, {0, "0"},       {1001, "I"},   {1004, "IV"},   {1005, "V"},   {1009, "IX"},
      {1010, "X"},    {1008, "VIII"}, {1020, "XX"},  {14, "14"},     {112, "12А"},  {912, "12К"},
      {1912, "XIIК"}, {2012, "XII"},  {1000, ""},    {701, "1П"},    {99, "99"}};
  for (const auto& [code, text] : rows) EXPECT_EQ(FormatTrackName(code), text) << code;
}

TEST(FormatTest, HexNumbersAreUpperCaseWithLeadingZeroAndSuffix) {
  const std::pair<int, const char*> rows[] = {{255, "0FFh"}, {0, "0h"},  {16, "010h"},
                                              {1, "01h"},    {-7, "0h"}, {0xABC, "0ABCh"}};
  for (const auto& [n, text] : rows) EXPECT_EQ(FormatHexNumber(n), text) << n;
}

TEST(FormatTest, StationNamePartsAndLPNames) {
  // Names: 1 plain, 2 one group, 3 two groups, 4 a group followed by a tail.
  AreaBuilder b(2);
  b.a.Stations = {{"", 0},
                  {"Озёрная", 1},
                  {"Узел(Ч/Н/Пасс/Груз)", 2},
                  {"Узел(а/б/в/г)(д/е/ж/з)", 3},
                  {"Пост(1/2/3/4)хвост", 4}};
  struct Row {
    int code, part;
    const char* text;
  };
  const Row rows[] = {{1, 1, "Озёрная"}, {1, 2, "Озёрная"}, {1, 5, "Озёрная"},  {2, 1, "Узел"},
                      {2, 2, "УзелЧ"},   {2, 3, "УзелН"},   {2, 4, "УзелПасс"}, {2, 5, "УзелГруз"},
                      {3, 1, "Узел"},    {3, 2, "Узелад"},  {3, 3, "Узелбе"},   {3, 5, "Узелгз"},
                      {4, 1, "Пост"},    {4, 4, "Пост3"},   {0, 2, ""},         {9, 2, ""},
                      {-1, 2, ""},       {2, 0, "Узел"}};
  for (const Row& r : rows)
    EXPECT_EQ(StationNamePart(b.a, r.code, r.part), r.text) << r.code << "/" << r.part;
  // Stations go by their mnemonic name, other LPs by part 2 of their station name.
  b.a.StationCount = 1;
  b.a.LPMnemNames = {"ОЗР"};
  for (int code : {1, 2}) b.AddLP(code);
  for (const auto& [lp, name] : {std::pair{0, "ОЗР"}, {1, "УзелЧ"}, {2, ""}, {-1, ""}})
    EXPECT_EQ(LPName(b.a, lp), name) << lp;
  EXPECT_EQ(DSPName(b.a, 0), "ДСП ОЗР");
  EXPECT_EQ(DSPName(b.a, 1), "ДСП УзелЧ");
  b.a.LPMnemNames.clear();
  EXPECT_EQ(LPName(b.a, 0), "");
}

TEST(FormatTest, TimesAndDatesFromTheirFileForms) {
  EXPECT_DOUBLE_EQ(TimeFromHHMM(1330), 13.5 / 24);
  EXPECT_DOUBLE_EQ(TimeFromHHMM(0), 0.0);
  EXPECT_DOUBLE_EQ(TimeFromHHMM(2359), 23.0 / 24 + 59.0 / 1440);
  EXPECT_DOUBLE_EQ(TimeFromHHMM(5), 5.0 / 1440);
  EXPECT_DOUBLE_EQ(DateFromYearMMDD(2024, 305), EncodeDate(2024, 3, 5));
  EXPECT_DOUBLE_EQ(DateFromYearMMDD(2024, 1231), EncodeDate(2024, 12, 31));
  EXPECT_DOUBLE_EQ(DateFromYearMMDD(2024, 229), EncodeDate(2024, 2, 29));
  for (int mmdd : {230, 1301, 0, 1232, 100}) {
    EXPECT_THROW(DateFromYearMMDD(2023, mmdd), std::invalid_argument) << mmdd;
    EXPECT_FALSE(TryDateFromYearMMDD(2023, mmdd).has_value()) << mmdd;
  }
  EXPECT_FALSE(TryDateFromYearMMDD(2023, 229).has_value());
  EXPECT_TRUE(TryDateFromYearMMDD(2024, 229).has_value());
}

TEST(FormatTest, ClockFaces) {
  const std::pair<TDateTime, const char*> clock[] = {
      {At(9, 5), " 9:05"},
      {At(12, 30), "12:30"},
      {At(0, 0), " 0:00"},
      {At(23, 59, 59), "23:59"},
      {At(10, 0), "10:00"},
      {At(12, 29, 59, 999) + 0.6 / 86400000.0, "12:30"}};  // milliseconds round to a minute
  for (const auto& [t, text] : clock) EXPECT_EQ(FormatClock(false, t), text) << text;
  const std::pair<TDateTime, const char*> minutes[] = {
      {At(0, 7), " 7 мин."}, {At(0, 45), "45 мин."}, {At(2, 3), " 3 мин."}};
  for (const auto& [t, text] : minutes) EXPECT_EQ(FormatClock(true, t), text) << text;
  // The colon shows in the first half of a second, a blank in the second.
  const std::pair<TDateTime, const char*> blink[] = {
      {At(12, 30, 0, 400), "12:30"}, {At(12, 30, 0, 600), "12 30"}, {At(12, 30, 0, 499), "12:30"},
      {At(12, 30, 0, 500), "12 30"}, {At(9, 5, 10, 0), " 9:05"},    {At(9, 5, 10, 750), " 9 05"}};
  for (const auto& [t, text] : blink) EXPECT_EQ(FormatBlinkClock(t), text) << text;
  for (const auto& [ms, second] : {std::pair{0, false}, {499, false}, {500, true}, {999, true}})
    EXPECT_EQ(IsSecondHalf(At(1, 0, 0, ms)), second) << ms;
  // The half-second simulation step lands on .500 within rounding.
  EXPECT_TRUE(IsSecondHalf(At(1, 0, 0) + 0.5 / 86400.0));
  EXPECT_EQ(FormatDayMonth(EncodeDate(2024, 3, 5)), " 5.03");
  EXPECT_EQ(FormatDayMonth(EncodeDate(2024, 12, 31) + 0.99), "31.12");
  EXPECT_EQ(FormatDayMonth(EncodeDate(2024, 10, 10)), "10.10");
}

}  // namespace
}  // namespace traklin::test
