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
#include <cstdlib>
#include <fcntl.h>
#include <ostream>
#include <poll.h>
#include <signal.h>
#include <string>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "base/uStream.h"
#include "car/uCar.h"
#include "common/TestSupport.h"
#include "simulation/SimFixtures.h"
#include "simulation/judge_host/Sandbox.h"
#include "simulation/uJudge.h"
#include "simulation/uRecord.h"
#include "track/uPath.h"

extern char** environ;

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
  Stopped,    // the sandbox ends the host at the call: the failure names the call
  Crashed,    // the system refuses, the module carries on regardless and faults
  Refused,    // the system refuses and the module returns: the call succeeds
  Prevented,  // either stopped by the sandbox (whatever call) or refused
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
    case TOutcome::Crashed: {
      EXPECT_FALSE(ok);
      EXPECT_EQ(Module.LastFault(), TJudgeFault::Ended);
#if !defined(__SANITIZE_ADDRESS__)
      // (A host built with AddressSanitizer reports the fault itself and then aborts or
      // exits, as ASAN_OPTIONS say: only the failed call is certain there.)
      EXPECT_TRUE(why.contains(QStringLiteral("崩溃")) &&
                  why.contains(QStringLiteral("信号 ") + QLatin1String(c.Why)))
          << why.toStdString();
#endif
      break;
    }
    case TOutcome::Refused:
      EXPECT_TRUE(ok) << why.toStdString();
      EXPECT_TRUE(why.isEmpty());
      break;
    case TOutcome::Prevented:
      EXPECT_TRUE(ok || why.contains(QStringLiteral("沙箱"))) << why.toStdString();
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
        THostileCase{"procmem", TOutcome::Refused, nullptr, "refused: open /proc/ENGINE/mem"},
        // A network socket made by the kernel on the module's behalf.
        THostileCase{"uring", TOutcome::Prevented, nullptr, nullptr}),
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

// --- kurvino2-cli run: misdeeds against the engine process itself ---

// How a run of the tool ended and everything it wrote to its terminal.
struct TTerminalRun {
  int Code = -1;  // the exit code; -1 when a signal ended the tool (Signal)
  int Signal = 0;
  std::string Text;
};

// Runs kurvino2-cli in `dir` as a user's shell would: in a session of its own, on a
// pseudo-terminal that is its controlling terminal, with K2_HOSTILE_AT=3 added to the
// environment.  Stops it after a generous bound should it hang.
TTerminalRun RunCliOnTerminal(const QString& dir, const QStringList& args) {
  TTerminalRun run;
  const int master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  char slave[128] = {};
  if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0 ||
      ptsname_r(master, slave, sizeof slave) != 0) {
    ADD_FAILURE() << "no pseudo-terminal";
    return run;
  }
  std::vector<std::string> argStore = {
      (test::BinDir() + QStringLiteral("/kurvino2-cli")).toStdString(), "--settings",
      (dir + QStringLiteral("/Kurvino2.ini")).toStdString()};
  for (const QString& a : args) argStore.push_back(a.toStdString());
  std::vector<std::string> envStore;
  for (char** e = environ; *e; ++e) envStore.emplace_back(*e);
  envStore.emplace_back("K2_HOSTILE_AT=3");
  std::vector<char*> argv, envp;
  for (std::string& a : argStore) argv.push_back(a.data());
  for (std::string& e : envStore) envp.push_back(e.data());
  argv.push_back(nullptr);
  envp.push_back(nullptr);
  const std::string cwd = dir.toStdString();

  const pid_t pid = fork();
  if (pid == 0) {
    // Only async-signal-safe calls between fork and exec.
    int tty = -1;
    if (setsid() < 0 || (tty = open(slave, O_RDWR)) < 0 || dup2(tty, 0) < 0 || dup2(tty, 1) < 0 ||
        dup2(tty, 2) < 0 || chdir(cwd.c_str()) != 0)
      _exit(126);
    execve(argv[0], argv.data(), envp.data());
    _exit(127);
  }
  if (pid < 0) {
    close(master);
    ADD_FAILURE() << "fork failed";
    return run;
  }
  // The terminal reads as ended (EIO) once the tool and everything it started are gone.
  for (int idle = 0; idle < 600;) {
    pollfd fd = {master, POLLIN, 0};
    if (poll(&fd, 1, 100) <= 0) {
      ++idle;
      continue;
    }
    char buf[4096];
    const ssize_t n = read(master, buf, sizeof buf);
    if (n <= 0) break;
    run.Text.append(buf, static_cast<size_t>(n));
  }
  int status = 0;
  pid_t ended = 0;
  for (int i = 0; i < 600 && ended == 0; ++i) {
    ended = waitpid(pid, &status, WNOHANG);
    if (ended == 0) usleep(100000);
  }
  if (ended == 0) {
    ADD_FAILURE() << "kurvino2-cli did not end";
    kill(pid, SIGKILL);
    waitpid(pid, &status, 0);
  }
  close(master);
  if (WIFEXITED(status)) run.Code = WEXITSTATUS(status);
  if (WIFSIGNALED(status)) run.Signal = WTERMSIG(status);
  return run;
}

struct TCliHostileCase {
  const char* Name;     // modules/hostile_<Name>.c, misbehaving in the third call
  const char* Stopped;  // the call the sandbox must stop, or null when refusing it will do
};

void PrintTo(const TCliHostileCase& c, std::ostream* os) { *os << c.Name; }

class SandboxCliTest : public SandboxTest, public ::testing::WithParamInterface<TCliHostileCase> {};

// The run ends with exit 3 when the third call failed, or runs to its end when the
// misdeed was refused; either way the tool itself lives to write the record.
TEST_P(SandboxCliTest, RunSurvivesTheModuleAndKeepsTheRecords) {
  const TCliHostileCase& c = GetParam();
  const QString track = Dir.Path(QStringLiteral("track.kpf"));
  const QString car = Dir.Path(QStringLiteral("car.kcf"));
  const QString out = Dir.Path(QStringLiteral("run.krf"));
  ASSERT_TRUE(test::SaveTrack(track, {test::LineTo(3000, 0), test::ArcAround(3000, 1000, 180),
                                      test::LineTo(0, 2000), test::ArcAround(0, 1000, 180)}));
  ASSERT_TRUE(test::SaveCar(car, *test::RowCar(3)));
  const QString module = ModulePath((std::string("hostile_") + c.Name).c_str());
  const TTerminalRun r = RunCliOnTerminal(
      Dir.Dir(), {QStringLiteral("run"), QStringLiteral("--track"), track, QStringLiteral("--car"),
                  car, QStringLiteral("--judge"), module, QStringLiteral("--steps"),
                  QStringLiteral("10"), QStringLiteral("--out"), out});
  ASSERT_EQ(r.Signal, 0) << "the module's misdeed ended the tool\n" << r.Text;
  const QString text = QString::fromStdString(r.Text);
  if (c.Stopped) {
    EXPECT_EQ(r.Code, 3) << r.Text;
    EXPECT_TRUE(text.contains(QStringLiteral("沙箱")) && text.contains(QLatin1String(c.Stopped)))
        << r.Text;
  } else {
    EXPECT_TRUE(r.Code == 0 || r.Code == 3) << r.Text;
  }
  EXPECT_FALSE(text.contains(QStringLiteral("MISDEED"))) << r.Text;

  QByteArray bytes;
  ASSERT_TRUE(ReadWholeFile(out, bytes));
  TRecordNames names;
  int32_t stepMs = 0;
  TPath readTrack(nullptr, 3000, nullptr, 6000);
  TCar readCar(nullptr, 2000);
  TRecords records;
  ASSERT_TRUE(ReadRecordFile(bytes, names, stepMs, readTrack, readCar, records));
  // Exit 3: the steps whose calls succeeded.
  EXPECT_EQ(records.Count(), r.Code == 3 ? 2 : 10);
  EXPECT_EQ(names.Judge, QFileInfo(module).fileName());
}

INSTANTIATE_TEST_SUITE_P(Misdeeds, SandboxCliTest,
                         ::testing::Values(TCliHostileCase{"socket", "socket"},
                                           // SIGKILL sent to the engine by the kernel, as the I/O
                                           // signal of a pipe the module gave to the engine.
                                           TCliHostileCase{"sigio", nullptr},
                                           // The engine's file-size limit lowered to 0: saving the
                                           // record would end it with SIGXFSZ.
                                           TCliHostileCase{"prlimit", nullptr},
                                           // A command typed into the user's terminal.
                                           TCliHostileCase{"tiocsti", nullptr}),
                         test::TCaseName());

}  // namespace
}  // namespace k2
