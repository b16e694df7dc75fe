// Saving whole or not at all: a full disk (a file-size limit stands in for it), a
// target that is no regular file, links, and temporaries a killed save left behind.
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include "base/uFileSave.h"
#include "common/TestSupport.h"

namespace k2 {
namespace {

// Files of this process may not grow beyond `bytes` while it lives: a write past it
// fails with EFBIG, as one on a full disk fails with ENOSPC.
class TFileSizeLimit {
 public:
  explicit TFileSizeLimit(rlim_t bytes) {
    getrlimit(RLIMIT_FSIZE, &Saved);
    OldHandler = signal(SIGXFSZ, SIG_IGN);
    const rlimit low{bytes, Saved.rlim_max};
    setrlimit(RLIMIT_FSIZE, &low);
  }
  ~TFileSizeLimit() {
    setrlimit(RLIMIT_FSIZE, &Saved);
    signal(SIGXFSZ, OldHandler);
  }

 private:
  rlimit Saved{};
  sighandler_t OldHandler;
};

QStringList Entries(const QString& dir) {
  return QDir(dir).entryList(QDir::Files | QDir::System | QDir::Hidden);
}

TEST(AtomicSave, AFailedWriteKeepsThePreviousFileAndLeavesNoTemporary) {
  test::TTempDir dir;
  const QString target = dir.Path(QStringLiteral("a.kpf"));
  test::WriteFile(target, "previous");
  {
    TFileSizeLimit full(64);
    EXPECT_FALSE(SaveFileAtomic(target, QByteArray(4096, 'x')));
  }
  EXPECT_EQ(LastSaveError(), QStringLiteral("文件超出允许的大小"));
  EXPECT_EQ(test::ReadFile(target), QByteArray("previous"));
  EXPECT_EQ(Entries(dir.Dir()), QStringList{QStringLiteral("a.kpf")});
  // The same save with room succeeds.
  ASSERT_TRUE(SaveFileAtomic(target, QByteArray(4096, 'x')));
  EXPECT_EQ(test::ReadFile(target), QByteArray(4096, 'x'));
}

TEST(AtomicSave, RefusesTargetsThatAreNoRegularFileAndFollowsLinks) {
  test::TTempDir dir;
  const QString fifo = dir.Path(QStringLiteral("pipe.krf"));
  ASSERT_EQ(mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
  EXPECT_FALSE(SaveFileAtomic(fifo, "data"));
  EXPECT_FALSE(LastSaveError().isEmpty());
  struct stat st = {};
  ASSERT_EQ(lstat(QFile::encodeName(fifo).constData(), &st), 0);
  EXPECT_TRUE(S_ISFIFO(st.st_mode));                // still the pipe, not a file put in its place
  EXPECT_FALSE(SaveFileAtomic(dir.Dir(), "data"));  // a folder

  const QString real = dir.Path(QStringLiteral("real.kcf")),
                link = dir.Path(QStringLiteral("link.kcf"));
  test::WriteFile(real, "old");
  ASSERT_TRUE(QFile::link(real, link));
  ASSERT_TRUE(SaveFileAtomic(link, "new"));
  EXPECT_TRUE(QFileInfo(link).isSymLink());
  EXPECT_EQ(test::ReadFile(real), QByteArray("new"));
}

TEST(AtomicSave, TemporariesOfAKilledSaveAreCleanedOnTheNextSaveThere) {
  test::TTempDir dir;
  const QString stale = dir.Path(QStringLiteral(".a.kpf.k2save-Ab3xYz"));
  const QString foreign = dir.Path(QStringLiteral("notes.k2save.txt"));
  test::WriteFile(stale, "half a track");
  test::WriteFile(foreign, "mine");
  ASSERT_TRUE(SaveFileAtomic(dir.Path(QStringLiteral("b.kpf")), "track"));
  EXPECT_FALSE(QFileInfo::exists(stale));
  EXPECT_TRUE(QFileInfo::exists(foreign));
}

}  // namespace
}  // namespace k2
