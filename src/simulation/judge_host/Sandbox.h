#pragma once
// The sandbox a decision module runs in, set up by kurvino2-judge-host before it loads
// the module (so the module's static initialisers run inside it too).
//
// A module may compute, allocate within its address-space limit, read and write
// ordinary files within the file-size limit, print, and make threads.  It may not:
// open network sockets (only local AF_UNIX ones), trace or read other processes
// (ptrace, process_vm_readv/writev; the engine's memory is closed to it besides),
// signal any process but its own, start processes, leave its process group or session,
// change namespaces, or load kernel programs.  A forbidden call stops the module: the
// host records which call it was (for the engine's message) and exits with
// SandboxExitCode.
#include <cstdint>

namespace k2::judgehost {

constexpr int SandboxExitCode = 121;
constexpr uint64_t SandboxAddressSpace = uint64_t(2) << 30;  // bytes
constexpr uint64_t SandboxFileSize = uint64_t(1) << 30;      // bytes

// Limits, capabilities, no new privileges and the system-call filter.  `callSlot`
// receives the number of a forbidden call plus one when one is made.  False (with a
// reason on stderr) when the sandbox cannot be set up; the module must not run then.
bool EnterSandbox(uint32_t* callSlot);

}  // namespace k2::judgehost
