// Lap timing on small tracks built by hand: track length and progress, the element the
// car follows (also where a track crosses itself), crossings of the start line both
// ways, interpolated crossing times, off-track steps and valid laps, open tracks, the
// figures of a whole record, and the engine's own tracker.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "common/RandomTracks.h"
#include "common/TestSupport.h"
#include "geometry/uConstants.h"
#include "simulation/SimFixtures.h"
#include "simulation/uLaps.h"
#include "simulation/uRecord.h"
#include "simulation/uSimu.h"

namespace k2 {
namespace {

using test::ArcAround;
using test::LineTo;
using test::TElementSpec;

// A square of 1000 mm sides, anticlockwise from the origin: L = 4000.
const std::vector<TElementSpec> Square = {LineTo(1000, 0), LineTo(1000, 1000), LineTo(0, 1000),
                                          LineTo(0, 0)};
// Lines and arcs: 1000 + 500 pi + 1000 + 500 pi.
const std::vector<TElementSpec> Stadium = {LineTo(1000, 0), ArcAround(1000, 500, 180),
                                           LineTo(0, 1000), ArcAround(0, 500, 180)};
// The sample figure of eight: its third element crosses the origin, where the last and
// the first meet.
const std::vector<TElementSpec> FigureEight = {LineTo(700, 700), ArcAround(1400, 0, -270),
                                               LineTo(-700, 700), ArcAround(-1400, 0, 270),
                                               LineTo(0, 0)};

// The point of the centre line at progress s (0 <= s <= L), worked out from the
// elements' own fields.
TPointF PointAt(const TPath& track, double s) {
  for (const auto& e : track.Elements) {
    double length;
    if (e->Kind == 1) {
      const auto& arc = static_cast<const TArcData&>(*e);
      length = arc.Radius * std::fabs(static_cast<double>(arc.SweepAngle)) * Pi / 180;
      if (s <= length || &e == &track.Elements.back()) {
        const double a =
            (arc.StartAngle + arc.SweepAngle * (s / length)) * 3.14159265358979323846 / 180;
        return MakePointF(static_cast<float>(arc.Center.X + arc.Radius * std::cos(a)),
                          static_cast<float>(arc.Center.Y + arc.Radius * std::sin(a)));
      }
    } else {
      length = std::hypot(e->EndPoint.X - e->StartPoint.X, e->EndPoint.Y - e->StartPoint.Y);
      if (s <= length || &e == &track.Elements.back()) {
        const double f = s / length;
        return MakePointF(
            static_cast<float>(e->StartPoint.X + f * (e->EndPoint.X - e->StartPoint.X)),
            static_cast<float>(e->StartPoint.Y + f * (e->EndPoint.Y - e->StartPoint.Y)));
      }
    }
    s -= length;
  }
  return TPointF{};
}

// A point `off` mm to the left of the centre line at progress s.
TPointF Beside(const TPath& track, double s, double off) {
  const TPointF a = PointAt(track, s), b = PointAt(track, s + 1);
  const double dx = b.X - a.X, dy = b.Y - a.Y, n = std::hypot(dx, dy);
  return MakePointF(static_cast<float>(a.X - dy / n * off), static_cast<float>(a.Y + dx / n * off));
}

class LapsTest : public ::testing::Test {
 protected:
  void Use(const std::vector<TElementSpec>& spec) {
    Track = test::MakeTrack(spec);
    Tracker.Start(*Track);
  }
  double L() const { return Tracker.Course().Length(); }
  // One step of `stepMs` to progress s (taken round the track), `off` mm to the left
  // of the centre line, `warp` as recorded.
  void StepTo(double s, float warp = 0, int32_t stepMs = 10, double off = 0) {
    const double round = std::fmod(std::fmod(s, L()) + L(), L());
    Tracker.AddStep(off == 0 ? PointAt(*Track, round) : Beside(*Track, round, off), warp, stepMs);
  }
  // Steps of `ds` mm from progress `from` until `to` (exclusive), returning where the
  // car stands.
  double Drive(double from, double to, double ds) {
    double s = from;
    for (; ds > 0 ? s + ds < to : s + ds > to;) {
      s += ds;
      StepTo(s);
    }
    return s;
  }

  std::unique_ptr<TPath> Track;
  TLapTracker Tracker;
};

// ---- length and progress ----------------------------------------------------

struct TProgressCase {
  const char* Name;
  float X, Y;
  int32_t Element;  // the element projected on
  double Expected;  // mm along the track
};
void PrintTo(const TProgressCase& c, std::ostream* os) { *os << c.Name; }

class CourseTest : public ::testing::TestWithParam<TProgressCase> {};

TEST_P(CourseTest, ProgressIsTheProjectionClampedToItsElement) {
  const auto track = test::MakeTrack(Stadium);
  TCourse course;
  course.Build(*track);
  ASSERT_EQ(course.Count(), 4);
  EXPECT_TRUE(course.Closed());
  const double halfCircle = 500 * 180 * Pi / 180;
  EXPECT_NEAR(course.Length(), 2000 + 2 * halfCircle, 1e-6);
  EXPECT_NEAR(course.ElementStart(2), 1000 + halfCircle, 1e-6);
  const TProgressCase& c = GetParam();
  EXPECT_NEAR(course.ElementStart(c.Element) + course.Along(c.Element, MakePointF(c.X, c.Y)),
              c.Expected, 1e-3);
}

constexpr double HalfCircle = 500 * Pi;
INSTANTIATE_TEST_SUITE_P(
    Stadium, CourseTest,
    ::testing::Values(
        TProgressCase{"LineInside", 400, -80, 0, 400},
        TProgressCase{"LineBeforeItsStart", -300, 20, 0, 0},
        TProgressCase{"LinePastItsEnd", 1300, 20, 0, 1000},
        TProgressCase{"ArcQuarter", 1600, 500, 1, 1000 + HalfCircle / 2},  // outside the arc
        TProgressCase{"ArcNearItsCentre", 1000.5f, 500.5f, 1, 1000 + HalfCircle * 0.75},
        TProgressCase{"ArcPastItsEnd", 900, 1200, 1, 1000 + HalfCircle},
        TProgressCase{"ArcBeforeItsStart", 900, -200, 1, 1000},
        TProgressCase{"SecondArcEnd", 100, -10, 3, 2000 + 2 * HalfCircle}),
    test::TCaseName());

// ---- the element followed ---------------------------------------------------

// The rule looked at plainly: every distance of the three, then of every element.
int32_t PlainFollow(const TPath& track, int32_t previous, TPointF p) {
  const int32_t n = static_cast<int32_t>(track.Elements.size());
  const bool closed = track.IsClosed();
  std::vector<int32_t> three = {closed ? (previous + n - 1) % n : std::max(previous - 1, 0),
                                previous,
                                closed ? (previous + 1) % n : std::min(previous + 1, n - 1)};
  std::sort(three.begin(), three.end());
  float best = std::numeric_limits<float>::infinity();
  int32_t nearest = previous;
  for (int32_t e : three) {
    const float d = ElementDistance(*track.Elements[static_cast<size_t>(e)], p);
    if (d < best) best = d, nearest = e;
  }
  if (best <= track.PathWidth) return nearest;
  best = std::numeric_limits<float>::infinity();
  nearest = previous;
  for (int32_t e = 0; e < n; ++e) {
    const float d = ElementDistance(*track.Elements[static_cast<size_t>(e)], p);
    if (d < best) best = d, nearest = e;
  }
  return nearest;
}

struct TFollowCase {
  const char* Name;
  test::TTrackShape Shape;
  bool Crafted;  // arcs with end points off their circle, a point-like line, a sweep of 0
};
void PrintTo(const TFollowCase& c, std::ostream* os) { *os << c.Name; }

class FollowTest : public ::testing::TestWithParam<TFollowCase> {};

// Random tracks, half of them closed, from every element to points on, beside and far
// from the track: the course's answer (which spares distances it can rule out) is the
// plain one.
TEST_P(FollowTest, TheElementIsThatOfLookingAtEveryDistance) {
  const TFollowCase& c = GetParam();
  std::mt19937 rng(2024);
  for (int t = 0; t < 8; ++t) {
    SCOPED_TRACE("track " + std::to_string(t));
    auto track = test::RandomTrack(rng, c.Shape);
    if (c.Crafted) {
      const TPointF a = track->Elements[1]->StartPoint;
      auto& e = track->Elements;
      e.insert(e.begin() + 1, test::CraftedArc(a, MakePointF(a.X + 900, a.Y - 40),
                                               MakePointF(a.X + 300, a.Y + 200), 150, 0, 120));
      e.insert(e.begin() + 3, std::make_unique<TLineData>(a, a));
      e.insert(e.begin() + 5, test::CraftedArc(a, a, MakePointF(a.X, a.Y + 500), 500, -90, 0));
      e.insert(e.begin() + 7, test::CraftedArc(a, MakePointF(a.X, a.Y + 800),
                                               MakePointF(a.X, a.Y + 400), -400, -90, 180));
    }
    if (t % 2 == 0) track->Elements.push_back(BuildCloseLine(track->LastEndPoint()));
    ASSERT_EQ(track->IsClosed(), t % 2 == 0);
    TCourse course;
    course.Build(*track);
    std::vector<int32_t> scratch;
    for (TPointF p : test::QueryPoints(rng, *track, 150)) {
      for (int32_t k = 0; k < course.Count(); ++k) {
        ASSERT_EQ(course.Follow(k, p, scratch), PlainFollow(*track, k, p))
            << "from " << k << " at (" << p.X << ", " << p.Y << ")";
      }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(
    RandomTracks, FollowTest,
    ::testing::Values(TFollowCase{"ShortCourses", {30, 800, 0, 0.4, 270, 3}, false},
                      TFollowCase{"TinyElements", {40, 0.05, 0, 0.4, 180, 2}, false},
                      TFollowCase{"FarFromTheOrigin", {40, 500, 1e6, 0.4, 180, 2}, false},
                      TFollowCase{"HugeCoordinates", {30, 3e5, 0, 0.4, 180, 3}, false},
                      TFollowCase{"SweepsBeyondAFullTurn", {20, 500, 0, 0.9, 1080, 2}, false},
                      TFollowCase{"CraftedElements", {20, 800, 0, 0.4, 270, 3}, true}),
    test::TCaseName());

// ---- laps -------------------------------------------------------------------

TEST_F(LapsTest, ConstantSpeedLapsEndAtTheInterpolatedCrossing) {
  Use(Stadium);
  // 70 mm per 10 ms step: each lap lasts L / 7 ms whatever steps it falls between.
  double s = 0;
  std::vector<int32_t> completedAt;
  int32_t steps = 0;
  for (; steps < 3 * L() / 70 + 2; ++steps) {
    s += 70;
    StepTo(s);
    if (Tracker.Figures().LapCompleted) completedAt.push_back(steps);
  }
  const TLapFigures& f = Tracker.Figures();
  ASSERT_EQ(f.Laps, 3);
  ASSERT_EQ(Tracker.Laps().size(), 3u);
  for (int k = 0; k < 3; ++k) {
    const TLap& lap = Tracker.Laps()[static_cast<size_t>(k)];
    EXPECT_EQ(lap.Step, completedAt[static_cast<size_t>(k)]);
    // The step that completes lap k + 1 ends past (k + 1) L and starts before it.
    EXPECT_GT((lap.Step + 1) * 70.0, (k + 1) * L());
    EXPECT_LE(lap.Step * 70.0, (k + 1) * L());
    EXPECT_NEAR(lap.EndMs, (k + 1) * L() / 7, 1e-3);
    EXPECT_NEAR(lap.TimeS, L() / 7000, 1e-6);
    EXPECT_TRUE(lap.Valid);
  }
  EXPECT_EQ(f.LastLapS, Tracker.Laps().back().TimeS);
  EXPECT_EQ(f.LapStartS, Tracker.Laps().back().EndMs / 1000);
  ASSERT_TRUE(f.BestLapS.has_value());
  EXPECT_NEAR(*f.BestLapS, L() / 7000, 1e-6);
  EXPECT_NEAR(f.ProgressMm, std::fmod(s, L()), 1e-3);
  EXPECT_EQ(f.OffTrackSteps, 0);
  EXPECT_EQ(Tracker.Steps(), steps);
}

TEST_F(LapsTest, CrossingTimeFromTheStepsEitherSideOfTheLine) {
  Use(Square);
  Drive(0, 3900, 300);  // 3600 at 120 ms
  StepTo(3900);         // 130 ms, 100 mm short of the line
  EXPECT_EQ(Tracker.Figures().Laps, 0);
  // A slower step of 40 ms to 300 mm past the line: a quarter of it was before the line.
  StepTo(4300, 0, 40);
  ASSERT_EQ(Tracker.Figures().Laps, 1);
  EXPECT_TRUE(Tracker.Figures().LapCompleted);
  EXPECT_DOUBLE_EQ(Tracker.Laps()[0].EndMs, 130 + 40 * 0.25);
  EXPECT_DOUBLE_EQ(Tracker.Laps()[0].TimeS, 0.14);
  EXPECT_DOUBLE_EQ(Tracker.Figures().ProgressMm, 300);
  StepTo(4400);
  EXPECT_FALSE(Tracker.Figures().LapCompleted);
  EXPECT_EQ(Tracker.Figures().LastLapS, 0.14);
}

TEST_F(LapsTest, GoingBackOverTheLineAndForwardAgainIsNoLap) {
  Use(Square);
  StepTo(200);
  StepTo(-150);  // backwards over the line: onto the last element
  EXPECT_EQ(Tracker.Element(), 3);
  EXPECT_DOUBLE_EQ(Tracker.Figures().ProgressMm, 3850);
  StepTo(-300);
  StepTo(100);  // forwards over it again: only back to where the run began
  EXPECT_EQ(Tracker.Figures().Laps, 0);
  EXPECT_FALSE(Tracker.Figures().LapCompleted);
  // Twice more back and forth over the line.
  for (int i = 0; i < 2; ++i) {
    StepTo(-100);
    StepTo(100);
  }
  EXPECT_EQ(Tracker.Figures().Laps, 0);
  double s = Drive(100, 4000, 250);
  StepTo(s + 250);  // the first real lap, timed from the start of the run
  ASSERT_EQ(Tracker.Figures().Laps, 1);
  const double crossing = Tracker.Laps()[0].EndMs;
  EXPECT_NEAR(crossing, (Tracker.Steps() - 1) * 10.0 + 10.0 * (4000 - s) / 250, 1e-9);
  EXPECT_DOUBLE_EQ(Tracker.Laps()[0].TimeS, crossing / 1000);
}

TEST_F(LapsTest, ADriveBackwardsRoundTheTrackCountsNoLaps) {
  Use(Square);
  Drive(0, -3 * 4000, -270);
  EXPECT_EQ(Tracker.Figures().Laps, 0);
  // Back round the other way to where it began takes three laps before the first counts.
  Drive(-3 * 4000, 4000 + 400, 270);
  EXPECT_EQ(Tracker.Figures().Laps, 1);
}

TEST_F(LapsTest, OffTrackStepsMakeTheirLapInvalid) {
  Use(Square);  // PathWidth 300: off track beyond 150 mm
  // Lap 1 with one step at 150.5 mm; lap 2 with 150 mm exactly (on track); lap 3
  // completed by an off-track step; lap 4 clean but slower.
  // 400 mm a step from 50 mm to 12050 mm (the first step 450), then 320 mm a step.
  std::vector<float> warps(43, 0);
  warps[3] = 150.5f;
  warps[13] = 150;
  warps[29] = 1000;  // the step that completes lap 3
  double s = 0;
  for (size_t i = 0; i < warps.size(); ++i) {
    s = i < 30 ? 50 + 400.0 * (i + 1) : s + 320;
    StepTo(s, warps[i]);
  }
  const auto& laps = Tracker.Laps();
  ASSERT_EQ(laps.size(), 4u);
  EXPECT_EQ(laps[2].Step, 29);
  EXPECT_FALSE(laps[0].Valid);
  EXPECT_TRUE(laps[1].Valid);
  EXPECT_FALSE(laps[2].Valid);
  EXPECT_TRUE(laps[3].Valid);
  EXPECT_EQ(Tracker.Figures().OffTrackSteps, 2);
  // Lap 1 is the fastest but invalid; lap 2 the fastest valid one.
  ASSERT_TRUE(Tracker.Figures().BestLapS.has_value());
  EXPECT_EQ(*Tracker.Figures().BestLapS, laps[1].TimeS);
  EXPECT_LT(laps[1].TimeS, laps[3].TimeS);
}

TEST_F(LapsTest, NoValidLapMeansNoBestLap) {
  Use(Square);
  for (int i = 1; i <= 12; ++i) StepTo(i * 400.0, i == 5 ? 200.0f : 0.0f);
  EXPECT_EQ(Tracker.Figures().Laps, 1);
  EXPECT_TRUE(Tracker.Figures().LastLapS.has_value());
  EXPECT_FALSE(Tracker.Figures().BestLapS.has_value());
  EXPECT_FALSE(Tracker.Figures().OffTrack);
}

TEST_F(LapsTest, AnOpenTrackHasProgressOnly) {
  Use({LineTo(1000, 0), ArcAround(1000, 500, 180), LineTo(0, 1000)});
  EXPECT_FALSE(Tracker.Course().Closed());
  const double s = Drive(0, L(), 90);
  EXPECT_NEAR(Tracker.Figures().ProgressMm, s, 1e-3);
  // Past the end, and then to the start, the way a closed track's line is crossed.
  Tracker.AddStep(MakePointF(-200, 1000), 0, 10);
  EXPECT_DOUBLE_EQ(Tracker.Figures().ProgressMm, L());
  Tracker.AddStep(MakePointF(0, 0), 0, 10);
  Tracker.AddStep(MakePointF(300, 0), 0, 10);
  EXPECT_EQ(Tracker.Figures().Laps, 0);
  EXPECT_TRUE(Tracker.Laps().empty());
}

TEST_F(LapsTest, TheFigureOfEightIsFollowedOverItsCrossing) {
  Use(FigureEight);
  ASSERT_TRUE(Tracker.Course().Closed());
  // Driven 25 mm to the left of the line: crossing the origin on element 2 the car
  // passes over element 4, and it must stay on its own branch.
  double s = 0;
  double last = 0;
  for (int i = 0; i < 2 * L() / 60; ++i) {
    s += 60;
    StepTo(s, 0, 10, 25);
    const double now = Tracker.Figures().ProgressMm;
    if (!Tracker.Figures().LapCompleted) {
      EXPECT_GT(now, last) << "step " << i;
    }
    EXPECT_NEAR(now, std::fmod(s, L()), 0.05) << "step " << i;
    last = now;
  }
  ASSERT_EQ(Tracker.Figures().Laps, 2);
  EXPECT_NEAR(Tracker.Laps()[1].TimeS, L() / 6000, 1e-6);
}

TEST_F(LapsTest, FarFromItsElementTheCarTakesTheNearestOfAll) {
  Use(Square);
  StepTo(500);
  // Near element 2, but within PathWidth of element 1: the neighbour keeps the car.
  Tracker.AddStep(MakePointF(750, 900), 0, 10);
  EXPECT_EQ(Tracker.Element(), 1);
  StepTo(200);
  ASSERT_EQ(Tracker.Element(), 0);
  // Farther than PathWidth from elements 3, 0 and 1: element 2, the nearest of all.
  Tracker.AddStep(MakePointF(500, 1100), 0, 10);
  EXPECT_EQ(Tracker.Element(), 2);
  EXPECT_DOUBLE_EQ(Tracker.Figures().ProgressMm, 2500);
  // Equally near elements 1 and 2 from far away: the lower index.
  Tracker.AddStep(MakePointF(1600, 1600), 0, 10);
  EXPECT_EQ(Tracker.Element(), 1);
}

TEST_F(LapsTest, OneOrTwoElementTracksCountLapsByTheJumpOfProgress) {
  // Two half circles, and a whole circle as one arc.
  for (const auto& spec :
       {std::vector<TElementSpec>{ArcAround(0, 500, 180), ArcAround(0, 500, 180)},
        std::vector<TElementSpec>{ArcAround(0, 500, 360)}}) {
    Use(spec);
    ASSERT_TRUE(Tracker.Course().Closed());
    Drive(0, 2.5 * L(), 50);
    EXPECT_EQ(Tracker.Figures().Laps, 2) << spec.size() << " elements";
    Drive(2.5 * L(), 0.5 * L() - 100, -50);
    Drive(0.5 * L() - 100, 3.5 * L(), 50);
    EXPECT_EQ(Tracker.Figures().Laps, 3) << spec.size() << " elements";
  }
}

TEST_F(LapsTest, RestartForgetsTheRun) {
  Use(Square);
  Drive(0, 9000, 300);
  ASSERT_EQ(Tracker.Figures().Laps, 2);
  Tracker.Restart();
  EXPECT_EQ(Tracker.Steps(), 0);
  EXPECT_EQ(Tracker.Figures().Laps, 0);
  EXPECT_TRUE(Tracker.Laps().empty());
  Drive(0, 4300, 300);
  ASSERT_EQ(Tracker.Figures().Laps, 1);
  EXPECT_NEAR(Tracker.Laps()[0].EndMs, 4000 / 30.0, 1e-9);
}

// ---- a whole record ---------------------------------------------------------

TEST_F(LapsTest, ARecordAnswersAsTheTrackerDidAtEveryStep) {
  Use(FigureEight);
  TRecords records;
  std::vector<TLapFigures> live;
  std::vector<size_t> lapsSoFar;
  double s = 0;
  for (int i = 0; i < 4 * L() / 55; ++i) {
    s += i % 40 < 30 ? 55 : -20;  // now and then a few steps back
    const float warp = i % 97 == 5 ? 400.0f : 0.0f;
    const TPointF p = PointAt(*Track, std::fmod(s, L()));
    const float fields[7] = {p.X, p.Y, 0, 0, 0, 0, warp};
    records.Add(fields, nullptr, 0);
    Tracker.AddStep(p, warp, 20);
    live.push_back(Tracker.Figures());
    lapsSoFar.push_back(Tracker.Laps().size());
  }
  ASSERT_GE(Tracker.Figures().Laps, 2);
  TRecordLaps whole;
  whole.Build(*Track, records, 20);
  ASSERT_EQ(whole.Count(), records.Count());
  EXPECT_EQ(whole.TrackLength(), L());
  EXPECT_TRUE(whole.Closed());
  ASSERT_EQ(whole.Laps().size(), Tracker.Laps().size());
  for (size_t k = 0; k < whole.Laps().size(); ++k) {
    EXPECT_EQ(whole.Laps()[k].Step, Tracker.Laps()[k].Step);
    EXPECT_EQ(whole.Laps()[k].EndMs, Tracker.Laps()[k].EndMs);
    EXPECT_EQ(whole.Laps()[k].Valid, Tracker.Laps()[k].Valid);
  }
  // Read in an order of its own, as a replay seeks.
  for (int32_t j = 0; j < records.Count(); ++j) {
    const int32_t i = static_cast<int32_t>((j * 7919L) % records.Count());
    const TLapFigures a = whole.At(i), &b = live[static_cast<size_t>(i)];
    EXPECT_EQ(a.Laps, b.Laps) << i;
    EXPECT_EQ(a.LastLapS, b.LastLapS) << i;
    EXPECT_EQ(a.BestLapS, b.BestLapS) << i;
    EXPECT_EQ(a.LapStartS, b.LapStartS) << i;
    EXPECT_EQ(a.ProgressMm, b.ProgressMm) << i;
    EXPECT_EQ(a.OffTrackSteps, b.OffTrackSteps) << i;
    EXPECT_EQ(a.OffTrack, b.OffTrack) << i;
    EXPECT_EQ(a.LapCompleted, b.LapCompleted) << i;
  }
  const TLapFigures start = whole.At(-1);
  EXPECT_EQ(start.Laps, 0);
  EXPECT_EQ(start.ProgressMm, 0);
  EXPECT_EQ(start.OffTrackSteps, 0);
  EXPECT_FALSE(start.BestLapS.has_value());
}

// ---- the engine -------------------------------------------------------------

QString ModulePath(const char* name) {
  return QStringLiteral(KURVINO2_TEST_MODULES "/%1.so").arg(QLatin1String(name));
}

class SimuLapsTest : public ::testing::Test {
 protected:
  SimuLapsTest() { TJudgeModule::SetDefaultHostPath(QStringLiteral(KURVINO2_JUDGE_HOST)); }
  ~SimuLapsTest() override {
    for (const char* name : {"K2_FAULT", "K2_FAULT_AT"}) qunsetenv(name);
  }
  // The engine on the program folder's sample track and car with `module`.
  std::unique_ptr<TSimu> Ready(const QString& module) {
    const QString bin = test::BinDir() + QLatin1Char('/');
    auto sim = std::make_unique<TSimu>(nullptr, nullptr, nullptr, nullptr);
    EXPECT_TRUE(sim->LoadTrack(bin + QStringLiteral("Default.kpf")) && sim->Prepare());
    EXPECT_TRUE(sim->LoadCar(bin + QStringLiteral("Car/Light8.kcf")) && sim->Prepare());
    EXPECT_TRUE(sim->LoadJudge(module) && sim->Prepare());
    sim->SetStepMs(10);
    return sim;
  }
  test::TTempDir Dir;
};

TEST_F(SimuLapsTest, TheEngineFollowsTheStepsItRecords) {
  auto sim = Ready(test::BinDir() + QStringLiteral("/Judgement/LightFollower.so"));
  for (int i = 0; i < 2500; ++i) {
    ASSERT_TRUE(sim->Step());
    sim->AddRecord();
  }
  const TLapTracker& live = sim->Laps();
  EXPECT_EQ(live.Steps(), 2500);
  EXPECT_GE(live.Figures().Laps, 1);
  TRecordLaps whole;
  whole.Build(*sim->Track, sim->Records, 10);
  const TLapFigures f = whole.At(2499);
  EXPECT_EQ(f.Laps, live.Figures().Laps);
  EXPECT_EQ(f.ProgressMm, live.Figures().ProgressMm);
  EXPECT_EQ(f.BestLapS, live.Figures().BestLapS);
  EXPECT_EQ(f.OffTrackSteps, live.Figures().OffTrackSteps);

  // A new run starts the figures again.
  ASSERT_TRUE(sim->Prepare());
  EXPECT_EQ(sim->Laps().Steps(), 0);
  EXPECT_EQ(sim->Laps().Figures().Laps, 0);
}

TEST_F(SimuLapsTest, AFailedStepIsNotCounted) {
  qputenv("K2_FAULT_AT", "4");
  auto sim = Ready(ModulePath("faulty"));
  for (int i = 0; i < 3; ++i) ASSERT_TRUE(sim->Step());
  EXPECT_FALSE(sim->Step());
  EXPECT_EQ(sim->Laps().Steps(), 3);
  ASSERT_TRUE(sim->Step());  // a fresh host
  EXPECT_EQ(sim->Laps().Steps(), 4);

  sim->LapTracking = false;
  ASSERT_TRUE(sim->Step());
  EXPECT_EQ(sim->Laps().Steps(), 4);
}

TEST(CarTestLaps, TheCarTestLeavesTrackingOff) {
  test::TTempDir dir;
  TCar car(nullptr, RunMainSpan);
  auto sim = TSimu::CreateForTest(nullptr, &car, nullptr, nullptr, nullptr);
  EXPECT_FALSE(sim->LapTracking);
}

}  // namespace
}  // namespace k2
