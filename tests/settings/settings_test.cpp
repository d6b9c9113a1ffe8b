// The INI text and the settings record in Traklin.ini: reading, clamping, problems, writing.
#include "settings/settings.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <tuple>

#include "settings/ini_file.h"

namespace traklin {
namespace {

namespace fs = std::filesystem;

/// A scratch directory per test, removed afterwards; `ini` is the settings file in it.
class ScratchDirTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    dir = fs::temp_directory_path() / ("traklin_settings_" + std::to_string(::getpid()) + "_" +
                                       info->test_suite_name() + "_" + info->name());
    fs::remove_all(dir);
    fs::create_directories(dir);
    ini = dir / "Traklin.ini";
  }
  void TearDown() override { fs::remove_all(dir); }

  static void WriteText(const fs::path& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
  }
  static std::string ReadText(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
  }

  fs::path dir, ini;
};

// ---------------------------------------------------------------------------
// The INI text

TEST(ParseInt32Test, AcceptsDecimalIntegersOnly) {
  for (const auto& [text, value] :
       {std::pair{"0", 0}, std::pair{"42", 42}, std::pair{" 7\t", 7}, std::pair{"-5", -5},
        std::pair{"+5", 5}, std::pair{"2147483647", 2147483647},
        std::pair{"-2147483648", -2147483647 - 1}})
    EXPECT_EQ(ParseInt32(text), value) << text;
  for (const char* text : {"2147483648", "", "  ", "abc", "12abc", "1 2", "+-5", "0x10", "3.5"})
    EXPECT_EQ(ParseInt32(text), std::nullopt) << text;
}

TEST(IniFileTest, UnchangedTextIsWrittenBackByteForByte) {
  const std::string text =
      "\xEF\xBB\xBF; top comment\r\n\r\n[Other]\r\n  Name = Value with = sign \r\n"
      "not a key line\r\n[LEVEL]\r\nRANDOMFREIGHTSFROM1TO2=3\r\n# hash comment\r\n[EMPTY]";
  EXPECT_EQ(IniFile::Parse(text).Text(), text);
}

TEST(IniFileTest, KeysAreFoundCaseInsensitivelyInsideTheirSectionOnly) {
  const IniFile ini = IniFile::Parse("[Level]\nCreate = 1\n[B]\nY=2\nBAD=x1\n[level]\nZ=3\n");
  EXPECT_EQ(ini.GetString("LEVEL", "CREATE"), "1");
  EXPECT_EQ(ini.GetInteger("level", "create", 9), 1);
  EXPECT_EQ(ini.GetString("LEVEL", "Y"), std::nullopt);
  EXPECT_EQ(ini.GetString("Level", "Z"), "3");  // a repeated header continues the section
  EXPECT_EQ(ini.GetString("C", "CREATE"), std::nullopt);
  EXPECT_EQ(ini.GetInteger("B", "BAD", 4), 4);  // malformed: the fallback
}

TEST(IniFileTest, SettingAKeyChangesOnlyItsLineOrAddsItWhereItBelongs) {
  // text before, section, key, value, text after
  const std::tuple<const char*, const char*, const char*, int, const char*> rows[] = {
      {"[S]\r\n; note\r\nkey = 1\r\nOTHER=2\r\n", "S", "KEY", -7,
       "[S]\r\n; note\r\nkey=-7\r\nOTHER=2\r\n"},
      {"[A]\nX=1\n\n; about B\n[B]\nY=2\n", "A", "NEW", 5,
       "[A]\nX=1\nNEW=5\n\n; about B\n[B]\nY=2\n"},
      {"[A]\r\nX=1", "B", "Y", 2, "[A]\r\nX=1\r\n\r\n[B]\r\nY=2\r\n"}};
  for (const auto& [before, section, key, value, after] : rows) {
    IniFile ini = IniFile::Parse(before);
    ini.SetInteger(section, key, value);
    EXPECT_EQ(ini.Text(), after);
  }
}

using IniFileDiskTest = ScratchDirTest;

TEST_F(IniFileDiskTest, MissingFileLoadsEmptyAndAWriteCreatesItsDirectoryAtomically) {
  EXPECT_EQ(IniFile::Load(dir / "none.ini").Text(), "");
  EXPECT_THROW(IniFile::Load(dir), IniError);  // a directory in the file's place
  const fs::path path = dir / "config" / "sub" / "a.ini";
  WriteFileAtomically(path, "[A]\nX=1\n");
  WriteFileAtomically(path, "[A]\nX=2\n");
  EXPECT_EQ(ReadText(path), "[A]\nX=2\n");
  EXPECT_EQ(std::distance(fs::directory_iterator(path.parent_path()), {}), 1);
}

TEST_F(IniFileDiskTest, AtomicWriteKeepsThePermissionsOfTheOldFile) {
  const fs::perms perms = fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read;
  WriteText(ini, "old");
  fs::permissions(ini, perms);
  WriteFileAtomically(ini, "new");
  EXPECT_EQ(fs::status(ini).permissions(), perms);
}

TEST_F(IniFileDiskTest, FailedWriteThrowsAndLeavesTheDirectoryClean) {
  fs::create_directories(ini / "inside");  // a directory in the way: the rename fails
  EXPECT_THROW(WriteFileAtomically(ini, "text"), IniError);
  EXPECT_EQ(std::distance(fs::directory_iterator(dir), {}), 1);
}

// ---------------------------------------------------------------------------
// The settings record

// A district with three freight routes between points 3..9 and one passenger plan.
TAreaData FreightDistrict() {
  auto plan = [](int number, int from, int to, int cars = 0) {
    TCreationPlanData p;
    std::tie(p.Number, p.CreationPoint, p.ArrivalPoint, p.Cars) =
        std::tuple(number, from, to, cars);
    return p;
  };
  TAreaData area;
  area.CreationPlans = {plan(2001, 5, 9),     // odd: 5 -> 9
                        plan(2002, 9, 5),     // even, 9 -> 5 read backwards: 5 -> 9 again, skipped
                        plan(2003, 5, 9),     // the same pair once more, skipped
                        plan(2004, 3, 7),     // even: 7 -> 3
                        plan(2005, 3, 7),     // odd: 3 -> 7, the reverse of 7 -> 3, skipped
                        plan(101, 1, 2, 12),  // passenger plan with cars: no random freights
                        plan(2007, 4, 6)};    // odd: 4 -> 6, no key in the file
  return area;
}

const char kDefaultsFile[] =
    "[VIEW]\nSHOWALLBLOCKSECT=0\nRESOLUTION=0\nCOLORLAMPLPOFF=7368816\nCOLORLAMPLPLIT=65535\n"
    "COLORLAMPLPOFFTEXT=0\nCOLORLAMPLPLITTEXT=0\n\n"
    "[GID]\nGIDENABLED=0\nSCALEPERCENTS=40\nSCALEKMONLY=1\n\n"
    "[LEVEL]\nRANDOMFREIGHTSNUMBERDEVIATION=2\nCREATEDEPENDANTTRAINS=0\nPUNCTUALITYTOLERANCEMIN="
    "5\n\n"
    "[MESSAGES]\nRESTORETIMESCALEATMSG=0\nRESTORETIMESCALEATRINGS=0\n"
    "REAPPLYPUTREQUESTPAUSEMIN=6\nREAPPLYSAMEREQUESTPAUSEMIN=6\nNOTIFIESFROMCONTROLLED=0\n"
    "NOTIFIESFROMPOSTS=0\nNOTIFIESOFUNPLANNEDSTOPS=1\n\n"
    "[REFERENCE]\nTRAINREFWITHLOG=0\n\n"
    "[SOUND]\nREQUESTRINGS=1\nMESSAGERINGS=1\n";

using SettingsFileTest = ScratchDirTest;

TEST_F(SettingsFileTest, NoFileGivesTheDefaultsWhichAreWrittenInSectionOrder) {
  EXPECT_EQ(DefaultSettingsPath().generic_string(), "../config/Traklin.ini");
  TSettings s;
  s.RandomFreights = {{1, 2, 3}};
  s.RandomFreightsTotal = 3;
  s.Resolution = 5;
  EXPECT_TRUE(ReadGeneralSettings(ini, s).empty());
  EXPECT_EQ(s.RandomFreightsTotal, 0);
  const fs::path path = dir / "config" / "Traklin.ini";  // the directory is created
  WriteSettings(path, s);
  EXPECT_EQ(ReadText(path), kDefaultsFile);
}

TEST_F(SettingsFileTest, EveryKeySurvivesReadAndWrite) {
  // Every key off its default, a colour with the high bit set, and the district's freights.
  const std::string text =
      "[VIEW]\nSHOWALLBLOCKSECT=1\nRESOLUTION=2\nCOLORLAMPLPOFF=1193046\n"
      "COLORLAMPLPLIT=-16777215\nCOLORLAMPLPOFFTEXT=255\nCOLORLAMPLPLITTEXT=16711935\n\n"
      "[GID]\nGIDENABLED=1\nSCALEPERCENTS=200\nSCALEKMONLY=0\n\n"
      "[LEVEL]\nRANDOMFREIGHTSFROM5TO9=4\nRANDOMFREIGHTSFROM7TO3=10\nRANDOMFREIGHTSFROM4TO6=0\n"
      "RANDOMFREIGHTSNUMBERDEVIATION=30\nCREATEDEPENDANTTRAINS=1\nPUNCTUALITYTOLERANCEMIN=12\n\n"
      "[MESSAGES]\nRESTORETIMESCALEATMSG=1\nRESTORETIMESCALEATRINGS=1\n"
      "REAPPLYPUTREQUESTPAUSEMIN=15\nREAPPLYSAMEREQUESTPAUSEMIN=45\nNOTIFIESFROMCONTROLLED=1\n"
      "NOTIFIESFROMPOSTS=1\nNOTIFIESOFUNPLANNEDSTOPS=0\n\n"
      "[REFERENCE]\nTRAINREFWITHLOG=1\n\n[SOUND]\nREQUESTRINGS=0\nMESSAGERINGS=0\n";
  WriteText(ini, text);
  TSettings s;
  EXPECT_TRUE(ReadGeneralSettings(ini, s).empty());
  EXPECT_TRUE(ReadDistrictSettings(ini, FreightDistrict(), s).empty());
  EXPECT_EQ(std::tie(s.ColorLampLPLit, s.RandomFreightsTotal), std::tuple(0xFF000001u, 14));
  fs::remove(ini);  // every key written afresh
  WriteSettings(ini, s);
  EXPECT_EQ(ReadText(ini), text);
}

TEST_F(SettingsFileTest, WritingKeepsOtherDistrictsKeysAndForeignSectionsByteForByte) {
  const std::string extra = "[EXTRA]\r\n; written by hand\r\nWindow = 10, 20\r\nodd line\r\n";
  WriteText(ini,
            "; Traklin settings\r\n[LEVEL]\r\nRANDOMFREIGHTSFROM70TO80=4\r\n"
            "RANDOMFREIGHTSFROM5TO9=1\r\nRANDOMFREIGHTSNUMBERDEVIATION=2\r\n\r\n" +
                extra);
  TSettings s;
  ReadGeneralSettings(ini, s);
  ReadDistrictSettings(ini, FreightDistrict(), s);
  WriteSettings(ini, s);
  // New keys go after the last key of their section, new sections at the end, all with the
  // file's line ending.
  const std::string text = ReadText(ini);
  EXPECT_TRUE(text.starts_with(
      "; Traklin settings\r\n[LEVEL]\r\nRANDOMFREIGHTSFROM70TO80=4\r\nRANDOMFREIGHTSFROM5TO9=1\r\n"
      "RANDOMFREIGHTSNUMBERDEVIATION=2\r\nRANDOMFREIGHTSFROM7TO3=0\r\nRANDOMFREIGHTSFROM4TO6=0\r\n"
      "CREATEDEPENDANTTRAINS=0\r\nPUNCTUALITYTOLERANCEMIN=5\r\n\r\n" +
      extra + "\r\n[VIEW]\r\n"))
      << text;
  EXPECT_EQ(text.find("\n\n"), std::string::npos) << text;
}

TEST_F(SettingsFileTest, DeviationIsClampedToZeroToHundred) {
  for (const auto& [text, expected] :
       {std::pair{"150", 100}, std::pair{"37", 37}, std::pair{"-5", 0}}) {
    WriteText(ini, std::string("[LEVEL]\nRANDOMFREIGHTSNUMBERDEVIATION=") + text + "\n");
    TSettings s;
    EXPECT_TRUE(ReadGeneralSettings(ini, s).empty());
    EXPECT_EQ(s.RandomFreightsNumberDeviation, expected) << text;
  }
}

TEST_F(SettingsFileTest, MalformedValueFallsBackToItsDefaultOrInStrictModeChangesNothing) {
  // Malformed values among good ones, any non-zero boolean true, sections in any case.
  WriteText(ini,
            "[VIEW]\nRESOLUTION=abc\nCOLORLAMPLPLIT=255\n[gid]\nSCALEPERCENTS=1.5\ngidenabled=2\n"
            "scalekmonly=0\n[SOUND]\nREQUESTRINGS=0\nMESSAGERINGS=-1\n"
            "[MESSAGES]\nNOTIFIESOFUNPLANNEDSTOPS=\nNOTIFIESFROMPOSTS=7\n");
  TSettings s;
  s.Resolution = 3;
  EXPECT_EQ(ReadGeneralSettings(ini, s),
            (TSettingsProblems{"VIEW/RESOLUTION: abc", "GID/SCALEPERCENTS: 1.5",
                               "MESSAGES/NOTIFIESOFUNPLANNEDSTOPS: "}));
  EXPECT_EQ(
      std::tie(s.Resolution, s.ColorLampLPLit, s.ScalePercents, s.GidEnabled, s.ScaleKmOnly,
               s.RequestRings, s.MessageRings, s.NotifiesOfUnplannedStops, s.NotifiesFromPosts),
      std::tuple(0, 255u, 40, true, false, false, true, true, true));

  TSettings strict;
  strict.Resolution = 3;
  EXPECT_THAT(
      [&] { ReadGeneralSettings(ini, strict, TSettingsReadMode::Strict); },
      ::testing::ThrowsMessage<TSettingsError>("Illegal setting value VIEW/RESOLUTION: abc"));
  EXPECT_EQ(std::tie(strict.Resolution, strict.ColorLampLPLit, strict.GidEnabled),
            std::tuple(3, TSettings{}.ColorLampLPLit, false));
}

TEST_F(SettingsFileTest, UnreadableFileGivesDefaultsAndAProblemOrAStrictErrorAndIsKept) {
  fs::create_directories(ini / "keep");  // a directory where the file should be
  TSettings s;
  s.Resolution = 3;
  EXPECT_EQ(ReadGeneralSettings(ini, s),
            TSettingsProblems{"Cannot read " + ini.string() + ": Is a directory"});
  EXPECT_EQ(s.Resolution, 0);
  EXPECT_THROW(ReadGeneralSettings(ini, s, TSettingsReadMode::Strict), IniError);
  EXPECT_THROW(WriteSettings(ini, TSettings{}), IniError);
  EXPECT_TRUE(fs::is_directory(ini / "keep"));
}

TEST_F(SettingsFileTest, FreightPairsAreOrderedByParityCountedOnceAndBadCountsReadAsZero) {
  WriteText(ini,
            "[LEVEL]\nRANDOMFREIGHTSFROM5TO9=x\n"
            "RANDOMFREIGHTSFROM9TO5=99\n"  // the pair is read in its own order only
            "RANDOMFREIGHTSFROM7TO3=-4\nRANDOMFREIGHTSFROM4TO6=2\n"
            "RANDOMFREIGHTSFROM1TO2=50\n");  // the passenger plan's points
  TSettings s;
  s.RandomFreights = {{1, 1, 1}};
  EXPECT_EQ(ReadDistrictSettings(ini, FreightDistrict(), s),
            TSettingsProblems{"LEVEL/RANDOMFREIGHTSFROM5TO9: x"});
  EXPECT_EQ(s.RandomFreights, (TRandomFreightsData{{5, 9, 0}, {7, 3, 0}, {4, 6, 2}}));
  EXPECT_EQ(s.RandomFreightsTotal, 2);
  EXPECT_THROW(ReadDistrictSettings(ini, FreightDistrict(), s, TSettingsReadMode::Strict),
               TSettingsError);
  EXPECT_EQ(s.RandomFreightsTotal, 2);
}

}  // namespace
}  // namespace traklin
