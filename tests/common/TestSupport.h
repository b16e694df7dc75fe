#pragma once
// Helpers shared by the tests: temporary folders, byte-level file access and the
// paths of the build.
#include <QByteArray>
#include <QString>
#include <QTemporaryDir>
#include <cstdint>
#include <gtest/gtest.h>
#include <initializer_list>
#include <string>
#include <type_traits>

namespace k2::test {

// A fresh folder per test, removed afterwards.  It is also made the current working
// directory for the life of the object, and the model settings file points into it,
// so that every test starts without a settings file.
class TTempDir {
 public:
  TTempDir();
  ~TTempDir();
  QString Path(const QString& name) const;  // a file inside the folder
  QString Dir() const { return Folder.path(); }
  // Writes text to Kurvino2.ini in the folder.
  void WriteSettings(const QString& text) const;

 private:
  QTemporaryDir Folder;
  QString PreviousCwd;
};

QByteArray ReadFile(const QString& path);
void WriteFile(const QString& path, const QByteArray& bytes);

// Little-endian encodings for building expected bytes.
QByteArray LE32(int32_t v);
QByteArray LEFloat(float v);
QByteArray Bytes(std::initializer_list<int> values);

// The name generator of parameterised tests: each case is named by its `Name` member,
// or is a name itself (a const char* parameter).  Names hold letters, digits and
// underscores only and are unique within their table; GoogleTest refuses others.
struct TCaseName {
  template <class TCase>
  std::string operator()(const ::testing::TestParamInfo<TCase>& info) const {
    if constexpr (std::is_convertible_v<TCase, const char*>)
      return info.param;
    else
      return info.param.Name;
  }
};

// build/bin of this build tree (from the KURVINO2_BIN_DIR environment variable).
QString BinDir();
// The source tree.
QString SourceDir();

}  // namespace k2::test
