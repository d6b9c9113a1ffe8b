// The stations' journal: its lines for reports and answered questions, and its bound.
#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "area/date_time.h"
#include "views/station_journal.h"

namespace traklin {
namespace {

using Lines = std::vector<std::string>;

// 15 March 2024 at hh:mm:ss plus a fraction of a second.
TDateTime At(int h, int m, int s, double fraction = 0) {
  return EncodeDate(2024, 3, 15) + (h * 3600 + m * 60 + s + fraction) * kSecond;
}

TEST(StationJournalTest, LinesShowTimeCaptionFoldedTextAndWhoAnswered) {
  StationJournal journal;
  journal.AddReport(At(9, 5, 7), "ДСП Сосновка", "Поезд № 2001 прибыл в  5 мин.");
  journal.AddReport(At(9, 6, 0, 0.5), "ДСП Сосновка",
                    "Жду освобождения пути,\r\nчтобы принять поезд № 2001");
  journal.AddQuestion(At(9, 17, 42), "ДСП Ключевая", "Принять поезд № 2003 на I путь?", true,
                      AnswerSource::Auto);
  journal.AddQuestion(At(9, 18, 0), "ДСП Ключевая",
                      "Поезд № 2003 к отправлению готов. \r\nОтправить с I пути?", false,
                      AnswerSource::Auto);
  journal.AddQuestion(At(23, 59, 59, 0.5), "ДСП Озерки", "Разрешается отправление поезда № 3?",
                      true, AnswerSource::Dispatcher);
  journal.AddQuestion(At(0, 0, 1), "ДСП Озерки", "Выставляю поезд № 801 на 3 путь?", false,
                      AnswerSource::Scenario);
  journal.AddQuestion(At(0, 0, 2), "ДСП Озерки", "Выставляю поезд № 801 на 3 путь?", true,
                      AnswerSource::Runner);
  EXPECT_EQ(journal.Lines(),
            (Lines{"09:05:07  ДСП Сосновка: Поезд № 2001 прибыл в  5 мин.",
                   "09:06:00  ДСП Сосновка: Жду освобождения пути, чтобы принять поезд № 2001",
                   "09:17:42  ДСП Ключевая: Принять поезд № 2003 на I путь? — да (автомат)",
                   "09:18:00  ДСП Ключевая: Поезд № 2003 к отправлению готов. Отправить с I "
                   "пути? — нет (автомат)",
                   "23:59:59  ДСП Озерки: Разрешается отправление поезда № 3? — да (диспетчер)",
                   "00:00:01  ДСП Озерки: Выставляю поезд № 801 на 3 путь? — нет (сценарий)",
                   "00:00:02  ДСП Озерки: Выставляю поезд № 801 на 3 путь? — да (при запуске)"}));
  // The entries keep the text as it was said.
  EXPECT_EQ(journal.Entries()[1].Text, "Жду освобождения пути,\r\nчтобы принять поезд № 2001");
  EXPECT_EQ(journal.Entries()[1].Kind, JournalKind::Report);
  EXPECT_EQ(journal.Entries()[3].Kind, JournalKind::Question);
}

TEST(StationJournalTest, LineBreaksFoldIntoOneSpace) {
  const struct {
    const char* text;
    const char* folded;
  } cases[] = {
      {"a\r\nb", "a b"}, {"a \r\n b", "a b"}, {"a\n\n\nb", "a b"},
      {"a\rb", "a b"},   {"\r\na\r\n", "a"},  {"a  b ", "a  b "},  // spaces away from a break stay
      {"", ""},          {"\r\n", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(FoldLineBreaks(c.text), c.folded) << c.text;
}

TEST(StationJournalTest, KeepsTheLastEntriesUpToItsCapacity) {
  EXPECT_EQ(StationJournal().Capacity(), 1000u);
  StationJournal journal(3);
  for (int k = 1; k <= 5; ++k)
    journal.AddReport(At(10, 0, k), "ДСП А", "Поезд № " + std::to_string(k));
  EXPECT_EQ(journal.Lines(), (Lines{"10:00:03  ДСП А: Поезд № 3", "10:00:04  ДСП А: Поезд № 4",
                                    "10:00:05  ДСП А: Поезд № 5"}));
  EXPECT_EQ(journal.Added(), 5u);
  journal.Clear();
  EXPECT_TRUE(journal.Entries().empty());
  journal.AddQuestion(At(10, 1, 0), "ДСП А", "?", true, AnswerSource::Auto);
  EXPECT_EQ(journal.Entries().size(), 1u);
  EXPECT_EQ(journal.Added(), 6u);

  StationJournal full;
  for (int k = 0; k < 1001; ++k) full.AddReport(At(10, 0, 0), "ДСП А", std::to_string(k));
  ASSERT_EQ(full.Entries().size(), 1000u);
  EXPECT_EQ(full.Entries().front().Text, "1");
  EXPECT_EQ(full.Entries().back().Text, "1000");
}

TEST(StationJournalTest, AGridlockNamesItsTrainsAndTheirStationsByTheLPsNames) {
  // Two stations, ГОР (code 3) and ЛЕС (7), and an LP without a name (12).
  TAreaData area;
  area.Puts.resize(3);
  std::tie(area.Puts[0].Code, area.Puts[1].Code, area.Puts[2].Code) = std::tuple(7, 3, 12);
  area.StationCount = 3;
  area.LPMnemNames = {"ЛЕС", "ГОР", ""};
  EXPECT_EQ(GridlockText(area, {{801, 802}, {3, 7}}),
            "Поезда № 801, 802 ждут друг друга и не могут двинуться: ГОР, ЛЕС");
  EXPECT_EQ(GridlockText(area, {{2001}, {7}}), "Поезд № 2001 не может двинуться: ЛЕС");
  // An LP without a name and a code the district does not know go by their codes.
  EXPECT_EQ(GridlockText(area, {{1, 2}, {12, 99}}),
            "Поезда № 1, 2 ждут друг друга и не могут двинуться: 12, 99");
}

}  // namespace
}  // namespace traklin
