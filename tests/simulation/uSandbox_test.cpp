// The decision-module sandbox against modules that misbehave on purpose
// (modules/hostile_*.c).  Each misdeed either ends the call with a failure that says
// why, or is refused by the system and the call goes on; either way the engine's
// buffers stay as they were, nothing the module started survives, and the engine runs
// a further module.
#include <gtest/gtest.h>

#include <QFileInfo>
#include <QRegularExpression>
#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <ostream>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include "base/uStream.h"
#include "car/uCar.h"
#include "cli/CliTestSupport.h"
#include "common/TestSupport.h"
#include "simulation/SimFixtures.h"
#include "simulation/judge_host/Sandbox.h"
#include "simulation/uJudge.h"
#include "simulation/uRecord.h"
#include "track/uPath.h"

namespace k2 {
namespace {

QString ModulePath(const char* name) {
  return QStringLiteral(KURVINO2_TEST_MODULES "/%1.so").arg(QLatin1String(name));
}

// True when this process has no child at all, neither running nor unreaped.
bool NoChildren() {
  errno = 0;
  return waitpid(-1, nullptr, WNOHANG) == -1 && errno == ECHILD;
}

// The module's output as one text, for messages.
std::string Output(const TJudgeModule& m) {
  return m.OutputLines().join(QLatin1Char('\n')).toStdString();
}

bool HasLine(const TJudgeModule& m, const QString& part) {
  for (const QString& line : m.OutputLines())
    if (line.contains(part)) return true;
  return false;
}

constexpr uint8_t Light[2] = {10, 20};
constexpr int CcdW = 4, CcdH = 2;
constexpr uint8_t Ccd[CcdW * CcdH] = {1, 2, 3, 4, 5, 6, 7, 8};

class SandboxTest : public ::testing::Test {
 protected:
  SandboxTest() { Module.SetHostPath(QStringLiteral(KURVINO2_JUDGE_HOST)); }

  void TearDown() override {
    Module.Release();
    EXPECT_TRUE(NoChildren());
  }

  // A call with two readings and a 4 x 2 picture, filled into the shared buffers in
  // place, as the engine does.
  bool Call(uint16_t& motor) {
    if (!Module.Reserve(sizeof Light, sizeof Ccd)) return false;
    std::copy_n(Light, sizeof Light, Module.LightBuffer());
    std::copy_n(Ccd, sizeof Ccd, Module.CcdBuffer());
    uint16_t steer = 32768;
    return Module.CallJudge(0, Module.LightBuffer(), sizeof Light, Module.CcdBuffer(), CcdW, CcdH,
                            motor, steer);
  }

  // The engine's copies of the arguments are as it wrote them.
  bool BuffersIntact() {
    return std::equal(Light, Light + sizeof Light, Module.LightBuffer()) &&
           std::equal(Ccd, Ccd + sizeof Ccd, Module.CcdBuffer());
  }

  test::TTempDir Dir;
  TJudgeModule Module;
};

// --- misdeeds of a confined module ---

enum class TOutcome {
  Stopped,  // the sandbox ends the host at the call: the failure names the call
  Crashed,  // the system refuses, the module carries on regardless and faults
  Refused,  // the system refuses and the module returns: the call succeeds
};

struct THostileCase {
  const char* Name;  // modules/hostile_<Name>.c
  TOutcome Outcome;
  const char* Why;     // Stopped: the call named; Crashed: the signal number
  const char* Output;  // part of a line the module prints, or null
};

void PrintTo(const THostileCase& c, std::ostream* os) { *os << c.Name; }

class SandboxHostileTest : public SandboxTest,
                           public ::testing::WithParamInterface<THostileCase> {};

TEST_P(SandboxHostileTest, TheMisdeedFailsAndTheEngineCarriesOn) {
  const THostileCase& c = GetParam();
#if defined(__SANITIZE_ADDRESS__)
  // AddressSanitizer reserves terabytes of address space at start-up: a host built
  // with it cannot be held to an address-space limit.
  if (std::string(c.Name) == "alloc") GTEST_SKIP() << "no address-space limit under ASan";
#endif
  ASSERT_TRUE(Module.Sandbox());
  ASSERT_TRUE(Module.Load(ModulePath((std::string("hostile_") + c.Name).c_str())))
      << Output(Module);
  ASSERT_TRUE(Module.CallReset());

  uint16_t motor = 0;
  const bool ok = Call(motor);
  const QString why = Module.FailureText();
  switch (c.Outcome) {
    case TOutcome::Stopped:
      EXPECT_FALSE(ok);
      EXPECT_EQ(Module.LastFault(), TJudgeFault::Ended);
      EXPECT_TRUE(why.contains(QStringLiteral("沙箱")) &&
                  why.endsWith(QLatin1Char(' ') + QLatin1String(c.Why)))
          << why.toStdString();
      break;
    case TOutcome::Crashed:
      EXPECT_FALSE(ok);
      EXPECT_EQ(Module.LastFault(), TJudgeFault::Ended);
      EXPECT_TRUE(why.contains(QStringLiteral("崩溃")) &&
                  why.contains(QStringLiteral("信号 ") + QLatin1String(c.Why)))
          << why.toStdString();
      break;
    case TOutcome::Refused:
      EXPECT_TRUE(ok) << why.toStdString();
      EXPECT_TRUE(why.isEmpty());
      break;
  }
  EXPECT_EQ(motor, 65535);  // written before the misdeed
  if (c.Output) {
    EXPECT_TRUE(HasLine(Module, QLatin1String(c.Output))) << Output(Module);
  }
  EXPECT_FALSE(HasLine(Module, QStringLiteral("MISDEED"))) << Output(Module);
  EXPECT_TRUE(BuffersIntact());
  if (!ok) {
    EXPECT_EQ(Module.HostPid(), 0);
    EXPECT_TRUE(NoChildren());
  }

  // The engine is unharmed: it runs another module.
  ASSERT_TRUE(Module.Load(ModulePath("probe")));
  uint16_t again = 0, steer = 0;
  EXPECT_TRUE(Module.CallJudge(77, Light, sizeof Light, nullptr, 0, 0, again, steer));
  EXPECT_EQ(again, 77);
}

INSTANTIATE_TEST_SUITE_P(
    Misdeeds, SandboxHostileTest,
    ::testing::Values(
        THostileCase{"socket", TOutcome::Stopped, "socket", nullptr},
        THostileCase{"ptrace", TOutcome::Stopped, "ptrace", nullptr},
        THostileCase{"vmread", TOutcome::Stopped, "process_vm_readv", nullptr},
        THostileCase{"kill", TOutcome::Stopped, "kill", nullptr},
        THostileCase{"setsid", TOutcome::Stopped, "setsid", nullptr},
        // glibc's fork is a clone without CLONE_THREAD.
        THostileCase{"fork", TOutcome::Stopped, "clone", nullptr},
        THostileCase{"alloc", TOutcome::Refused, nullptr, "refused: mmap of 20 GiB"},
        THostileCase{"bigfile", TOutcome::Refused, nullptr, "refused: write at 1 GiB"},
        THostileCase{"mprotect", TOutcome::Crashed, "11", "refused: mprotect of the picture"},
        THostileCase{"ftruncate", TOutcome::Refused, nullptr,
                     "refused: shrink /memfd:kurvino2-judge-input"},
        THostileCase{"procmem", TOutcome::Refused, nullptr, "refused: open /proc/ENGINE/mem"}),
    test::TCaseName());

TEST_F(SandboxTest, AFileBeyondTheSizeLimitIsNotWritten) {
  ASSERT_TRUE(Module.Load(ModulePath("hostile_bigfile")));
  uint16_t motor = 0;
  ASSERT_TRUE(Call(motor)) << Output(Module);
  const QFileInfo file(Dir.Path(QStringLiteral("hostile-big.bin")));
  EXPECT_TRUE(file.exists());
  EXPECT_LE(static_cast<uint64_t>(file.size()), judgehost::SandboxFileSize);
}

TEST_F(SandboxTest, SharedMemoryRefusedToTheModuleStillServesTheNextCall) {
  ASSERT_TRUE(Module.Load(ModulePath("hostile_ftruncate")));
  const pid_t host = Module.HostPid();
  uint16_t motor = 0;
  ASSERT_TRUE(Call(motor)) << Output(Module);
  EXPECT_TRUE(HasLine(Module, QStringLiteral("refused: grow /memfd:kurvino2-judge-control")))
      << Output(Module);
  motor = 0;
  EXPECT_TRUE(Call(motor));
  EXPECT_EQ(motor, 65535);
  EXPECT_EQ(Module.HostPid(), host);
  EXPECT_TRUE(BuffersIntact());
}

// --- what a module may do, confined or trusted ---

class SandboxModeTest : public SandboxTest, public ::testing::WithParamInterface<const char*> {};

TEST_P(SandboxModeTest, AModuleMayPrintWriteAFileAndRunAThread) {
  Module.SetSandbox(QLatin1String(GetParam()) == QLatin1String("Sandboxed"));
  ASSERT_TRUE(Module.Load(ModulePath("hostile_allowed")));
  uint16_t motor = 0;
  ASSERT_TRUE(Call(motor)) << Module.FailureText().toStdString() << "\n" << Output(Module);
  EXPECT_EQ(motor, 4321);
  for (const char* line :
       {"hello from call 1", "and on stderr", "thread ran", "wrote module-notes.txt"})
    EXPECT_TRUE(Module.OutputLines().contains(QLatin1String(line))) << line;
  EXPECT_EQ(test::ReadFile(Dir.Path(QStringLiteral("module-notes.txt"))), QByteArray("call 1\n"));
}

INSTANTIATE_TEST_SUITE_P(Modes, SandboxModeTest, ::testing::Values("Sandboxed", "Trusted"),
                         test::TCaseName());

// Only a trusted module can start a process.  Whatever it starts is in the host's
// process group and ends with the host, even when it would never end by itself.
TEST_F(SandboxTest, ATrustedModulesChildEndsWithTheHost) {
  // The child is orphaned when the host ends: it comes to this process, which can then
  // see how it ended.
  ASSERT_EQ(prctl(PR_SET_CHILD_SUBREAPER, 1), 0);
  Module.SetSandbox(false);
  ASSERT_TRUE(Module.Load(ModulePath("hostile_fork")));
  uint16_t motor = 0;
  ASSERT_TRUE(Call(motor)) << Module.FailureText().toStdString();
  const QRegularExpressionMatch m = QRegularExpression(QStringLiteral("child (\\d+)$"))
                                        .match(Module.OutputLines().join(QLatin1Char('\n')));
  ASSERT_TRUE(m.hasMatch()) << Output(Module);
  const pid_t child = static_cast<pid_t>(m.captured(1).toInt());
  ASSERT_GT(child, 0);
  EXPECT_EQ(kill(child, 0), 0);  // it outlived the call

  Module.Release();
  // Nobody but the engine kills the child: it must have ended, within a generous bound.
  int status = 0;
  pid_t ended = 0;
  for (int i = 0; i < 1000 && ended == 0; ++i) {
    ended = waitpid(child, &status, WNOHANG);
    if (ended == 0) usleep(10000);
  }
  if (ended == 0) {
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
  }
  prctl(PR_SET_CHILD_SUBREAPER, 0);
  ASSERT_EQ(ended, child);
  EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);
}

// --- kurvino2-cli run ---

TEST_F(SandboxTest, CliRunEndsWithThreeAndKeepsTheRecordsBefore) {
  const QString track = Dir.Path(QStringLiteral("track.kpf"));
  const QString car = Dir.Path(QStringLiteral("car.kcf"));
  const QString out = Dir.Path(QStringLiteral("run.krf"));
  ASSERT_TRUE(test::SaveTrack(track, {test::LineTo(3000, 0), test::ArcAround(3000, 1000, 180),
                                      test::LineTo(0, 2000), test::ArcAround(0, 1000, 180)}));
  ASSERT_TRUE(test::SaveCar(car, *test::RowCar(3)));
  clitest::TCliOptions options = clitest::InFolder(Dir.Dir());
  options.Env = QStringList{QStringLiteral("K2_HOSTILE_AT=3")};
  const clitest::TCliResult r = clitest::RunCli(
      {QStringLiteral("run"), QStringLiteral("--track"), track, QStringLiteral("--car"), car,
       QStringLiteral("--judge"), ModulePath("hostile_socket"), QStringLiteral("--steps"),
       QStringLiteral("10"), QStringLiteral("--out"), out},
      options);
  EXPECT_EQ(r.Code, 3) << r.Err.toStdString();
  EXPECT_TRUE(r.Err.contains(QStringLiteral("沙箱")) && r.Err.contains(QStringLiteral("socket")))
      << r.Err.toStdString();
  EXPECT_TRUE(r.Out.isEmpty());

  QByteArray bytes;
  ASSERT_TRUE(ReadWholeFile(out, bytes));
  TRecordNames names;
  int32_t stepMs = 0;
  TPath readTrack(nullptr, 3000, nullptr, 6000);
  TCar readCar(nullptr, 2000);
  TRecords records;
  ASSERT_TRUE(ReadRecordFile(bytes, names, stepMs, readTrack, readCar, records));
  EXPECT_EQ(records.Count(), 2);  // the steps whose calls succeeded
  EXPECT_EQ(names.Judge, QStringLiteral("hostile_socket.so"));
}

}  // namespace
}  // namespace k2
