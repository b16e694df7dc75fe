// kurvino2-cli render-track: the pictures it writes and its refusals.
#include <QImage>
#include <gtest/gtest.h>
#include <memory>

#include "cli/CliTestSupport.h"
#include "common/TestSupport.h"
#include "track/uPath.h"

namespace k2 {
namespace {

using clitest::RunCli;
using TRun = clitest::TCliResult;

class RenderTrackTest : public ::testing::Test {
 protected:
  RenderTrackTest() {
    TPath t(nullptr, 3000, nullptr, 6000);
    QString e;
    t.AddLine(BuildLine(TPointF{}, 2000, 0, e));
    t.AddArc(BuildArc(t.LastEndPoint(), 2000, 1200, 180, 400, e));
    t.AddLine(BuildLine(t.LastEndPoint(), -1000, 2400, e));
    t.FileName = Track;
    EXPECT_TRUE(t.SaveToFile());
  }

  // The picture drawn in-process the way the page draws an opened track.
  QImage Expected(bool overview, int size, int span, TPointF centre) const {
    QImage raster(size, size, QImage::Format_ARGB32);
    raster.fill(overview ? OverviewBackground : DesignBackground);
    TPath t(overview ? nullptr : &raster, overview ? 3000 : span, overview ? &raster : nullptr,
            overview ? span : 6000);
    t.FileName = Track;
    EXPECT_TRUE(t.LoadFromFile());
    t.DrawTransform->SetOffset(MakePointF(-centre.X, -centre.Y));
    if (overview) {
      t.FitOverview();
      t.DrawOverview(true);
    } else {
      t.DrawDesignView(true);
    }
    return raster;
  }

  QImage Written() const { return QImage(Out).convertToFormat(QImage::Format_ARGB32); }

  test::TTempDir Dir;
  QString Track = Dir.Path(QStringLiteral("t.kpf"));
  QString Out = Dir.Path(QStringLiteral("out.png"));
};

TEST_F(RenderTrackTest, DrawsTheViewsAsThePageDoes) {
  struct Case {
    QStringList Options;
    bool Overview;
    int Size, Span;
    TPointF Centre;
  } cases[] = {
      {{}, false, 558, 3000, {}},
      {{"--view", "design"}, false, 558, 3000, {}},
      {{"--view", "overview"}, true, 140, 6000, {}},
      {{"--size", "300", "--span", "5000"}, false, 300, 5000, {}},
      {{"--center", "1000,-250.5"}, false, 558, 3000, {1000, -250.5f}},
      {{"--view", "overview", "--size", "200", "--center", "2000,1200"},
       true,
       200,
       6000,
       {2000, 1200}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Options.join(' ').toStdString());
    const TRun r = RunCli(QStringList{"render-track", Track, Out} + c.Options);
    ASSERT_EQ(r.Code, 0) << r.Err.toStdString();
    const QImage written = Written();
    EXPECT_EQ(written.size(), QSize(c.Size, c.Size));
    EXPECT_EQ(written, Expected(c.Overview, c.Size, c.Span, c.Centre));
  }
}

TEST_F(RenderTrackTest, SameInputGivesTheSameBytes) {
  ASSERT_EQ(RunCli({"render-track", Track, Out}).Code, 0);
  const QByteArray first = test::ReadFile(Out);
  ASSERT_EQ(RunCli({"render-track", Track, Out}).Code, 0);
  EXPECT_EQ(test::ReadFile(Out), first);
}

TEST_F(RenderTrackTest, RefusesBadInputNamingIt) {
  const QString junk = Dir.Path(QStringLiteral("junk.kpf"));
  test::WriteFile(junk, QByteArray("PathFile but not really"));
  struct Case {
    QStringList Args;
    QString Named;
  } cases[] = {
      {{"render-track", Dir.Path("missing.kpf"), Out}, "missing.kpf"},
      {{"render-track", junk, Out}, "junk.kpf"},
      {{"render-track", Track}, "render-track"},
      {{"render-track", Track, Out, "--view", "side"}, "--view"},
      {{"render-track", Track, Out, "--size", "0"}, "--size"},
      {{"render-track", Track, Out, "--size", "big"}, "--size"},
      {{"render-track", Track, Out, "--span", "-5"}, "--span"},
      {{"render-track", Track, Out, "--center", "1"}, "--center"},
      {{"render-track", Track, Out, "--center", "nan,0"}, "--center"},
      {{"render-track", Track, Out, "--size"}, "--size"},
      {{"render-track", Track, Out, "--zoom", "2"}, "--zoom"},
      {{"render-track", Track, Dir.Path("no folder/x.png")}, "x.png"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Args.join(' ').toStdString());
    const TRun r = RunCli(c.Args);
    EXPECT_EQ(r.Code, 2);
    EXPECT_TRUE(r.Err.contains(c.Named)) << r.Err.toStdString();
    EXPECT_FALSE(QFile::exists(Out));
  }
}

}  // namespace
}  // namespace k2
