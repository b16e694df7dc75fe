// The replay engine: loading a record file, stepping, applying and drawing a step.
#include <gtest/gtest.h>

#include <QImage>

#include "car/uMotor.h"
#include "common/TestSupport.h"
#include "replay/uReplay.h"
#include "simulation/SimFixtures.h"
#include "simulation/uRunView.h"
#include "simulation/uSimu.h"

namespace k2 {
namespace {

using test::LineTo;

// The replay page's four views.
struct TViews {
  QImage Draw = MakeViewRaster(SimuMainViewSize);
  QImage View = MakeViewRaster(RunOverviewSize);
  QImage Sensors = MakeViewRaster(ReplaySensorsSize);
  QImage Ccd = MakeViewRaster(RunCcdSize);
};

bool IsTrail(QRgb p) { return qRed(p) > 200 && qGreen(p) < 60 && qBlue(p) < 60; }

class ReplayTest : public ::testing::Test {
 protected:
  // A record file of `count` steps of `stepMs`: step i at (0, 300 i), heading 0,
  // steering i degrees, speed i, acceleration 2 i, deviation 3 i, readings (i, 255 - i, ...).
  QString Write(const TCar& car, int count, int32_t stepMs = 10, int32_t sensorCount = -1) {
    auto track = test::MakeTrack({LineTo(5000, 0), LineTo(6000, 0)});
    TRecords records;
    records.SensorCount =
        sensorCount >= 0 ? sensorCount : static_cast<int32_t>(car.LightSensors.size());
    for (int i = 0; i < count; ++i) {
      auto r = std::make_unique<TRecordData>();
      r->PosY = 300.0f * i;
      r->SteerAngle = static_cast<float>(i);
      r->Speed = static_cast<float>(i);
      r->Acc = 2.0f * i;
      r->Warp = 3.0f * i;
      for (int k = 0; k < records.SensorCount; ++k)
        r->Readings.push_back(static_cast<uint8_t>(k % 2 ? 255 - i : i));
      records.Add(std::move(r));
    }
    QByteArray bytes;
    QString error;
    EXPECT_TRUE(
        BuildRecordFile({QStringLiteral("t.kpf"), QStringLiteral("c.kcf"), QStringLiteral("j.so")},
                        stepMs, *track, car, records, bytes, error));
    const QString path = Dir.Path(QStringLiteral("run.krf"));
    test::WriteFile(path, bytes);
    return path;
  }

  std::unique_ptr<TReplay> Open(const QString& path, TViews* views = nullptr) {
    auto replay = views ? std::make_unique<TReplay>(&views->Draw, RunMainSpan, &views->View,
                                                    RunOverviewSpan, &views->Sensors, &views->Ccd)
                        : std::make_unique<TReplay>(nullptr, RunMainSpan, nullptr, RunOverviewSpan,
                                                    nullptr, nullptr);
    replay->RecordFile = path;
    EXPECT_TRUE(replay->LoadFromFile());
    return replay;
  }

  test::TTempDir Dir;
};

TEST_F(ReplayTest, LoadingSetsTheCountsAndTimes) {
  auto car = test::RowCar(2);
  auto replay = Open(Write(*car, 5, 20));
  EXPECT_EQ(replay->RecordCount, 5);
  EXPECT_EQ(replay->SimStepMs, 20);
  EXPECT_EQ(replay->StepMs, 20);
  EXPECT_EQ(replay->StepRecords, 1);
  EXPECT_EQ(replay->TotalMs, 80);
  EXPECT_EQ(replay->Index, 0);
  EXPECT_EQ(replay->TrackFileName, QStringLiteral("t.kpf"));
  EXPECT_EQ(replay->CarFileName, QStringLiteral("c.kcf"));
  EXPECT_EQ(replay->JudgeFileName, QStringLiteral("j.so"));
  EXPECT_EQ(replay->Track->Elements.size(), 2u);
  EXPECT_EQ(replay->Car->LightSensors.size(), 2u);
  EXPECT_EQ(replay->Readings, (std::vector<uint8_t>{0, 0}));
  EXPECT_TRUE(replay->AtStart());
  EXPECT_FALSE(replay->AtEnd());
}

TEST_F(ReplayTest, ARecordOfOneStepIsAtStartAndAtEnd) {
  auto car = test::RowCar(0);
  auto replay = Open(Write(*car, 1));
  EXPECT_EQ(replay->TotalMs, 0);
  EXPECT_TRUE(replay->AtStart());
  EXPECT_TRUE(replay->AtEnd());
  replay->StepForward();
  EXPECT_EQ(replay->Index, 0);
}

TEST_F(ReplayTest, AStepLengthBecomesAWholeNumberOfRecords) {
  auto car = test::RowCar(0);
  auto replay = Open(Write(*car, 3, 10));
  struct TCase {
    int32_t Ms, StepMs, Records;
  } cases[] = {{500, 500, 50}, {15, 15, 2}, {25, 25, 2}, {35, 35, 4},
               {10, 10, 1},    {5, 10, 1},  {-7, 10, 1}};
  for (const TCase& c : cases) {
    replay->SetStepMs(c.Ms);
    EXPECT_EQ(replay->StepMs, c.StepMs) << c.Ms;
    EXPECT_EQ(replay->StepRecords, c.Records) << c.Ms;
  }
}

TEST_F(ReplayTest, SteppingStaysInsideTheRecord) {
  auto car = test::RowCar(0);
  auto replay = Open(Write(*car, 5, 10));
  replay->SetStepMs(20);
  const auto walk = [&](void (TReplay::*move)(), std::vector<int32_t> expected) {
    for (int32_t index : expected) {
      (replay.get()->*move)();
      EXPECT_EQ(replay->Index, index);
    }
  };
  walk(&TReplay::StepForward, {2, 4, 4});
  EXPECT_TRUE(replay->AtEnd());
  walk(&TReplay::StepBack, {2, 0, 0});
  EXPECT_TRUE(replay->AtStart());
  struct TCase {
    int32_t Seek, Index;
  } cases[] = {{3, 3}, {5, 4}, {1000000, 4}, {-1, 0}, {INT32_MIN, 0}, {4, 4}};
  for (const TCase& c : cases) {
    replay->SeekIndex(c.Seek);
    EXPECT_EQ(replay->Index, c.Index) << c.Seek;
    EXPECT_EQ(replay->Pos.Y, 300.0f * c.Index) << c.Seek;  // every move applies the step
  }
}

TEST_F(ReplayTest, ApplyingAStepPutsItsValuesBackOnTheCar) {
  auto car = test::RowCar(2);
  // Three readings per record in the file, two sensors on the car: two are taken.
  auto replay = Open(Write(*car, 5, 10, 3));
  replay->SeekIndex(3);
  EXPECT_EQ(replay->Pos.X, 0);
  EXPECT_EQ(replay->Pos.Y, 900);
  EXPECT_EQ(replay->Speed, 3);
  EXPECT_EQ(replay->Acc, 6);
  EXPECT_EQ(replay->Warp, 9);
  EXPECT_EQ(replay->Car->SteerAngle, 3);
  EXPECT_EQ(replay->FrontWheelAngle(), 3);
  EXPECT_EQ(replay->Readings, (std::vector<uint8_t>{3, 252}));
  EXPECT_EQ(replay->Track->DrawTransform->Offset.Y, -900);
}

TEST_F(ReplayTest, TheTrailIsDrawnFromStepTwoOn) {
  auto car = test::RowCar(2);
  TViews views;
  auto replay = Open(Write(*car, 4), &views);
  replay->DrawInitial();
  // Trail pixels below the car, whose body reaches 43 pixels below the centre.
  const auto trailBelowCar = [&] {
    int n = 0;
    for (int y = 215 + 50; y < SimuMainViewSize.Height; ++y) n += IsTrail(views.Draw.pixel(215, y));
    return n;
  };
  replay->SeekIndex(1);  // one segment of 300 mm, 64 pixels, would show
  replay->DrawFrame();
  EXPECT_EQ(trailBelowCar(), 0);
  replay->SeekIndex(2);
  replay->DrawFrame();
  EXPECT_GT(trailBelowCar(), 0);
  EXPECT_EQ(views.Draw.pixel(0, 0), 0xFFE0E0FFu);
}

TEST_F(ReplayTest, ACarWithoutSensorsLeavesTheirViewsAlone) {
  auto car = test::RowCar(0);
  TViews views;
  views.Sensors.fill(0xFF123456);
  views.Ccd.fill(0xFF654321);
  auto replay = Open(Write(*car, 3), &views);
  EXPECT_TRUE(replay->Readings.empty());
  EXPECT_TRUE(replay->View().SensorDots().empty());
  EXPECT_FALSE(replay->Ccd);
  replay->DrawInitial();
  replay->StepForward();
  replay->DrawFrame();
  EXPECT_EQ(views.Sensors.pixel(5, 5), 0xFF123456u);
  EXPECT_EQ(views.Ccd.pixel(5, 5), 0xFF654321u);
  replay->ClearViews();
  for (const QImage* img : {&views.Draw, &views.View, &views.Sensors, &views.Ccd})
    EXPECT_EQ(img->pixel(5, 5), 0u);
}

TEST_F(ReplayTest, SensorDotsAreLaidOutOnTheReplayStrip) {
  auto car = test::RowCar(1);
  TViews views;
  auto replay = Open(Write(*car, 3), &views);
  ASSERT_EQ(replay->View().SensorDots().size(), 1u);
  EXPECT_FLOAT_EQ(replay->View().SensorDots()[0].X, 338 / 2 - 5);
  EXPECT_FLOAT_EQ(replay->View().SensorDots()[0].Y, 110 / 2 - 5);
  replay->SeekIndex(0);  // reading 0: a solid dot
  replay->DrawFrame();
  EXPECT_EQ(views.Sensors.pixel(169, 55), 0xFF006400u);
  EXPECT_EQ(views.Sensors.pixel(5, 5), 0xFFFFFFFFu);
}

TEST_F(ReplayTest, RefusedFiles) {
  auto car = test::RowCar(1);
  const QByteArray good = test::ReadFile(Write(*car, 3));
  struct TCase {
    const char* Name;
    QByteArray Bytes;
  } cases[] = {{"tag length 21", test::LE32(21) + good.mid(4)},
               {"another tag", test::LE32(10) + QByteArray("RecordFilf") + good.mid(14)},
               {"version 199", good.left(14) + test::LE32(199) + good.mid(18)},
               {"cut short", good.left(good.size() - 1)},
               {"empty", QByteArray()}};
  for (const TCase& c : cases) {
    test::WriteFile(Dir.Path(QStringLiteral("bad.krf")), c.Bytes);
    TReplay replay(nullptr, RunMainSpan, nullptr, RunOverviewSpan, nullptr, nullptr);
    replay.RecordFile = Dir.Path(QStringLiteral("bad.krf"));
    EXPECT_FALSE(replay.LoadFromFile()) << c.Name;
  }
  TReplay replay(nullptr, RunMainSpan, nullptr, RunOverviewSpan, nullptr, nullptr);
  replay.RecordFile = Dir.Path(QStringLiteral("missing.krf"));
  EXPECT_FALSE(replay.LoadFromFile());
}

TEST_F(ReplayTest, TheCcdPictureIsTheOneTheSimulationSaw) {
  // A run without a module, driven straight up a line with the motor on.
  ASSERT_TRUE(test::SaveTrack(Dir.Path(QStringLiteral("t.kpf")), {LineTo(0, 4000)}));
  auto car = test::RowCar(2, 20, true);
  ASSERT_TRUE(test::SaveCar(Dir.Path(QStringLiteral("c.kcf")), *car));
  TSimu sim(nullptr, nullptr, nullptr, nullptr);
  ASSERT_TRUE(sim.LoadTrack(Dir.Path(QStringLiteral("t.kpf"))));
  ASSERT_TRUE(sim.LoadCar(Dir.Path(QStringLiteral("c.kcf"))));
  sim.Prepare();
  sim.SetStepMs(10);
  sim.Car->Motor->SetCommand(1);
  sim.Car->SteerMotor->SetCommand(0.505f);  // a slow left turn, drifting off the line
  std::vector<QImage> pictures;
  for (int i = 0; i < 30; ++i) {
    ASSERT_TRUE(sim.Step());
    sim.AddRecord();
    pictures.push_back(sim.Ccd->Frame().copy());
  }
  sim.RecordFile = Dir.Path(QStringLiteral("run.krf"));
  ASSERT_TRUE(sim.SaveToFile());

  TViews views;
  views.Ccd.fill(0xFF123456);
  auto replay = Open(sim.RecordFile, &views);
  ASSERT_TRUE(replay->Ccd);
  replay->DrawInitial();
  EXPECT_EQ(views.Ccd.pixel(55, 105), 0xFFFFFFFFu);
  for (int i : {0, 15, 29}) {
    replay->SeekIndex(i);
    EXPECT_EQ(replay->Ccd->Frame(), pictures[static_cast<size_t>(i)]) << i;
  }
  replay->DrawFrame();
  EXPECT_EQ(views.Ccd.pixel(55, 105), 0xFFFFFFFFu);  // below the 110 x 82.5 picture
  int black = 0;
  for (int y = 0; y < 82; ++y)
    for (int x = 0; x < 110; ++x) black += views.Ccd.pixel(x, y) == 0xFF000000u;
  EXPECT_GT(black, 0);
}

}  // namespace
}  // namespace k2
