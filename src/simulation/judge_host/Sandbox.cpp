#include "simulation/judge_host/Sandbox.h"

#include <linux/capability.h>
#include <fcntl.h>
#include <sched.h>
#include <seccomp.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace k2::judgehost {

namespace {

uint32_t* CallSlot = nullptr;

// A forbidden call: say which, and end the host.  Only async-signal-safe work here.
void OnForbiddenCall(int, siginfo_t* info, void*) {
  if (CallSlot)
    __atomic_store_n(CallSlot, static_cast<uint32_t>(info->si_syscall) + 1, __ATOMIC_SEQ_CST);
  _exit(SandboxExitCode);
}

bool Limit(int resource, rlim_t value) {
  rlimit r{value, value};
  return setrlimit(resource, &r) == 0;
}

// AddressSanitizer reserves terabytes of address space for its shadow memory, so a
// host built with it (the sanitizer test build) cannot live under the limit.
bool LimitAddressSpace() {
#if defined(__SANITIZE_ADDRESS__)
  return true;
#else
  return Limit(RLIMIT_AS, SandboxAddressSpace);
#endif
}

bool DropCapabilities() {
  for (int cap = 0; cap <= CAP_LAST_CAP; ++cap) prctl(PR_CAPBSET_DROP, cap, 0, 0, 0);
  __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
  __user_cap_data_struct data[2] = {};
  return syscall(SYS_capset, &header, data) == 0;
}

bool Deny(scmp_filter_ctx ctx, int call) {
  return seccomp_rule_add(ctx, SCMP_ACT_TRAP, call, 0) == 0;
}

// A call refused when its argument `arg` is `value` (the low 32 bits, as the kernel
// reads an int).
bool DenyWith(scmp_filter_ctx ctx, int call, unsigned arg, uint64_t value) {
  return seccomp_rule_add(
             ctx, SCMP_ACT_TRAP, call, 1,
             SCMP_CMP(arg, SCMP_CMP_MASKED_EQ, 0xFFFFFFFFu, static_cast<scmp_datum_t>(value))) == 0;
}

// A call allowed only when its argument `arg` is `value`.
bool OnlyWith(scmp_filter_ctx ctx, int call, unsigned arg, uint64_t value) {
  return seccomp_rule_add(ctx, SCMP_ACT_TRAP, call, 1,
                          SCMP_CMP(arg, SCMP_CMP_NE, static_cast<scmp_datum_t>(value))) == 0;
}

bool InstallFilter() {
  scmp_filter_ctx ctx = seccomp_init(SCMP_ACT_ALLOW);
  if (!ctx) return false;
  const pid_t self = getpid();
  bool ok =
      // Local sockets only.
      OnlyWith(ctx, SCMP_SYS(socket), 0, AF_UNIX) &&
      // Other processes are out of reach.
      Deny(ctx, SCMP_SYS(ptrace)) && Deny(ctx, SCMP_SYS(process_vm_readv)) &&
      Deny(ctx, SCMP_SYS(process_vm_writev)) && Deny(ctx, SCMP_SYS(pidfd_open)) &&
      Deny(ctx, SCMP_SYS(pidfd_getfd)) && Deny(ctx, SCMP_SYS(pidfd_send_signal)) &&
      Deny(ctx, SCMP_SYS(kcmp)) &&
      // Signals to its own process only.
      OnlyWith(ctx, SCMP_SYS(kill), 0, static_cast<uint64_t>(self)) &&
      OnlyWith(ctx, SCMP_SYS(tgkill), 0, static_cast<uint64_t>(self)) &&
      OnlyWith(ctx, SCMP_SYS(tkill), 0, static_cast<uint64_t>(self)) &&
      OnlyWith(ctx, SCMP_SYS(rt_sigqueueinfo), 0, static_cast<uint64_t>(self)) &&
      OnlyWith(ctx, SCMP_SYS(rt_tgsigqueueinfo), 0, static_cast<uint64_t>(self)) &&
      // No processes of its own, no leaving the process group or the session, no new
      // namespaces.  Threads are allowed: clone with CLONE_THREAD.
      Deny(ctx, SCMP_SYS(fork)) && Deny(ctx, SCMP_SYS(vfork)) &&
      seccomp_rule_add(ctx, SCMP_ACT_TRAP, SCMP_SYS(clone), 1,
                       SCMP_A0(SCMP_CMP_MASKED_EQ, CLONE_THREAD, 0)) == 0 &&
      // clone3 passes its flags in memory, out of the filter's sight: glibc then falls
      // back to clone.
      seccomp_rule_add(ctx, SCMP_ACT_ERRNO(ENOSYS), SCMP_SYS(clone3), 0) == 0 &&
      Deny(ctx, SCMP_SYS(setsid)) && Deny(ctx, SCMP_SYS(setpgid)) && Deny(ctx, SCMP_SYS(unshare)) &&
      Deny(ctx, SCMP_SYS(setns)) && Deny(ctx, SCMP_SYS(execve)) && Deny(ctx, SCMP_SYS(execveat)) &&
      // Kernel programs and monitors.
      Deny(ctx, SCMP_SYS(bpf)) && Deny(ctx, SCMP_SYS(perf_event_open)) &&
      Deny(ctx, SCMP_SYS(userfaultfd)) && Deny(ctx, SCMP_SYS(keyctl)) &&
      Deny(ctx, SCMP_SYS(add_key)) && Deny(ctx, SCMP_SYS(request_key)) &&
      // io_uring performs calls out of the filter's sight (sockets among them).
      Deny(ctx, SCMP_SYS(io_uring_setup)) && Deny(ctx, SCMP_SYS(io_uring_enter)) &&
      Deny(ctx, SCMP_SYS(io_uring_register)) &&
      // Signals sent by the kernel on its behalf: a descriptor's owner receives SIGIO
      // (or any signal chosen with F_SETSIG) on I/O, whoever the owner is.
      DenyWith(ctx, SCMP_SYS(fcntl), 1, F_SETOWN) &&
      DenyWith(ctx, SCMP_SYS(fcntl), 1, F_SETOWN_EX) &&
      DenyWith(ctx, SCMP_SYS(fcntl), 1, F_SETSIG) &&
      // Limits of its own process only (glibc's setrlimit passes pid 0).
      OnlyWith(ctx, SCMP_SYS(prlimit64), 0, 0) &&
      // No typing into the terminal the simulator was started from.
      DenyWith(ctx, SCMP_SYS(ioctl), 1, TIOCSTI) && DenyWith(ctx, SCMP_SYS(ioctl), 1, TIOCLINUX) &&
      // The filter itself stays as it is.
      Deny(ctx, SCMP_SYS(seccomp)) &&

      seccomp_attr_set(ctx, SCMP_FLTATR_CTL_NNP, 1) == 0 && seccomp_load(ctx) == 0;
  seccomp_release(ctx);
  return ok;
}

}  // namespace

bool EnterSandbox(uint32_t* callSlot) {
  CallSlot = callSlot;
  struct sigaction sa = {};
  sa.sa_sigaction = OnForbiddenCall;
  sa.sa_flags = SA_SIGINFO;
  sigemptyset(&sa.sa_mask);
  // A file grown beyond the limit fails its write (EFBIG) instead of ending the host.
  signal(SIGXFSZ, SIG_IGN);
  const bool ok = sigaction(SIGSYS, &sa, nullptr) == 0 && LimitAddressSpace() &&
                  Limit(RLIMIT_FSIZE, SandboxFileSize) && Limit(RLIMIT_CORE, 0) &&
                  DropCapabilities() && prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) == 0 &&
                  InstallFilter();
  if (!ok)
    std::fprintf(stderr, "kurvino2-judge-host: cannot set up the sandbox: %s\n",
                 std::strerror(errno));
  return ok;
}

}  // namespace k2::judgehost
