#include "base/uSettings.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryFile>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <mutex>
#include <sys/stat.h>

#include "base/uStream.h"

namespace k2 {

namespace {

QString& ProgramDirStore() {
  static QString dir;
  return dir;
}
QString& ModelPathStore() {
  static QString path = QStringLiteral("Kurvino2.ini");
  return path;
}
QString& MainPathStore() {
  static QString path;
  return path;
}

bool ParseInt(const QString& text, int32_t& out) {
  const QByteArray s = text.trimmed().toLatin1();
  if (s.isEmpty()) return false;
  char* end = nullptr;
  errno = 0;
  const long long v = std::strtoll(s.constData(), &end, 10);
  if (errno != 0 || end != s.constData() + s.size()) return false;
  if (v < std::numeric_limits<int32_t>::min() || v > std::numeric_limits<int32_t>::max())
    return false;
  out = static_cast<int32_t>(v);
  return true;
}

bool ParseFloat(const QString& text, double& out) {
  const QByteArray s = text.trimmed().toLatin1();
  if (s.isEmpty()) return false;
  // Plain decimal notation only: no hex floats, no inf or nan.
  for (char c : s)
    if (!(std::isdigit(static_cast<unsigned char>(c)) || c == '.' || c == '-' || c == '+' ||
          c == 'e' || c == 'E'))
      return false;
  // QByteArray::toDouble reads '.' whatever the process locale (QCoreApplication sets
  // the locale from the environment, which would make strtod expect ',' in some).
  bool ok = false;
  const double v = s.toDouble(&ok);
  if (!ok || !std::isfinite(v)) return false;
  out = v;
  return true;
}

}  // namespace

namespace {

// A settings file is a page of text: anything larger, or not a regular file (a
// device, a pipe), is not read at all.
constexpr qint64 MaxSettingsBytes = 1 << 20;

// The bytes of the last settings file read, reused while the file looks unchanged
// (same file, size and modification time), so that a command reading its settings
// for several purposes reads the file once.  Only for short-lived processes (the
// command-line tool): timestamps are too coarse to notice a rewrite of the same size
// within milliseconds, which a long-running program may do.
bool CacheReads = false;

struct TReadCache {
  QString Path;
  struct stat Stat = {};
  QByteArray Bytes;
};

TReadCache& ReadCache() {
  static TReadCache cache;
  return cache;
}

bool SameFile(const struct stat& a, const struct stat& b) {
  return a.st_dev == b.st_dev && a.st_ino == b.st_ino && a.st_size == b.st_size &&
         a.st_mtim.tv_sec == b.st_mtim.tv_sec && a.st_mtim.tv_nsec == b.st_mtim.tv_nsec;
}

bool ReadSettingsBytes(const QString& path, QByteArray& bytes) {
  struct stat st = {};
  const QByteArray local = QFile::encodeName(path);
  if (path.isEmpty() || ::stat(local.constData(), &st) != 0 || !S_ISREG(st.st_mode) ||
      st.st_size > MaxSettingsBytes)
    return false;
  static std::mutex guard;  // the cache is the process's; readers may be on any thread
  const std::lock_guard<std::mutex> lock(guard);
  TReadCache& cache = ReadCache();
  if (CacheReads && cache.Path == path && SameFile(cache.Stat, st)) {
    bytes = cache.Bytes;
    return true;
  }

  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return false;
  bytes = file.read(st.st_size + 1);  // one byte more shows a file that grew meanwhile
  if (bytes.size() > MaxSettingsBytes || file.error() != QFileDevice::NoError) return false;
  struct stat after = {};
  if (::fstat(file.handle(), &after) == 0 && SameFile(st, after)) cache = {path, st, bytes};
  return true;
}

}  // namespace

void SetSettingsReadOnce(bool on) { CacheReads = on; }

TIniFile::TIniFile(const QString& path) : FilePath(path) {
  QByteArray bytes;
  if (!ReadSettingsBytes(path, bytes)) return;
  Exists = true;
  const QString text = QString::fromUtf8(bytes);

  // A file written with CRLF line ends keeps them.
  if (text.contains(QLatin1String("\r\n"))) LineBreak = QStringLiteral("\r\n");
  Lines = text.split(QLatin1Char('\n'));
  // A final newline leaves one empty element behind; it is written back as is.
  for (QString& line : Lines)
    if (line.endsWith(QLatin1Char('\r'))) line.chop(1);
}

int TIniFile::FindSection(const QString& section) const {
  for (int i = 0; i < Lines.size(); ++i) {
    const QString t = Lines[i].trimmed();
    if (t.startsWith(QLatin1Char('[')) && t.endsWith(QLatin1Char(']')) &&
        t.mid(1, t.size() - 2).trimmed().compare(section, Qt::CaseInsensitive) == 0)
      return i;
  }
  return -1;
}

int TIniFile::FindKey(int sectionLine, const QString& key) const {
  for (int i = sectionLine + 1; i < Lines.size(); ++i) {
    const QString t = Lines[i].trimmed();
    if (t.startsWith(QLatin1Char('['))) break;
    if (t.startsWith(QLatin1Char(';'))) continue;
    const int eq = t.indexOf(QLatin1Char('='));
    if (eq > 0 && t.left(eq).trimmed().compare(key, Qt::CaseInsensitive) == 0) return i;
  }
  return -1;
}

bool TIniFile::Lookup(const QString& section, const QString& key, QString& value) const {
  const int s = FindSection(section);
  if (s < 0) return false;
  const int k = FindKey(s, key);
  if (k < 0) return false;
  const QString& line = Lines[k];
  value = line.mid(line.indexOf(QLatin1Char('=')) + 1).trimmed();
  return true;
}

int32_t TIniFile::ReadInteger(const QString& section, const QString& key, int32_t def) const {
  QString text;
  int32_t v;
  return Lookup(section, key, text) && ParseInt(text, v) ? v : def;
}

double TIniFile::ReadFloat(const QString& section, const QString& key, double def) const {
  QString text;
  double v;
  return Lookup(section, key, text) && ParseFloat(text, v) ? v : def;
}

QString TIniFile::ReadString(const QString& section, const QString& key, const QString& def) const {
  QString text;
  return Lookup(section, key, text) ? text : def;
}

void TIniFile::WriteString(const QString& section, const QString& key, const QString& value) {
  const QString entry = key + QLatin1Char('=') + value;
  int s = FindSection(section);
  if (s < 0) {
    // Drop the empty tail element of a final newline before appending a section.
    if (!Lines.isEmpty() && Lines.last().isEmpty()) Lines.removeLast();
    Lines << QLatin1Char('[') + section + QLatin1Char(']') << entry << QString();
    return;
  }
  const int k = FindKey(s, key);
  if (k >= 0) {
    Lines[k] = entry;
    return;
  }
  // Append after the section's last key line (before blank lines that end it).
  int insertAt = s + 1;
  for (int i = s + 1; i < Lines.size(); ++i) {
    const QString t = Lines[i].trimmed();
    if (t.startsWith(QLatin1Char('['))) break;
    if (!t.isEmpty()) insertAt = i + 1;
  }
  Lines.insert(insertAt, entry);
}

void TIniFile::WriteInteger(const QString& section, const QString& key, int32_t value) {
  WriteString(section, key, QString::number(value));
}

QString TIniFile::FormatFloat(double value) {
  // Like "%.15g" (trailing zeros dropped, plain notation from 1e-4 up to 1e15, so 10
  // is "10" and not "1e+01"), but always with '.' whatever the process locale.
  return QString::number(value, 'g', 15);
}

void TIniFile::WriteFloat(const QString& section, const QString& key, double value) {
  WriteString(section, key, FormatFloat(value));
}

bool TIniFile::UpdateFile() {
  QString text = Lines.join(LineBreak);
  if (!text.endsWith(LineBreak)) text += LineBreak;
  if (!SaveFileAtomic(FilePath, text.toUtf8())) return false;
  Exists = true;
  return true;
}

const QString& ProgramDir() { return ProgramDirStore(); }

namespace {

QString WithSlash(const QString& dir) {
  return dir.endsWith(QLatin1Char('/')) ? dir : dir + QLatin1Char('/');
}

QString& DataDirStore() {
  static QString dir;
  return dir;
}

// Whether files can be made in `dir` by this user: tried, not inferred from modes.
bool CanWriteIn(const QString& dir) {
  QTemporaryFile probe(dir + QStringLiteral("k2probe-XXXXXX"));
  return probe.open();
}

bool CopyFolderFiles(const QString& from, const QString& to) {
  bool ok = true;
  const QDir source(from);
  for (const QFileInfo& f : source.entryInfoList(QDir::Files)) {
    const QString target = to + f.fileName();
    if (!QFileInfo::exists(target)) ok = QFile::copy(f.filePath(), target) && ok;
  }
  return ok;
}

}  // namespace

void SetProgramDir(const QString& dir) {
  ProgramDirStore() = WithSlash(dir);
  DataDirStore() = ProgramDirStore();
}

const QString& DataDir() { return DataDirStore(); }
void SetDataDir(const QString& dir) { DataDirStore() = WithSlash(dir); }

QString PerUserDataDir() {
  return WithSlash(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation)) +
         QStringLiteral("Kurvino2/");
}

bool SeedDataDir(const QString& programDir, const QString& dataDir) {
  const QString from = WithSlash(programDir), to = WithSlash(dataDir);
  const bool fresh = !QFileInfo::exists(to);
  static const char* const folders[4] = {"Path/", "Car/", "Record/", "Judgement/"};
  for (const char* f : folders)
    if (!QDir().mkpath(to + QLatin1String(f))) return false;
  if (!fresh) return true;
  // First start: the samples, so that the pages and the car test have files to open.
  for (const char* f : folders) CopyFolderFiles(from + QLatin1String(f), to + QLatin1String(f));
  for (const char* file : {"Default.kpf", "Kurvino2.ini"})
    if (QFileInfo::exists(from + QLatin1String(file)) &&
        !QFileInfo::exists(to + QLatin1String(file)))
      QFile::copy(from + QLatin1String(file), to + QLatin1String(file));
  return true;
}

void InitProgramDirFromApplication() {
  SetProgramDir(QCoreApplication::applicationDirPath());
  if (CanWriteIn(ProgramDir())) return;
  const QString perUser = PerUserDataDir();
  if (SeedDataDir(ProgramDir(), perUser)) SetDataDir(perUser);
}

const QString& ModelSettingsPath() { return ModelPathStore(); }
void SetModelSettingsPath(const QString& path) { ModelPathStore() = path; }

QString MainSettingsPath() {
  return MainPathStore().isEmpty() ? DataDir() + QStringLiteral("Kurvino2.ini") : MainPathStore();
}
void SetMainSettingsPath(const QString& path) { MainPathStore() = path; }

const TSettingKey SettingKeys[22] = {
    {SecPath, "PathWidth", false, 300, 300},
    {SecPath, "LineWidth", false, 30, 30},
    {SecPath, "Miu", true, 0.01, 0.01},
    {SecCar, "Length", false, 400, 400},
    {SecCar, "Width", false, 200, 200},
    {SecCar, "Weight", false, 2500, 2500},
    {SecCar, "Track", false, 300, 300},
    {SecCar, "WheelBase", false, 190, 190},
    {SecCar, "WheelD", false, 40, 40},
    {SecCar, "WheelWidth", false, 20, 20},
    {SecCar, "FrontLength", false, 130, 130},
    {SecCar, "Ratio", true, 0.5, 0.5},
    {SecMotor, "URated", true, 7.5, 7.4},
    {SecMotor, "IRated", true, 3.5, 0.2},
    {SecMotor, "TRated", true, 10.0, 10.0},
    {SecMotor, "nRated", false, 2000, 3000},
    {SecMotor, "Ra", true, 20.5, 0.2},
    {SecMotor, "L", false, 15, 15},
    {SecSteer, "MaxSteerAngle", false, 40, 40},
    {SecSteer, "SteerSpeed", false, 30, 30},
    {SecRules, "MaxSensorCount", false, DefaultMaxSensorCount, DefaultMaxSensorCount},
    {SecRules, "MinPathR", false, DefaultMinPathR, DefaultMinPathR},
};

const TSettingKey& SettingKey(const char* section, const char* key) {
  for (const TSettingKey& k : SettingKeys)
    if (std::strcmp(k.Section, section) == 0 && std::strcmp(k.Key, key) == 0) return k;
  std::abort();  // a programming error: every caller names a key of the table
}

int32_t ReadModelInt(const TIniFile& ini, const char* section, const char* key) {
  const TSettingKey& k = SettingKey(section, key);
  return ini.ReadInteger(QString::fromLatin1(section), QString::fromLatin1(key),
                         static_cast<int32_t>(k.ModelDefault));
}

double ReadModelFloat(const TIniFile& ini, const char* section, const char* key) {
  const TSettingKey& k = SettingKey(section, key);
  return ini.ReadFloat(QString::fromLatin1(section), QString::fromLatin1(key), k.ModelDefault);
}

TRules ReadRules(const QString& path) {
  const TIniFile ini(path);
  TRules r;
  r.MaxSensorCount =
      ini.ReadInteger(SecRules, QStringLiteral("MaxSensorCount"), DefaultMaxSensorCount);
  r.MinPathR = ini.ReadInteger(SecRules, QStringLiteral("MinPathR"), DefaultMinPathR);
  r.SandboxModules = ini.ReadInteger(SecRules, QString::fromLatin1(SandboxKey),
                                     DefaultSandboxModules ? 1 : 0) != 0;
  return r;
}

}  // namespace k2
