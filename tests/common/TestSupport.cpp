#include "common/TestSupport.h"

#include <QDir>
#include <QFile>
#include <cstring>
#include <gtest/gtest.h>

#include "base/uSettings.h"

namespace k2::test {

TTempDir::TTempDir() : PreviousCwd(QDir::currentPath()) {
  EXPECT_TRUE(Folder.isValid());
  QDir::setCurrent(Folder.path());
  SetModelSettingsPath(QStringLiteral("Kurvino2.ini"));
  SetProgramDir(Folder.path());
  SetMainSettingsPath(QString());
}

TTempDir::~TTempDir() { QDir::setCurrent(PreviousCwd); }

QString TTempDir::Path(const QString& name) const { return Folder.filePath(name); }

void TTempDir::WriteSettings(const QString& text) const {
  WriteFile(Path(QStringLiteral("Kurvino2.ini")), text.toUtf8());
}

QByteArray ReadFile(const QString& path) {
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly)) return QByteArray();
  return f.readAll();
}

void WriteFile(const QString& path, const QByteArray& bytes) {
  QFile f(path);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate)) << path.toStdString();
  ASSERT_EQ(f.write(bytes), bytes.size());
}

QByteArray LE32(int32_t v) {
  uint32_t u;
  std::memcpy(&u, &v, 4);
  QByteArray b(4, '\0');
  for (int i = 0; i < 4; ++i) b[i] = static_cast<char>((u >> (8 * i)) & 0xFF);
  return b;
}

QByteArray LEFloat(float v) {
  int32_t i;
  std::memcpy(&i, &v, 4);
  return LE32(i);
}

QByteArray Bytes(std::initializer_list<int> values) {
  QByteArray b;
  for (int v : values) b.append(static_cast<char>(v));
  return b;
}

namespace {
QString EnvOr(const char* name, const char* fallback) {
  const QByteArray v = qgetenv(name);
  return QString::fromLocal8Bit(v.isEmpty() ? QByteArray(fallback) : v);
}
}  // namespace

QString BinDir() { return EnvOr("KURVINO2_BIN_DIR", KURVINO2_BUILD_BIN_DIR); }
QString SourceDir() { return EnvOr("KURVINO2_SOURCE_DIR", KURVINO2_BUILD_SOURCE_DIR); }

}  // namespace k2::test
