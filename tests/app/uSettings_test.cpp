#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cstring>
#include <gtest/gtest.h>

#include "base/uSettings.h"
#include "common/TestSupport.h"

namespace k2 {
namespace {

// An installed copy's folder is not writable: the data live in a per-user folder,
// made on first start with the samples, and never overwritten afterwards.
TEST(DataDir, APerUserDataFolderIsSeededOnceWithTheSamples) {
  test::TTempDir dir;
  const QString program = dir.Path(QStringLiteral("program/")),
                data = dir.Path(QStringLiteral("user/Kurvino2/"));
  QDir().mkpath(program + QStringLiteral("Path"));
  test::WriteFile(program + QStringLiteral("Path/a.kpf"), "track");
  test::WriteFile(program + QStringLiteral("Default.kpf"), "default");
  ASSERT_TRUE(SeedDataDir(program, data));
  for (const char* folder : {"Path", "Car", "Record", "Judgement"})
    EXPECT_TRUE(QFileInfo(data + QLatin1String(folder)).isDir()) << folder;
  EXPECT_EQ(test::ReadFile(data + QStringLiteral("Path/a.kpf")), QByteArray("track"));
  EXPECT_EQ(test::ReadFile(data + QStringLiteral("Default.kpf")), QByteArray("default"));
  EXPECT_FALSE(QFileInfo::exists(data + QStringLiteral("Kurvino2.ini")));

  // Later starts keep the user's files as they are, removed ones included.
  test::WriteFile(data + QStringLiteral("Default.kpf"), "mine");
  QFile::remove(data + QStringLiteral("Path/a.kpf"));
  ASSERT_TRUE(SeedDataDir(program, data));
  EXPECT_EQ(test::ReadFile(data + QStringLiteral("Default.kpf")), QByteArray("mine"));
  EXPECT_FALSE(QFileInfo::exists(data + QStringLiteral("Path/a.kpf")));
}

// ---- reading --------------------------------------------------------------------

TEST(IniRead, RefusesWhatIsNotASmallRegularFile) {
  test::TTempDir dir;
  // A device would be read forever; a file above 1 MiB is no settings file.
  EXPECT_FALSE(TIniFile(QStringLiteral("/dev/zero")).Loaded());
  const QString big = dir.Path(QStringLiteral("big.ini"));
  test::WriteFile(big, "[Rules]\nMinPathR=7\n" + QByteArray(1 << 20, '#'));
  const TIniFile ini(big);
  EXPECT_FALSE(ini.Loaded());
  EXPECT_EQ(ini.ReadInteger(QStringLiteral("Rules"), QStringLiteral("MinPathR"), 400), 400);
  test::WriteFile(big, "[Rules]\nMinPathR=7\n");
  EXPECT_EQ(TIniFile(big).ReadInteger(QStringLiteral("Rules"), QStringLiteral("MinPathR"), 400), 7);
}

struct TReadCase {
  const char* Name;
  const char* File;  // null: no file at all
  const char* Section;
  const char* Key;
  bool Real;
  double Default;
  double Expected;
};
void PrintTo(const TReadCase& c, std::ostream* os) { *os << c.Name; }

class IniReadTest : public ::testing::TestWithParam<TReadCase> {};

TEST_P(IniReadTest, YieldsTheValueOrTheDefault) {
  const TReadCase& c = GetParam();
  test::TTempDir dir;
  if (c.File) dir.WriteSettings(QString::fromUtf8(c.File));
  const TIniFile ini(dir.Path(QStringLiteral("Kurvino2.ini")));
  EXPECT_EQ(ini.Loaded(), c.File != nullptr);
  const QString section = QString::fromLatin1(c.Section), key = QString::fromLatin1(c.Key);
  if (c.Real)
    EXPECT_EQ(ini.ReadFloat(section, key, c.Default), c.Expected);
  else
    EXPECT_EQ(ini.ReadInteger(section, key, static_cast<int32_t>(c.Default)), c.Expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, IniReadTest,
    ::testing::Values(
        TReadCase{"NoFile", nullptr, "Rules", "MinPathR", false, 400, 400},
        TReadCase{"EmptyFile", "", "Rules", "MinPathR", false, 400, 400},
        TReadCase{"MissingSection", "[DefaultCarParam]\nLength=5\n", "Rules", "MinPathR", false,
                  400, 400},
        TReadCase{"MissingKey", "[Rules]\nMaxSensorCount=8\n", "Rules", "MinPathR", false, 400,
                  400},
        TReadCase{"KeyOfAnotherSection", "[Other]\nMinPathR=3\n[Rules]\n", "Rules", "MinPathR",
                  false, 400, 400},
        TReadCase{"CommentedOut", "[Rules]\n;MinPathR=3\n", "Rules", "MinPathR", false, 400, 400},
        TReadCase{"Integer", "[Rules]\nMinPathR=250\n", "Rules", "MinPathR", false, 400, 250},
        TReadCase{"Negative", "[Rules]\nMinPathR=-7\n", "Rules", "MinPathR", false, 400, -7},
        TReadCase{"Blanks", "[ Rules ]\n  MinPathR = 250  \n", "Rules", "MinPathR", false, 400,
                  250},
        TReadCase{"NamesIgnoreCase", "[rules]\nminpathr=300\n", "Rules", "MinPathR", false, 400,
                  300},
        TReadCase{"CrLf", "[Rules]\r\nMinPathR=300\r\n", "Rules", "MinPathR", false, 400, 300},
        TReadCase{"Text", "[Rules]\nMinPathR=abc\n", "Rules", "MinPathR", false, 400, 400},
        TReadCase{"EmptyValue", "[Rules]\nMinPathR=\n", "Rules", "MinPathR", false, 400, 400},
        TReadCase{"TrailingText", "[Rules]\nMinPathR=12abc\n", "Rules", "MinPathR", false, 400,
                  400},
        TReadCase{"RealForInteger", "[Rules]\nMinPathR=1.5\n", "Rules", "MinPathR", false, 400,
                  400},
        TReadCase{"BeyondInt32", "[Rules]\nMinPathR=99999999999\n", "Rules", "MinPathR", false, 400,
                  400},
        TReadCase{"Real", "[M]\nURated=7.25\n", "M", "URated", true, 7.5, 7.25},
        TReadCase{"RealHundredth", "[M]\nMiu=0.01\n", "M", "Miu", true, 0.5, 0.01},
        TReadCase{"RealExponent", "[M]\nMiu=1e-3\n", "M", "Miu", true, 0.5, 0.001},
        TReadCase{"RealFromInteger", "[M]\nTRated=10\n", "M", "TRated", true, 1, 10},
        TReadCase{"RealWithComma", "[M]\nURated=7,5\n", "M", "URated", true, 3, 3},
        TReadCase{"RealText", "[M]\nURated=abc\n", "M", "URated", true, 3, 3},
        TReadCase{"RealNotFinite", "[M]\nURated=inf\n", "M", "URated", true, 3, 3},
        TReadCase{"RealHex", "[M]\nURated=0x10\n", "M", "URated", true, 3, 3}),
    test::TCaseName());

// ---- writing ------------------------------------------------------------------------

TEST(IniWrite, ChangesOnlyTheWrittenKeys) {
  test::TTempDir dir;
  const QString path = dir.Path(QStringLiteral("Kurvino2.ini"));
  dir.WriteSettings(
      QStringLiteral("; settings of a team\n"
                     "[DefaultPathParam]\n"
                     "PathWidth=300\n"
                     "Comment=keep me\n"
                     "\n"
                     "[Rules]\n"
                     "MinPathR = 400\n"
                     "\n"
                     "[Other]\n"
                     "X=1\n"));
  TIniFile ini(path);
  ini.WriteInteger(QStringLiteral("Rules"), QStringLiteral("MinPathR"), 350);
  ini.WriteInteger(QStringLiteral("Rules"), QStringLiteral("MaxSensorCount"), 8);
  ini.WriteFloat(QStringLiteral("DefaultMotorParam"), QStringLiteral("URated"), 7.5);
  ASSERT_TRUE(ini.UpdateFile());
  EXPECT_EQ(test::ReadFile(path), QByteArray("; settings of a team\n"
                                             "[DefaultPathParam]\n"
                                             "PathWidth=300\n"
                                             "Comment=keep me\n"
                                             "\n"
                                             "[Rules]\n"
                                             "MinPathR=350\n"
                                             "MaxSensorCount=8\n"
                                             "\n"
                                             "[Other]\n"
                                             "X=1\n"
                                             "[DefaultMotorParam]\n"
                                             "URated=7.5\n"));
  // What was written reads back.
  const TIniFile again(path);
  EXPECT_EQ(again.ReadInteger(QStringLiteral("Rules"), QStringLiteral("MinPathR"), 0), 350);
  EXPECT_EQ(again.ReadFloat(QStringLiteral("DefaultMotorParam"), QStringLiteral("URated"), 0), 7.5);
  EXPECT_EQ(again.ReadString(QStringLiteral("DefaultPathParam"), QStringLiteral("Comment"), {}),
            QStringLiteral("keep me"));
}

TEST(IniWrite, KeepsCrLfLineEnds) {
  test::TTempDir dir;
  const QString path = dir.Path(QStringLiteral("Kurvino2.ini"));
  dir.WriteSettings(QStringLiteral("[Rules]\r\nMinPathR=400\r\n"));
  TIniFile ini(path);
  ini.WriteInteger(QStringLiteral("Rules"), QStringLiteral("MaxSensorCount"), 8);
  ASSERT_TRUE(ini.UpdateFile());
  EXPECT_EQ(test::ReadFile(path), QByteArray("[Rules]\r\nMinPathR=400\r\nMaxSensorCount=8\r\n"));
}

TEST(IniWrite, CreatesAMissingFileButNotAMissingFolder) {
  test::TTempDir dir;
  const QString path = dir.Path(QStringLiteral("Kurvino2.ini"));
  TIniFile ini(path);
  EXPECT_FALSE(ini.Loaded());
  ini.WriteInteger(QStringLiteral("Rules"), QStringLiteral("MinPathR"), 300);
  ini.WriteFloat(QStringLiteral("DefaultPathParam"), QStringLiteral("Miu"), 0.01);
  ASSERT_TRUE(ini.UpdateFile());
  EXPECT_EQ(test::ReadFile(path),
            QByteArray("[Rules]\nMinPathR=300\n[DefaultPathParam]\nMiu=0.01\n"));

  TIniFile lost(dir.Path(QStringLiteral("no/such/Kurvino2.ini")));
  lost.WriteInteger(QStringLiteral("Rules"), QStringLiteral("MinPathR"), 300);
  EXPECT_FALSE(lost.UpdateFile());
}

struct TFormatCase {
  double Value;
  const char* Text;
};

TEST(IniWrite, RealsInTheShortestGeneralForm) {
  const TFormatCase cases[] = {
      {0.01, "0.01"},
      {7.5, "7.5"},
      {10.0, "10"},
      {2000.0, "2000"},
      {20.5, "20.5"},
      {-3.25, "-3.25"},
      {0.1 + 0.2, "0.3"},
      {1e-5, "1e-05"},
      {123456789012.0, "123456789012"},
      {static_cast<double>(0.3f), "0.300000011920929"},  // 15 significant digits at most
  };
  for (const TFormatCase& c : cases)
    EXPECT_EQ(TIniFile::FormatFloat(c.Value), QString::fromLatin1(c.Text)) << c.Text;
}

// ---- the key table and the rules ------------------------------------------------------

TEST(SettingKeys, TableHoldsTheKeysInWritingOrder) {
  const char* const order[22] = {
      "PathWidth",      "LineWidth", "Miu",       "Length",        "Width",
      "Weight",         "Track",     "WheelBase", "WheelD",        "WheelWidth",
      "FrontLength",    "Ratio",     "URated",    "IRated",        "TRated",
      "nRated",         "Ra",        "L",         "MaxSteerAngle", "SteerSpeed",
      "MaxSensorCount", "MinPathR"};
  int reals = 0, differing = 0;
  for (int i = 0; i < 22; ++i) {
    EXPECT_STREQ(SettingKeys[i].Key, order[i]);
    reals += SettingKeys[i].IsReal;
    differing += SettingKeys[i].DialogDefault != SettingKeys[i].ModelDefault;
  }
  EXPECT_EQ(reals, 6);
  EXPECT_EQ(differing, 4);
  EXPECT_EQ(SettingKey(SecMotor, "URated").ModelDefault, 7.4);
  EXPECT_EQ(SettingKey(SecMotor, "nRated").DialogDefault, 2000);
}

TEST(SettingKeys, ModelReadersUseTheModelDefaults) {
  test::TTempDir dir;
  dir.WriteSettings(QStringLiteral("[DefaultMotorParam]\nIRated=1.5\nnRated=x\n"));
  const TIniFile ini(ModelSettingsPath());
  EXPECT_EQ(ReadModelFloat(ini, SecMotor, "IRated"), 1.5);
  EXPECT_EQ(ReadModelInt(ini, SecMotor, "nRated"), 3000);
  EXPECT_EQ(ReadModelFloat(ini, SecMotor, "Ra"), 0.2);
}

struct TRulesCase {
  const char* Name;
  const char* File;
  int32_t MaxSensorCount;
  int32_t MinPathR;
};
void PrintTo(const TRulesCase& c, std::ostream* os) { *os << c.Name; }

class ReadRulesTest : public ::testing::TestWithParam<TRulesCase> {};

TEST_P(ReadRulesTest, ReadsBothRulesFromTheMainSettingsFile) {
  test::TTempDir dir;
  if (GetParam().File) dir.WriteSettings(QString::fromLatin1(GetParam().File));
  EXPECT_EQ(MainSettingsPath(), dir.Path(QStringLiteral("Kurvino2.ini")));
  const TRules r = ReadRules(MainSettingsPath());
  EXPECT_EQ(r.MaxSensorCount, GetParam().MaxSensorCount);
  EXPECT_EQ(r.MinPathR, GetParam().MinPathR);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ReadRulesTest,
    ::testing::Values(TRulesCase{"NoFile", nullptr, 16, 400},
                      TRulesCase{"Both", "[Rules]\nMaxSensorCount=8\nMinPathR=250\n", 8, 250},
                      TRulesCase{"CountNotANumber", "[Rules]\nMaxSensorCount=abc\n", 16, 400},
                      TRulesCase{"RadiusNotANumber", "[Rules]\nMinPathR=abc\n", 16, 400}),
    test::TCaseName());

}  // namespace
}  // namespace k2
