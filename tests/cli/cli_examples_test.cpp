// The sample cars with the example modules must drive the sample tracks: an end-to-end
// check of the engine, the module host and the shipped files together.
#include <QJsonDocument>
#include <QJsonObject>
#include <QStringList>
#include <cctype>
#include <string>
#include <gtest/gtest.h>

#include "cli/CliTestSupport.h"
#include "common/TestSupport.h"

namespace k2::clitest {
namespace {

struct TExample {
  const char* Car;
  const char* Module;
  const char* Track;
};

class ExampleRunTest : public ::testing::TestWithParam<TExample> {};

TEST_P(ExampleRunTest, StaysOnTheLineForThreeLaps) {
  const QString bin = test::BinDir() + QLatin1Char('/');
  const TExample& e = GetParam();
  const TCliResult r = RunCli(
      {"run", "--track", bin + QLatin1String(e.Track), "--car", bin + "Car/" + QLatin1String(e.Car),
       "--judge", bin + "Judgement/" + QLatin1String(e.Module), "--steps", "6000", "--json"});
  ASSERT_EQ(r.Code, 0) << r.Err.toStdString();
  const QJsonObject summary = QJsonDocument::fromJson(r.Out).object();
  EXPECT_EQ(summary.value("steps").toInt(), 6000);
  // Half the track's width is 150 mm; the examples keep well inside it.
  EXPECT_LT(summary.value("max_warp").toDouble(), 60.0) << r.Out.toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Samples, ExampleRunTest,
    ::testing::Values(TExample{"Light8.kcf", "LightFollower.so", "Default.kpf"},
                      TExample{"Light5Continuous.kcf", "LightFollower.so", "Default.kpf"},
                      TExample{"CCD128x32.kcf", "CcdFollower.so", "Default.kpf"},
                      TExample{"Light8.kcf", "LightFollower.so", "Path/Oval.kpf"}),
    [](const ::testing::TestParamInfo<TExample>& info) {
      std::string name = std::string(info.param.Car) + "_on_" + info.param.Track;
      for (char& c : name)
        if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
      return name;
    });

}  // namespace
}  // namespace k2::clitest
