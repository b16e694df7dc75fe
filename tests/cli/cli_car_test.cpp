// kurvino2-cli on car files: dump, build and render-car, run as a separate process.
#include <gtest/gtest.h>

#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <cstdlib>

#include "cli/CliTestSupport.h"
#include "common/TestSupport.h"

namespace k2 {
namespace {

// Three point sensors (one with an elevation beyond the clamp) and the trapezoid CCD
// sensor, all in design form; body, motor and servo from the settings.
const char DesignCar[] = R"({"type":"car",
  "LightSensors":[
    {"AssembleX":0,"AssembleY":100,"AssembleZ":50,"Beta":45,"EffectiveR":0,"SensorType":0},
    {"AssembleX":-40,"AssembleY":0,"AssembleZ":10,"Beta":95,"EffectiveR":20,"SensorType":1},
    {"AssembleX":40,"AssembleY":180,"AssembleZ":50,"Beta":-5,"EffectiveR":20,"SensorType":1}],
  "CCDSensor":{"AssembleX":0,"AssembleY":0,"AssembleZ":100,"Alpha":45,
    "PixelWidth":80,"PixelHeight":60,
    "TopLeft":{"X":-50,"Y":200},"TopRight":{"X":50,"Y":200},
    "BottomRight":{"X":30,"Y":100},"BottomLeft":{"X":-30,"Y":100}}})";

using TRun = clitest::TCliResult;

class CliCarTest : public ::testing::Test {
 protected:
  QString File(const char* name) const { return Dir.Path(QString::fromLatin1(name)); }

  // Runs the tool with the temp folder's settings file (absent unless a test writes it).
  TRun Run(const QStringList& args) const { return clitest::RunCliIn(Dir.Dir(), args); }

  // Writes a JSON document and builds it; the exit code.
  int Build(const QByteArray& json, const char* out) const {
    test::WriteFile(File("in.json"), json);
    const TRun r = Run({QStringLiteral("build"), File("in.json"), File(out)});
    EXPECT_TRUE(r.Code == 0 || r.Err.contains(QStringLiteral("in.json"))) << r.Err.toStdString();
    return r.Code;
  }

  QJsonObject Dump(const char* file) const {
    const TRun r = Run({QStringLiteral("dump"), File(file)});
    EXPECT_EQ(r.Code, 0) << r.Err.toStdString();
    return QJsonDocument::fromJson(r.Out).object();
  }

  test::TTempDir Dir;
};

TEST_F(CliCarTest, DesignFormFillsSensorsLikeTheDialogs) {
  ASSERT_EQ(Build(DesignCar, "car.kcf"), 0);
  EXPECT_EQ(test::ReadFile(File("car.kcf")).size(), 283);
  const QJsonObject car = Dump("car.kcf");
  EXPECT_EQ(car[QStringLiteral("type")].toString(), QStringLiteral("car"));
  const QJsonArray lights = car[QStringLiteral("LightSensors")].toArray();
  ASSERT_EQ(lights.size(), 3);
  struct TExpect {
    int SenseX, SenseY, Beta;
  } expected[] = {{0, 150, 45}, {-40, 573, 89}, {40, 180, 0}};
  for (int i = 0; i < 3; ++i) {
    const QJsonObject s = lights[i].toObject();
    EXPECT_EQ(s[QStringLiteral("SenseX")].toInt(), expected[i].SenseX) << i;
    EXPECT_EQ(s[QStringLiteral("SenseY")].toInt(), expected[i].SenseY) << i;
    EXPECT_EQ(s[QStringLiteral("Beta")].toInt(), expected[i].Beta) << i;
  }
  const QJsonObject ccd = car[QStringLiteral("CCDSensor")].toObject();
  EXPECT_EQ(ccd[QStringLiteral("SenseY")].toInt(), 100);
  EXPECT_EQ(ccd[QStringLiteral("PixelHeight")].toInt(), 60);
  const QJsonArray quad = ccd[QStringLiteral("ImageQuad")].toArray();
  const double want[8] = {0, 80, 106.6667, -26.6667, 0, 0, 60, 60};
  ASSERT_EQ(quad.size(), 8);
  for (int i = 0; i < 8; ++i) EXPECT_NEAR(quad[i].toDouble(), want[i], 1e-3) << i;
  const QJsonObject rect = ccd[QStringLiteral("SenseRect")].toObject();
  EXPECT_EQ(rect[QStringLiteral("Left")].toDouble(), -50);
  EXPECT_EQ(rect[QStringLiteral("Bottom")].toDouble(), 100);
}

TEST_F(CliCarTest, BuildOfADumpGivesTheSameBytes) {
  ASSERT_EQ(Build(DesignCar, "a.kcf"), 0);
  const TRun dump = Run({QStringLiteral("dump"), File("a.kcf")});
  ASSERT_EQ(dump.Code, 0);
  ASSERT_EQ(Build(dump.Out, "b.kcf"), 0);
  EXPECT_EQ(test::ReadFile(File("b.kcf")), test::ReadFile(File("a.kcf")));
  EXPECT_EQ(Run({QStringLiteral("dump"), File("b.kcf")}).Out, dump.Out);
}

TEST_F(CliCarTest, StoredFormKeepsOddValuesAsTheyAre) {
  // A stored sensor is not passed through the setters: Beta 120 and an unrelated
  // SenseY survive, as do floats that need every digit.
  const QByteArray json = R"({"type":"car","LightSensors":[{"AssembleX":1,"AssembleY":2,
    "AssembleZ":3,"SenseX":4,"SenseY":5,"Beta":120,"EffectiveR":6,"SensorType":7}],
    "CCDSensor":null,
    "Motor":{"URated":0.1,"IRated":1e-7,"TRated":-0,"nRated":1,"Ra":3.4028235e38,"L":0}})";
  ASSERT_EQ(Build(json, "odd.kcf"), 0);
  const TRun first = Run({QStringLiteral("dump"), File("odd.kcf")});
  ASSERT_EQ(first.Code, 0);
  const QJsonObject car = QJsonDocument::fromJson(first.Out).object();
  const QJsonObject s = car[QStringLiteral("LightSensors")].toArray()[0].toObject();
  EXPECT_EQ(s[QStringLiteral("Beta")].toInt(), 120);
  EXPECT_EQ(s[QStringLiteral("SenseY")].toInt(), 5);
  EXPECT_EQ(s[QStringLiteral("SensorType")].toInt(), 7);
  EXPECT_TRUE(car[QStringLiteral("CCDSensor")].isNull());
  ASSERT_EQ(Build(first.Out, "odd2.kcf"), 0);
  EXPECT_EQ(test::ReadFile(File("odd2.kcf")), test::ReadFile(File("odd.kcf")));
}

TEST_F(CliCarTest, LeftOutFieldsTakeTheSettingsDefaults) {
  ASSERT_EQ(Build(R"({"type":"car"})", "plain.kcf"), 0);
  EXPECT_EQ(test::ReadFile(File("plain.kcf")).size(), 84);

  Dir.WriteSettings(
      QStringLiteral("[DefaultCarParam]\nLength=555\n[DefaultMotorParam]\n"
                     "URated=12\n[DefaultSteerMotorParam]\nSteerSpeed=90\n"));
  ASSERT_EQ(Build(R"({"type":"car","Width":250,"Motor":{"nRated":5000}})", "set.kcf"), 0);
  const QJsonObject car = Dump("set.kcf");
  EXPECT_EQ(car[QStringLiteral("Length")].toInt(), 555);
  EXPECT_EQ(car[QStringLiteral("Width")].toInt(), 250);
  EXPECT_EQ(car[QStringLiteral("Weight")].toInt(), 2500);
  const QJsonObject motor = car[QStringLiteral("Motor")].toObject();
  EXPECT_EQ(motor[QStringLiteral("URated")].toDouble(), 12);
  EXPECT_EQ(motor[QStringLiteral("nRated")].toInt(), 5000);
  EXPECT_EQ(car[QStringLiteral("SteerMotor")].toObject()[QStringLiteral("SteerSpeed")].toInt(), 90);
}

TEST_F(CliCarTest, BadDocumentsAreRefusedNamingTheField) {
  struct TCase {
    const char* Json;
    const char* Field;
  } cases[] = {
      {R"({"type":"car","Weight":1.5})", "Weight"},
      {R"({"type":"car","LightSensors":{}})", "LightSensors"},
      {R"({"type":"car","LightSensors":[{"AssembleX":0,"AssembleY":0,"AssembleZ":0,
          "SenseX":0,"Beta":0,"EffectiveR":0,"SensorType":0}]})",
       "LightSensors[0]"},
      {R"({"type":"car","LightSensors":[{"AssembleX":0,"AssembleY":0,"Beta":0,
          "EffectiveR":0,"SensorType":0}]})",
       "AssembleZ"},
      {R"({"type":"car","LightSensors":[{"AssembleX":0,"AssembleY":0,"AssembleZ":0,
          "Beta":0,"EffectiveR":0,"SensorType":2}]})",
       "SensorType"},
      {R"({"type":"car","CCDSensor":{"AssembleX":0,"AssembleY":0,"AssembleZ":0,"Alpha":9,
          "PixelWidth":0,"PixelHeight":1,"TopLeft":{"X":0,"Y":0},"TopRight":{"X":0,"Y":0},
          "BottomRight":{"X":0,"Y":0},"BottomLeft":{"X":0,"Y":0}}})",
       "PixelWidth"},
      {R"({"type":"car","CCDSensor":{"SenseX":0,"SenseY":0}})", "CCDSensor"},
      {R"({"type":"car","Motor":{"Ra":"fast"}})", "Motor.Ra"},
      {R"({"type":"car","SteerMotor":7})", "SteerMotor"},
  };
  for (const TCase& c : cases) {
    test::WriteFile(File("bad.json"), c.Json);
    const TRun r = Run({QStringLiteral("build"), File("bad.json"), File("bad.kcf")});
    EXPECT_EQ(r.Code, 2) << c.Json;
    EXPECT_TRUE(r.Err.contains(QStringLiteral("bad.json"))) << r.Err.toStdString();
    EXPECT_TRUE(r.Err.contains(QString::fromLatin1(c.Field))) << r.Err.toStdString();
    EXPECT_TRUE(test::ReadFile(File("bad.kcf")).isEmpty()) << c.Json;
  }
}

TEST_F(CliCarTest, TruncatedAndOversizedFilesAreRefused) {
  ASSERT_EQ(Build(DesignCar, "car.kcf"), 0);
  QByteArray bytes = test::ReadFile(File("car.kcf"));
  test::WriteFile(File("cut.kcf"), bytes.left(bytes.size() - 1));
  bytes.replace(47, 4, test::LE32(1000000));  // the point-sensor count
  test::WriteFile(File("huge.kcf"), bytes);
  for (const char* name : {"cut.kcf", "huge.kcf"}) {
    for (const char* command : {"dump", "render-car"}) {
      QStringList args{QString::fromLatin1(command), File(name)};
      if (QByteArray(command) == "render-car") args << File("out.png");
      const TRun r = Run(args);
      EXPECT_EQ(r.Code, 2) << command << " " << name;
      EXPECT_TRUE(r.Err.contains(QString::fromLatin1(name))) << r.Err.toStdString();
    }
  }
}

TEST_F(CliCarTest, RenderCarDrawsThePlanView) {
  ASSERT_EQ(Build(DesignCar, "car.kcf"), 0);
  const TRun r = Run({QStringLiteral("render-car"), File("car.kcf"), File("car.png")});
  ASSERT_EQ(r.Code, 0) << r.Err.toStdString();
  const QImage img(File("car.png"));
  ASSERT_EQ(img.size(), QSize(300, 300));
  EXPECT_EQ(img.pixel(5, 5), 0xFFFFFFFFu);
  const QRgb body = img.pixel(150, 150);
  EXPECT_NEAR(qBlue(body), 164, 3);
  EXPECT_NEAR(qRed(body), 55, 3);
  const QRgb dot = img.pixel(150, 120);  // the (0, 100, 50) sensor at 45 degrees
  EXPECT_GT(qGreen(dot), qBlue(dot));

  // Twice the size over the same span: everything twice as far from the centre.
  ASSERT_EQ(Run({QStringLiteral("render-car"), File("car.kcf"), File("big.png"),
                 QStringLiteral("--size"), QStringLiteral("600")})
                .Code,
            0);
  const QImage big(File("big.png"));
  ASSERT_EQ(big.size(), QSize(600, 600));
  EXPECT_GT(qGreen(big.pixel(300, 240)), qBlue(big.pixel(300, 240)));
  EXPECT_EQ(big.pixel(300, 219), 0xFFFFFFFFu);  // the body's top edge is at row 220

  // 3000 mm over 300 pixels: the body is 20 x 40 pixels.
  ASSERT_EQ(Run({QStringLiteral("render-car"), File("car.kcf"), File("far.png"),
                 QStringLiteral("--span"), QStringLiteral("3000")})
                .Code,
            0);
  const QImage far(File("far.png"));
  EXPECT_NE(far.pixel(150, 131), 0xFFFFFFFFu);
  EXPECT_EQ(far.pixel(150, 129), 0xFFFFFFFFu);
}

TEST_F(CliCarTest, RenderCarRefusesBadArguments) {
  ASSERT_EQ(Build(R"({"type":"car"})", "car.kcf"), 0);
  const QStringList bad[] = {
      {QStringLiteral("render-car"), File("missing.kcf"), File("x.png")},
      {QStringLiteral("render-car"), File("car.kcf"), File("x.png"), QStringLiteral("--size"),
       QStringLiteral("0")},
      {QStringLiteral("render-car"), File("car.kcf"), File("x.png"), QStringLiteral("--span")},
      {QStringLiteral("render-car"), File("car.kcf")},
  };
  for (const QStringList& args : bad) {
    const TRun r = Run(args);
    EXPECT_EQ(r.Code, 2) << args.join(QLatin1Char(' ')).toStdString();
    EXPECT_FALSE(r.Err.isEmpty());
  }
  EXPECT_TRUE(Run(bad[0]).Err.contains(QStringLiteral("missing.kcf")));
  EXPECT_TRUE(test::ReadFile(File("x.png")).isEmpty());
}

}  // namespace
}  // namespace k2
