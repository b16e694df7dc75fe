#pragma once
// The settings file "Kurvino2.ini": an INI text file read and written by section and
// key, the program folder, and the table of every key the program knows.
//
// Reading yields the caller's default for a missing file, section or key, and for a
// value that is not a number of the expected kind.  Writing changes only the lines
// of the keys written; every other line, comment and blank line stays as it was.
// Section and key names match case-insensitively, as the platform's profile files do.
#include <QString>
#include <QStringList>
#include <cstdint>

namespace k2 {

class TIniFile {
 public:
  // Loads the file if it exists; a missing or unreadable file reads as empty, and so
  // does anything that is not a regular file or exceeds 1 MiB.
  explicit TIniFile(const QString& path);

  const QString& Path() const { return FilePath; }
  bool Loaded() const { return Exists; }

  int32_t ReadInteger(const QString& section, const QString& key, int32_t def) const;
  double ReadFloat(const QString& section, const QString& key, double def) const;
  QString ReadString(const QString& section, const QString& key, const QString& def) const;

  // Changes are kept in memory until UpdateFile.
  void WriteInteger(const QString& section, const QString& key, int32_t value);
  // Shortest general form with up to 15 significant digits, '.' as decimal point.
  void WriteFloat(const QString& section, const QString& key, double value);
  void WriteString(const QString& section, const QString& key, const QString& value);
  // Writes the file through a temporary file and a rename; true on success.
  bool UpdateFile();

  // Formats a real the way WriteFloat stores it.
  static QString FormatFloat(double value);

 private:
  int FindSection(const QString& section) const;  // line index of "[section]", or -1
  int FindKey(int sectionLine, const QString& key) const;
  bool Lookup(const QString& section, const QString& key, QString& value) const;

  QString FilePath;
  QStringList Lines;                         // without their line ends
  QString LineBreak = QStringLiteral("\n");  // the file's own, "\r\n" or "\n"
  bool Exists = false;
};

// A short-lived process (the command-line tool) reads each settings file once and
// reuses the bytes while the file stays the same.
void SetSettingsReadOnce(bool on);

// The folder of the executables, the decision-module host and the manual, with a
// trailing '/'.  Set once at start-up.
const QString& ProgramDir();
// Sets ProgramDir, and DataDir to the same folder.
void SetProgramDir(const QString& dir);
// The folder of the data folders "Path", "Car", "Record", "Judgement", of
// "Default.kpf" and of the settings file, with a trailing '/': ProgramDir itself,
// unless that cannot be written (an installed copy), when it is a per-user folder.
const QString& DataDir();
void SetDataDir(const QString& dir);
// Sets ProgramDir from the running executable's folder, and DataDir: ProgramDir when
// it is writable, else `PerUserDataDir()`, seeded from ProgramDir's samples.
void InitProgramDirFromApplication();
// $XDG_DATA_HOME/Kurvino2/ (~/.local/share/Kurvino2/).
QString PerUserDataDir();
// Makes `dataDir` and its four folders; when it did not exist yet, copies into it
// the files of ProgramDir's folders, Default.kpf and Kurvino2.ini (never over an
// existing file).  False when the folders cannot be made.
bool SeedDataDir(const QString& programDir, const QString& dataDir);

// The file that new tracks, cars, motors and servos read their defaults from:
// "Kurvino2.ini" in the current working directory, unless a tool overrides it.
const QString& ModelSettingsPath();
void SetModelSettingsPath(const QString& path);
// DataDir + "Kurvino2.ini", the file of the main window and the options dialog;
// a tool may point it elsewhere (the CLI's --settings).
QString MainSettingsPath();
void SetMainSettingsPath(const QString& path);  // empty restores the default

// Section names.
inline const char* const SecPath = "DefaultPathParam";
inline const char* const SecCar = "DefaultCarParam";
inline const char* const SecMotor = "DefaultMotorParam";
inline const char* const SecSteer = "DefaultSteerMotorParam";
inline const char* const SecRules = "Rules";

// Built-in rule values.
constexpr int32_t DefaultMaxSensorCount = 16;
constexpr int32_t DefaultMinPathR = 400;

// One key of the settings file.  The dialog default is what the options dialog shows
// for a missing key; the model default is what a new object uses.  They differ for
// four motor keys.
struct TSettingKey {
  const char* Section;
  const char* Key;
  bool IsReal;
  double DialogDefault;
  double ModelDefault;
};

// All 22 keys, in the order the options dialog reads and writes them.
extern const TSettingKey SettingKeys[22];
const TSettingKey& SettingKey(const char* section, const char* key);

// Reads a key of the table with its model default from the model settings file.
int32_t ReadModelInt(const TIniFile& ini, const char* section, const char* key);
double ReadModelFloat(const TIniFile& ini, const char* section, const char* key);

// Whether decision modules run confined (key "SandboxModules" of "Rules", 1 or 0).
inline const char* const SandboxKey = "SandboxModules";
constexpr bool DefaultSandboxModules = true;

struct TRules {
  int32_t MaxSensorCount = DefaultMaxSensorCount;
  int32_t MinPathR = DefaultMinPathR;
  bool SandboxModules = DefaultSandboxModules;
};
// Reads the rules from a settings file.
TRules ReadRules(const QString& path);

}  // namespace k2
