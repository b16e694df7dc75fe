// The simulation engine: loads, the start of a run, one step's physics, the decision
// modules as the engine drives them, views and determinism.
#include <gtest/gtest.h>

#include <QImage>
#include <cerrno>
#include <cmath>
#include <sys/wait.h>

#include "car/uMotor.h"
#include "common/TestSupport.h"
#include "geometry/uConstants.h"
#include "simulation/SimFixtures.h"
#include "simulation/uRunView.h"
#include "simulation/uSimu.h"

namespace k2 {
namespace {

using test::ArcAround;
using test::LineTo;
using test::TElementSpec;

QString ModulePath(const char* name) {
  return QStringLiteral(KURVINO2_TEST_MODULES "/%1.so").arg(QLatin1String(name));
}

// The sample track's layout: a rounded rectangle of 4600 x 4000 mm.
const std::vector<TElementSpec> RoundedRectangle = {
    LineTo(2300, 0),           ArcAround(2300, 800, 90),  LineTo(3100, 3200),
    ArcAround(2300, 3200, 90), LineTo(-2300, 4000),       ArcAround(-2300, 3200, 90),
    LineTo(-3100, 800),        ArcAround(-2300, 800, 90), LineTo(0, 0)};

class SimuTest : public ::testing::Test {
 protected:
  SimuTest() { TJudgeModule::SetDefaultHostPath(QStringLiteral(KURVINO2_JUDGE_HOST)); }
  ~SimuTest() override {
    for (const char* name : {"K2_FAULT", "K2_FAULT_AT", "K2_RESET_FAULT"}) qunsetenv(name);
  }

  void TearDown() override {
    // Every engine of the test is gone: so must be every host it started.
    errno = 0;
    EXPECT_TRUE(waitpid(-1, nullptr, WNOHANG) == -1 && errno == ECHILD);
  }

  // Loads track, car and (unless null) module as the page does, each followed by
  // Prepare, and sets a 10 ms step.
  std::unique_ptr<TSimu> Ready(const std::vector<TElementSpec>& track, TCar& car,
                               const char* module, QImage* views = nullptr) {
    EXPECT_TRUE(test::SaveTrack(Dir.Path(QStringLiteral("track.kpf")), track));
    EXPECT_TRUE(test::SaveCar(Dir.Path(QStringLiteral("car.kcf")), car));
    auto sim = views ? std::make_unique<TSimu>(&views[0], &views[1], &views[2], &views[3])
                     : std::make_unique<TSimu>(nullptr, nullptr, nullptr, nullptr);
    EXPECT_TRUE(sim->LoadTrack(Dir.Path(QStringLiteral("track.kpf"))));
    EXPECT_TRUE(sim->Prepare());
    EXPECT_TRUE(sim->LoadCar(Dir.Path(QStringLiteral("car.kcf"))));
    EXPECT_TRUE(sim->Prepare());
    if (module) {
      EXPECT_TRUE(sim->LoadJudge(ModulePath(module)));
      EXPECT_TRUE(sim->Prepare());
    }
    sim->SetStepMs(10);
    return sim;
  }

  // "load", "reset" and "judge N" as printed by the faulty module.
  static QStringList Events(TSimu& sim) {
    QStringList events;
    for (const QString& line : sim.Judge().OutputLines())
      if (line == QLatin1String("load") || line == QLatin1String("reset") ||
          line.startsWith(QLatin1String("judge ")))
        events.append(line);
    return events;
  }

  test::TTempDir Dir;
};

// ---- the start of a run -----------------------------------------------------

TEST_F(SimuTest, FirstStepAfterPrepareLeavesTheCarWhereItIsAndAdvancesTheMotorTwice) {
  auto car = test::RowCar(3);
  auto sim = Ready({LineTo(0, 3000)}, *car, nullptr);
  sim->Car->Motor->SetCommand(1);
  sim->Car->SteerAngle = 30;  // the turning branch, at speed 0
  ASSERT_TRUE(sim->Step());
  EXPECT_EQ(sim->Pos.X, 0);
  EXPECT_EQ(sim->Pos.Y, 0);
  EXPECT_EQ(sim->Speed, 0);
  EXPECT_EQ(sim->VelocityX, 0);
  EXPECT_EQ(sim->VelocityY, 0);
  EXPECT_EQ(sim->Car->Heading, 0);
  EXPECT_EQ(sim->TimeMs, 10);
  EXPECT_EQ(sim->Car->Motor->Elapsed, 0.01f + 0.01f);
  EXPECT_EQ(sim->Car->Motor->GetSpeed(), 192);
  // The speed of step k is read after the motor's (2k - 1)-th step: 0, 370, 688 rpm
  // of the motor's sequence 0, 192, 370, 535, 688, 829.
  float previous = 0;
  for (int32_t rpm : {370, 688}) {
    ASSERT_TRUE(sim->Step());
    const float v = static_cast<float>(rpm * Pi * 40 / 60000);
    EXPECT_EQ(sim->Speed, v) << rpm;
    EXPECT_FLOAT_EQ(sim->Acc, (v - previous) * 100) << rpm;
    previous = v;
  }
  EXPECT_EQ(sim->TimeMs, 30);
}

struct THeadingCase {
  const char* Name;
  std::vector<TElementSpec> Track;
  float Heading;
};
void PrintTo(const THeadingCase& c, std::ostream* os) { *os << c.Name; }

class InitialHeadingTest : public SimuTest, public ::testing::WithParamInterface<THeadingCase> {};

TEST_P(InitialHeadingTest, TheCarStartsAlongTheFirstElement) {
  const THeadingCase& c = GetParam();
  auto car = test::RowCar(1);
  car->Heading = 33;
  auto sim = Ready(c.Track, *car, nullptr);
  EXPECT_FLOAT_EQ(sim->Car->Heading, c.Heading);
  // Driving straight on, the car leaves the origin along the element's start.
  sim->Car->Motor->SetCommand(1);
  for (int i = 0; i < 30; ++i) ASSERT_TRUE(sim->Step());
  ASSERT_GT(PointDistance(TPointF{}, sim->Pos), 100);
  const float travel = DirectionAngle(TPointF{}, sim->Pos);
  EXPECT_NEAR(std::remainder(travel - (c.Heading + 90), 360.0), 0, 1e-3);
}

INSTANTIATE_TEST_SUITE_P(
    Tracks, InitialHeadingTest,
    ::testing::Values(THeadingCase{"LineUp", {LineTo(0, 1000)}, 0},
                      THeadingCase{"LineRight", {LineTo(1000, 0)}, -90},
                      THeadingCase{"LineLeft", {LineTo(-1000, 0)}, 90},
                      THeadingCase{"ArcCounterClockwiseFromBelow", {ArcAround(0, 500, 90)}, -90},
                      THeadingCase{"ArcClockwiseFromBelow", {ArcAround(0, 500, -90)}, -270},
                      THeadingCase{"ArcCounterClockwiseFromTheLeft", {ArcAround(500, 0, 90)}, 180}),
    test::TCaseName());

TEST_F(SimuTest, ATrackWithoutElementsIsNotLoadedAndTheCarFacesUp) {
  auto car = test::RowCar(1);
  car->Heading = 33;
  auto sim = Ready({LineTo(0, 1000)}, *car, nullptr);
  ASSERT_TRUE(test::SaveTrack(Dir.Path(QStringLiteral("empty.kpf")), {}));
  EXPECT_FALSE(sim->LoadTrack(Dir.Path(QStringLiteral("empty.kpf"))));
  EXPECT_FALSE(sim->TrackLoaded);
  EXPECT_TRUE(sim->Track->Elements.empty());
  sim->Car->Heading = 33;
  sim->Prepare();
  EXPECT_EQ(sim->Car->Heading, 0);
  sim->Warp = 7;
  EXPECT_TRUE(sim->Step());  // nothing to measure from: the deviation stays
  EXPECT_EQ(sim->Warp, 7);
}

TEST_F(SimuTest, FailedLoadsLeaveTheEngineNotReady) {
  auto car = test::RowCar(2, 20, true);
  auto sim = Ready({LineTo(0, 1000)}, *car, "silent");
  ASSERT_TRUE(sim->IsReady());
  ASSERT_TRUE(sim->Ccd);

  // A file that does not exist changes nothing.
  EXPECT_FALSE(sim->LoadTrack(Dir.Path(QStringLiteral("none.kpf"))));
  EXPECT_FALSE(sim->LoadCar(Dir.Path(QStringLiteral("none.kcf"))));
  EXPECT_FALSE(sim->LoadJudge(Dir.Path(QStringLiteral("none.so"))));
  EXPECT_TRUE(sim->IsReady());
  EXPECT_EQ(sim->TrackFileName, QStringLiteral("track.kpf"));
  EXPECT_EQ(sim->Car->LightSensors.size(), 2u);

  // A car file that cannot be read takes the sensors and the CCD with it.
  test::WriteFile(Dir.Path(QStringLiteral("bad.kcf")),
                  test::ReadFile(Dir.Path(QStringLiteral("car.kcf"))).left(40));
  EXPECT_FALSE(sim->LoadCar(Dir.Path(QStringLiteral("bad.kcf"))));
  EXPECT_FALSE(sim->CarLoaded);
  EXPECT_TRUE(sim->Car->LightSensors.empty());
  EXPECT_FALSE(sim->Car->CCDSensor);
  EXPECT_FALSE(sim->Ccd);
  EXPECT_TRUE(sim->Readings.empty());
  EXPECT_TRUE(sim->View().SensorDots().empty());
  EXPECT_TRUE(sim->SensorPoints.empty());

  // A track file that cannot be read leaves no elements.
  test::WriteFile(Dir.Path(QStringLiteral("bad.kpf")),
                  test::ReadFile(Dir.Path(QStringLiteral("track.kpf"))).left(30));
  EXPECT_FALSE(sim->LoadTrack(Dir.Path(QStringLiteral("bad.kpf"))));
  EXPECT_FALSE(sim->TrackLoaded);
  EXPECT_TRUE(sim->Track->Elements.empty());
  EXPECT_FALSE(sim->IsReady());
}

// ---- one step ---------------------------------------------------------------

struct TTurnCase {
  const char* Name;
  float SteerAngle;
};
void PrintTo(const TTurnCase& c, std::ostream* os) { *os << c.Name; }

class TurnTest : public ::testing::TestWithParam<TTurnCase> {
 protected:
  test::TTempDir Dir;
};

// At 1 m/s facing +y for one 10 ms step, with the default 190 mm wheel base.
TEST_P(TurnTest, TheCarMovesOnItsTurningCircle) {
  const float d = GetParam().SteerAngle;
  TSimu sim(nullptr, nullptr, nullptr, nullptr);
  sim.SetStepMs(10);
  ASSERT_EQ(sim.Car->WheelBase, 190);
  sim.Car->SteerAngle = d;
  sim.VelocityY = 1;
  ASSERT_TRUE(sim.Step());
  if (d == 0) {  // exactly straight on
    EXPECT_EQ(sim.Pos.X, 0);
    EXPECT_EQ(sim.Pos.Y, 10);
    EXPECT_EQ(sim.Car->Heading, 0);
    return;
  }
  const double r = 190 / std::tan(d * DegToRad);  // signed, positive to the left
  const double a = 10 / r;
  EXPECT_NEAR(sim.Car->Heading, a * RadToDeg, std::fabs(a * RadToDeg) * 1e-5 + 1e-9);
  // The reference point stays on the circle around (-R, 0) and turns the way it steers.
  EXPECT_NEAR(std::hypot(sim.Pos.X + r, static_cast<double>(sim.Pos.Y)), std::fabs(r),
              std::fabs(r) * 1e-6);
  EXPECT_LT(sim.Pos.X * d, 0);
  EXPECT_NEAR(sim.Pos.Y, 10, 0.01);
}

INSTANTIATE_TEST_SUITE_P(Angles, TurnTest,
                         ::testing::Values(TTurnCase{"Straight", 0},
                                           TTurnCase{"ServoAfterReset", 40.0f / 65535},
                                           TTurnCase{"Left30", 30}, TTurnCase{"Right30", -30}),
                         test::TCaseName());

TEST(Turn, ThirtyDegreesOnA190MmWheelBase) {
  test::TTempDir dir;
  TSimu sim(nullptr, nullptr, nullptr, nullptr);
  sim.SetStepMs(10);
  sim.Car->SteerAngle = 30;
  sim.VelocityY = 1;
  ASSERT_TRUE(sim.Step());
  const double a = sim.Car->Heading * DegToRad;
  EXPECT_NEAR(10 / a, 329.1, 0.05);  // R
  EXPECT_NEAR(a, 0.0304, 5e-5);
  EXPECT_NEAR(sim.Car->Heading, 1.74, 0.005);
}

TEST_F(SimuTest, DeviationIsTheDistanceToTheNearestElement) {
  auto car = test::RowCar(1);
  auto sim = Ready({LineTo(0, 1000)}, *car, nullptr);
  struct TCase {
    TPointF Pos;
    float Warp;
  } cases[] = {{{0, 500}, 0}, {{0, 1000}, 0}, {{30, 400}, 30}, {{0, 1500}, 500}, {{0, -20}, 20}};
  for (const TCase& c : cases) {
    sim->Pos = c.Pos;  // at rest: the step does not move the car
    ASSERT_TRUE(sim->Step());
    EXPECT_NEAR(sim->Warp, c.Warp, 1e-3) << c.Pos.X << "," << c.Pos.Y;
  }
}

TEST_F(SimuTest, CirclingTheHeadingIsNeverWrapped) {
  auto car = test::RowCar(1);
  auto sim = Ready({LineTo(0, 1000)}, *car, nullptr);
  sim->Car->Motor->SetCommand(1);
  sim->Car->SteerMotor->SetCommand(1);  // full left
  std::vector<TPointF> late;            // once the servo is at full lock
  for (int i = 0; i < 1000; ++i) {
    ASSERT_TRUE(sim->Step());
    if (i >= 500) late.push_back(sim->Pos);
  }
  EXPECT_GT(sim->Car->Heading, 720);
  EXPECT_EQ(sim->TimeMs, 10000);
  // Round and round on one circle of radius 190 x cot(40 degrees), 226.4 mm.
  float widest = 0;
  for (const TPointF& p : late)
    for (const TPointF& q : late) widest = std::max(widest, PointDistance(p, q));
  EXPECT_NEAR(widest, 2 * 226.4, 1);
}

// ---- decision modules -------------------------------------------------------

TEST_F(SimuTest, AModuleThatWritesNothingLeavesTheCarAtRestSteeringABitLeft) {
  auto car = test::RowCar(2);
  auto sim = Ready({LineTo(0, 1000)}, *car, "silent");
  for (int i = 0; i < 5; ++i) ASSERT_TRUE(sim->Step());
  EXPECT_EQ(sim->Car->Motor->LastCommand, 0);
  EXPECT_EQ(sim->Speed, 0);
  EXPECT_EQ(sim->Pos.X, 0);
  EXPECT_EQ(sim->Pos.Y, 0);
  // The steering cell went in as round(0.5 x 65535) = 32768 and came back unchanged.
  const float s = static_cast<float>(32768 / 65535.0);
  EXPECT_EQ(sim->Car->SteerMotor->Command, s);
  EXPECT_EQ(sim->Car->SteerAngle, sim->Car->SteerMotor->TargetAngle);
  EXPECT_NEAR(sim->Car->SteerAngle, 40.0 / 65535, 1e-7);
  EXPECT_GT(sim->Car->SteerAngle, 0);
}

TEST_F(SimuTest, FullDriveOnEveryCallDoesNotRestartTheMotor) {
  auto car = test::RowCar(2);
  auto sim = Ready({LineTo(0, 1000)}, *car, "fullmotor");
  ASSERT_TRUE(sim->Step());
  EXPECT_EQ(sim->Car->Motor->LastCommand, 1);
  EXPECT_EQ(sim->Car->Motor->Elapsed, 0);  // the first call changed the command
  // Repeating the command keeps the response going: the speeds follow the motor's
  // sequence 0, 192, 370, 535, 688 rpm at its 1st, 3rd and 5th step.
  for (int32_t rpm : {0, 370, 688}) {
    ASSERT_TRUE(sim->Step());
    EXPECT_EQ(sim->Speed, static_cast<float>(rpm * Pi * 40 / 60000)) << rpm;
  }
  EXPECT_NEAR(sim->Car->Motor->Elapsed, 0.06, 1e-6);  // two motor steps per step since
}

struct TArgumentCase {
  const char* Name;
  int Sensors;
  int Ccd;  // 0 none, 1 without a projection, 2 the rectangle
  const char* Light;
};
void PrintTo(const TArgumentCase& c, std::ostream* os) { *os << c.Name; }

class EngineArgumentTest : public SimuTest, public ::testing::WithParamInterface<TArgumentCase> {};

// The probe prints "judge speed=S light=N:SUM ccd=WxH:SUM" (SUM "null" for no buffer).
TEST_P(EngineArgumentTest, TheModuleGetsTheReadingsAndThePicture) {
  const TArgumentCase& c = GetParam();
  auto car = test::RowCar(c.Sensors, 100);  // two sensors at x = -50 and 50: on white
  if (c.Ccd == 1) {
    auto ccd = std::make_unique<TCCDSensor>();
    ccd->ComputeSenseArea({}, {}, {}, {}, 80, 60);
    car->SetCCDSensor(std::move(ccd));
  } else if (c.Ccd == 2) {
    car->SetCCDSensor(test::RectCcd());
  }
  auto sim = Ready({LineTo(0, 3000)}, *car, "probe");
  ASSERT_TRUE(sim->Step());
  QString ccd = QStringLiteral("0x0:null");
  if (c.Ccd) {
    ASSERT_TRUE(sim->Ccd);
    int64_t sum = 0;
    const QImage& frame = sim->Ccd->Frame();
    for (int y = 0; y < frame.height(); ++y)
      for (int x = 0; x < frame.width(); ++x) sum += GreyLevel(frame.pixel(x, y));
    if (c.Ccd == 1) {
      EXPECT_EQ(sum, 80 * 60 * 255);
    } else {
      EXPECT_LT(sum, 80 * 60 * 255);  // it sees the line
    }
    ccd = QStringLiteral("80x60:%1").arg(sum);
  }
  EXPECT_EQ(sim->Judge().OutputLines().last(),
            QStringLiteral("judge speed=0 light=%1 ccd=%2").arg(QLatin1String(c.Light), ccd));
}

INSTANTIATE_TEST_SUITE_P(Cars, EngineArgumentTest,
                         ::testing::Values(TArgumentCase{"NoSensorsAtAll", 0, 0, "0:null"},
                                           TArgumentCase{"PointSensorsOnly", 2, 0, "2:510"},
                                           TArgumentCase{"CcdWithoutProjectionIsWhite", 2, 1,
                                                         "2:510"},
                                           TArgumentCase{"CcdOnTheLine", 0, 2, "0:null"}),
                         test::TCaseName());

TEST_F(SimuTest, ABadModuleFailsToLoadAndReleasesTheOneBefore) {
  auto car = test::RowCar(2);
  for (const char* bad : {"noreset", "nojudge"}) {
    auto sim = Ready({LineTo(0, 1000)}, *car, "silent");
    ASSERT_NE(sim->Judge().HostPid(), 0);
    EXPECT_FALSE(sim->LoadJudge(ModulePath(bad))) << bad;
    EXPECT_FALSE(sim->JudgeLoaded);
    EXPECT_FALSE(sim->IsReady());
    EXPECT_EQ(sim->Judge().HostPid(), 0);
    EXPECT_TRUE(sim->Step());  // no module: nothing is called
  }
}

TEST_F(SimuTest, AModuleRaisingOnItsFirstCallFailsOneStepOnly) {
  auto car = test::RowCar(2);
  auto sim = Ready({LineTo(0, 1000)}, *car, "thrower");
  // The run loop: a record after every step that succeeded.
  const auto tick = [&] {
    const bool ok = sim->Step();
    if (ok) sim->AddRecord();
    return ok;
  };
  EXPECT_FALSE(tick());
  EXPECT_EQ(sim->Records.Count(), 0);
  EXPECT_EQ(sim->TimeMs, 10);  // the failed step's state stands
  // The module wrote 1 into the motor cell before it threw: that counts.
  EXPECT_EQ(sim->Car->Motor->LastCommand, static_cast<float>(1 / 65535.0));
  EXPECT_TRUE(tick());
  EXPECT_TRUE(tick());
  EXPECT_EQ(sim->Records.Count(), 2);
}

class EngineFaultTest : public SimuTest, public ::testing::WithParamInterface<const char*> {};

TEST_P(EngineFaultTest, TheStepFailsAndTheNextCallStartsAfreshWithoutReset) {
  qputenv("K2_FAULT", GetParam());
  auto car = test::RowCar(2);
  auto sim = Ready({LineTo(0, 1000)}, *car, "faulty");
  sim->Judge().SetTimeoutMs(300);
  EXPECT_TRUE(sim->Step());
  EXPECT_TRUE(sim->Step());
  EXPECT_FALSE(sim->Step());
  EXPECT_NE(sim->Judge().LastFault(), TJudgeFault::None);
  EXPECT_TRUE(sim->JudgeLoaded);
  EXPECT_TRUE(sim->Step());
  EXPECT_EQ(Events(*sim),
            (QStringList{"load", "reset", "judge 1", "judge 2", "judge 3", "load", "judge 1"}));
}

INSTANTIATE_TEST_SUITE_P(Faults, EngineFaultTest,
                         ::testing::Values("segv", "abort", "exit", "hang"), test::TCaseName());

TEST_F(SimuTest, ResetIsCalledWhenARunIsResetWithAModuleBound) {
  qputenv("K2_FAULT_AT", "0");  // never fails
  auto car = test::RowCar(2);
  auto sim = Ready({LineTo(0, 1000)}, *car, "faulty");  // load, reset
  EXPECT_TRUE(sim->Step());
  sim->SetStepMs(20);
  EXPECT_TRUE(sim->Step());
  EXPECT_TRUE(sim->Prepare());  // stop
  EXPECT_TRUE(sim->LoadTrack(Dir.Path(QStringLiteral("track.kpf"))));
  EXPECT_TRUE(sim->Prepare());
  EXPECT_TRUE(sim->LoadCar(Dir.Path(QStringLiteral("car.kcf"))));
  EXPECT_TRUE(sim->Prepare());
  EXPECT_TRUE(sim->Step());
  EXPECT_EQ(Events(*sim), (QStringList{"load", "reset", "judge 1", "judge 2", "reset", "reset",
                                       "reset", "judge 3"}));
}

TEST_F(SimuTest, AFailingResetReleasesTheModule) {
  auto car = test::RowCar(2);
  auto sim = Ready({LineTo(0, 1000)}, *car, nullptr);
  qputenv("K2_RESET_FAULT", "1");
  ASSERT_TRUE(sim->LoadJudge(ModulePath("faulty")));
  EXPECT_FALSE(sim->Prepare());
  EXPECT_FALSE(sim->JudgeLoaded);
  EXPECT_FALSE(sim->IsReady());
  EXPECT_EQ(sim->Judge().HostPid(), 0);
  EXPECT_TRUE(sim->Prepare());  // nothing bound any more
}

// ---- views and determinism --------------------------------------------------

// Four views at the simulation page's sizes.
struct TViews {
  QImage Images[4] = {MakeViewRaster(SimuMainViewSize), MakeViewRaster(RunOverviewSize),
                      MakeViewRaster(SimuSensorsSize), MakeViewRaster(RunCcdSize)};
};

TEST_F(SimuTest, SameInputsGiveTheSameRecordWithOrWithoutViewsAndWhateverTheGearRatio) {
  QByteArray first;
  for (int run = 0; run < 3; ++run) {
    auto car = test::RowCar(5, 10, true);
    TViews views;
    auto sim = Ready(RoundedRectangle, *car, "follower", run == 1 ? views.Images : nullptr);
    if (run == 2) sim->Car->Ratio = 3;
    for (int i = 0; i < 400; ++i) {
      ASSERT_TRUE(sim->Step());
      sim->AddRecord();
      if (run == 1) sim->DrawFrame();
    }
    EXPECT_GT(sim->Pos.X, 1000) << run;  // it went somewhere
    sim->RecordFile = Dir.Path(QStringLiteral("run%1.krf").arg(run));
    ASSERT_TRUE(sim->SaveToFile()) << sim->LastError.toStdString();
    const QByteArray bytes = test::ReadFile(sim->RecordFile);
    if (run == 0)
      first = bytes;
    else
      EXPECT_EQ(bytes, first) << run;
  }
}

TEST_F(SimuTest, PrepareDrawsTheStillViewsAndDrawFrameTheRun) {
  auto car = test::RowCar(2, 20, true);
  TViews views;
  QImage* v = views.Images;
  for (QImage& image : views.Images) image.fill(0xFF123456);
  auto sim = Ready({LineTo(0, 6000)}, *car, "fullmotor", v);
  EXPECT_EQ(v[0].pixel(0, 0), 0xFFE0E0FFu);
  EXPECT_EQ(v[0].pixel(215, 150), 0xFF000000u);  // the centre line ahead of the car
  EXPECT_EQ(v[1].pixel(0, 0), 0xFFFFFFFFu);
  EXPECT_EQ(v[2].pixel(0, 0), 0xFFFFFFFFu);
  // Readings are 0 right after a car load: solid dots.
  const TPointF dot = sim->View().SensorDots()[0];
  EXPECT_EQ(v[2].pixel(static_cast<int>(dot.X) + 5, static_cast<int>(dot.Y) + 5), 0xFF006400u);
  EXPECT_EQ(v[3].pixel(55, 55), 0xFFFFFFFFu);

  for (int i = 0; i < 60; ++i) {
    ASSERT_TRUE(sim->Step());
    sim->AddRecord();
  }
  sim->DrawFrame();
  // The picture: the line runs up the middle of the CCD view.
  EXPECT_EQ(v[3].pixel(55, 20), 0xFF000000u);
  EXPECT_EQ(v[3].pixel(10, 20), 0xFFFFFFFFu);
  // The trail runs down from the car, which is at the centre of the main view.
  int trail = 0;
  for (int y = 280; y < SimuMainViewSize.Height; ++y) {
    const QRgb p = v[0].pixel(215, y);
    trail += qRed(p) > 200 && qGreen(p) < 60 && qBlue(p) < 60;
  }
  EXPECT_GT(trail, 0);

  sim->ClearViews();
  for (const QImage& image : views.Images) EXPECT_EQ(image.pixel(5, 5), 0u);
  EXPECT_EQ(sim->Car->Heading, 0);
  EXPECT_EQ(sim->FrontWheelAngle(), 0);
}

TEST_F(SimuTest, CarTestModeBorrowsTheCarAndNeedsNoModule) {
  auto car = test::RowCar(2, 20, true);
  TViews views;
  QImage* v = views.Images;
  auto sim = TSimu::CreateForTest(&v[0], car.get(), &v[1], &v[2], &v[3]);
  EXPECT_TRUE(sim->CarLoaded);
  EXPECT_TRUE(sim->TrackLoaded);
  EXPECT_EQ(sim->Car, car.get());
  EXPECT_EQ(sim->Readings.size(), 2u);
  EXPECT_TRUE(sim->Ccd);
  ASSERT_TRUE(test::SaveTrack(Dir.Path(QStringLiteral("Default.kpf")), RoundedRectangle));
  ASSERT_TRUE(sim->LoadTrack(Dir.Path(QStringLiteral("Default.kpf"))));
  sim->Prepare();
  sim->SetStepMs(10);
  car->Motor->SetCommand(1);
  for (int i = 0; i < 20; ++i) EXPECT_TRUE(sim->Step());
  EXPECT_EQ(sim->TimeMs, 200);
  EXPECT_GT(sim->Pos.X, 0);
  v[0].fill(0xFF123456);
  sim->ClearViews();
  EXPECT_EQ(v[0].pixel(5, 5), 0xFF123456u);  // the car page keeps its own view
  EXPECT_EQ(v[1].pixel(5, 5), 0u);
  sim.reset();
  EXPECT_EQ(car->LightSensors.size(), 2u);  // still the page's car
}

}  // namespace
}  // namespace k2
