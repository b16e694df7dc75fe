// The replay engine's views across loads: a replay that opens another record must
// show that record's track, never the overview it cached for the previous one.
#include <gtest/gtest.h>

#include <QImage>
#include <memory>
#include <vector>

#include "common/TestSupport.h"
#include "replay/uReplay.h"
#include "simulation/SimFixtures.h"
#include "simulation/uRecord.h"
#include "simulation/uRunView.h"

namespace k2 {
namespace {

using test::LineTo;

// Two tracks with the same bounds, so that both overviews are drawn through the same
// transform: a square and its diagonals.
const std::vector<test::TElementSpec> Square = {LineTo(4000, 0), LineTo(4000, 4000),
                                                LineTo(0, 4000), LineTo(0, 0)};
const std::vector<test::TElementSpec> Diagonals = {LineTo(4000, 4000), LineTo(4000, 0),
                                                   LineTo(0, 4000), LineTo(0, 0)};

struct TViews {
  QImage Draw = MakeViewRaster(SimuMainViewSize);
  QImage View = MakeViewRaster(RunOverviewSize);
};

class ReplayViewsTest : public ::testing::Test {
 protected:
  // A record file of five steps along the track's first side.
  QString Write(const char* name, const std::vector<test::TElementSpec>& spec) {
    auto track = test::MakeTrack(spec);
    auto car = test::RowCar(2);
    TRecords records;
    records.SensorCount = 2;
    for (int i = 0; i < 5; ++i) {
      TRecordData r;
      r.PosX = 300.0f * i;
      r.PosY = 20.0f * i;
      r.Readings = {0, 255};
      records.Add(r);
    }
    QByteArray bytes;
    QString error;
    EXPECT_TRUE(
        BuildRecordFile({QStringLiteral("t.kpf"), QStringLiteral("c.kcf"), QStringLiteral("j.so")},
                        10, *track, *car, records, bytes, error));
    const QString path = Dir.Path(QString::fromLatin1(name));
    test::WriteFile(path, bytes);
    return path;
  }

  static std::unique_ptr<TReplay> Make(TViews& views) {
    return std::make_unique<TReplay>(&views.Draw, RunMainSpan, &views.View, RunOverviewSpan,
                                     nullptr, nullptr);
  }

  // The overview of a replay that opened only `path` and shows step `index`.
  QImage FreshOverview(const QString& path, int32_t index) {
    TViews views;
    auto replay = Make(views);
    replay->RecordFile = path;
    EXPECT_TRUE(replay->LoadFromFile());
    replay->SeekIndex(index);
    replay->DrawFrame();
    return views.View.copy();
  }

  // Opens `first`, shows step 2, opens `second` (with its still picture when asked) and
  // shows step 3: the overview must be that of a replay that opened only `second`.
  void ExpectSecondTrackShown(const QString& first, const QString& second, bool still) {
    TViews views;
    auto replay = Make(views);
    replay->RecordFile = first;
    ASSERT_TRUE(replay->LoadFromFile());
    replay->SeekIndex(2);
    replay->DrawFrame();
    ASSERT_EQ(views.View, FreshOverview(first, 2));
    replay->RecordFile = second;
    ASSERT_TRUE(replay->LoadFromFile());
    if (still) replay->DrawInitial();
    replay->SeekIndex(3);
    replay->DrawFrame();
    EXPECT_EQ(views.View, FreshOverview(second, 3));
  }

  test::TTempDir Dir;
};

// The still picture after opening starts the overview afresh.
TEST_F(ReplayViewsTest, AnotherRecordOpenedAndShownStillShowsItsTrack) {
  const QString square = Write("square.krf", Square), diagonals = Write("diagonals.krf", Diagonals);
  ASSERT_NE(FreshOverview(square, 3), FreshOverview(diagonals, 3));
  ExpectSecondTrackShown(square, diagonals, true);
}

// Stepped straight after opening (as kurvino2-cli render-frame does after its one
// load), the second record's overview shows its own track: opening a record replaces
// the track, and the run view's cached overview with it.
TEST_F(ReplayViewsTest, AnotherRecordOpenedAndSteppedAtOnceShowsItsTrack) {
  const QString square = Write("square.krf", Square), diagonals = Write("diagonals.krf", Diagonals);
  ExpectSecondTrackShown(square, diagonals, false);
}

}  // namespace
}  // namespace k2
