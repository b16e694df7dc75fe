#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <ostream>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <string>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "common/TestSupport.h"
#include "simulation/uJudge.h"

extern char** environ;

namespace k2 {
namespace {

QString ModulePath(const char* name) {
  return QStringLiteral(KURVINO2_TEST_MODULES "/%1.so").arg(QLatin1String(name));
}

QString HostPath() { return QStringLiteral(KURVINO2_JUDGE_HOST); }

// True when this process has no child at all, neither running nor unreaped.
bool NoChildren() {
  errno = 0;
  return waitpid(-1, nullptr, WNOHANG) == -1 && errno == ECHILD;
}

class JudgeTest : public ::testing::Test {
 protected:
  JudgeTest() { Module.SetHostPath(HostPath()); }

  void TearDown() override {
    Module.Release();
    EXPECT_TRUE(NoChildren());
  }

  // A call with two light bytes and no picture.
  bool Call(int speed, uint16_t& motor, uint16_t& steer) {
    const uint8_t light[2] = {10, 20};
    return Module.CallJudge(speed, light, 2, nullptr, 0, 0, motor, steer);
  }
  bool Call(int speed) {
    uint16_t motor = 0, steer = 32768;
    return Call(speed, motor, steer);
  }

  // What the probe module reported: "load", "reset" and "judge SPEED", in order.
  QStringList Events() const {
    QStringList events;
    for (const QString& line : Module.OutputLines()) {
      const QString word = line.section(QLatin1Char(' '), 0, 0);
      if (word == QLatin1String("load") || word == QLatin1String("reset"))
        events.append(word);
      else if (word == QLatin1String("judge"))
        events.append(QStringLiteral("judge ") + line.section(QLatin1Char(' '), 1, 1).mid(6));
    }
    return events;
  }

  test::TTempDir Dir;
  TJudgeModule Module;
};

// --- the two cells ---

struct TCellCase {
  const char* Module;
  uint16_t MotorIn, SteerIn;
  uint16_t MotorOut, SteerOut;
};

void PrintTo(const TCellCase& c, std::ostream* os) {
  *os << c.Module << "_" << c.MotorIn << "_" << c.SteerIn;
}

class JudgeCellsTest : public JudgeTest, public ::testing::WithParamInterface<TCellCase> {};

TEST_P(JudgeCellsTest, CellsComeBackAsTheModuleLeftThem) {
  const TCellCase& c = GetParam();
  ASSERT_TRUE(Module.Load(ModulePath(c.Module)));
  ASSERT_TRUE(Module.CallReset());
  uint16_t motor = c.MotorIn, steer = c.SteerIn;
  for (int step = 0; step < 3; ++step) {
    ASSERT_TRUE(Call(0, motor, steer));
    EXPECT_EQ(motor, c.MotorOut) << "step " << step;
    EXPECT_EQ(steer, c.SteerOut) << "step " << step;
  }
}

INSTANTIATE_TEST_SUITE_P(Modules, JudgeCellsTest,
                         ::testing::Values(TCellCase{"silent", 0, 32768, 0, 32768},
                                           TCellCase{"silent", 65535, 1, 65535, 1},
                                           TCellCase{"fullmotor", 0, 32768, 65535, 32768},
                                           TCellCase{"fullmotor", 65535, 0, 65535, 0}));

// --- the arguments ---

TEST_F(JudgeTest, BuffersArriveWithTheirSizesAndEmptyOnesAsNull) {
  struct TCase {
    std::vector<uint8_t> Light;
    bool NullLight;
    int W, H;
    bool NullCcd;
    const char* Expected;  // after "judge speed=5 "
  };
  const std::vector<uint8_t> wide(2000, 1);
  const TCase cases[] = {
      {{}, true, 0, 0, true, "light=0:null ccd=0x0:null"},
      {{1, 2, 3}, false, 0, 0, true, "light=3:6 ccd=0x0:null"},
      {{255}, false, 4, 2, false, "light=1:255 ccd=4x2:36"},
      {{1, 2, 3}, true, 4, 2, true, "light=0:null ccd=0x0:null"},
      {{7}, false, -4, 2, false, "light=1:7 ccd=0x0:null"},
      {{7}, false, 4, 0, false, "light=1:7 ccd=0x0:null"},
      // Larger than the first shared buffers: they grow, and the host follows.
      {wide, false, 1000, 1000, false, "light=2000:2000 ccd=1000x1000:1000000"},
      {{4, 4}, false, 3, 1, false, "light=2:8 ccd=3x1:3"},
  };
  ASSERT_TRUE(Module.Load(ModulePath("probe")));
  for (const TCase& c : cases) {
    std::vector<uint8_t> ccd;
    if (c.W > 0 && c.H > 0) {
      ccd.assign(static_cast<size_t>(c.W) * static_cast<size_t>(c.H), 1);
      if (c.W * c.H == 8)
        for (int i = 0; i < 8; ++i) ccd[i] = static_cast<uint8_t>(i + 1);
    }
    uint16_t motor = 0, steer = 0;
    ASSERT_TRUE(Module.CallJudge(5, c.NullLight ? nullptr : c.Light.data(),
                                 static_cast<uint16_t>(c.Light.size()),
                                 c.NullCcd ? nullptr : ccd.data(), c.W, c.H, motor, steer))
        << c.Expected;
    EXPECT_EQ(Module.OutputLines().last(), QStringLiteral("judge speed=5 ") + c.Expected);
  }
}

TEST_F(JudgeTest, BuffersFilledInPlaceArePassedAsTheyAre) {
  ASSERT_TRUE(Module.Load(ModulePath("probe")));
  ASSERT_TRUE(Module.Reserve(3, 6));
  uint8_t* light = Module.LightBuffer();
  uint8_t* ccd = Module.CcdBuffer();
  for (int i = 0; i < 3; ++i) light[i] = 100;
  for (int i = 0; i < 6; ++i) ccd[i] = 2;
  uint16_t motor = 0, steer = 0;
  ASSERT_TRUE(Module.CallJudge(-1, light, 3, ccd, 3, 2, motor, steer));
  EXPECT_EQ(Module.OutputLines().last(), QStringLiteral("judge speed=-1 light=3:300 ccd=3x2:12"));
}

TEST_F(JudgeTest, CallsReachAHostThatSleepsAndWakeAnEngineThatSleeps) {
  ASSERT_TRUE(Module.Load(ModulePath("probe")));
  for (int i = 0; i < 4; ++i) {
    usleep(2000);  // longer than either side watches the counters
    uint16_t motor = 0, steer = 0;
    ASSERT_TRUE(Call(i, motor, steer));
    EXPECT_EQ(motor, i);
    ASSERT_TRUE(Call(1010, motor, steer));  // slower than the engine watches
    EXPECT_EQ(motor, 1010);
  }
}

// --- binding ---

TEST_F(JudgeTest, LoadKeepsTheFileNameAndFindsAModuleByPlainName) {
  // A name without a directory must not send dlopen searching the library path.
  ASSERT_TRUE(QFile::copy(ModulePath("probe"), Dir.Path(QStringLiteral("My Judge.so"))));
  ASSERT_TRUE(Module.Load(QStringLiteral("My Judge.so")));
  EXPECT_TRUE(Module.IsLoaded());
  EXPECT_EQ(Module.FileName(), QStringLiteral("My Judge.so"));
  EXPECT_GT(Module.HostPid(), 0);
  EXPECT_TRUE(Call(1));

  ASSERT_TRUE(Module.Load(ModulePath("silent")));
  EXPECT_EQ(Module.FileName(), QStringLiteral("silent.so"));
  EXPECT_TRUE(Call(2));
}

TEST_F(JudgeTest, AMissingFileChangesNothing) {
  ASSERT_TRUE(Module.Load(ModulePath("probe")));
  EXPECT_FALSE(Module.Load(Dir.Path(QStringLiteral("missing.so"))));
  EXPECT_TRUE(Module.IsLoaded());
  EXPECT_EQ(Module.FileName(), QStringLiteral("probe.so"));
  EXPECT_TRUE(Call(1));
}

struct TLoadFailCase {
  const char* Label;
  const char* Module;  // in the test modules, or "garbage": a text file
  const char* Host;    // null: the real host
  const char* Output;  // part of a line the failure leaves in the output, or null
};

void PrintTo(const TLoadFailCase& c, std::ostream* os) { *os << c.Label; }

class JudgeLoadFailTest : public JudgeTest, public ::testing::WithParamInterface<TLoadFailCase> {};

TEST_P(JudgeLoadFailTest, FailsAndLeavesNoModuleBound) {
  const TLoadFailCase& c = GetParam();
  ASSERT_TRUE(Module.Load(ModulePath("probe")));
  ASSERT_TRUE(Module.CallReset());
  QString path = ModulePath(c.Module);
  if (QLatin1String(c.Module) == QLatin1String("garbage")) {
    path = Dir.Path(QStringLiteral("garbage.so"));
    test::WriteFile(path, "not a library\n");
  }
  if (c.Host) Module.SetHostPath(QString::fromLatin1(c.Host));

  EXPECT_FALSE(Module.Load(path));
  EXPECT_EQ(Module.LastFault(), TJudgeFault::HostFailed);
  EXPECT_FALSE(Module.IsLoaded());
  EXPECT_TRUE(Module.FileName().isEmpty());
  EXPECT_EQ(Module.HostPid(), 0);
  EXPECT_TRUE(NoChildren());
  uint16_t motor = 5, steer = 6;
  EXPECT_FALSE(Call(1, motor, steer));
  EXPECT_EQ(Module.LastFault(), TJudgeFault::NotLoaded);
  EXPECT_EQ(motor, 5);
  EXPECT_EQ(steer, 6);
  EXPECT_FALSE(Module.CallReset());
  if (c.Output) {
    EXPECT_TRUE(Module.OutputLines().last().contains(QLatin1String(c.Output)))
        << Module.OutputLines().join(QLatin1Char('\n')).toStdString();
  }
}

INSTANTIATE_TEST_SUITE_P(
    Causes, JudgeLoadFailTest,
    ::testing::Values(TLoadFailCase{"NoReset", "noreset", nullptr, "Reset"},
                      TLoadFailCase{"NoJudge", "nojudge", nullptr, "Judge"},
                      TLoadFailCase{"NotALibrary", "garbage", nullptr, "garbage.so"},
                      TLoadFailCase{"HostMissing", "probe", "/nonexistent/kurvino2-judge-host",
                                    nullptr},
                      TLoadFailCase{"HostEndsAtOnce", "probe", "/bin/true", nullptr}));

// --- failures inside Judge ---

TEST_F(JudgeTest, AnExceptionFailsTheCallAndKeepsTheModuleState) {
  ASSERT_TRUE(Module.Load(ModulePath("thrower")));
  const pid_t host = Module.HostPid();
  uint16_t motor = 0, steer = 32768;
  EXPECT_FALSE(Call(0, motor, steer));
  EXPECT_EQ(Module.LastFault(), TJudgeFault::Raised);
  EXPECT_EQ(motor, 1);  // written before the throw
  EXPECT_EQ(Module.HostPid(), host);
  EXPECT_TRUE(Call(0, motor, steer));
  EXPECT_EQ(Module.LastFault(), TJudgeFault::None);
  EXPECT_EQ(motor, 2);  // the call counter survived
}

struct TFaultCase {
  const char* Label;
  int Speed;  // what the probe module does, see modules/probe.c
  TJudgeFault Fault;
};

void PrintTo(const TFaultCase& c, std::ostream* os) { *os << c.Label; }

class JudgeFaultTest : public JudgeTest, public ::testing::WithParamInterface<TFaultCase> {};

TEST_P(JudgeFaultTest, FailsTheCallAndTheNextCallLoadsTheModuleAfresh) {
  const TFaultCase& c = GetParam();
  // Only a hang waits for the timeout; a crash must never be mistaken for one.
  if (c.Fault == TJudgeFault::TimedOut) Module.SetTimeoutMs(300);
  ASSERT_TRUE(Module.Load(ModulePath("probe")));
  ASSERT_TRUE(Module.CallReset());
  ASSERT_TRUE(Call(5));

  uint16_t motor = 0, steer = 32768;
  EXPECT_FALSE(Call(c.Speed, motor, steer));
  EXPECT_EQ(Module.LastFault(), c.Fault);
  EXPECT_EQ(motor, c.Speed);  // written before the failure
  EXPECT_EQ(steer, 32768);
  EXPECT_EQ(Module.HostPid(), 0);
  EXPECT_TRUE(NoChildren());
  EXPECT_TRUE(Module.IsLoaded());

  ASSERT_TRUE(Call(6, motor, steer));
  EXPECT_EQ(motor, 6);
  EXPECT_GT(Module.HostPid(), 0);
  const QString failed = QStringLiteral("judge %1").arg(c.Speed);
  EXPECT_EQ(Events(), (QStringList{"load", "reset", "judge 5", failed, "load", "judge 6"}));
}

INSTANTIATE_TEST_SUITE_P(Kinds, JudgeFaultTest,
                         ::testing::Values(TFaultCase{"Segfault", 1001, TJudgeFault::Ended},
                                           TFaultCase{"Abort", 1002, TJudgeFault::Ended},
                                           TFaultCase{"Exit", 1003, TJudgeFault::Ended},
                                           TFaultCase{"Hang", 1004, TJudgeFault::TimedOut},
                                           TFaultCase{"WriteToInput", 1005, TJudgeFault::Ended}));

// --- Reset ---

TEST_F(JudgeTest, ResetRunsOnlyWhenCalled) {
  ASSERT_TRUE(Module.Load(ModulePath("probe")));
  ASSERT_TRUE(Module.CallReset());
  ASSERT_TRUE(Call(1));
  ASSERT_TRUE(Call(2));
  ASSERT_TRUE(Module.CallReset());
  ASSERT_TRUE(Call(3));
  ASSERT_TRUE(Module.Load(ModulePath("probe")));
  ASSERT_TRUE(Call(4));
  EXPECT_EQ(Events(), (QStringList{"load", "reset", "judge 1", "judge 2", "reset", "judge 3",
                                   "load", "judge 4"}));
}

struct TResetFaultCase {
  const char* Label;
  const char* Module;
  int ArmSpeed;  // a Judge call with this speed makes the next Reset fail
  TJudgeFault Fault;
};

void PrintTo(const TResetFaultCase& c, std::ostream* os) { *os << c.Label; }

class JudgeResetFaultTest : public JudgeTest,
                            public ::testing::WithParamInterface<TResetFaultCase> {};

TEST_P(JudgeResetFaultTest, ReleasesTheModule) {
  const TResetFaultCase& c = GetParam();
  if (c.Fault == TJudgeFault::TimedOut) Module.SetTimeoutMs(300);
  ASSERT_TRUE(Module.Load(ModulePath(c.Module)));
  ASSERT_TRUE(Module.CallReset());
  Call(c.ArmSpeed);
  EXPECT_FALSE(Module.CallReset());
  EXPECT_EQ(Module.LastFault(), c.Fault);
  EXPECT_FALSE(Module.IsLoaded());
  EXPECT_TRUE(Module.FileName().isEmpty());
  EXPECT_EQ(Module.HostPid(), 0);
  EXPECT_TRUE(NoChildren());
  EXPECT_FALSE(Call(1));
  EXPECT_EQ(Module.LastFault(), TJudgeFault::NotLoaded);
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, JudgeResetFaultTest,
    ::testing::Values(TResetFaultCase{"Segfault", "probe", 1006, TJudgeFault::Ended},
                      TResetFaultCase{"Hang", "probe", 1007, TJudgeFault::TimedOut},
                      TResetFaultCase{"Exception", "thrower", 7, TJudgeFault::Raised}));

// --- output ---

TEST_F(JudgeTest, OutputReachesTheSinkAndTheLastLinesAreKept) {
  int sunk = 0;
  QString lastSunk;
  Module.SetOutputSink([&](const QString& line) {
    ++sunk;
    lastSunk = line;
  });
  ASSERT_TRUE(Module.Load(ModulePath("probe")));
  ASSERT_TRUE(Call(1008));            // far more than a pipe holds, in one call
  EXPECT_EQ(sunk, 1 + 1 + 3000 + 1);  // load, judge, chat, done
  EXPECT_EQ(lastSunk, QStringLiteral("done"));
  const QStringList lines = Module.OutputLines();
  ASSERT_EQ(lines.size(), TJudgeModule::KeptOutputLines);
  EXPECT_EQ(lines.last(), QStringLiteral("done"));
  EXPECT_TRUE(lines[lines.size() - 2].startsWith(QLatin1String("chat 2999 ")));

  // A line without its end is kept for when the host ends.
  ASSERT_TRUE(Call(1009));
  EXPECT_EQ(lastSunk, QStringLiteral("judge speed=1009 light=2:30 ccd=0x0:null"));
  Module.Release();
  EXPECT_EQ(lastSunk, QStringLiteral("partial"));
  Module.ClearOutput();
  EXPECT_TRUE(Module.OutputLines().isEmpty());
}

// --- the host's lifetime ---

constexpr const char* OrphanHelperVar = "KURVINO2_JUDGE_ORPHAN_HELPER";

// Run only by HostDiesWithItsEngine, in a process of its own: leaves the host stuck
// in a call and the process without releasing anything.
TEST(JudgeOrphanHelper, VanishDuringACall) {
  if (!qEnvironmentVariableIsSet(OrphanHelperVar)) GTEST_SKIP() << "helper process only";
  TJudgeModule m;
  m.SetHostPath(HostPath());
  m.SetTimeoutMs(60000);
  std::atomic<bool> hanging{false};
  m.SetOutputSink([&](const QString& line) {
    if (line.startsWith(QLatin1String("judge speed=1004"))) hanging = true;
  });
  if (!m.Load(ModulePath("probe"))) _exit(1);
  std::printf("HOSTPID=%d\n", static_cast<int>(m.HostPid()));
  std::fflush(stdout);
  std::thread([&] {
    uint16_t motor = 0, steer = 0;
    m.CallJudge(1004, nullptr, 0, nullptr, 0, 0, motor, steer);
  }).detach();
  while (!hanging) usleep(1000);
  _exit(0);
}

TEST(JudgeHostLifetime, HostDiesWithItsEngine) {
  // Orphans are re-parented to this process, so it can see how the host ended.
  ASSERT_EQ(prctl(PR_SET_CHILD_SUBREAPER, 1), 0);
  int out[2];
  ASSERT_EQ(pipe2(out, O_CLOEXEC), 0);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, out[1], 1);
  std::vector<std::string> env;
  for (char** e = environ; *e; ++e) env.emplace_back(*e);
  env.push_back(std::string(OrphanHelperVar) + "=1");
  std::vector<char*> envp;
  for (std::string& e : env) envp.push_back(e.data());
  envp.push_back(nullptr);
  char exe[] = "/proc/self/exe";
  char filter[] = "--gtest_filter=JudgeOrphanHelper.VanishDuringACall";
  char* argv[] = {exe, filter, nullptr};
  pid_t helper = 0;
  const int rc = posix_spawn(&helper, exe, &actions, nullptr, argv, envp.data());
  posix_spawn_file_actions_destroy(&actions);
  close(out[1]);
  ASSERT_EQ(rc, 0);

  std::string text;
  char buf[512];
  for (ssize_t n; (n = read(out[0], buf, sizeof buf)) > 0;)
    text.append(buf, static_cast<size_t>(n));
  close(out[0]);
  int status = 0;
  ASSERT_EQ(waitpid(helper, &status, 0), helper);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << text;
  const size_t at = text.find("HOSTPID=");
  ASSERT_NE(at, std::string::npos) << text;
  const pid_t host = static_cast<pid_t>(std::stol(text.substr(at + 8)));

  // Nobody kills the host here: it must end by itself, within a generous bound.
  pid_t ended = 0;
  for (int i = 0; i < 1000 && ended == 0; ++i) {
    ended = waitpid(host, &status, WNOHANG);
    if (ended == 0) usleep(10000);
  }
  if (ended == 0) {
    kill(host, SIGKILL);
    waitpid(host, nullptr, 0);
  }
  prctl(PR_SET_CHILD_SUBREAPER, 0);
  ASSERT_EQ(ended, host);
  EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);
  EXPECT_TRUE(NoChildren());
}

}  // namespace
}  // namespace k2
