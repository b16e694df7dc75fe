#pragma once
// Saving a file whole or not at all.
//
// TAtomicFile writes to a temporary file beside the target, named after it with
// ".k2save-XXXXXX", created exclusively and locked while it is written.  Every write is
// checked; Commit flushes the data to disk, closes and renames it over the target only
// when all of that worked.  Whatever fails, the previous file stays as it was, byte
// for byte, the temporary file is removed, and Error() says why in words for the user
// ("磁盘空间不足", or the system's text).  A target that exists but is not a regular
// file (a device, a folder, a pipe) is refused; a symbolic link is followed, so the
// file it names is replaced and the link stays.  Temporary files of ours that an
// earlier, killed save left in the same folder are removed on the next save there.
#include <QByteArray>
#include <QString>
#include <cstddef>

namespace k2 {

class TAtomicFile {
 public:
  explicit TAtomicFile(const QString& path);
  ~TAtomicFile();  // an uncommitted file is discarded
  TAtomicFile(const TAtomicFile&) = delete;
  TAtomicFile& operator=(const TAtomicFile&) = delete;

  bool Open();
  // False once any write failed; later writes do nothing.
  bool Write(const char* data, size_t n);
  bool Commit();
  // Removes the temporary file; the target is untouched.
  void Discard();
  const QString& Error() const { return Reason; }

 private:
  bool Fail(int error);

  QString Path;
  QByteArray Target;  // the file replaced, links resolved
  QByteArray Temp;
  int Fd = -1;
  bool Failed = false;
  QString Reason;
};

// Writes data with a TAtomicFile.  False on failure, with LastSaveError() set.
bool SaveFileAtomic(const QString& path, const QByteArray& data);
// Why the last failed save of this thread failed (empty before any failure).
const QString& LastSaveError();
void SetLastSaveError(const QString& reason);
// `message`, followed on a new line (CRLF) by LastSaveError() when there is one.
QString WithReason(const QString& message);

// The user's words for a system error number (the system's own text where there are
// none of ours).
QString SaveErrorText(int error);

}  // namespace k2
