#pragma once
// The binding of a decision module (a user's shared library exporting Judge and
// Reset, sdk/kurvino2_judge.h).  The engine owns one TJudgeModule.
//
// The module never runs in this process: Load starts kurvino2-judge-host, which loads
// the library and makes each call for us.  Arguments and the two command cells pass
// through a shared memory file that this object creates and keeps for its whole life
// (the host maps the input buffers read-only).  A call is handed over through two
// counters in that memory, which both sides watch briefly before they sleep on a
// socket (simulation/judge_host/JudgeProtocol.h), so calls in quick succession cost a
// few microseconds.  A module that faults, aborts, exits or hangs ends at most the
// host: the call fails and this process carries on.
//
// After a call failed because the host ended (or was killed on the timeout), the
// next call starts a fresh host and loads the module again without calling Reset.
// A C++ exception thrown by the module is caught inside the host, which stays alive
// with the module's state.
//
// The host dies with the thread that started it (PR_SET_PDEATHSIG): load and call
// from one long-lived thread, as the engine does from the user-interface thread.
// Every call is synchronous; output sink callbacks run inside the calls.
#include <QString>
#include <QStringList>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <sys/types.h>

#include "simulation/judge_host/JudgeProtocol.h"

namespace k2 {

// Why the last call or load failed.
enum class TJudgeFault {
  None,
  NotLoaded,   // no module bound
  HostFailed,  // the host or the shared memory could not be set up; or the module
               // could not be loaded (missing file, dlopen, missing export)
  Raised,      // the module threw a C++ exception; the host is still running
  Ended,       // the host ended during the call (fault, abort, exit)
  TimedOut,    // the call did not return in time; the host was killed
};

class TJudgeModule {
 public:
  using TOutputSink = std::function<void(const QString& line)>;

  static constexpr int DefaultTimeoutMs = 2000;
  // Starting the host and loading the module (its static initialisers included) may
  // take far longer than a call on a loaded machine, and is not a call's fault.
  static constexpr int DefaultStartTimeoutMs = 10000;
  static constexpr int KeptOutputLines = 200;

  TJudgeModule();
  ~TJudgeModule();  // releases the module and the shared memory
  TJudgeModule(const TJudgeModule&) = delete;
  TJudgeModule& operator=(const TJudgeModule&) = delete;

  // Binds the module at path.  A path that names no existing file fails and changes
  // nothing.  Otherwise a module bound before is released first; then the host is
  // started and loads the library (RTLD_NOW) and looks up Judge and Reset.  True only
  // when all of that worked; on failure no module is bound.  Reset is not called.
  bool Load(const QString& path);
  // Ends the host (the module may run its destructors within the timeout) and
  // forgets the module.  Nothing happens when none is bound.
  void Release();
  bool IsLoaded() const { return Bound; }
  // The bound module's file name without directory; empty when none is bound.
  const QString& FileName() const { return Name; }

  // Makes the shared buffers hold lightCount light bytes and ccdBytes picture bytes.
  // They only grow; calls with larger buffers grow them by themselves, so calling
  // this once per car keeps the steps free of reallocation.  False when the memory
  // cannot be had (more than 1 GiB, or the system refuses).
  bool Reserve(size_t lightCount, size_t ccdBytes);
  // The shared buffers, for a caller that fills them in place and passes these
  // pointers to CallJudge (which then copies nothing).  Valid until the next Reserve
  // or a call that grows them.
  uint8_t* LightBuffer();
  uint8_t* CcdBuffer();

  // Calls Reset.  False when no module is bound or Reset failed in any way (threw,
  // faulted, exited, timed out, or the host could not be restarted); the module is
  // then released.
  bool CallReset();

  // Calls Judge once.  motor and steer go in as the commands in force and come back
  // as the module left the cells, also when the call failed (whatever the module
  // wrote before it failed counts).  light is passed when lightCount > 0 and ccd when
  // ccdWidth x ccdHeight > 0; otherwise the module gets null pointers (a null buffer
  // with a size is passed as no buffer; a negative size as 0 x 0).  False when no
  // module is bound or the call failed; LastFault says why.
  bool CallJudge(int32_t speed, const uint8_t* light, uint16_t lightCount, const uint8_t* ccd,
                 int32_t ccdWidth, int32_t ccdHeight, uint16_t& motor, uint16_t& steer);

  TJudgeFault LastFault() const { return Fault; }
  // Why the last load or call failed, in words for the user: crashed (with the signal),
  // timed out, exited (with the code), raised an exception, or stopped by the sandbox
  // (with the call).  Empty when it did not fail.
  QString FailureText() const;

  // Whether the host confines the module (judge_host/Sandbox.h); on by default.  Takes
  // effect when the next host starts.
  void SetSandbox(bool on) { Sandboxed = on; }
  bool Sandbox() const { return Sandboxed; }

  // How long a call (Judge, Reset) may take before the host is killed, and how long
  // the module may take to unload; at least 1 ms.
  void SetTimeoutMs(int ms);
  int TimeoutMs() const { return Timeout; }
  // How long starting the host and loading the module may take; at least 1 ms.
  void SetStartTimeoutMs(int ms);
  int StartTimeoutMs() const { return StartTimeout; }

  // Lines the module printed on stdout and stderr (also the host's messages on a
  // failed load), oldest first, the last KeptOutputLines of them, without line ends.
  // Bytes are read as UTF-8.
  QStringList OutputLines() const;
  void ClearOutput() { Lines.clear(); }
  // Called with every complete line as it arrives (for instance to copy it to
  // stderr); empty to stop.  The sink must not call back into this object.
  void SetOutputSink(TOutputSink sink) { Sink = std::move(sink); }

  // The host program; empty means ProgramDir() + "kurvino2-judge-host".  The default
  // applies to every object without a path of its own.
  static void SetDefaultHostPath(const QString& path);
  static QString DefaultHostPath();
  void SetHostPath(const QString& path) { HostPathOverride = path; }

  // The running host's process id, 0 when none runs.
  pid_t HostPid() const { return Pid; }

 private:
  using TClock = std::chrono::steady_clock;
  enum class TWait { Reply, Ended, TimedOut };
  enum class TPoll { Quiet, Byte, Ended, TimedOut };

  TJudgeFault Exchange(char cmd);
  judgehost::TControl& Control() const {
    return *reinterpret_cast<judgehost::TControl*>(Memory);
  }
  // Raises the command counter; wakes the host when it sleeps (WokeHost).
  void Post(char cmd);
  bool HostEnded() const;
  bool Replied(char& reply) const;
  TWait WaitReply(char& reply);
  TPoll PollHost(TClock::time_point deadline, char* loadReply = nullptr);
  bool StartHost();
  bool SpawnHost();
  void StopHost(bool graceful);
  void KillAndReap();
  void CloseHostFds();
  bool EnsureMemory();
  bool MakeInput(size_t bytes, size_t lightCapacity);
  void DrainOutput(size_t limit);
  void TakeOutput(const char* data, size_t n);
  void EmitLine();

  QString ModulePath;  // absolute
  QString Name;
  QString HostPathOverride;
  bool Bound = false;
  int Timeout = DefaultTimeoutMs;
  int StartTimeout = DefaultStartTimeoutMs;

  TJudgeFault Fault = TJudgeFault::None;

  int CtrlFd = -1;
  uint8_t* Memory = nullptr;  // the control file, ControlBytes, read and write
  int InFd = -1;
  uint8_t* Input = nullptr;   // the input file, read and write here only
  size_t InputBytes = 0;
  size_t LightCapacity = 0;   // the picture starts here in the input file
  size_t CcdCapacity = 0;
  bool Sandboxed = true;
  int HostStatus = 0;         // how the last host ended (waitpid)
  uint32_t StoppedCall = 0;   // the call the sandbox stopped, plus one; 0 none

  pid_t Pid = 0;
  uint32_t Seq = 0;  // number of the last command posted to this host
  int PidFd = -1;
  int Sock = -1;
  int OutFd = -1;  // non-blocking read end of the host's stdout and stderr

  judgehost::TSpinner Spinner;  // the wait for replies
  bool WokeHost = false;        // the last Post had to wake the host
  std::string Partial;          // output after the last line end
  std::deque<QString> Lines;
  TOutputSink Sink;
};

}  // namespace k2
