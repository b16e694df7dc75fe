/*
 * LightFollower.c - example decision module: follow the guide line with a row of
 * photoelectric point sensors.
 *
 * Made for the sample car Car/Light8.kcf; it drives Car/Light5Continuous.kcf as well.
 * For another car, change the numbers under "Geometry of the sample cars" below.
 *
 * Build (the program's build does this for you, into the Judgement folder):
 *     cc -std=c11 -shared -fPIC -O2 -I sdk -o LightFollower.so LightFollower.c -lm
 *
 * ---------------------------------------------------------------------------------
 * The sensors
 *
 * Car frame, millimetres: X to the car's right, Y forwards, origin at the centre of
 * the body (the car is 400 mm long, so its front edge is at Y = 200).
 *
 * Both sample cars carry one row of sensors across the front bumper (Y = 200),
 * mounted 150 mm high and tilted forwards by 45 degrees, so that each looks at the
 * ground 350 mm ahead of the body's centre.  The row is evenly spaced from X = -98 (the
 * leftmost sensor, lightData[0]) to X = +98 (the rightmost, lightData[lightCount-1]):
 *
 *     Light8:            8 discrete sensors, 28 mm apart.  A sensor reads 0 when it
 *                        is over the black line (30 mm wide) and 255 elsewhere.
 *     Light5Continuous:  5 continuous sensors, 49 mm apart, effective radius 49 mm:
 *                        0 on the line's centre, growing with the distance from it,
 *                        255 at 49 mm and beyond.
 *
 * ---------------------------------------------------------------------------------
 * The call
 *
 * Judge is called once per simulation step (every 10 ms of simulated time unless
 * the step is changed), after the car has moved and the sensors have been read.
 * speed is the motor's speed in rpm (this module does not need it).  On entry
 * *motor and *steer hold the commands in force; a cell left unwritten keeps its
 * command.
 *
 * *motor  0..65535 = 0..the motor's rated voltage.  The sample cars' motor turns at
 *         about 3000 rpm at full voltage, which on 40 mm wheels is 6.3 m/s.
 * *steer  32768 is (almost exactly) straight ahead; larger values steer left, smaller
 *         ones right; 65535 and 0 ask for the largest angle, 40 degrees.  The servo
 *         turns the wheels at only 30 degrees per second, so do not drive too fast.
 *
 * The commands take effect from the next step: the motor needs a few steps to
 * reach its new speed, and the servo starts turning in the next step.
 *
 * Reset is called when a run starts afresh (after the module, a track or a car has
 * been loaded, and when the user stops a run): forget what the last run left in
 * the module's variables.
 *
 * ---------------------------------------------------------------------------------
 * The method
 *
 * 1. Find the line: the mean X of the sensors, each weighted by how dark it reads
 *    (255 - reading).  With continuous sensors this interpolates between them.
 * 2. Steer towards that point of the line ("pure pursuit"): with the front wheels at
 *    angle a, the centre of this car drives on a circle of radius WheelBase / tan(a).
 *    Choose the circle that is tangent to the car's heading and passes through the
 *    line point (x, y): its radius is (x * x + y * y) / (2 * x).
 * 3. When no sensor sees the line, steer hard towards the side it was last seen on.
 * 4. Drive at a constant, moderate voltage.
 *
 * Things to try: the S-bend of Path/SBend.kpf needs the wheels to swing from one side
 * to the other, which takes the servo a second; at this speed the car leaves the
 * track there.  Drive slower (DRIVE_COMMAND 6000 gets round), or better, slow down
 * only while the line is far from the middle of the row.
 */
#include <math.h>

#include "kurvino2_judge.h"

/* Geometry of the sample cars (see above). */
#define SENSOR_ROW_HALF_WIDTH_MM 98.0 /* the outermost sensors sit at X = -98 and +98 */
#define LOOK_AHEAD_MM 350.0           /* Y of the sensed points */
#define WHEEL_BASE_MM 190.0
#define MAX_STEER_DEG 40.0 /* the servo's largest angle */

/* 16 % of the rated voltage: about 1 m/s. */
#define DRIVE_COMMAND 10500

static const double Pi = 3.14159265358979;

/* The module's memory between calls: where the line was last seen (mm). */
static double LastLineX;

/* The steering cell's value for a front-wheel angle in degrees (positive = left). */
static unsigned short SteerCommand(double degrees) {
  double cell = 32767.5 * (1.0 + degrees / MAX_STEER_DEG);
  if (cell < 0) cell = 0;
  if (cell > 65535) cell = 65535;
  return (unsigned short)(cell + 0.5);
}

/* X (mm) of sensor i of a row of n evenly spaced sensors. */
static double SensorX(int i, int n) {
  if (n < 2) return 0;
  return -SENSOR_ROW_HALF_WIDTH_MM + 2 * SENSOR_ROW_HALF_WIDTH_MM * i / (n - 1);
}

/* Step 1: the line's X in mm, or 0 with *seen = 0 when no sensor sees it. */
static double FindLine(const unsigned char *lightData, unsigned short lightCount, int *seen) {
  double weightSum = 0, xSum = 0;
  for (int i = 0; i < lightCount; ++i) {
    double darkness = 255 - lightData[i];
    weightSum += darkness;
    xSum += darkness * SensorX(i, lightCount);
  }
  *seen = weightSum > 0;
  return *seen ? xSum / weightSum : 0;
}

void Judge(int speed, const unsigned char *lightData, unsigned short lightCount,
           const unsigned char *ccdData, int ccdWidth, int ccdHeight, unsigned short *motor,
           unsigned short *steer) {
  (void)speed; /* this module drives at a fixed voltage and needs no feedback */
  (void)ccdData;
  (void)ccdWidth;
  (void)ccdHeight;

  int seen = 0;
  double x = FindLine(lightData, lightCount, &seen);
  double angle;
  if (seen) {
    LastLineX = x;
    /* Step 2: curvature 1 / radius of the circle through the line point, then the
       wheel angle for it.  The line to the right (x > 0) needs a right turn, which
       is a negative angle. */
    double curvature = 2 * x / (x * x + LOOK_AHEAD_MM * LOOK_AHEAD_MM);
    angle = -atan(WHEEL_BASE_MM * curvature) * 180 / Pi;
  } else {
    /* Step 3: lost it; turn back towards where it was. */
    angle = LastLineX > 0 ? -MAX_STEER_DEG : MAX_STEER_DEG;
  }
  *steer = SteerCommand(angle);
  *motor = DRIVE_COMMAND;
}

/* Called when a run is reset (after loading, and on Stop): forget the old line. */
void Reset(void) { LastLineX = 0; }
