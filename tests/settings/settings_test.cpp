// The settings record in Traklin.ini: defaults, reading, clamping, problems and writing.
#include "settings/settings.h"

#include <gtest/gtest.h>

#include "settings/dialog_items.h"
#include "settings/ini_file.h"
#include "test_dir.h"

namespace traklin {
namespace {

void ExpectSameRecord(const TSettings& a, const TSettings& b) {
  EXPECT_EQ(a.GidEnabled, b.GidEnabled);
  EXPECT_EQ(a.ShowAllBlockSect, b.ShowAllBlockSect);
  EXPECT_EQ(a.RestoreTimeScaleAtMsg, b.RestoreTimeScaleAtMsg);
  EXPECT_EQ(a.RestoreTimeScaleAtRings, b.RestoreTimeScaleAtRings);
  EXPECT_EQ(a.ScaleKmOnly, b.ScaleKmOnly);
  EXPECT_EQ(a.Resolution, b.Resolution);
  EXPECT_EQ(a.ScalePercents, b.ScalePercents);
  EXPECT_EQ(a.CreateDependantTrains, b.CreateDependantTrains);
  EXPECT_EQ(a.RequestRings, b.RequestRings);
  EXPECT_EQ(a.MessageRings, b.MessageRings);
  EXPECT_EQ(a.TrainRefWithLog, b.TrainRefWithLog);
  EXPECT_EQ(a.ReapplyPutRequestPauseMin, b.ReapplyPutRequestPauseMin);
  EXPECT_EQ(a.ReapplySameRequestPauseMin, b.ReapplySameRequestPauseMin);
  EXPECT_EQ(a.NotifiesFromControlled, b.NotifiesFromControlled);
  EXPECT_EQ(a.NotifiesFromPosts, b.NotifiesFromPosts);
  EXPECT_EQ(a.NotifiesOfUnplannedStops, b.NotifiesOfUnplannedStops);
  EXPECT_EQ(a.ColorLampLPOff, b.ColorLampLPOff);
  EXPECT_EQ(a.ColorLampLPLit, b.ColorLampLPLit);
  EXPECT_EQ(a.ColorLampLPOffText, b.ColorLampLPOffText);
  EXPECT_EQ(a.ColorLampLPLitText, b.ColorLampLPLitText);
  EXPECT_EQ(a.RandomFreightsNumberDeviation, b.RandomFreightsNumberDeviation);
  EXPECT_EQ(a.RandomFreights, b.RandomFreights);
  EXPECT_EQ(a.RandomFreightsTotal, b.RandomFreightsTotal);
}

TCreationPlanData Plan(int number, int creation, int arrival, int cars = 0) {
  TCreationPlanData p;
  p.Number = number;
  p.CreationPoint = creation;
  p.ArrivalPoint = arrival;
  p.Cars = cars;
  return p;
}

// A district with three freight routes between points 3..9 and one passenger plan.
TAreaData FreightDistrict() {
  TAreaData area;
  area.CreationPlans = {
      Plan(2001, 5, 9),     // odd: 5 -> 9
      Plan(2002, 9, 5),     // even, 9 -> 5 read backwards: 5 -> 9 again, skipped
      Plan(2003, 5, 9),     // the same pair once more, skipped
      Plan(2004, 3, 7),     // even: 7 -> 3
      Plan(2005, 3, 7),     // odd: 3 -> 7, the reverse of 7 -> 3, skipped
      Plan(101, 1, 2, 12),  // passenger plan with cars: no random freights
      Plan(2007, 4, 6),     // odd: 4 -> 6, no key in the file
  };
  return area;
}

const char kDefaultsFile[] =
    "[VIEW]\n"
    "SHOWALLBLOCKSECT=0\n"
    "RESOLUTION=0\n"
    "COLORLAMPLPOFF=7368816\n"
    "COLORLAMPLPLIT=65535\n"
    "COLORLAMPLPOFFTEXT=0\n"
    "COLORLAMPLPLITTEXT=0\n"
    "\n"
    "[GID]\n"
    "GIDENABLED=0\n"
    "SCALEPERCENTS=40\n"
    "SCALEKMONLY=1\n"
    "\n"
    "[LEVEL]\n"
    "RANDOMFREIGHTSNUMBERDEVIATION=2\n"
    "CREATEDEPENDANTTRAINS=0\n"
    "\n"
    "[MESSAGES]\n"
    "RESTORETIMESCALEATMSG=0\n"
    "RESTORETIMESCALEATRINGS=0\n"
    "REAPPLYPUTREQUESTPAUSEMIN=6\n"
    "REAPPLYSAMEREQUESTPAUSEMIN=6\n"
    "NOTIFIESFROMCONTROLLED=0\n"
    "NOTIFIESFROMPOSTS=0\n"
    "NOTIFIESOFUNPLANNEDSTOPS=1\n"
    "\n"
    "[REFERENCE]\n"
    "TRAINREFWITHLOG=0\n"
    "\n"
    "[SOUND]\n"
    "REQUESTRINGS=1\n"
    "MESSAGERINGS=1\n";

using SettingsFileTest = ScratchDirTest;

TEST(SettingsTest, DefaultPathIsTheConfigDirectoryBesideBin) {
  EXPECT_EQ(DefaultSettingsPath().generic_string(), "../config/Traklin.ini");
}

TEST(SettingsTest, RandomFreightKeyJoinsThePointsInDecimal) {
  EXPECT_EQ(RandomFreightKey(12, 3), "RANDOMFREIGHTSFROM12TO3");
}

TEST_F(SettingsFileTest, NoFileGivesTheDefaultsAndEmptiesTheFreights) {
  TSettings s;
  s.RandomFreights = {{1, 2, 3}};
  s.RandomFreightsTotal = 3;
  s.Resolution = 5;
  EXPECT_TRUE(ReadGeneralSettings(dir_ / "Traklin.ini", s).empty());
  ExpectSameRecord(s, TSettings{});
  EXPECT_TRUE(s.ScaleKmOnly);
  EXPECT_EQ(s.ScalePercents, 40);
  EXPECT_TRUE(s.RequestRings);
  EXPECT_TRUE(s.MessageRings);
  EXPECT_EQ(s.ReapplyPutRequestPauseMin, 6);
  EXPECT_EQ(s.ReapplySameRequestPauseMin, 6);
  EXPECT_TRUE(s.NotifiesOfUnplannedStops);
  EXPECT_EQ(s.ColorLampLPOff, 7368816u);
  EXPECT_EQ(s.ColorLampLPLit, 65535u);
  EXPECT_EQ(s.ColorLampLPOffText, 0u);
  EXPECT_EQ(s.RandomFreightsNumberDeviation, 2);
  EXPECT_TRUE(s.RandomFreights.empty());
  EXPECT_EQ(s.RandomFreightsTotal, 0);
}

TEST_F(SettingsFileTest, DefaultsAreWrittenInSectionOrder) {
  const auto path = dir_ / "Traklin.ini";
  WriteSettings(path, TSettings{});
  EXPECT_EQ(ReadText(path), kDefaultsFile);
}

TEST_F(SettingsFileTest, EveryFieldSurvivesWriteAndRead) {
  const auto path = dir_ / "Traklin.ini";
  const TAreaData area = FreightDistrict();
  TSettings written;
  written.GidEnabled = true;
  written.ShowAllBlockSect = true;
  written.RestoreTimeScaleAtMsg = true;
  written.RestoreTimeScaleAtRings = true;
  written.ScaleKmOnly = false;
  written.Resolution = 2;
  written.ScalePercents = 200;
  written.CreateDependantTrains = true;
  written.RequestRings = false;
  written.MessageRings = false;
  written.TrainRefWithLog = true;
  written.ReapplyPutRequestPauseMin = 15;
  written.ReapplySameRequestPauseMin = 45;
  written.NotifiesFromControlled = true;
  written.NotifiesFromPosts = true;
  written.NotifiesOfUnplannedStops = false;
  written.ColorLampLPOff = 0x123456;
  written.ColorLampLPLit = 0xFFFFFF;
  written.ColorLampLPOffText = 0xFF;
  written.ColorLampLPLitText = 0xFF00FF;
  written.RandomFreightsNumberDeviation = 30;
  written.RandomFreights = {{5, 9, 4}, {7, 3, 10}, {4, 6, 0}};
  written.RandomFreightsTotal = 14;
  WriteSettings(path, written);

  TSettings read;
  EXPECT_TRUE(ReadGeneralSettings(path, read).empty());
  EXPECT_TRUE(ReadDistrictSettings(path, area, read).empty());
  ExpectSameRecord(read, written);
}

TEST_F(SettingsFileTest, ColourWithTheHighBitSetSurvivesWriteAndRead) {
  const auto path = dir_ / "Traklin.ini";
  TSettings written;
  written.ColorLampLPLit = 0xFF000001;
  WriteSettings(path, written);
  TSettings read;
  EXPECT_TRUE(ReadGeneralSettings(path, read).empty());
  EXPECT_EQ(read.ColorLampLPLit, 0xFF000001u);
}

TEST_F(SettingsFileTest, WritingKeepsForeignKeysAndSectionsByteForByte) {
  const auto path = dir_ / "Traklin.ini";
  const std::string extra =
      "[EXTRA]\r\n"
      "; written by hand\r\n"
      "Window = 10, 20\r\n"
      "odd line without value\r\n";
  WriteText(path,
            "; Traklin settings\r\n"
            "[LEVEL]\r\n"
            "RANDOMFREIGHTSFROM70TO80=4\r\n"
            "RANDOMFREIGHTSFROM5TO9=1\r\n"
            "RANDOMFREIGHTSNUMBERDEVIATION=2\r\n"
            "\r\n" +
                extra);
  TSettings s;
  ReadGeneralSettings(path, s);
  ReadDistrictSettings(path, FreightDistrict(), s);
  WriteSettings(path, s);

  const std::string text = ReadText(path);
  EXPECT_TRUE(
      text.starts_with("; Traklin settings\r\n[LEVEL]\r\nRANDOMFREIGHTSFROM70TO80=4\r\n"
                       "RANDOMFREIGHTSFROM5TO9=1\r\n"))
      << text;
  EXPECT_NE(text.find("\r\n\r\n" + extra), std::string::npos) << text;
  const IniFile ini = IniFile::Parse(text);
  EXPECT_EQ(ini.GetString("LEVEL", "RANDOMFREIGHTSFROM7TO3"), "0");
  EXPECT_EQ(ini.GetString("LEVEL", "RANDOMFREIGHTSFROM4TO6"), "0");
  EXPECT_EQ(ini.GetString("SOUND", "MESSAGERINGS"), "1");
  EXPECT_EQ(text.find("\n\n"), std::string::npos) << "line endings of the file are kept";
}

// OK without changes: the dialog maps the record onto its items and back, and the file is
// written in full.
TEST_F(SettingsFileTest, OkWithoutChangesRewritesEveryKey) {
  const auto path = dir_ / "Traklin.ini";
  WriteText(path, "[LEVEL]\nRANDOMFREIGHTSNUMBERDEVIATION=2\n");
  TSettings s;
  ReadGeneralSettings(path, s);
  s.RandomFreightsNumberDeviation = *DeviationAt(DeviationIndex(s.RandomFreightsNumberDeviation));
  s.ReapplyPutRequestPauseMin = *PauseMinutesAt(PauseIndex(s.ReapplyPutRequestPauseMin));
  s.ReapplySameRequestPauseMin = *PauseMinutesAt(PauseIndex(s.ReapplySameRequestPauseMin));
  s.ScalePercents = *GidScalePercentAt(GidScaleIndex(s.ScalePercents));
  WriteSettings(path, s);

  const IniFile ini = IniFile::Load(path);
  EXPECT_EQ(ini.GetString("LEVEL", "RANDOMFREIGHTSNUMBERDEVIATION"), "0");
  EXPECT_EQ(ini.GetString("GID", "SCALEPERCENTS"), "50");
  EXPECT_EQ(ini.GetString("MESSAGES", "REAPPLYPUTREQUESTPAUSEMIN"), "6");
  const char* keys[][2] = {
      {"VIEW", "SHOWALLBLOCKSECT"},
      {"VIEW", "RESOLUTION"},
      {"VIEW", "COLORLAMPLPOFF"},
      {"VIEW", "COLORLAMPLPLIT"},
      {"VIEW", "COLORLAMPLPOFFTEXT"},
      {"VIEW", "COLORLAMPLPLITTEXT"},
      {"GID", "GIDENABLED"},
      {"GID", "SCALEKMONLY"},
      {"LEVEL", "CREATEDEPENDANTTRAINS"},
      {"MESSAGES", "RESTORETIMESCALEATMSG"},
      {"MESSAGES", "RESTORETIMESCALEATRINGS"},
      {"MESSAGES", "REAPPLYSAMEREQUESTPAUSEMIN"},
      {"MESSAGES", "NOTIFIESFROMCONTROLLED"},
      {"MESSAGES", "NOTIFIESFROMPOSTS"},
      {"MESSAGES", "NOTIFIESOFUNPLANNEDSTOPS"},
      {"REFERENCE", "TRAINREFWITHLOG"},
      {"SOUND", "REQUESTRINGS"},
      {"SOUND", "MESSAGERINGS"},
  };
  for (const auto& k : keys) EXPECT_TRUE(ini.GetString(k[0], k[1])) << k[0] << "/" << k[1];
}

TEST_F(SettingsFileTest, DeviationIsClampedToZeroToHundred) {
  const auto path = dir_ / "Traklin.ini";
  const std::pair<const char*, int> rows[] = {{"150", 100}, {"101", 100}, {"100", 100},
                                              {"37", 37},   {"0", 0},     {"-5", 0}};
  for (const auto& [text, expected] : rows) {
    SCOPED_TRACE(text);
    WriteText(path, std::string("[LEVEL]\nRANDOMFREIGHTSNUMBERDEVIATION=") + text + "\n");
    TSettings s;
    EXPECT_TRUE(ReadGeneralSettings(path, s).empty());
    EXPECT_EQ(s.RandomFreightsNumberDeviation, expected);
  }
}

TEST_F(SettingsFileTest, AnyNonZeroBooleanIsTrue) {
  const auto path = dir_ / "Traklin.ini";
  WriteText(path,
            "[gid]\ngidenabled=2\nscalekmonly=0\n"
            "[SOUND]\nREQUESTRINGS=0\nMESSAGERINGS=-1\n"
            "[MESSAGES]\nNOTIFIESFROMPOSTS=7\nNOTIFIESOFUNPLANNEDSTOPS=0\n");
  TSettings s;
  EXPECT_TRUE(ReadGeneralSettings(path, s).empty());
  EXPECT_TRUE(s.GidEnabled);
  EXPECT_FALSE(s.ScaleKmOnly);
  EXPECT_FALSE(s.RequestRings);
  EXPECT_TRUE(s.MessageRings);
  EXPECT_TRUE(s.NotifiesFromPosts);
  EXPECT_FALSE(s.NotifiesOfUnplannedStops);
}

const char kMalformedFile[] =
    "[VIEW]\nRESOLUTION=abc\nCOLORLAMPLPLIT=255\n"
    "[GID]\nSCALEPERCENTS=1.5\nGIDENABLED=1\n"
    "[MESSAGES]\nNOTIFIESOFUNPLANNEDSTOPS=\n";

TEST_F(SettingsFileTest, MalformedValueAtStartUpFallsBackToItsDefaultAndIsReported) {
  const auto path = dir_ / "Traklin.ini";
  WriteText(path, kMalformedFile);
  TSettings s;
  s.Resolution = 3;
  const TSettingsProblems problems = ReadGeneralSettings(path, s);
  EXPECT_EQ(problems, (TSettingsProblems{"VIEW/RESOLUTION: abc", "GID/SCALEPERCENTS: 1.5",
                                         "MESSAGES/NOTIFIESOFUNPLANNEDSTOPS: "}));
  EXPECT_EQ(s.Resolution, 0);
  EXPECT_EQ(s.ScalePercents, 40);
  EXPECT_TRUE(s.NotifiesOfUnplannedStops);
  EXPECT_EQ(s.ColorLampLPLit, 255u);
  EXPECT_TRUE(s.GidEnabled);
}

TEST_F(SettingsFileTest, MalformedValueInStrictModeNamesKeyAndValueAndChangesNothing) {
  const auto path = dir_ / "Traklin.ini";
  WriteText(path, kMalformedFile);
  TSettings s;
  s.Resolution = 3;
  s.ColorLampLPLit = 1;
  try {
    ReadGeneralSettings(path, s, TSettingsReadMode::Strict);
    FAIL() << "no error";
  } catch (const TSettingsError& e) {
    EXPECT_STREQ(e.what(), "Illegal setting value VIEW/RESOLUTION: abc");
    EXPECT_EQ(e.Section, "VIEW");
    EXPECT_EQ(e.Key, "RESOLUTION");
    EXPECT_EQ(e.Value, "abc");
  }
  EXPECT_EQ(s.Resolution, 3);
  EXPECT_EQ(s.ColorLampLPLit, 1u);
}

TEST_F(SettingsFileTest, UnreadableFileGivesDefaultsAndAProblemOrAStrictError) {
  const auto path = dir_ / "Traklin.ini";
  std::filesystem::create_directories(path);  // a directory where the file should be
  TSettings s;
  s.Resolution = 3;
  const TSettingsProblems problems = ReadGeneralSettings(path, s);
  ASSERT_EQ(problems.size(), 1u);
  EXPECT_EQ(problems[0], "Cannot read " + path.string() + ": Is a directory");
  EXPECT_EQ(s.Resolution, 0);
  EXPECT_THROW(ReadGeneralSettings(path, s, TSettingsReadMode::Strict), IniError);
}

TEST_F(SettingsFileTest, FreightPairsAreOrderedByParityAndCountedOnce) {
  const auto path = dir_ / "Traklin.ini";
  WriteText(path,
            "[LEVEL]\n"
            "RANDOMFREIGHTSFROM5TO9=3\n"
            "RANDOMFREIGHTSFROM9TO5=99\n"  // the pair is read in its own order only
            "RANDOMFREIGHTSFROM7TO3=12\n"
            "RANDOMFREIGHTSFROM1TO2=50\n");  // the passenger plan's points
  TSettings s;
  s.RandomFreights = {{1, 1, 1}};
  EXPECT_TRUE(ReadDistrictSettings(path, FreightDistrict(), s).empty());
  EXPECT_EQ(s.RandomFreights, (TRandomFreightsData{{5, 9, 3}, {7, 3, 12}, {4, 6, 0}}));
  EXPECT_EQ(s.RandomFreightsTotal, 15);
}

TEST_F(SettingsFileTest, BadFreightCountsReadAsZero) {
  const auto path = dir_ / "Traklin.ini";
  WriteText(path,
            "[LEVEL]\nRANDOMFREIGHTSFROM5TO9=x\nRANDOMFREIGHTSFROM7TO3=-4\n"
            "RANDOMFREIGHTSFROM4TO6=2\n");
  TSettings s;
  EXPECT_EQ(ReadDistrictSettings(path, FreightDistrict(), s),
            TSettingsProblems{"LEVEL/RANDOMFREIGHTSFROM5TO9: x"});
  EXPECT_EQ(s.RandomFreights, (TRandomFreightsData{{5, 9, 0}, {7, 3, 0}, {4, 6, 2}}));
  EXPECT_EQ(s.RandomFreightsTotal, 2);
  EXPECT_THROW(ReadDistrictSettings(path, FreightDistrict(), s, TSettingsReadMode::Strict),
               TSettingsError);
  EXPECT_EQ(s.RandomFreightsTotal, 2);
}

TEST_F(SettingsFileTest, MissingConfigDirectoryIsCreatedAndNoTemporaryFileRemains) {
  const auto path = dir_ / "config" / "Traklin.ini";
  WriteSettings(path, TSettings{});
  WriteSettings(path, TSettings{});
  EXPECT_EQ(ReadText(path), kDefaultsFile);
  int entries = 0;
  for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(dir_ / "config")) {
    ++entries;
  }
  EXPECT_EQ(entries, 1);
}

TEST_F(SettingsFileTest, UnreadableFileIsNotOverwritten) {
  const auto path = dir_ / "Traklin.ini";
  std::filesystem::create_directories(path / "keep");
  EXPECT_THROW(WriteSettings(path, TSettings{}), IniError);
  EXPECT_TRUE(std::filesystem::is_directory(path / "keep"));
}

}  // namespace
}  // namespace traklin
