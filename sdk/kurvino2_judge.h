/*
 * kurvino2_judge.h - the interface of a Kurvino2 decision module.
 *
 * A decision module is your control program for the car: a shared library (.so)
 * that exports the two functions declared below, with C linkage and exactly these
 * names.  Build it for example with
 *
 *     cc -shared -fPIC -O2 -o MyJudge.so MyJudge.c
 *
 * (a C++ module includes this header too, so both functions get C linkage), put it
 * into the Judgement folder of the program and choose it on the simulation page, or
 * pass it to "kurvino2-cli run --judge MyJudge.so".
 *
 * ---------------------------------------------------------------------------------
 * When the functions are called
 *
 * Judge is called once per simulation step, after the car has moved, the sensors
 * have been read and the simulated time has advanced by the step (10 to 10000 ms).
 * The commands it leaves in the two cells are applied at once, drive first, then
 * steering; they take effect from the next step: the motor's voltage changes
 * immediately but its speed follows over the next steps, and the servo starts
 * turning towards the new angle in the next step.
 *
 * Reset is called whenever the simulator resets its run state while your module is
 * loaded: right after the module has been loaded, after a track or a car has been
 * loaded, and when the user stops a run.  It is not called on Start, on Pause, when
 * a paused run continues, or after a failed Judge call.  Use it to reinitialise
 * your own state (integrators, counters, remembered line positions).
 *
 * Both functions are called from one thread, one call at a time, never re-entrantly;
 * the module needs no locking.  Global variables keep their values between calls
 * and between runs, except for what Reset reinitialises.
 *
 * ---------------------------------------------------------------------------------
 * Where the module runs
 *
 * The module is loaded into a process of its own, kurvino2-judge-host, not into the
 * simulator.  To the module every call is still a plain C function call.
 *
 * - Whatever the module prints on stdout and stderr reaches the user (the log of
 *   the simulation page; the terminal's stderr with kurvino2-cli).  stdout is line
 *   buffered and both streams are flushed after every call.  Text not ended by a
 *   newline may be lost if the module crashes.
 * - Each call must return within the timeout: 2 seconds unless changed
 *   (kurvino2-cli run --judge-timeout MS).
 * - These make the step fail: an invalid memory access or another processor fault,
 *   abort(), an uncaught C++ exception, exit(), and not returning within the
 *   timeout.  The run then stops with an error message.  Whatever the module wrote
 *   into *motor and *steer before it failed is applied all the same.
 * - After an uncaught C++ exception the module stays loaded, with its global state.
 *   After any other failure its process is ended; the next call starts a new one
 *   and loads the module afresh (static initialisers run again, global variables
 *   start from their initial values) WITHOUT calling Reset.
 * - A failure inside Reset is reported like a module that cannot be loaded, and the
 *   module is unloaded.
 * - Leave standard input, and file descriptors you did not open yourself, alone.
 *
 * ---------------------------------------------------------------------------------
 * The sandbox
 *
 * Modules are shared between students, so by default the host confines the module
 * before loading it (settings file: [Rules] SandboxModules=1; the options dialog's
 * "规则" page).  A module MAY:
 * - read and write ordinary files with the user's rights (logs, tables), print on
 *   stdout and stderr, allocate memory up to 2 GiB of address space, start threads,
 *   use local (AF_UNIX) sockets, read the clock.
 * A module may NOT (the call stops the module; the message says which call):
 * - open network sockets; start processes (fork, vfork, exec); leave its process
 *   group or session (setsid, setpgid); enter namespaces (unshare, setns);
 * - touch other processes: ptrace, process_vm_readv/writev, pidfd calls, signals to
 *   any process but its own;
 * - load kernel programs or monitors (bpf, perf_event_open, userfaultfd), use the
 *   kernel key store, use io_uring, or change the filter;
 * - have the kernel signal others for it (fcntl F_SETOWN, F_SETOWN_EX, F_SETSIG),
 *   change another process's limits (prlimit with a pid), or type into the terminal
 *   (ioctl TIOCSTI, TIOCLINUX).

 * Files grow to at most 1 GiB (a larger write fails with EFBIG); no core dumps; no
 *   capabilities, and no way to gain privileges (no_new_privs).
 * The readings and the picture live in memory sealed against writes: even mprotect
 * cannot make them writable.  The host's whole process group is ended when the run
 * ends or the module is unloaded, so nothing the module left behind keeps running.
 * A trusted module that needs more can be run without the sandbox: untick the
 * option, or "kurvino2-cli run --no-sandbox".
 *

 * ---------------------------------------------------------------------------------
 * Judge's arguments
 *
 * speed       current speed of the drive motor in revolutions per minute, rounded
 *             to the nearest integer; never negative.
 * lightData   one byte per photoelectric sensor, in the order of the car's sensor
 *             list: 0 = the sensor sees the black guide line, 255 = only white
 *             track; continuous sensors give values in between, growing with the
 *             distance from the line.  NULL when lightCount is 0; do not read it
 *             then.
 * lightCount  number of bytes at lightData (the number of photoelectric sensors),
 *             0 to 65535.
 * ccdData     the CCD picture: ccdWidth x ccdHeight grey levels, one byte per pixel,
 *             rows from the top row (the far side of the sensed area) down, each row
 *             from left to right: byte index = row * ccdWidth + column.  255 is
 *             white track, 0 the black guide line.  NULL when the car has no CCD
 *             sensor; do not read it then.
 * ccdWidth    pixels per row; 0 when the car has no CCD sensor.
 * ccdHeight   number of rows; 0 when the car has no CCD sensor.
 * motor       drive command cell, read and write.  On entry it holds the command in
 *             force: 0 = no drive, 65535 = full rated voltage; the motor's target
 *             voltage is motor / 65535 times its rated voltage.  After a reset it
 *             holds 0.
 * steer       steering command cell, read and write.  On entry it holds the command
 *             in force.  0 asks for the largest angle to the right (clockwise),
 *             65535 the largest to the left (counter-clockwise); the target
 *             front-wheel angle is MaxSteerAngle * (2 * steer / 65535 - 1) degrees.
 *             32767 and 32768 lie one step either side of straight ahead; after a
 *             reset the cell holds 32768.
 *
 * Every 16-bit value is a valid command.  A cell the module does not write keeps
 * the command in force.
 *
 * Buffers: lightData and ccdData are read-only (writing to them is a processor
 * fault) and valid only during the call: do not keep a pointer to them after Judge
 * returns, and never free them.  motor and steer, too, are valid only during the
 * call.
 */
#ifndef KURVINO2_JUDGE_H
#define KURVINO2_JUDGE_H

#if defined(__GNUC__)
#define KURVINO2_JUDGE_EXPORT __attribute__((visibility("default")))
#else
#define KURVINO2_JUDGE_EXPORT
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* One decision per simulation step; see above. */
KURVINO2_JUDGE_EXPORT void Judge(int speed, const unsigned char *lightData,
                                 unsigned short lightCount, const unsigned char *ccdData,
                                 int ccdWidth, int ccdHeight, unsigned short *motor,
                                 unsigned short *steer);

/* Reinitialises the module's own state when the simulator resets a run. */
KURVINO2_JUDGE_EXPORT void Reset(void);

#ifdef __cplusplus
}
#endif

#endif /* KURVINO2_JUDGE_H */
