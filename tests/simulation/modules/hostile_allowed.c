/* What a confined module may still do: print on stdout and stderr, write an ordinary
 * file in the working folder, and run a thread.  Leaves 4321 in the motor cell and
 * prints "thread ran" and "wrote module-notes.txt". */
#include <pthread.h>
#include <stdio.h>

#include "kurvino2_judge.h"

static int Calls = 0;

static void *Worker(void *arg) {
  *(int *)arg = 1;
  return NULL;
}

void Judge(int speed, const unsigned char *lightData, unsigned short lightCount,
           const unsigned char *ccdData, int ccdWidth, int ccdHeight, unsigned short *motor,
           unsigned short *steer) {
  (void)speed, (void)lightData, (void)lightCount, (void)ccdData, (void)ccdWidth, (void)ccdHeight,
      (void)steer;
  ++Calls;
  printf("hello from call %d\n", Calls);
  fprintf(stderr, "and on stderr\n");
  int ran = 0;
  pthread_t thread;
  if (pthread_create(&thread, NULL, Worker, &ran) == 0 && pthread_join(thread, NULL) == 0 && ran)
    printf("thread ran\n");
  FILE *f = fopen("module-notes.txt", "w");
  if (f && fprintf(f, "call %d\n", Calls) > 0 && fclose(f) == 0) printf("wrote module-notes.txt\n");
  *motor = 4321;
}

void Reset(void) { Calls = 0; }
