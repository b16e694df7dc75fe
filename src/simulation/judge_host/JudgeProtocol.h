#pragma once
// What TJudgeModule (uJudge) and kurvino2-judge-host share: the descriptors the host
// is started with, the layout of the shared memory file and the command handshake.  Both are built
// from the same tree, so the layout carries no version.
//
// Memory file layout:
//   [0, CellsOffset)               TControl: arguments, command and reply
//   [CellsOffset, InputOffset)     TCells, the module's two command cells
//   [InputOffset, +InputBytes)     light bytes at 0, CCD picture at CcdOffset;
//                                  mapped read-only in the host
// InputOffset is a multiple of every page size Linux uses, so the input region can be
// mapped on its own.
//
// Commands: the engine writes the arguments and Command into TControl and raises
// CommandSeq; the host runs the command, writes Reply and sets ReplySeq to the same
// number.  Each side first spins briefly on the other's counter (on machines with
// more than one processor), then sleeps on the control socket after raising its
// Asleep flag; whoever finishes sends one wake byte when it sees the other's flag
// raised.  Flags and counters are accessed sequentially consistent, so a sleeper is
// never missed; a spare wake byte is harmless.  The socket also carries the host's
// load result byte, and each side sees the other's end as end of file.
#include <sched.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>

namespace k2::judgehost {

// Descriptors in the host process; stdout and stderr go to the engine's output pipe
// and stdin is /dev/null.
constexpr int ControlFd = 3;
constexpr int MemoryFd = 4;

constexpr size_t CellsOffset = 4096;
constexpr size_t InputOffset = 65536;

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
};

inline uint32_t LoadShared(const uint32_t& v) { return __atomic_load_n(&v, __ATOMIC_SEQ_CST); }
inline void StoreShared(uint32_t& v, uint32_t x) { __atomic_store_n(&v, x, __ATOMIC_SEQ_CST); }

// One round of a spin loop.  It yields the processor: the scheduler likes to queue a
// process woken by a wake byte on the waker's processor, where it would otherwise
// wait until the spin ends; and on a busy machine other work gets its turn.  On an
// idle processor sched_yield returns at once.
inline void SpinPause() {
#if defined(__x86_64__) || defined(__i386__)
  __builtin_ia32_pause();
#elif defined(__aarch64__)
  asm volatile("yield");
#endif
  sched_yield();
}

// How long each side spins before it sleeps, and whether it spins at all: on a
// single processor the other side cannot run while this one spins.
constexpr long SpinNs = 100000;
inline bool Spinning() {
  static const bool multi = sysconf(_SC_NPROCESSORS_ONLN) > 1;
  return multi;
}

struct TCells {
  uint16_t Motor;
  uint16_t Steer;
};

// Command values.
constexpr char CmdJudge = 'J';
constexpr char CmdReset = 'R';

// The load result byte on the socket.
constexpr char ReplyLoaded = 'L';
constexpr char ReplyLoadFailed = 'F';  // dlopen failed, an export is missing, or no memory

// Reply values.
constexpr char ReplyDone = 'K';
constexpr char ReplyRaised = 'X';    // the module threw; the host stays usable
constexpr char ReplyBadInput = 'B';  // the control block does not fit the memory file

}  // namespace k2::judgehost
