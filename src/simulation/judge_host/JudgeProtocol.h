#pragma once
// What TJudgeModule (uJudge) and kurvino2-judge-host share: the descriptors the host
// is started with, the layout of the shared memory file and the command handshake.  Both are built
// from the same tree, so the layout carries no version.
//
// Two memory files:
//   the control file, ControlBytes long, read and written by both:
//     [0, CellsOffset)             TControl: arguments, command and reply
//     [CellsOffset, ControlBytes)  TCells, the module's two command cells
//   the input file: light bytes at 0, the CCD picture at CcdOffset.  The engine writes
//     it through the mapping it made before sealing the file against any later write:
//     the host can map it read-only only, and nothing can make that mapping writable.
// Both files are sealed against shrinking, so that nothing the host does can take
// memory from under the engine's mappings.
//
// Commands: the engine writes the arguments and Command into TControl and raises
// CommandSeq; the host runs the command, writes Reply and sets ReplySeq to the same
// number.  Each side waits for the other's counter with TWaiter: a spin of adaptive
// length (on machines with more than one processor), then a futex wait on the counter
// itself after raising its Asleep flag; whoever raises a counter wakes the futex when
// it sees the other's flag raised.  Flags and counters are accessed sequentially
// consistent, so a sleeper is never missed.  The socket carries only the host's load
// result byte; each side sees the other's end as end of file.
#include <linux/futex.h>
#include <sys/syscall.h>
#include <time.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>

namespace k2::judgehost {

// Descriptors in the host process; stdout and stderr go to the engine's output pipe
// and stdin is /dev/null.
constexpr int ControlFd = 3;  // the socket
constexpr int MemoryFd = 4;   // the control file
constexpr int InputFd = 5;    // the input file

constexpr size_t CellsOffset = 4096;
constexpr size_t ControlBytes = 8192;

struct TControl {
  // Written by the engine before it raises CommandSeq.
  uint64_t InputBytes;  // size of the input region
  uint64_t CcdOffset;   // offset of the picture in the input region
  int32_t Speed;
  uint32_t LightCount;
  int32_t CcdWidth;
  int32_t CcdHeight;
  uint32_t Command;
  uint32_t CommandSeq;
  uint32_t HostAsleep;
  // Written by the host before it sets ReplySeq.
  alignas(64) uint32_t Reply;
  uint32_t ReplySeq;
  uint32_t EngineAsleep;
  uint32_t TakenSeq;     // the last command the host has started on
  uint32_t SandboxCall;  // a call the sandbox stopped: its number plus one; 0 none

};

inline uint32_t LoadShared(const uint32_t& v) { return __atomic_load_n(&v, __ATOMIC_SEQ_CST); }
inline void StoreShared(uint32_t& v, uint32_t x) { __atomic_store_n(&v, x, __ATOMIC_SEQ_CST); }

// Futexes on words of the shared memory file (shared, not private: two processes).
inline void FutexWake(uint32_t& word) {
  syscall(SYS_futex, &word, FUTEX_WAKE, 1, nullptr, nullptr, 0);
}
// Sleeps while word holds `expected`, at most `timeout` (null: no limit).  Returns on a
// wake, a change of the word, a signal or the timeout; the caller looks again.
inline void FutexWait(uint32_t& word, uint32_t expected, const timespec* timeout) {
  syscall(SYS_futex, &word, FUTEX_WAIT, expected, timeout, nullptr, 0);
}

inline long long NowNs() {
  timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<long long>(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

// One side's spin before it sleeps.  Spinning pays while the other side answers within
// the spin: calls in quick succession then cost a microsecond.  When the answers stop
// coming that quickly (a run at real-time pace, a busy machine where the other side
// waits for a processor) the spin only burns the processor the other side needs, so
// its length adapts to how long the waits take: after a wait that ended while
// spinning it grows, after one that had to sleep it becomes twice that wait when a
// spin that long would have caught it, and halves otherwise.  On a single processor
// the other side cannot run while this one spins, so there is no spin at all.
class TSpinner {
 public:
  static constexpr long long MinNs = 2000;
  static constexpr long long MaxNs = 100000;

  // Spins until done() or the budget is spent; true when done.
  template <class F>
  bool Spin(F done) {
    if (!Multi) return false;
    const long long until = NowNs() + BudgetNs;
    do {
      if (done()) {
        BudgetNs = Clamp(BudgetNs * 2);
        return true;
      }
      Pause();
    } while (NowNs() < until);
    return false;
  }
  // After a wait that went on sleeping: its whole length, spin included.
  void Slept(long long waitedNs) {
    BudgetNs = waitedNs <= MaxNs ? Clamp(2 * waitedNs) : Clamp(BudgetNs / 2);
  }
  bool Multiprocessor() const { return Multi; }

 private:
  static long long Clamp(long long ns) { return ns < MinNs ? MinNs : ns > MaxNs ? MaxNs : ns; }
  static void Pause() {
#if defined(__x86_64__) || defined(__i386__)
    __builtin_ia32_pause();
#elif defined(__aarch64__)
    asm volatile("yield");
#endif
  }
  const bool Multi = sysconf(_SC_NPROCESSORS_ONLN) > 1;
  long long BudgetNs = MaxNs / 2;
};

struct TCells {
  uint16_t Motor;
  uint16_t Steer;
};

// Command values.
constexpr char CmdJudge = 'J';
constexpr char CmdReset = 'R';
constexpr char CmdQuit = 'Q';  // unload the module and exit; no reply

// The load result byte on the socket.
constexpr char ReplyLoaded = 'L';
constexpr char ReplyLoadFailed = 'F';  // dlopen failed, an export is missing, or no memory

// Reply values.
constexpr char ReplyDone = 'K';
constexpr char ReplyRaised = 'X';    // the module threw; the host stays usable
constexpr char ReplyBadInput = 'B';  // the control block does not fit the memory file

}  // namespace k2::judgehost
