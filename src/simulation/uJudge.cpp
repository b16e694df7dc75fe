#include "simulation/uJudge.h"

#include <QFile>
#include <QFileInfo>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>

#include "base/uSettings.h"
#include "simulation/judge_host/JudgeProtocol.h"
#include "simulation/judge_host/Sandbox.h"

extern char** environ;

namespace k2 {
namespace {

using namespace judgehost;
using TClock = std::chrono::steady_clock;

constexpr size_t InitialInputBytes = 65536;
constexpr size_t InitialLightCapacity = 1024;
constexpr size_t InputGranule = 65536;
constexpr size_t MaxInputBytes = size_t(1) << 30;
constexpr size_t MaxLineBytes = 4096;        // longer lines are split
constexpr size_t PipeBytes = 65536;          // what a pipe holds: one read-out
constexpr size_t FinalDrainBytes = 1 << 20;  // after the host has ended
// How long the engine sleeps at a time waiting for a reply before it reads the host's
// output and looks whether the host has ended.
constexpr std::chrono::milliseconds SleepSlice(5);
// Descriptors handed to the host are first copied at or above this number, so that
// the spawn's dup2 actions never overwrite each other's sources.
constexpr int SpawnFdBase = 10;

size_t RoundUp(size_t v, size_t granule) { return (v + granule - 1) / granule * granule; }

QString& DefaultHostStore() {
  static QString path;
  return path;
}

void CloseFd(int& fd) {
  if (fd >= 0) close(fd);
  fd = -1;
}

int PidfdOpen(pid_t pid) { return static_cast<int>(syscall(SYS_pidfd_open, pid, 0)); }

// False when the deadline has passed.
bool TimeLeft(TClock::time_point deadline, timespec& ts) {
  const auto left = std::chrono::duration_cast<std::chrono::nanoseconds>(deadline - TClock::now());
  if (left.count() <= 0) return false;
  ts.tv_sec = static_cast<time_t>(left.count() / 1000000000);
  ts.tv_nsec = static_cast<long>(left.count() % 1000000000);
  return true;
}

// The host's process: descriptors on their fixed numbers, signals as a fresh
// process has them.
struct TSpawnSetup {
  posix_spawn_file_actions_t Actions;
  posix_spawnattr_t Attr;
  bool Ok = false;

  TSpawnSetup(int sock, int mem, int input, int out) {
    posix_spawn_file_actions_init(&Actions);
    posix_spawnattr_init(&Attr);
    sigset_t none, reset;
    sigemptyset(&none);
    sigemptyset(&reset);
    for (int s : {SIGPIPE, SIGINT, SIGQUIT, SIGHUP, SIGTERM, SIGCHLD, SIGALRM})
      sigaddset(&reset, s);
    Ok = posix_spawn_file_actions_addopen(&Actions, 0, "/dev/null", O_RDONLY, 0) == 0 &&
         posix_spawn_file_actions_adddup2(&Actions, out, 1) == 0 &&
         posix_spawn_file_actions_adddup2(&Actions, out, 2) == 0 &&
         posix_spawn_file_actions_adddup2(&Actions, sock, ControlFd) == 0 &&
         posix_spawn_file_actions_adddup2(&Actions, mem, MemoryFd) == 0 &&
         posix_spawn_file_actions_adddup2(&Actions, input, InputFd) == 0 &&
         // A process group of its own, so that anything it starts ends with it.
         posix_spawnattr_setpgroup(&Attr, 0) == 0 &&
         posix_spawnattr_setsigmask(&Attr, &none) == 0 &&
         posix_spawnattr_setsigdefault(&Attr, &reset) == 0 &&
         posix_spawnattr_setflags(&Attr, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF |
                                             POSIX_SPAWN_SETPGROUP) == 0;
  }
  ~TSpawnSetup() {
    posix_spawn_file_actions_destroy(&Actions);
    posix_spawnattr_destroy(&Attr);
  }
};

}  // namespace

TJudgeModule::TJudgeModule() = default;

TJudgeModule::~TJudgeModule() {
  Release();
  if (Memory) munmap(Memory, ControlBytes);
  if (Input) munmap(Input, InputBytes);
  CloseFd(CtrlFd);
  CloseFd(InFd);
}

void TJudgeModule::SetDefaultHostPath(const QString& path) { DefaultHostStore() = path; }

QString TJudgeModule::DefaultHostPath() {
  return DefaultHostStore().isEmpty() ? ProgramDir() + QStringLiteral("kurvino2-judge-host")
                                      : DefaultHostStore();
}

void TJudgeModule::SetTimeoutMs(int ms) { Timeout = std::max(1, ms); }
void TJudgeModule::SetStartTimeoutMs(int ms) { StartTimeout = std::max(1, ms); }

QStringList TJudgeModule::OutputLines() const {
  QStringList lines;
  lines.reserve(static_cast<qsizetype>(Lines.size()));
  for (const QString& line : Lines) lines.append(line);
  return lines;
}

// --- binding ---

bool TJudgeModule::Load(const QString& path) {
  const QFileInfo info(path);
  if (path.isEmpty() || !info.exists()) {
    Fault = TJudgeFault::HostFailed;
    return false;
  }
  Release();
  ModulePath = info.absoluteFilePath();
  if (!StartHost()) {
    ModulePath.clear();
    Fault = TJudgeFault::HostFailed;
    return false;
  }
  Bound = true;
  Name = info.fileName();
  Fault = TJudgeFault::None;
  return true;
}

void TJudgeModule::Release() {
  StopHost(true);
  Bound = false;
  Name.clear();
  ModulePath.clear();
}

// --- calls ---

bool TJudgeModule::CallReset() {
  if (!Bound) {
    Fault = TJudgeFault::NotLoaded;
    return false;
  }
  const TJudgeFault fault = Exchange(CmdReset);
  if (fault != TJudgeFault::None) Release();
  Fault = fault;
  return fault == TJudgeFault::None;
}

bool TJudgeModule::CallJudge(int32_t speed, const uint8_t* light, uint16_t lightCount,
                             const uint8_t* ccd, int32_t ccdWidth, int32_t ccdHeight,
                             uint16_t& motor, uint16_t& steer) {
  if (!Bound) {
    Fault = TJudgeFault::NotLoaded;
    return false;
  }
  if (!light) lightCount = 0;
  size_t ccdBytes = ccdWidth > 0 && ccdHeight > 0
                        ? static_cast<size_t>(ccdWidth) * static_cast<size_t>(ccdHeight)
                        : 0;
  if (ccdBytes == 0 || !ccd) {
    ccdBytes = 0;
    ccdWidth = 0;
    ccdHeight = 0;
  }
  if (!Reserve(lightCount, ccdBytes)) {
    Fault = TJudgeFault::HostFailed;
    return false;
  }
  uint8_t* input = Input;
  if (lightCount > 0 && light != input) std::memcpy(input, light, lightCount);
  if (ccdBytes > 0 && ccd != input + LightCapacity)
    std::memcpy(input + LightCapacity, ccd, ccdBytes);

  TControl& control = Control();
  control.InputBytes = InputBytes;
  control.CcdOffset = LightCapacity;
  control.Speed = speed;
  control.LightCount = lightCount;
  control.CcdWidth = ccdWidth;
  control.CcdHeight = ccdHeight;
  // The host process writes the cells; volatile keeps every access a real one.
  volatile TCells& cells = *reinterpret_cast<volatile TCells*>(Memory + CellsOffset);
  cells.Motor = motor;
  cells.Steer = steer;

  Fault = Exchange(CmdJudge);
  motor = cells.Motor;
  steer = cells.Steer;
  return Fault == TJudgeFault::None;
}

// One command and its reply.  A host that has ended since the last command is
// replaced first (loading the module again, without Reset); a host that ends or
// overruns the timeout during the command is killed and reaped.
TJudgeFault TJudgeModule::Exchange(char cmd) {
  if (Pid == 0 && !StartHost()) return TJudgeFault::HostFailed;
  Post(cmd);
  char reply = 0;
  TWait waited = WaitReply(reply);
  if (waited == TWait::Ended && LoadShared(Control().TakenSeq) != Seq) {
    // The host had ended before it took the command (between calls): this call is
    // not the module's failure.  A fresh host gets the command.
    StopHost(false);
    if (!StartHost()) return TJudgeFault::HostFailed;
    Post(cmd);
    waited = WaitReply(reply);
  }
  switch (waited) {

    case TWait::Reply:
      if (reply == ReplyDone) return TJudgeFault::None;
      if (reply == ReplyRaised) return TJudgeFault::Raised;
      return TJudgeFault::HostFailed;
    case TWait::Ended:
      StopHost(false);
      return TJudgeFault::Ended;
    case TWait::TimedOut:
      StopHost(false);
      return TJudgeFault::TimedOut;
  }
  return TJudgeFault::HostFailed;
}

// Raises the command counter and wakes the host if it sleeps.
void TJudgeModule::Post(char cmd) {
  TControl& c = Control();
  c.Command = static_cast<unsigned char>(cmd);
  StoreShared(c.CommandSeq, ++Seq);
  WokeHost = LoadShared(c.HostAsleep) != 0;
  if (WokeHost) FutexWake(c.CommandSeq);
}

bool TJudgeModule::Replied(char& reply) const {
  const TControl& c = Control();
  if (LoadShared(c.ReplySeq) != Seq) return false;
  reply = static_cast<char>(c.Reply);
  return true;
}

bool TJudgeModule::HostEnded() const {
  if (PidFd < 0) {
    siginfo_t info{};
    return waitid(P_PID, static_cast<id_t>(Pid), &info, WEXITED | WNOHANG | WNOWAIT) != 0 ||
           info.si_pid != 0;
  }

  pollfd fd = {PidFd, POLLIN, 0};
  return poll(&fd, 1, 0) > 0;
}

// Waits for the reply to the command just posted: spins first, then sleeps on the
// reply counter in short slices, reading the host's output between them (so that a
// module printing more than the pipe holds cannot stall) and looking whether the host
// has ended.
TJudgeModule::TWait TJudgeModule::WaitReply(char& reply) {
  const long long start = NowNs();
  // A host that had to be woken is not running yet.  Should the system put it on this
  // processor, a spin here would only keep it off: sleep at once.
  if (!WokeHost && Spinner.Spin([&] { return Replied(reply); })) {
    DrainOutput(PipeBytes);
    return TWait::Reply;
  }
  const auto deadline = TClock::now() + std::chrono::milliseconds(Timeout);
  TControl& c = Control();
  StoreShared(c.EngineAsleep, 1);
  TWait result = TWait::TimedOut;
  for (;;) {
    const uint32_t seen = LoadShared(c.ReplySeq);
    if (seen == Seq) break;
    timespec slice;
    if (!TimeLeft(std::min(deadline, TClock::now() + SleepSlice), slice)) {
      result = TWait::TimedOut;
      break;
    }
    FutexWait(c.ReplySeq, seen, &slice);
    if (LoadShared(c.ReplySeq) == Seq) break;
    DrainOutput(PipeBytes);
    if (HostEnded()) {
      result = TWait::Ended;
      break;
    }
  }
  StoreShared(c.EngineAsleep, 0);
  Spinner.Slept(NowNs() - start);
  // A reply posted just before the host ended still counts.
  if (Replied(reply)) result = TWait::Reply;
  if (result == TWait::Reply) DrainOutput(PipeBytes);
  return result;
}

// Sleeps until the host sends a byte, writes output, ends, or the deadline passes.
// Wake bytes are consumed; the load result byte is returned in *loadReply.
TJudgeModule::TPoll TJudgeModule::PollHost(TClock::time_point deadline, char* loadReply) {
  timespec ts;
  if (!TimeLeft(deadline, ts)) return TPoll::TimedOut;
  pollfd fds[3] = {{Sock, POLLIN, 0}, {OutFd, POLLIN, 0}, {PidFd, POLLIN, 0}};
  const int r = ppoll(fds, PidFd >= 0 ? 3 : 2, &ts, nullptr);
  if (r < 0) return errno == EINTR ? TPoll::Quiet : TPoll::Ended;
  if (r == 0) return TPoll::Quiet;
  if (fds[1].revents) DrainOutput(PipeBytes);
  if (fds[0].revents & POLLIN) {
    char buf[64];
    const ssize_t n = recv(Sock, buf, loadReply ? 1 : sizeof buf, MSG_DONTWAIT);
    if (n > 0) {
      if (loadReply) *loadReply = buf[0];
      return TPoll::Byte;
    }
    if (n < 0 && (errno == EINTR || errno == EAGAIN)) return TPoll::Quiet;
    return TPoll::Ended;
  }
  if (fds[0].revents & (POLLHUP | POLLERR | POLLNVAL)) return TPoll::Ended;
  if (fds[2].revents) return TPoll::Ended;
  return TPoll::Quiet;
}

// --- host process ---

bool TJudgeModule::StartHost() {
  if (!EnsureMemory()) return false;
  TControl& c = Control();
  StoreShared(c.CommandSeq, 0);
  StoreShared(c.ReplySeq, 0);
  StoreShared(c.HostAsleep, 0);
  StoreShared(c.EngineAsleep, 0);
  StoreShared(c.TakenSeq, 0);
  StoreShared(c.SandboxCall, 0);
  Seq = 0;
  // No other process of this user may read or write this process's memory
  // (/proc/PID/mem), a confined module least of all.
  if (Sandboxed) prctl(PR_SET_DUMPABLE, 0, 0, 0, 0);
  if (!SpawnHost()) return false;
  const auto deadline = TClock::now() + std::chrono::milliseconds(StartTimeout);

  char reply = 0;
  TPoll p = TPoll::Quiet;
  while ((p = PollHost(deadline, &reply)) == TPoll::Quiet) {
  }
  if (p == TPoll::Byte && reply == ReplyLoaded) return true;
  StopHost(false);
  return false;
}

bool TJudgeModule::SpawnHost() {
  int sv[2];
  if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, sv) != 0) return false;
  int out[2];
  if (pipe2(out, O_CLOEXEC) != 0) {
    close(sv[0]);
    close(sv[1]);
    return false;
  }
  int childSock = fcntl(sv[1], F_DUPFD_CLOEXEC, SpawnFdBase);
  int childMem = fcntl(CtrlFd, F_DUPFD_CLOEXEC, SpawnFdBase);
  int childInput = fcntl(InFd, F_DUPFD_CLOEXEC, SpawnFdBase);
  int childOut = fcntl(out[1], F_DUPFD_CLOEXEC, SpawnFdBase);
  close(sv[1]);
  close(out[1]);

  QByteArray host =
      QFile::encodeName(HostPathOverride.isEmpty() ? DefaultHostPath() : HostPathOverride);
  QByteArray module = QFile::encodeName(ModulePath);
  QByteArray parent = QByteArray::number(static_cast<qlonglong>(getpid()));
  QByteArray mode(Sandboxed ? "sandbox" : "trusted");
  char* argv[] = {host.data(), module.data(), parent.data(), mode.data(), nullptr};
  pid_t pid = 0;
  int rc = -1;
  if (childSock >= 0 && childMem >= 0 && childInput >= 0 && childOut >= 0) {
    TSpawnSetup setup(childSock, childMem, childInput, childOut);
    if (setup.Ok)
      rc = posix_spawn(&pid, host.constData(), &setup.Actions, &setup.Attr, argv, environ);
  }
  CloseFd(childSock);
  CloseFd(childMem);
  CloseFd(childInput);
  CloseFd(childOut);
  if (rc != 0) {
    close(sv[0]);
    close(out[0]);
    return false;
  }
  Pid = pid;
  PidFd = PidfdOpen(pid);
  Sock = sv[0];
  OutFd = out[0];
  fcntl(OutFd, F_SETFL, fcntl(OutFd, F_GETFL) | O_NONBLOCK);
  return true;
}

// graceful: close the control channel, which makes the host unload the module and
// exit, and give it the timeout to do so.  Either way the host is then killed if it
// still runs, reaped, and its last output read.
void TJudgeModule::StopHost(bool graceful) {
  if (Pid == 0) return;
  if (graceful && PidFd >= 0) {
    Post(CmdQuit);
    CloseFd(Sock);
    const auto deadline = TClock::now() + std::chrono::milliseconds(Timeout);
    timespec ts;
    while (TimeLeft(deadline, ts)) {
      pollfd fds[2] = {{PidFd, POLLIN, 0}, {OutFd, POLLIN, 0}};
      const int r = ppoll(fds, 2, &ts, nullptr);
      if (r < 0 && errno != EINTR) break;
      if (r > 0 && fds[1].revents) DrainOutput(PipeBytes);
      if (r > 0 && fds[0].revents) break;
    }
  }
  KillAndReap();
  DrainOutput(FinalDrainBytes);
  if (!Partial.empty()) EmitLine();
  CloseHostFds();
}

void TJudgeModule::KillAndReap() {
  // The whole group: whatever the host started goes with it.  Then the host itself by
  // its pidfd, which names exactly our child even if someone else reaped it meanwhile.
  kill(-Pid, SIGKILL);
  if (PidFd >= 0)
    syscall(SYS_pidfd_send_signal, PidFd, SIGKILL, nullptr, 0);
  else
    kill(Pid, SIGKILL);
  int status = 0;
  while (waitpid(Pid, &status, 0) < 0 && errno == EINTR) {
  }
  HostStatus = status;
  StoppedCall = WIFEXITED(status) && WEXITSTATUS(status) == SandboxExitCode
                    ? LoadShared(Control().SandboxCall)
                    : 0;
  Pid = 0;
}

void TJudgeModule::CloseHostFds() {
  CloseFd(Sock);
  CloseFd(OutFd);
  CloseFd(PidFd);
}

// --- shared memory ---

namespace {

// A sealable memory file of `bytes`, mapped read and write here; -1 on failure.
int MakeMemoryFile(const char* name, size_t bytes, uint8_t*& mapping) {
  const int fd = memfd_create(name, MFD_CLOEXEC | MFD_ALLOW_SEALING);
  if (fd < 0) return -1;
  void* p = MAP_FAILED;
  if (ftruncate(fd, static_cast<off_t>(bytes)) == 0)
    p = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
  if (p == MAP_FAILED) {
    close(fd);
    return -1;
  }
  mapping = static_cast<uint8_t*>(p);
  return fd;
}

}  // namespace

bool TJudgeModule::EnsureMemory() {
  if (!Memory) {
    const int fd = MakeMemoryFile("kurvino2-judge-control", ControlBytes, Memory);
    if (fd < 0) return false;
    CtrlFd = fd;
    // Fixed in size: nothing can take memory from under this mapping.
    fcntl(CtrlFd, F_ADD_SEALS, F_SEAL_SHRINK | F_SEAL_GROW | F_SEAL_SEAL);
  }
  return Input || MakeInput(InitialInputBytes, InitialLightCapacity);
}

// A new input file of `bytes`, the picture starting at lightCapacity.  This mapping
// stays writable; the file is then sealed against any other write, so the host can
// only map it read-only.  A running host has the old file: it is stopped, and the next
// call starts one with this file (loading the module again).
bool TJudgeModule::MakeInput(size_t bytes, size_t lightCapacity) {
  uint8_t* mapping = nullptr;
  const int fd = MakeMemoryFile("kurvino2-judge-input", bytes, mapping);
  if (fd < 0) return false;
  if (fcntl(fd, F_ADD_SEALS, F_SEAL_SHRINK | F_SEAL_GROW | F_SEAL_FUTURE_WRITE | F_SEAL_SEAL) != 0) {
    munmap(mapping, bytes);
    close(fd);
    return false;
  }
  if (Pid != 0) StopHost(true);
  if (Input) munmap(Input, InputBytes);
  CloseFd(InFd);
  InFd = fd;
  Input = mapping;
  InputBytes = bytes;
  LightCapacity = lightCapacity;
  CcdCapacity = bytes - lightCapacity;
  return true;
}

bool TJudgeModule::Reserve(size_t lightCount, size_t ccdBytes) {
  if (!EnsureMemory()) return false;
  if (lightCount <= LightCapacity && ccdBytes <= CcdCapacity) return true;
  const size_t light = std::max(LightCapacity, RoundUp(lightCount, 64));
  const size_t ccd = std::max(CcdCapacity, ccdBytes);
  if (light > MaxInputBytes || ccd > MaxInputBytes - light) return false;
  return MakeInput(RoundUp(light + ccd, InputGranule), light);
}

uint8_t* TJudgeModule::LightBuffer() { return EnsureMemory() ? Input : nullptr; }

uint8_t* TJudgeModule::CcdBuffer() { return EnsureMemory() ? Input + LightCapacity : nullptr; }

// --- why a call failed ---

namespace {

// The calls the sandbox stops, by name.
QString CallName(uint32_t number) {
  static const struct {
    long Number;
    const char* Name;
  } names[] = {{SYS_socket, "socket"},
               {SYS_ptrace, "ptrace"},
               {SYS_process_vm_readv, "process_vm_readv"},
               {SYS_process_vm_writev, "process_vm_writev"},
               {SYS_pidfd_open, "pidfd_open"},
               {SYS_pidfd_getfd, "pidfd_getfd"},
               {SYS_pidfd_send_signal, "pidfd_send_signal"},
               {SYS_kcmp, "kcmp"},
               {SYS_kill, "kill"},
               {SYS_tgkill, "tgkill"},
               {SYS_tkill, "tkill"},
               {SYS_rt_sigqueueinfo, "rt_sigqueueinfo"},
               {SYS_rt_tgsigqueueinfo, "rt_tgsigqueueinfo"},
               {SYS_fork, "fork"},
               {SYS_vfork, "vfork"},
               {SYS_clone, "clone"},
               {SYS_setsid, "setsid"},
               {SYS_setpgid, "setpgid"},
               {SYS_unshare, "unshare"},
               {SYS_setns, "setns"},
               {SYS_execve, "execve"},
               {SYS_execveat, "execveat"},
               {SYS_bpf, "bpf"},
               {SYS_perf_event_open, "perf_event_open"},
               {SYS_userfaultfd, "userfaultfd"},
               {SYS_keyctl, "keyctl"},
               {SYS_add_key, "add_key"},
               {SYS_request_key, "request_key"},
               {SYS_seccomp, "seccomp"}};
  for (const auto& n : names)
    if (n.Number == static_cast<long>(number)) return QString::fromLatin1(n.Name);
  return QStringLiteral("#%1").arg(number);
}

}  // namespace

QString TJudgeModule::FailureText() const {
  switch (Fault) {
    case TJudgeFault::None:
      return QString();
    case TJudgeFault::NotLoaded:
      return QStringLiteral("没有加载决策程序");
    case TJudgeFault::HostFailed:
      return QStringLiteral("决策程序无法启动或加载");
    case TJudgeFault::Raised:
      return QStringLiteral("决策程序抛出了未捕获的C++异常");
    case TJudgeFault::TimedOut:
      return QStringLiteral("决策程序超时：%1 ms 内没有返回").arg(Timeout);
    case TJudgeFault::Ended:
      break;
  }
  if (StoppedCall != 0)
    return QStringLiteral("决策程序被沙箱阻止：不允许的系统调用 %1").arg(CallName(StoppedCall - 1));
  if (WIFSIGNALED(HostStatus)) {
    const int sig = WTERMSIG(HostStatus);
    const char* what = sigdescr_np(sig);
    return QStringLiteral("决策程序崩溃：信号 %1（%2）")
        .arg(sig)
        .arg(QString::fromLatin1(what ? what : "?"));
  }
  if (WIFEXITED(HostStatus))
    return QStringLiteral("决策程序退出了，退出码 %1").arg(WEXITSTATUS(HostStatus));
  return QStringLiteral("决策程序意外结束");
}

// --- output ---

void TJudgeModule::DrainOutput(size_t limit) {
  char buf[4096];
  size_t taken = 0;
  while (OutFd >= 0 && taken < limit) {
    const ssize_t n = read(OutFd, buf, sizeof buf);
    if (n > 0) {
      TakeOutput(buf, static_cast<size_t>(n));
      taken += static_cast<size_t>(n);
    } else if (n == 0) {
      CloseFd(OutFd);
    } else if (errno != EINTR) {
      break;
    }
  }
}

void TJudgeModule::TakeOutput(const char* data, size_t n) {
  while (n > 0) {
    const char* nl = static_cast<const char*>(std::memchr(data, '\n', n));
    const size_t len = nl ? static_cast<size_t>(nl - data) : n;
    const size_t room = MaxLineBytes - Partial.size();
    if (len > room) {
      Partial.append(data, room);
      data += room;
      n -= room;
      EmitLine();
      continue;
    }
    Partial.append(data, len);
    data += len;
    n -= len;
    if (nl) {
      EmitLine();
      ++data;
      --n;
    }
  }
}

void TJudgeModule::EmitLine() {
  if (!Partial.empty() && Partial.back() == '\r') Partial.pop_back();
  QString line = QString::fromUtf8(Partial.data(), static_cast<qsizetype>(Partial.size()));
  Partial.clear();
  Lines.push_back(line);
  while (Lines.size() > static_cast<size_t>(KeptOutputLines)) Lines.pop_front();
  if (Sink) Sink(line);
}

}  // namespace k2
