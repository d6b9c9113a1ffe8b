// Header values, number syntax, list splitting, section headers, error position and format.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "area/cp1251.h"
#include "reader_cases.h"

namespace traklin::test {
namespace {

TEST(AreaReaderDistrictTest, DefaultDistrictReadsWithoutError) {
  const LoadOutcome out = Load(DistrictText{});
  ASSERT_TRUE(out.Ok) << out.Message << " at line " << out.Line;
  EXPECT_EQ(out.Error.LineNo, DistrictText{}.LineCount());
  EXPECT_EQ(out.Area.AreaNumber, 1);
  EXPECT_EQ(out.Area.StationCount, 2);
  EXPECT_EQ(out.Area.SwitchCount, 2);
  EXPECT_EQ(out.Area.SectCount, 8);
  EXPECT_EQ(out.Area.GraphScale, 1000);
  EXPECT_EQ(out.Area.BaseYear, 2024);
  EXPECT_EQ(out.Area.LPCount, 2);
}

TEST(AreaReaderDistrictTest, LfOnlyLineEndsReadLikeCrLf) {
  const DistrictText district;
  const LoadOutcome out = LoadBytes(Utf8ToCp1251(district.Text()));
  ASSERT_TRUE(out.Ok) << out.Message;
  EXPECT_EQ(out.Error.LineNo, district.LineCount());
}

TEST(AreaReaderDistrictTest, LastSectionEndsAtEndOfFileWithoutLineEnd) {
  std::string bytes = DistrictText{}.Bytes();
  bytes.resize(bytes.size() - 2);  // drop the final CR LF
  const LoadOutcome out = LoadBytes(bytes);
  ASSERT_TRUE(out.Ok) << out.Message;
  EXPECT_EQ(out.Area.Stations.size(), 14u);
}

// --- Number syntax, through header value 1 -------------------------------------------------

struct NumberCase {
  const char* Scenario;
  const char* Line;
  int Value;            ///< expected AreaNumber, or -1 when a message is expected
  const char* Message;  ///< expected message on line 1
};

class AreaReaderNumberTest : public ::testing::TestWithParam<NumberCase> {};

TEST_P(AreaReaderNumberTest, ParsesOrRaises) {
  const NumberCase& c = GetParam();
  DistrictText district;
  district.SetHeader(1, c.Line);
  const LoadOutcome out = Load(district);
  if (c.Value >= 0) {
    ASSERT_TRUE(out.Ok) << out.Message;
    EXPECT_EQ(out.Area.AreaNumber, c.Value);
  } else {
    ASSERT_FALSE(out.Ok);
    EXPECT_EQ(out.Message, c.Message);
    EXPECT_EQ(out.Line, 1);
  }
}

const NumberCase kNumberCases[] = {
    {"HexUpperSuffix", "1F4h", 500, ""},
    {"HexLowerDigitsUpperSuffix", "1f4H", 500, ""},
    {"Decimal", "500", 500, ""},
    {"HexTerminator", "FFFFh", 65535, ""},
    {"DecimalMaximum", "65535", 65535, ""},
    {"HexZero", "0h", 0, ""},
    {"CommentAfterValue", "12 ; district twelve", 12, ""},
    {"BlanksAndTabsAround", " \t 12\t ", 12, ""},
    {"HexOverflow", "10000h", -1, "16-bit value overflow"},
    {"DecimalOverflowLastDigit", "65536", -1, "16-bit value overflow"},
    {"DecimalOverflowLength", "100000", -1, "16-bit value overflow"},
    {"MinusSign", "-1", -1, "Not a decimal digit"},
    {"TrailingComma", "12,", -1, "Not a decimal digit"},
    {"LoneH", "H", -1, "Not a decimal digit"},
    {"BadHexDigit", "1G4h", -1, "Not a hexadecimal digit"},
    {"BlankInsideHex", "1 4h", -1, "Not a hexadecimal digit"},
    {"DecimalWithLetter", "12a", -1, "Not a decimal digit"},
};
std::string NumberCaseName(const ::testing::TestParamInfo<NumberCase>& row) {
  return row.param.Scenario;
}
INSTANTIATE_TEST_SUITE_P(Rows, AreaReaderNumberTest, ::testing::ValuesIn(kNumberCases),
                         NumberCaseName);

// --- Header --------------------------------------------------------------------------------

TEST(AreaReaderHeaderTest, BlankAndCommentLinesBeforeAHeaderValueAreSkipped) {
  DistrictText district;
  district.SetHeader(2, "\n   \n; stations\n2");
  const LoadOutcome out = Load(district);
  ASSERT_TRUE(out.Ok) << out.Message;
  EXPECT_EQ(out.Area.StationCount, 2);
}

TEST(AreaReaderHeaderTest, GraphBackColorFromCode) {
  const std::pair<const char*, TColor> rows[] = {
      {"0", 0xFFFFFF}, {"1", 0xC0C0C0}, {"2", 0x020202}, {"128", 0x808080}, {"255", 0xFFFFFF}};
  for (const auto& [code, colour] : rows) {
    DistrictText district;
    district.SetHeader(5, code);
    const LoadOutcome out = Load(district);
    ASSERT_TRUE(out.Ok) << out.Message;
    EXPECT_EQ(out.Area.GraphBackColor, colour) << "code " << code;
  }
}

TEST(AreaReaderHeaderTest, EmptyFileRaisesUnexpectedEofAtLineZero) {
  const LoadOutcome out = LoadBytes("");
  EXPECT_EQ(out.Message, "Unexpected EOF");
  EXPECT_EQ(out.Line, 0);
}

TEST(AreaReaderHeaderTest, ShortHeaderRaisesUnexpectedEofAtLastLine) {
  const LoadOutcome out = LoadBytes("1\r\n2\r\n\r\n3\r\n");
  EXPECT_EQ(out.Message, "Unexpected EOF");
  EXPECT_EQ(out.Line, 4);
  EXPECT_EQ(out.Error.LineText, "3");
}

TEST(AreaReaderHeaderTest, MissingFileGivesSystemTextAtLineZero) {
  TAreaData area;
  int maxSpeed = 0;
  TReadDataError error;
  error.LineNo = 77;
  try {
    LoadAreaData("/nonexistent/district/Data.dat", area, maxSpeed, error);
    FAIL() << "no error";
  } catch (const ReadError& e) {
    EXPECT_EQ(std::string(e.what()), "No such file or directory");
    EXPECT_EQ(e.line(), 0);
    EXPECT_EQ(error.LineNo, 0);
  }
}

TEST(AreaReaderHeaderTest, ReadsAFileFromDisk) {
  const auto path = std::filesystem::temp_directory_path() / "traklin_reader_test_Data.dat";
  {
    std::ofstream f(path, std::ios::binary);
    f << DistrictText{}.Bytes();
  }
  TAreaData area;
  int maxSpeed = 0;
  TReadDataError error;
  LoadAreaData(path, area, maxSpeed, error);
  std::filesystem::remove(path);
  EXPECT_EQ(area.Stations.size(), 14u);
  EXPECT_EQ(maxSpeed, 120);
}

// --- Section headers and list splitting ------------------------------------------------------

TEST(AreaReaderSectionTest, HeaderWithBlanksOrOtherCaseIsNotFound) {
  for (const char* header : {"[ Data_Sekz ]", "[data_sekz]", "[Data_Sekz ]", "[Data_Sekz]]"}) {
    DistrictText district;
    std::string text = district.Text();
    text.replace(text.find("[Data_Sekz]"), 11, header);
    const LoadOutcome out = LoadBytes(Utf8ToCp1251(text));
    EXPECT_EQ(out.Message, "Section Data_Sekz not found") << header;
    EXPECT_EQ(out.Line, district.HeaderLine("Data_Sekz")) << header;
  }
}

TEST(AreaReaderSectionTest, HeaderWithCommentAndBlanksAroundIsFound) {
  DistrictText district;
  std::string text = district.Text();
  text.replace(text.find("[Data_Sekz]"), 11, "  [Data_Sekz]  ; sections");
  EXPECT_TRUE(LoadBytes(Utf8ToCp1251(text)).Ok);
}

TEST(AreaReaderSectionTest, MisplacedSectionNamesTheExpectedOne) {
  DistrictText district;
  std::string text = district.Text();
  // Swap the headers of two neighbouring sections.
  text.replace(text.find("[Data_Gr_Str]"), 13, "[Data_XX_Str]");
  text.replace(text.find("[Data_Str]"), 10, "[Data_Gr_Str]");
  const LoadOutcome out = LoadBytes(Utf8ToCp1251(text));
  EXPECT_EQ(out.Message, "Section Data_Str not found");
  EXPECT_EQ(out.Line, district.HeaderLine("Data_Str"));
}

TEST(AreaReaderSectionTest, BlankAndCommentLinesAnywhereInsideARecord) {
  DistrictText district;
  district.SetSection(
      "Data_Sekz", "\n; first\n1,\n\n1\n  ; between\n2,2,3, ; c\n3,4,\n\n4,5,5,6,6,7,7,\n65535,");
  const LoadOutcome out = Load(district);
  ASSERT_TRUE(out.Ok) << out.Message;
  EXPECT_EQ(out.Area.Sekzs, (TSekzsData{0, 1, 2, 3, 4, 5, 6, 7, 0}));
}

TEST(AreaReaderSectionTest, ValuesOnOneLineOrOnTwoLinesAreTheSame) {
  DistrictText a, b;
  a.SetSection("Data_Num_Poezd", "2001,2999");
  b.SetSection("Data_Num_Poezd", "2001\n2999");
  const LoadOutcome outA = Load(a), outB = Load(b);
  ASSERT_TRUE(outA.Ok && outB.Ok);
  EXPECT_EQ(outA.Area.FreightNumbering[0], outB.Area.FreightNumbering[0]);
  EXPECT_EQ(outA.Area.FreightNumbering[1], outB.Area.FreightNumbering[1]);
}

TEST(AreaReaderSectionTest, EmptyItemRaisesDigitsNotFoundWithRestKept) {
  DistrictText district;
  district.SetSection("Data_Sekz", "1,1\n2,,2 ; two commas\n65535");
  const LoadOutcome out = Load(district);
  EXPECT_EQ(out.Message, "Digits not found");
  EXPECT_EQ(out.Line, district.BodyLine("Data_Sekz", 2));
  EXPECT_EQ(out.Error.LineText, "2,,2 ; two commas");
  EXPECT_EQ(out.Error.Rest, "2");
}

TEST(AreaReaderSectionTest, EndOfFileInsideASectionRaisesUnexpectedEofAtLastLine) {
  const std::string text = DistrictText{}.Text();
  const std::string cut = text.substr(0, text.find("[Data_Lok]")) + "[Data_Lok]\n2,1,100\n\n";
  const LoadOutcome out = LoadBytes(Utf8ToCp1251(cut));
  EXPECT_EQ(out.Message, "Unexpected EOF");
  int lines = 0;
  for (char c : cut) lines += c == '\n';
  EXPECT_EQ(out.Line, lines);
}

TEST(AreaReaderSectionTest, FileEndingAfterPlanTerminatorRaisesUnexpectedEof) {
  const std::string text = DistrictText{}.Text();
  const std::string cut = text.substr(0, text.find("[DataS_RP_Name_Mnem]"));
  const LoadOutcome out = LoadBytes(Utf8ToCp1251(cut));
  EXPECT_EQ(out.Message, "Unexpected EOF");
  int lines = 0;
  for (char c : cut) lines += c == '\n';
  EXPECT_EQ(out.Line, lines);
  EXPECT_EQ(out.Error.LineText, "65535");
}

TEST(AreaReaderSectionTest, LineTextIsDecodedToUtf8) {
  DistrictText district;
  district.SetSection("DataS_RP_Name_Mnem", "АЛК,БРС,Вяз ; лишнее");
  const LoadOutcome out = Load(district);
  EXPECT_EQ(out.Message, "Data after LP names");
  EXPECT_EQ(out.Error.LineText, "АЛК,БРС,Вяз ; лишнее");
}

// A count of 65535 in a short file must fail on the missing values, not on an allocation sized
// by the count.
TEST(AreaReaderSectionTest, HugeStationCountInShortFileEndsInTooFew) {
  DistrictText district;
  district.SetHeader(2, "65535");
  const LoadOutcome out = Load(district);
  EXPECT_EQ(out.Message, "Too few graph fragms values");
  EXPECT_EQ(out.Line, district.NextHeaderLine("Data_Graph_Fragm"));
}

TEST(AreaReaderSectionTest, HugeCountsInsideSectionsEndInTooFew) {
  const SectionCase rows[] = {
      {"Stanz", "Data_Stanz", "1,1,65535, 1,0", "Too few stanz values", kAtNextHeader},
      {"Put", "Data_Put", "1,0,65535,0", "Too few put values", kAtNextHeader},
      {"Marsh", "Data_Marsh_P", "1,65535,1", "Too few train routes group values", kAtNextHeader},
      {"Spar", "Data_Spar_Gr_Str", "1,1,2,1,2,65535,1,1", "Too few linked switches groups values",
       kAtNextHeader},
      {"Plan", "Data_Plan_Form", "0800,6001,-,1,0,1,2,10,0101,1231,1,65535,1",
       "Too few creation plans values", kAtNextHeader},
      {"Views", "Data_Graph_Vid", "100", "Too few graph vids", kAtNextHeader},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.Scenario);
    ExpectFailure(row);
  }
}

// --- The error box text ---------------------------------------------------------------------

TEST(AreaReaderFormatTest, ErrorBoxDoublesInnerQuotes) {
  TReadDataError error;
  error.LineNo = 42;
  error.LineText = "1,'2' ; it's";
  EXPECT_EQ(FormatReadDataError(error, "Not a decimal digit"),
            "Error reading Data.dat\r\nAt Line 42\r\n'1,''2'' ; it''s'\r\n\r\nNot a decimal digit");
}

TEST(AreaReaderFormatTest, ErrorBoxOfAnEmptyLine) {
  TReadDataError error;
  EXPECT_EQ(FormatReadDataError(error, "Unexpected EOF"),
            "Error reading Data.dat\r\nAt Line 0\r\n''\r\n\r\nUnexpected EOF");
}

// --- Windows-1251 ----------------------------------------------------------------------------

TEST(Cp1251Test, RussianLettersRoundTrip) {
  const std::string text = "Алексеевка Ёлкино ёж №5 «Юг»";
  const std::string bytes = Utf8ToCp1251(text);
  EXPECT_EQ(bytes.size(), 28u);
  EXPECT_EQ(static_cast<unsigned char>(bytes[0]), 0xC0);  // А
  EXPECT_EQ(Cp1251ToUtf8(bytes), text);
}

TEST(Cp1251Test, EveryByteRoundTrips) {
  std::string all;
  for (int b = 0; b < 256; ++b) all += static_cast<char>(b);
  EXPECT_EQ(Utf8ToCp1251(Cp1251ToUtf8(all)), all);
}

TEST(Cp1251Test, CharactersWithoutAFormBecomeQuestionMarks) {
  EXPECT_EQ(Utf8ToCp1251("a€b"),
            "a\x88"
            "b");
  EXPECT_EQ(Utf8ToCp1251("日本"), "??");
  EXPECT_EQ(Utf8ToCp1251("x\xC3"), "x?");              // cut sequence
  EXPECT_EQ(Utf8ToCp1251("\xC0\xAF"), "??");           // overlong '/'
  EXPECT_EQ(Utf8ToCp1251("\xF0\x9F\x98\x80!"), "?!");  // emoji
}

}  // namespace
}  // namespace traklin::test
