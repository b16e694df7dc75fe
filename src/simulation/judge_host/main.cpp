// kurvino2-judge-host: runs one decision module on behalf of the engine, so that
// whatever the module does ends at most this process.
//
//   kurvino2-judge-host MODULE PARENT-PID sandbox|trusted
//
// Started only by TJudgeModule, with the control socket on descriptor 3, the shared
// memory file on 4, stdout and stderr to the engine's output pipe (JudgeProtocol.h).
// The host loads MODULE, replies on the socket whether that worked, then serves one
// command at a time until the engine posts CmdQuit.
#include <dlfcn.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "kurvino2_judge.h"
#include "simulation/judge_host/JudgeProtocol.h"
#include "simulation/judge_host/Sandbox.h"

namespace {

using namespace k2::judgehost;

using TJudgeProc = decltype(&Judge);
using TResetProc = decltype(&Reset);

struct THost {
  void* Library = nullptr;
  TJudgeProc JudgeProc = nullptr;
  TResetProc ResetProc = nullptr;
  TControl* Control = nullptr;           // read and write
  TCells* Cells = nullptr;               // read and write, handed to the module
  const unsigned char* Input = nullptr;  // read-only
  size_t InputBytes = 0;
};

// A full socket counts as sent: it holds wake bytes enough.
bool SendByte(char c) {
  for (;;) {
    const ssize_t n = send(ControlFd, &c, 1, MSG_NOSIGNAL | MSG_DONTWAIT);
    if (n == 1 || (n < 0 && errno == EAGAIN)) return true;
    if (n < 0 && errno == EINTR) continue;
    return false;
  }
}

// The rhythm of the engine's commands.  A run in the window sends one every step, on
// a timer: the gaps are regular, and sleeping until the engine wakes the host costs
// the wake-up latency of an idle processor on every call.  So when the last gaps agree,
// the host wakes itself shortly before the next command is due and spins across the
// moment (a small fraction of the gap); the engine's wake stays the fallback.
// Waits until the engine raises CommandSeq past last.
void AwaitCommand(TControl& c, uint32_t last, TSpinner& spinner) {
  const long long start = NowNs();
  if (spinner.Spin([&] { return LoadShared(c.CommandSeq) != last; })) return;
  StoreShared(c.HostAsleep, 1);
  while (LoadShared(c.CommandSeq) == last) FutexWait(c.CommandSeq, last, nullptr);
  StoreShared(c.HostAsleep, 0);
  spinner.Slept(NowNs() - start);
}

void PostReply(TControl& c, uint32_t seq, char reply) {
  c.Reply = static_cast<unsigned char>(reply);
  StoreShared(c.ReplySeq, seq);
  if (LoadShared(c.EngineAsleep) != 0) FutexWake(c.ReplySeq);
}

bool MapHead(THost& h) {
  struct stat st;
  if (fstat(MemoryFd, &st) != 0 || st.st_size < static_cast<off_t>(ControlBytes)) return false;
  void* p = mmap(nullptr, ControlBytes, PROT_READ | PROT_WRITE, MAP_SHARED, MemoryFd, 0);
  if (p == MAP_FAILED) return false;
  h.Control = static_cast<TControl*>(p);
  h.Cells = reinterpret_cast<TCells*>(static_cast<char*>(p) + CellsOffset);
  return true;
}

// The engine grows the memory file when a car needs larger buffers; the input region
// is mapped again whenever its size changed.
bool MapInput(THost& h, uint64_t bytes) {
  if (bytes == h.InputBytes) return true;
  if (h.Input) munmap(const_cast<unsigned char*>(h.Input), h.InputBytes);
  h.Input = nullptr;
  h.InputBytes = 0;
  if (bytes == 0) return true;
  struct stat st;
  if (fstat(InputFd, &st) != 0 || bytes > static_cast<uint64_t>(st.st_size)) return false;
  void* p = mmap(nullptr, bytes, PROT_READ, MAP_SHARED, InputFd, 0);
  if (p == MAP_FAILED) return false;
  h.Input = static_cast<const unsigned char*>(p);
  h.InputBytes = bytes;
  return true;
}

void FlushOutput() {
  std::fflush(stdout);
  std::fflush(stderr);
}

char RunJudge(THost& h) {
  const TControl& c = *h.Control;
  const uint64_t lightCount = c.LightCount;
  const uint64_t ccdOffset = c.CcdOffset;
  const int32_t width = c.CcdWidth;
  const int32_t height = c.CcdHeight;
  if (!MapInput(h, c.InputBytes)) return ReplyBadInput;
  const uint64_t ccdBytes =
      width > 0 && height > 0 ? static_cast<uint64_t>(width) * static_cast<uint64_t>(height) : 0;
  if (lightCount > 0xFFFF || lightCount > h.InputBytes || ccdOffset < lightCount ||
      ccdOffset > h.InputBytes || ccdBytes > h.InputBytes - ccdOffset)
    return ReplyBadInput;
  const unsigned char* light = lightCount > 0 ? h.Input : nullptr;
  const unsigned char* ccd = ccdBytes > 0 ? h.Input + ccdOffset : nullptr;
  char reply = ReplyDone;
  try {
    h.JudgeProc(c.Speed, light, static_cast<unsigned short>(lightCount), ccd, width, height,
                &h.Cells->Motor, &h.Cells->Steer);
  } catch (...) {
    reply = ReplyRaised;
  }
  FlushOutput();
  return reply;
}

char RunReset(THost& h) {
  char reply = ReplyDone;
  try {
    h.ResetProc();
  } catch (...) {
    reply = ReplyRaised;
  }
  FlushOutput();
  return reply;
}

// An export, or null after saying on stderr why there is none.
void* Lookup(void* library, const char* name) {
  dlerror();
  void* p = dlsym(library, name);
  const char* error = dlerror();  // valid only until the next dl call
  if (error || !p) {
    std::fprintf(stderr, "%s\n", error ? error : name);
    return nullptr;
  }
  return p;
}

bool LoadModule(THost& h, const char* path) {
  h.Library = dlopen(path, RTLD_NOW | RTLD_LOCAL);
  if (!h.Library) {
    std::fprintf(stderr, "%s\n", dlerror());
    return false;
  }
  h.JudgeProc = reinterpret_cast<TJudgeProc>(Lookup(h.Library, "Judge"));
  h.ResetProc = reinterpret_cast<TResetProc>(Lookup(h.Library, "Reset"));
  return h.JudgeProc && h.ResetProc;
}

// Dies with the engine, also when the engine dies before this process gets here.
bool BindToParent(const char* parentPid) {
  if (prctl(PR_SET_PDEATHSIG, SIGKILL) != 0) return false;
  char* end = nullptr;
  const long pid = std::strtol(parentPid, &end, 10);
  return end && *end == '\0' && pid == static_cast<long>(getppid());
}

}  // namespace

int main(int argc, char** argv) {
  const bool sandboxed = argc == 4 && std::strcmp(argv[3], "sandbox") == 0;
  if (argc != 4 || (!sandboxed && std::strcmp(argv[3], "trusted") != 0)) {
    std::fprintf(stderr, "kurvino2-judge-host is started by Kurvino2 only\n");
    return 2;
  }
  if (!BindToParent(argv[2])) return 2;
  // Descriptors the engine left open by mistake are not the module's business.
  close_range(InputFd + 1, ~0U, 0);
  std::setvbuf(stdout, nullptr, _IOLBF, 0);

  THost h;
  if (!MapHead(h)) {
    SendByte(ReplyLoadFailed);
    return 2;
  }
  // The module's static initialisers run at load time: inside the sandbox already.
  if (sandboxed && !EnterSandbox(&h.Control->SandboxCall)) {
    FlushOutput();
    SendByte(ReplyLoadFailed);
    return 1;
  }
  if (!LoadModule(h, argv[1])) {
    FlushOutput();
    SendByte(ReplyLoadFailed);
    return 1;
  }
  FlushOutput();
  if (!SendByte(ReplyLoaded)) return 1;

  TControl& c = *h.Control;
  TSpinner spinner;
  for (uint32_t seq = 0;;) {
    AwaitCommand(c, seq, spinner);
    seq = LoadShared(c.CommandSeq);
    StoreShared(c.TakenSeq, seq);

    const uint32_t cmd = c.Command;
    if (cmd == static_cast<unsigned char>(CmdQuit)) break;
    const char reply = cmd == static_cast<unsigned char>(CmdJudge)   ? RunJudge(h)
                       : cmd == static_cast<unsigned char>(CmdReset) ? RunReset(h)
                                                                     : ReplyBadInput;
    PostReply(c, seq, reply);
  }
  // The engine has let go of the module: unload it so that its destructors run.
  dlclose(h.Library);
  FlushOutput();
  _exit(0);
}
