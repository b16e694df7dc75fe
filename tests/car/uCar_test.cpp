#include <gtest/gtest.h>
#include <tuple>

#include "base/uStream.h"
#include "car/uCar.h"
#include "common/TestSupport.h"
#include "simulation/uRunView.h"

namespace k2 {
namespace {

using test::LE32;

class CarTest : public ::testing::Test {
 protected:
  QString File(const char* name) const { return Dir.Path(QString::fromLatin1(name)); }

  // Three point sensors and the trapezoid CCD sensor, filled as the dialogs do.
  static void AddSensors(TCar& car) {
    for (int i = 0; i < 3; ++i) {
      auto s = std::make_unique<TLightSensor>();
      s->EffectiveR = 10 * i;
      s->SensorType = static_cast<uint8_t>(i % 2);
      s->SetAssembleX(-40 + 40 * i);
      s->SetAssembleY(100);
      s->SetAssembleZ(50);
      s->SetBeta(45);
      car.AddLightSensor(std::move(s));
    }
    auto ccd = std::make_unique<TCCDSensor>();
    ccd->ComputeSenseArea({-50, 200}, {-30, 100}, {50, 200}, {30, 100}, 80, 60);
    ccd->SetAssembleZ(100);
    ccd->SetAlpha(45);
    car.SetCCDSensor(std::move(ccd));
  }

  QByteArray SaveCar(TCar& car, const char* name) const {
    car.FileName = File(name);
    EXPECT_TRUE(car.SaveToFile());
    return test::ReadFile(car.FileName);
  }

  test::TTempDir Dir;
};

TEST_F(CarTest, NewCarWithoutSettingsFile) {
  const TCar car(nullptr, CarTestMainSpan);
  EXPECT_EQ(car.Length, 400);
  EXPECT_EQ(car.Width, 200);
  EXPECT_EQ(car.Track, 300);
  EXPECT_EQ(car.WheelBase, 190);
  EXPECT_EQ(car.WheelD, 40);
  EXPECT_EQ(car.WheelWidth, 20);
  EXPECT_EQ(car.FrontLength, 130);
  EXPECT_EQ(car.Weight, 2500);
  EXPECT_FLOAT_EQ(car.Ratio, 0.5f);
  EXPECT_EQ(car.Heading, 0);
  EXPECT_EQ(car.SteerAngle, 0);
  EXPECT_TRUE(car.FileName.isEmpty());
  EXPECT_EQ(car.SensorCount(), 0);
  EXPECT_EQ(car.SteerMotor->MaxSteerAngle, 40);
  EXPECT_EQ(car.SteerMotor->SteerSpeed, 30);
  EXPECT_FLOAT_EQ(car.Motor->URated, 7.4f);
  EXPECT_EQ(car.Motor->nRated, 3000);
  EXPECT_FLOAT_EQ(car.Motor->WeightForce, 24.5f);
  EXPECT_FLOAT_EQ(car.Motor->WheelDiameter, 0.04f);
  EXPECT_NEAR(car.RatedSpeed(), 6.2832, 1e-4);
  // Without a raster the transform serves a 300 x 300 view: 5 mm per pixel.
  EXPECT_EQ(car.DrawTransform->ViewWidth, 300);
  EXPECT_FLOAT_EQ(car.DrawTransform->ToViewLength(100), 20);
}

TEST_F(CarTest, NewCarReadsTheSettingsFile) {
  Dir.WriteSettings(
      QStringLiteral("[DefaultCarParam]\nLength=500\nWeight=1000\nWheelD=64\n"
                     "Ratio=0.75\n[DefaultSteerMotorParam]\nSteerSpeed=90\n"));
  QImage view = MakeViewRaster(SimuMainViewSize);
  const TCar car(&view, RunMainSpan);
  EXPECT_EQ(car.Length, 500);
  EXPECT_EQ(car.Width, 200);
  EXPECT_EQ(car.Weight, 1000);
  EXPECT_FLOAT_EQ(car.Ratio, 0.75f);
  EXPECT_EQ(car.SteerMotor->SteerSpeed, 90);
  EXPECT_FLOAT_EQ(car.Motor->WeightForce, 9.8f);
  EXPECT_FLOAT_EQ(car.Motor->WheelDiameter, 0.064f);
  EXPECT_FLOAT_EQ(car.DrawTransform->Scale, 2000.0f / 430);
}

TEST_F(CarTest, DefaultCarFileIs84Bytes) {
  TCar car(nullptr, CarTestMainSpan);
  QByteArray expected = LE32(7) + QByteArray("CarFile") + LE32(200);
  for (int v : {2500, 400, 200, 190, 300, 130, 40, 20, 0}) expected += LE32(v);
  expected += test::Bytes({0}) + LE32(40) + LE32(30);
  expected += test::LEFloat(7.4f) + test::LEFloat(0.2f) + test::LEFloat(10) + LE32(3000) +
              test::LEFloat(0.2f) + LE32(15);
  ASSERT_EQ(expected.size(), 84);
  EXPECT_EQ(SaveCar(car, "default.kcf"), expected);
}

TEST_F(CarTest, SensorsRoundTripThroughTheFile) {
  TCar car(nullptr, CarTestMainSpan);
  AddSensors(car);
  const QByteArray bytes = SaveCar(car, "full.kcf");
  ASSERT_EQ(bytes.size(), 283);

  TCar back(nullptr, CarTestMainSpan);
  back.FileName = File("full.kcf");
  ASSERT_TRUE(back.LoadFromFile());
  ASSERT_EQ(back.LightSensors.size(), 3u);
  EXPECT_EQ(back.LightSensors[2]->SenseX, 40);
  EXPECT_EQ(back.LightSensors[1]->SensorType, 1);
  ASSERT_TRUE(back.CCDSensor);
  EXPECT_TRUE(back.CCDSensor->HasProjection());
  EXPECT_EQ(back.CCDSensor->SenseY, 100);
  EXPECT_EQ(SaveCar(back, "again.kcf"), bytes);
}

TEST_F(CarTest, LoadingKeepsTheSettingsRatioAndSetsTheMotorInvariants) {
  Dir.WriteSettings(QStringLiteral("[DefaultCarParam]\nRatio=0.75\n"));
  TCar car(nullptr, CarTestMainSpan);
  car.Ratio = 0.1f;
  car.SetWeight(3000);
  car.SetWheelD(50);
  SaveCar(car, "car.kcf");

  TCar back(nullptr, CarTestMainSpan);
  back.FileName = File("car.kcf");
  ASSERT_TRUE(back.LoadFromFile());
  EXPECT_FLOAT_EQ(back.Ratio, 0.75f);
  EXPECT_EQ(back.Weight, 3000);
  EXPECT_FLOAT_EQ(back.Motor->WeightForce, 29.4f);
  EXPECT_FLOAT_EQ(back.Motor->WheelDiameter, 0.05f);
}

TEST_F(CarTest, HeadsOfOtherFilesAreRefused) {
  TCar good(nullptr, CarTestMainSpan);
  const QByteArray body = SaveCar(good, "good.kcf").mid(CarHeadSize);
  struct TCase {
    const char* Name;
    QByteArray Bytes;
  } cases[] = {
      {"length 21", LE32(21) + QByteArray(21, 'C') + LE32(200) + body},
      {"lower case", LE32(7) + QByteArray("carfile") + LE32(200) + body},
      {"version 199", LE32(7) + QByteArray("CarFile") + LE32(199) + body},
      {"track tag", LE32(8) + QByteArray("PathFile") + LE32(200) + body},
      {"empty", QByteArray()},
  };
  for (const TCase& c : cases) {
    test::WriteFile(File("bad.kcf"), c.Bytes);
    TCar car(nullptr, CarTestMainSpan);
    car.FileName = File("bad.kcf");
    EXPECT_FALSE(car.LoadFromFile()) << c.Name;
  }
  TCar missing(nullptr, CarTestMainSpan);
  missing.FileName = File("missing.kcf");
  EXPECT_FALSE(missing.LoadFromFile());
}

TEST_F(CarTest, EveryTruncationIsRefusedWithoutSensors) {
  TCar car(nullptr, CarTestMainSpan);
  AddSensors(car);
  const QByteArray bytes = SaveCar(car, "full.kcf");
  for (int n = 0; n < bytes.size(); ++n) {
    test::WriteFile(File("cut.kcf"), bytes.left(n));
    TCar cut(nullptr, CarTestMainSpan);
    cut.FileName = File("cut.kcf");
    ASSERT_FALSE(cut.LoadFromFile()) << n << " bytes";
    EXPECT_EQ(cut.SensorCount(), 0) << n << " bytes";
  }
}

TEST_F(CarTest, SensorCountThatCannotFitIsRefused) {
  TStreamWriter w;
  w.WriteHead("CarFile", 200);
  for (int i = 0; i < 8; ++i) w.WriteInt32(100);
  w.WriteInt32(3);  // three records need 87 bytes; 70 follow
  w.WriteBytes(QByteArray(70, '\0'));
  const QByteArray record = w.Data().mid(CarHeadSize);
  TStreamReader r(record);
  TCar car(nullptr, CarTestMainSpan);
  EXPECT_FALSE(car.ReadCarRecord(r));
  EXPECT_EQ(car.SensorCount(), 0);
}

TEST_F(CarTest, CountZeroOrNegativeGoesOnWithTheCCDByte) {
  for (int32_t count : {0, -5}) {
    TStreamWriter w;
    for (int i = 0; i < 8; ++i) w.WriteInt32(100);
    w.WriteInt32(count);
    w.WriteUInt8(1);
    TCCDSensor ccd;
    ccd.SetAlpha(30);
    ccd.PixelWidth = ccd.PixelHeight = 1;
    ccd.SaveToStream(w);
    TSteerMotor().SaveToStream(w);
    TMotor().SaveToStream(w);
    TStreamReader r(w.Data());
    TCar car(nullptr, CarTestMainSpan);
    ASSERT_TRUE(car.ReadCarRecord(r)) << count;
    EXPECT_TRUE(r.AtEnd());
    EXPECT_TRUE(car.LightSensors.empty());
    ASSERT_TRUE(car.CCDSensor);
    EXPECT_EQ(car.CCDSensor->Alpha, 30);
  }
}

// The picture's size is read within the limits its dialog sets: a crafted size would
// make every step build a picture of millions of pixels.
TEST_F(CarTest, ACcdPictureSizeBeyondTheDialogsLimitsIsNotRead) {
  for (auto [width, height, readable] :
       {std::tuple{1, 1, true}, std::tuple{10000, 1, true}, std::tuple{1048704, 1, false},
        std::tuple{1, 0, false}, std::tuple{1, 10001, false}, std::tuple{-3, 1, false}}) {
    TStreamWriter w;
    for (int i = 0; i < 8; ++i) w.WriteInt32(100);
    w.WriteInt32(0);
    w.WriteUInt8(1);
    TCCDSensor ccd;
    ccd.PixelWidth = width;
    ccd.PixelHeight = height;
    ccd.SaveToStream(w);
    TSteerMotor().SaveToStream(w);
    TMotor().SaveToStream(w);
    TStreamReader r(w.Data());
    TCar car(nullptr, CarTestMainSpan);
    EXPECT_EQ(car.ReadCarRecord(r), readable) << width << " x " << height;
    EXPECT_EQ(car.CCDSensor != nullptr, readable);
  }
}

TEST_F(CarTest, FailedSaveReportsFalse) {
  TCar car(nullptr, CarTestMainSpan);
  car.FileName = File("no-such-folder/car.kcf");
  EXPECT_FALSE(car.SaveToFile());
}

TEST_F(CarTest, SensorListOperations) {
  TCar car(nullptr, CarTestMainSpan);
  for (int y : {1, 2, 3}) {
    auto s = std::make_unique<TLightSensor>();
    s->SetAssembleY(y);
    car.AddLightSensor(std::move(s));
  }
  car.SetCCDSensor(std::make_unique<TCCDSensor>());
  EXPECT_EQ(car.SensorCount(), 4);
  car.DeleteLightSensor(0);
  ASSERT_EQ(car.LightSensors.size(), 2u);
  EXPECT_EQ(car.LightSensors[0]->AssembleY, 2);
  EXPECT_EQ(car.LightSensors[1]->AssembleY, 3);
  car.DeleteLightSensor(2);  // outside the list
  EXPECT_EQ(car.LightSensors.size(), 2u);
  car.DeleteCCDSensor();
  EXPECT_EQ(car.SensorCount(), 2);
  car.SetCCDSensor(std::make_unique<TCCDSensor>());
  car.ClearSensors();
  EXPECT_EQ(car.SensorCount(), 0);
}

TEST_F(CarTest, ResetMotionAndActuatorSteps) {
  TCar car(nullptr, CarTestMainSpan);
  car.SteerMotor->SetStepTime(0.01f);
  car.Motor->StepTime = 0.01f;
  car.Motor->PrepareModel();
  car.SteerMotor->SetCommand(1);
  car.Motor->SetCommand(1);
  car.StepActuators();
  car.StepActuators();
  EXPECT_FLOAT_EQ(car.SteerAngle, 0.6f);
  EXPECT_GT(car.Motor->Speed, 0);

  car.Heading = 33;
  car.ResetMotion(false);
  EXPECT_EQ(car.Heading, 33);
  EXPECT_EQ(car.SteerAngle, 0);
  EXPECT_EQ(car.SteerMotor->Angle, 0);
  EXPECT_EQ(car.SteerMotor->Command, 0.5f);
  EXPECT_EQ(car.Motor->Speed, 0);
  EXPECT_EQ(car.Motor->LastCommand, 0);
  car.SteerAngle = 5;
  car.ResetMotion(true);
  EXPECT_EQ(car.Heading, 0);
  EXPECT_EQ(car.SteerAngle, 0);
}

}  // namespace
}  // namespace k2
