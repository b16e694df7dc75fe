/* Opens a network socket through io_uring (IORING_OP_SOCKET), where no system call
 * named socket is made. */
#include <linux/io_uring.h>
#include <sys/mman.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <unistd.h>

#include "hostile_module.h"

static void Misdeed(const unsigned char *lightData, const unsigned char *ccdData) {
  (void)lightData, (void)ccdData;
  struct io_uring_params p;
  memset(&p, 0, sizeof p);
  const int ring = (int)syscall(__NR_io_uring_setup, 1, &p);
  if (ring < 0) {
    Report(1, "io_uring_setup");
    return;
  }
  char *sq = mmap(NULL, p.sq_off.array + p.sq_entries * sizeof(unsigned), PROT_READ | PROT_WRITE,
                  MAP_SHARED | MAP_POPULATE, ring, IORING_OFF_SQ_RING);
  char *cq = mmap(NULL, p.cq_off.cqes + p.cq_entries * sizeof(struct io_uring_cqe),
                  PROT_READ | PROT_WRITE, MAP_SHARED | MAP_POPULATE, ring, IORING_OFF_CQ_RING);
  struct io_uring_sqe *sqes =
      mmap(NULL, p.sq_entries * sizeof(struct io_uring_sqe), PROT_READ | PROT_WRITE,
           MAP_SHARED | MAP_POPULATE, ring, IORING_OFF_SQES);
  if (sq == MAP_FAILED || cq == MAP_FAILED || sqes == MAP_FAILED) {
    Report(1, "mmap of the io_uring rings");
    return;
  }
  memset(&sqes[0], 0, sizeof sqes[0]);
  sqes[0].opcode = IORING_OP_SOCKET;
  sqes[0].fd = AF_INET;
  sqes[0].off = SOCK_STREAM;
  unsigned *tail = (unsigned *)(sq + p.sq_off.tail);
  ((unsigned *)(sq + p.sq_off.array))[*tail & *(unsigned *)(sq + p.sq_off.ring_mask)] = 0;
  __atomic_store_n(tail, *tail + 1, __ATOMIC_RELEASE);
  if (syscall(__NR_io_uring_enter, ring, 1, 1, IORING_ENTER_GETEVENTS, NULL, 0) < 0) {
    Report(1, "io_uring_enter");
    return;
  }
  const unsigned head = *(unsigned *)(cq + p.cq_off.head);
  const struct io_uring_cqe *cqe = (const struct io_uring_cqe *)(cq + p.cq_off.cqes) +
                                   (head & *(unsigned *)(cq + p.cq_off.ring_mask));
  errno = cqe->res < 0 ? -cqe->res : 0;
  Report(cqe->res < 0, "socket(AF_INET) through io_uring");
}
