// The INI text: what it reads, what it keeps and how it is written.
#include "settings/ini_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "test_dir.h"

namespace traklin {
namespace {

TEST(ParseInt32Test, AcceptsDecimalIntegersOnly) {
  struct Row {
    const char* text;
    std::optional<std::int32_t> value;
  };
  const Row rows[] = {
      {"0", 0},
      {"42", 42},
      {" 7\t", 7},
      {"-5", -5},
      {"+5", 5},
      {"2147483647", 2147483647},
      {"-2147483648", -2147483647 - 1},
      {"2147483648", std::nullopt},
      {"", std::nullopt},
      {"  ", std::nullopt},
      {"abc", std::nullopt},
      {"12abc", std::nullopt},
      {"1 2", std::nullopt},
      {"+-5", std::nullopt},
      {"0x10", std::nullopt},
      {"3.5", std::nullopt},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.text);
    EXPECT_EQ(ParseInt32(r.text), r.value);
  }
}

TEST(IniFileTest, UnchangedTextIsWrittenBackByteForByte) {
  const std::string text =
      "\xEF\xBB\xBF; top comment\r\n"
      "\r\n"
      "[Other]\r\n"
      "  Name = Value with = sign \r\n"
      "not a key line\r\n"
      "[LEVEL]\r\n"
      "RANDOMFREIGHTSFROM1TO2=3\r\n"
      "# hash comment\r\n"
      "[EMPTY]";
  EXPECT_EQ(IniFile::Parse(text).Text(), text);
}

TEST(IniFileTest, SectionsAndKeysCompareCaseInsensitively) {
  const IniFile ini = IniFile::Parse("[Level]\nCreateDependantTrains = 1\n");
  EXPECT_EQ(ini.GetString("LEVEL", "CREATEDEPENDANTTRAINS"), "1");
  EXPECT_EQ(ini.GetInteger("level", "createdependanttrains", 9), 1);
}

TEST(IniFileTest, KeyIsLookedUpOnlyInsideItsSection) {
  const IniFile ini = IniFile::Parse("[A]\nX=1\n[B]\nY=2\n[A]\nZ=3\n");
  EXPECT_EQ(ini.GetString("A", "X"), "1");
  EXPECT_EQ(ini.GetString("A", "Y"), std::nullopt);
  EXPECT_EQ(ini.GetString("A", "Z"), "3");  // a repeated header continues the section
  EXPECT_EQ(ini.GetString("C", "X"), std::nullopt);
}

TEST(IniFileTest, MissingOrMalformedIntegerGivesTheFallback) {
  const IniFile ini = IniFile::Parse("[S]\nBAD=x1\nEMPTY=\n");
  EXPECT_EQ(ini.GetInteger("S", "BAD", 4), 4);
  EXPECT_EQ(ini.GetInteger("S", "EMPTY", 5), 5);
  EXPECT_EQ(ini.GetInteger("S", "NONE", 6), 6);
}

TEST(IniFileTest, SettingAnExistingKeyChangesOnlyItsLine) {
  IniFile ini = IniFile::Parse("[S]\r\n; note\r\nkey = 1\r\nOTHER=2\r\n");
  ini.SetInteger("S", "KEY", -7);
  EXPECT_EQ(ini.Text(), "[S]\r\n; note\r\nkey=-7\r\nOTHER=2\r\n");
}

TEST(IniFileTest, NewKeyGoesAfterTheLastKeyOfItsSection) {
  IniFile ini = IniFile::Parse("[A]\nX=1\n\n; about B\n[B]\nY=2\n");
  ini.SetInteger("A", "NEW", 5);
  EXPECT_EQ(ini.Text(), "[A]\nX=1\nNEW=5\n\n; about B\n[B]\nY=2\n");
}

TEST(IniFileTest, NewSectionIsAppendedWithTheFileLineEnding) {
  IniFile ini = IniFile::Parse("[A]\r\nX=1");
  ini.SetInteger("B", "Y", 2);
  EXPECT_EQ(ini.Text(), "[A]\r\nX=1\r\n\r\n[B]\r\nY=2\r\n");
}

TEST(IniFileTest, EmptyTextGetsPlainLineEndings) {
  IniFile ini;
  ini.SetInteger("A", "X", 1);
  ini.SetInteger("B", "Y", 2);
  ini.SetInteger("A", "Z", 3);
  EXPECT_EQ(ini.Text(), "[A]\nX=1\nZ=3\n\n[B]\nY=2\n");
}

using IniFileDiskTest = ScratchDirTest;

TEST_F(IniFileDiskTest, MissingFileLoadsEmpty) {
  EXPECT_EQ(IniFile::Load(dir_ / "none.ini").Text(), "");
}

TEST_F(IniFileDiskTest, DirectoryInPlaceOfTheFileIsAnError) {
  EXPECT_THROW(IniFile::Load(dir_), IniError);
}

TEST_F(IniFileDiskTest, AtomicWriteCreatesTheDirectoryAndLeavesNoTemporaryFile) {
  const auto path = dir_ / "config" / "sub" / "a.ini";
  WriteFileAtomically(path, "[A]\nX=1\n");
  WriteFileAtomically(path, "[A]\nX=2\n");
  EXPECT_EQ(ReadText(path), "[A]\nX=2\n");
  int entries = 0;
  for (const auto& e : std::filesystem::directory_iterator(path.parent_path())) {
    EXPECT_EQ(e.path().filename(), "a.ini");
    ++entries;
  }
  EXPECT_EQ(entries, 1);
}

TEST_F(IniFileDiskTest, AtomicWriteKeepsThePermissionsOfTheOldFile) {
  const auto path = dir_ / "a.ini";
  WriteText(path, "old");
  std::filesystem::permissions(path, std::filesystem::perms::owner_read |
                                         std::filesystem::perms::owner_write |
                                         std::filesystem::perms::group_read);
  WriteFileAtomically(path, "new");
  EXPECT_EQ(std::filesystem::status(path).permissions(), std::filesystem::perms::owner_read |
                                                             std::filesystem::perms::owner_write |
                                                             std::filesystem::perms::group_read);
}

TEST_F(IniFileDiskTest, FailedWriteThrowsAndLeavesTheDirectoryClean) {
  // A directory in the way of the target: the rename fails.
  const auto path = dir_ / "a.ini";
  std::filesystem::create_directories(path / "inside");
  EXPECT_THROW(WriteFileAtomically(path, "text"), IniError);
  int entries = 0;
  for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(dir_)) ++entries;
  EXPECT_EQ(entries, 1);
}

}  // namespace
}  // namespace traklin
