#include "base/uFileSave.h"

#include <QFile>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <libgen.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace k2 {

namespace {

constexpr char TempMark[] = ".k2save-";

QString& LastError() {
  thread_local QString reason;
  return reason;
}

QByteArray DirOf(const QByteArray& path) {
  QByteArray copy = path;
  return QByteArray(dirname(copy.data()));
}

QByteArray BaseOf(const QByteArray& path) {
  QByteArray copy = path;
  return QByteArray(basename(copy.data()));
}

// Temporary files of ours in `dir` that no save holds locked any more.
void RemoveStaleTemps(const QByteArray& dir) {
  DIR* d = opendir(dir.constData());
  if (!d) return;
  while (dirent* e = readdir(d)) {
    const char* mark = std::strstr(e->d_name, TempMark);
    if (!mark || std::strlen(mark) != sizeof TempMark - 1 + 6) continue;
    const QByteArray path = dir + '/' + e->d_name;
    const int fd = open(path.constData(), O_RDWR | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    if (fd < 0) continue;
    struct stat st;
    // A save under way holds its file locked.
    if (fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && flock(fd, LOCK_EX | LOCK_NB) == 0)
      unlink(path.constData());
    close(fd);
  }
  closedir(d);
}

mode_t NewFileMode() {
  const mode_t mask = umask(0);
  umask(mask);
  return 0666 & ~mask;
}

}  // namespace

QString SaveErrorText(int error) {
  switch (error) {
    case ENOSPC:
      return QStringLiteral("磁盘空间不足");
    case EDQUOT:
      return QStringLiteral("磁盘配额已用完");
    case EFBIG:
      return QStringLiteral("文件超出允许的大小");
    case EACCES:
    case EPERM:
      return QStringLiteral("没有写入权限");
    case EROFS:
      return QStringLiteral("文件系统只读");
    case ENOENT:
    case ENOTDIR:
      return QStringLiteral("文件夹不存在");
    default:
      return QString::fromLocal8Bit(std::strerror(error));
  }
}

const QString& LastSaveError() { return LastError(); }
void SetLastSaveError(const QString& reason) { LastError() = reason; }

QString WithReason(const QString& message) {
  return LastError().isEmpty() ? message : message + QStringLiteral("\r\n") + LastError();
}

TAtomicFile::TAtomicFile(const QString& path) : Path(path) {}

TAtomicFile::~TAtomicFile() { Discard(); }

bool TAtomicFile::Fail(int error) {
  if (!Failed) Reason = SaveErrorText(error);
  Failed = true;
  return false;
}

bool TAtomicFile::Open() {
  if (Path.isEmpty()) return Fail(ENOENT);
  Target = QFile::encodeName(Path);
  struct stat st;
  bool exists = stat(Target.constData(), &st) == 0;
  if (exists && !S_ISREG(st.st_mode)) {
    Failed = true;
    Reason = QStringLiteral("目标不是普通文件");
    return false;
  }
  if (exists) {
    // Replace the file a link names, not the link.
    char* real = realpath(Target.constData(), nullptr);
    if (!real) return Fail(errno);
    Target = QByteArray(real);
    std::free(real);
  }
  const QByteArray dir = DirOf(Target);
  RemoveStaleTemps(dir);
  Temp = dir + '/' + BaseOf(Target) + TempMark + "XXXXXX";
  Fd = mkostemp(Temp.data(), O_CLOEXEC);
  if (Fd < 0) {
    Temp.clear();
    return Fail(errno);
  }
  flock(Fd, LOCK_EX | LOCK_NB);  // a fresh file: nobody else can hold it
  // The new file keeps the permissions of the one it replaces.
  fchmod(Fd, exists ? (st.st_mode & 07777) : NewFileMode());
  return true;
}

bool TAtomicFile::Write(const char* data, size_t n) {
  if (Failed || Fd < 0) return false;
  while (n > 0) {
    const ssize_t w = write(Fd, data, n);
    if (w < 0) {
      if (errno == EINTR) continue;
      return Fail(errno);
    }
    data += w;
    n -= static_cast<size_t>(w);
  }
  return true;
}

bool TAtomicFile::Commit() {
  if (Failed || Fd < 0) {
    Discard();
    return false;
  }
  // Written data may still fail on its way to the disk: only what reached it counts.
  if (fsync(Fd) != 0 && errno != EINVAL) {
    Fail(errno);
    Discard();
    return false;
  }
  const int fd = Fd;
  Fd = -1;
  if (close(fd) != 0) {
    Fail(errno);
    Discard();
    return false;
  }
  if (rename(Temp.constData(), Target.constData()) != 0) {
    Fail(errno);
    Discard();
    return false;
  }
  Temp.clear();
  // The rename itself reaches the disk with the folder.
  const int dirFd = open(DirOf(Target).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dirFd >= 0) {
    fsync(dirFd);
    close(dirFd);
  }
  return true;
}

void TAtomicFile::Discard() {
  if (Fd >= 0) close(Fd);
  Fd = -1;
  if (!Temp.isEmpty()) unlink(Temp.constData());
  Temp.clear();
}

bool SaveFileAtomic(const QString& path, const QByteArray& data) {
  TAtomicFile file(path);
  const bool ok = file.Open() && file.Write(data.constData(), static_cast<size_t>(data.size())) &&
                  file.Commit();
  if (!ok) SetLastSaveError(file.Error());
  return ok;
}

}  // namespace k2
