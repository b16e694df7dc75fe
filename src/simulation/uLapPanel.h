#pragma once
// The group "圈速" of the simulation and replay pages: laps completed, the last lap's
// time and the best valid lap, as a run or a replay has them at the step shown.  Both
// pages use this one panel, placed in the narrow column beside their CCD view.
#include <QString>

#include "widgets/uGroupBox.h"

class QLabel;

namespace k2 {

struct TLapFigures;

class TLapPanel : public TGroupBox {
  Q_OBJECT

 public:
  // A child of `parent` at `r` (page pixels); `prefix` names the labels for tests and
  // the accessibility interface ("Simu" gives lblSimuLaps, lblSimuLastLap, ...).
  TLapPanel(QWidget* parent, const char* prefix, const QRect& r);

  // `closed`: whether the track has laps at all; an open track shows dashes.
  void Show(const TLapFigures& figures, bool closed);
  void Clear();  // dashes: no run, no record

  // "12.34s"; a lap of a minute or more as "1:02.35".
  static QString LapText(double seconds);

  QLabel* lblLaps = nullptr;
  QLabel* lblLastLap = nullptr;
  QLabel* lblBestLap = nullptr;
};

}  // namespace k2
