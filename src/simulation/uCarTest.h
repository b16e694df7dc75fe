#pragma once
// The car test: the user drives the car being designed by hand on the fixed track
// "Default.kpf", with the arrow keys working the throttle and the steering, and sees
// what its sensors see, the car from above, the track around it, and its speed and
// steering angle on two dials.
//
// It drives the car page's group "赛车测试" and a simulation engine made for the purpose
// (the host's CurSimu, borrowing CurCar) through the host's run clock: CarTestTick is
// the clock's car test step.  It owns the rasters of the group's three views; the car
// page owns its drawing view, which the test draws into as its main view.  Owned by its
// Qt parent (the main window); the page, the host and the keys outlive it.
#include <QImage>
#include <QObject>

#include "car/uCarDesign.h"

namespace k2 {

class IPageHost;
class TArrowKeys;
struct TSharedState;

class TCarTest : public QObject, public ICarTest {
  Q_OBJECT

 public:
  TCarTest(IPageHost& host, TCarDesignPage& page, TArrowKeys& keys, QObject* parent = nullptr);
  ~TCarTest() override;

  // ---- procedures -----------------------------------------------------------
  void EnableCarEditing(bool on);
  void EnterTestControls();
  void LeaveTestControls();
  void AbortCarTest() override;
  void BeginCarViews();
  void EndCarViews();

  // ---- handlers -------------------------------------------------------------
  void btnEnterTestClick();
  void btnStartTestClick();
  void btnPauseTestClick();
  void btnExitTestClick();
  // The run clock's tick in car test mode.
  void CarTestTick();

  // The change of a command per tick while its key is held.
  static constexpr double CommandStep = 0.001;

 private:
  // Undoes an entry that failed half way: no engine remains, the page is idle.
  void UndoEntry();
  void ClearTestViews();

  IPageHost& Host;
  TSharedState& S;
  TCarDesignPage& Page;
  TArrowKeys& Keys;
  QImage ViewRaster, SensorRaster, CcdRaster;  // of imgCarView, imgCarSensors, imgCarCCD
};

}  // namespace k2
