// The lap group of the run pages: what it shows for a run's figures, on closed and
// open tracks, and what a screen reader hears.
#include <QLabel>
#include <QWidget>
#include <gtest/gtest.h>

#include "simulation/uLapPanel.h"
#include "simulation/uLaps.h"

namespace k2 {
namespace {

TEST(LapPanel, LapTimesInSecondsThenMinutes) {
  const struct {
    double Seconds;
    const char* Text;
  } cases[] = {{0, "0.00s"},        {18.88998, "18.89s"}, {59.994, "59.99s"},
               {59.996, "1:00.00"}, {62.345, "1:02.35"},  {3725.5, "62:05.50"}};
  for (const auto& c : cases)
    EXPECT_EQ(TLapPanel::LapText(c.Seconds), QString::fromLatin1(c.Text)) << c.Seconds;
}

TEST(LapPanel, ShowsTheFiguresOnAClosedTrackAndDashesOtherwise) {
  QWidget page;
  for (int width : {50, 106}) {  // the narrow column and the wide box
    SCOPED_TRACE(width);
    TLapPanel panel(&page, "Simu", QRect(0, 0, width, 122));
    TLapFigures f;
    f.Laps = 2;
    f.LastLapS = 18.89;
    panel.Show(f, true);
    EXPECT_EQ(panel.lblLaps->text(), QStringLiteral("2"));
    EXPECT_EQ(panel.lblLastLap->text(), QStringLiteral("18.89s"));
    EXPECT_EQ(panel.lblBestLap->text(), QStringLiteral("–"));  // no valid lap yet
    EXPECT_EQ(panel.lblLastLap->accessibleName(), QStringLiteral("上一圈 18.89s"));
    EXPECT_EQ(panel.findChild<QLabel*>(QStringLiteral("lblSimuBestLap")), panel.lblBestLap);
    f.BestLapS = 18.5;
    panel.Show(f, true);
    EXPECT_EQ(panel.lblBestLap->text(), QStringLiteral("18.50s"));
    panel.Show(f, false);  // an open track has no laps
    for (QLabel* l : {panel.lblLaps, panel.lblLastLap, panel.lblBestLap})
      EXPECT_EQ(l->text(), QStringLiteral("–"));
  }
}

}  // namespace
}  // namespace k2
