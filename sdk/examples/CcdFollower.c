/*
 * CcdFollower.c - example decision module: follow the guide line with the picture
 * of a CCD camera.
 *
 * Made for the sample car Car/CCD128x32.kcf.  For another car, change the numbers
 * under "Geometry of the sample car" below.
 *
 * Build (the program's build does this for you, into the Judgement folder):
 *     cc -std=c11 -shared -fPIC -O2 -I sdk -o CcdFollower.so CcdFollower.c -lm
 *
 * ---------------------------------------------------------------------------------
 * The camera
 *
 * Car frame, millimetres: X to the car's right, Y forwards, origin at the centre of
 * the body (the car is 400 mm long, so its front edge is at Y = 200).
 *
 * The camera sits on the front bumper, 150 mm high, and looks ahead and down.  It
 * sees a trapezoid of the ground, wider far away than close by, as a camera does:
 *
 *          (-300, 650) +-----------------------+ (300, 650)     row 0 (far)
 *                       \                     /
 *                        \                   /
 *              (-150, 250) +---------------+ (150, 250)         row 31 (near)
 *
 * The picture has 128 columns and 32 rows: ccdData[row * ccdWidth + column], one
 * grey level per pixel, 255 for white track and 0 for the black line.  Column 0 is
 * the left edge, column 127 the right edge; the middle of every row is straight
 * ahead of the car (X = 0).
 *
 * Perspective: every row is a line across the car at one distance, but the rows are
 * not evenly spaced.  For a row at depth v (0 at the picture's top edge, 1 at its
 * bottom edge), with k = far width / near width - 1 (here 1):
 *     Y = (FAR_Y + (NEAR_Y * (1 + k) - FAR_Y) * v) / (1 + k * v)
 *     X = (2 * u - 1) * FAR_HALF_WIDTH / (1 + k * v)   for a column at u (0 left, 1 right)
 * So the top rows are 25 mm apart, the bottom ones only 6 mm.
 *
 * ---------------------------------------------------------------------------------
 * The call
 *
 * Judge is called once per simulation step (every 10 ms of simulated time unless
 * the step is changed), after the car has moved and the picture has been taken.
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
 * 1. In every row, find the line: the middle of its dark pixels.  Turn that pixel
 *    into a point (x, y) on the ground with the formulas above.
 * 2. Each such point asks for the circle that is tangent to the car's heading and
 *    passes through it ("pure pursuit"): curvature 2 * x / (x * x + y * y).  Take
 *    the mean over the rows that see the line.
 * 3. With the front wheels at angle a, the centre of this car drives on a circle of
 *    radius WheelBase / tan(a): that gives the wheel angle.
 * 4. When no row sees the line, steer hard towards the side it was last seen on.
 * 5. Drive at a constant, moderate voltage.
 *
 * Things to try: the S-bend of Path/SBend.kpf needs the wheels to swing from one side
 * to the other, which takes the servo a second; at this speed the car leaves the
 * track there.  Drive slower (DRIVE_COMMAND 7000 gets round), or better, slow down
 * when the far rows show the line bending away.
 */
#include <math.h>

#include "kurvino2_judge.h"

/* Geometry of the sample car (see above). */
#define FAR_Y_MM 650.0
#define NEAR_Y_MM 250.0
#define FAR_HALF_WIDTH_MM 300.0
#define NEAR_HALF_WIDTH_MM 150.0
#define WHEEL_BASE_MM 190.0
#define MAX_STEER_DEG 40.0 /* the servo's largest angle */

/* A pixel darker than this is taken for the line. */
#define DARK 128

/* 16 % of the rated voltage: about 1 m/s. */
#define DRIVE_COMMAND 10500

static const double Pi = 3.14159265358979;

/* The module's memory between calls: the last curvature asked for (1/mm); its sign
   tells on which side the line was last seen (positive: right). */
static double LastCurvature;

/* The steering cell's value for a front-wheel angle in degrees (positive = left). */
static unsigned short SteerCommand(double degrees) {
  double cell = 32767.5 * (1.0 + degrees / MAX_STEER_DEG);
  if (cell < 0) cell = 0;
  if (cell > 65535) cell = 65535;
  return (unsigned short)(cell + 0.5);
}

/* The middle column of the dark pixels of one row, or -1 when the row has none. */
static double LineColumn(const unsigned char *row, int width) {
  long sum = 0;
  int count = 0;
  for (int column = 0; column < width; ++column) {
    if (row[column] < DARK) {
      sum += column;
      ++count;
    }
  }
  return count > 0 ? (double)sum / count : -1;
}

/* Steps 1 and 2: the mean curvature over the rows that see the line, which *rows counts. */
static double MeanCurvature(const unsigned char *ccdData, int width, int height, int *rows) {
  const double k = FAR_HALF_WIDTH_MM / NEAR_HALF_WIDTH_MM - 1;
  double sum = 0;
  *rows = 0;
  for (int row = 0; row < height; ++row) {
    double column = LineColumn(ccdData + (long)row * width, width);
    if (column < 0) continue;
    double u = (column + 0.5) / width; /* 0 at the left edge, 1 at the right edge */
    double v = (row + 0.5) / height;   /* 0 at the far edge, 1 at the near edge */
    double x = (2 * u - 1) * FAR_HALF_WIDTH_MM / (1 + k * v);
    double y = (FAR_Y_MM + (NEAR_Y_MM * (1 + k) - FAR_Y_MM) * v) / (1 + k * v);
    sum += 2 * x / (x * x + y * y);
    ++*rows;
  }
  return *rows > 0 ? sum / *rows : 0;
}

void Judge(int speed, const unsigned char *lightData, unsigned short lightCount,
           const unsigned char *ccdData, int ccdWidth, int ccdHeight, unsigned short *motor,
           unsigned short *steer) {
  (void)speed; /* this module drives at a fixed voltage and needs no feedback */
  (void)lightData;
  (void)lightCount;

  int rows = 0;
  double curvature =
      ccdWidth > 0 && ccdHeight > 0 ? MeanCurvature(ccdData, ccdWidth, ccdHeight, &rows) : 0;
  double angle;
  if (rows > 0) {
    LastCurvature = curvature;
    /* Step 3.  The line to the right (x > 0) needs a right turn: a negative angle. */
    angle = -atan(WHEEL_BASE_MM * curvature) * 180 / Pi;
  } else {
    /* Step 4: lost it; turn back towards where it was. */
    angle = LastCurvature > 0 ? -MAX_STEER_DEG : MAX_STEER_DEG;
  }
  *steer = SteerCommand(angle);
  *motor = DRIVE_COMMAND;
}

/* Called when a run is reset (after loading, and on Stop): forget the old line. */
void Reset(void) { LastCurvature = 0; }
