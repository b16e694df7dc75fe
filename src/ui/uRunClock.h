#pragma once
// The run clock: the one timer of the car test, the simulation and the replay
// (tmrRun), which activity it drives (RunMode) and the ticks since the numeric
// readouts were last refreshed (TickCount).
//
// The main window owns the clock and handles its ticks (tmrRunTimer), dispatching by
// RunMode; the pages start, stop and pace it through the operations below and never
// touch the timer directly.  Owned by its Qt parent.
#include <QObject>
#include <cstdint>

class QTimer;

namespace k2 {

// What a tick of the run clock does.  The values are those of the activity codes.
enum class TRunMode : uint8_t {
  CarTest = 0,     // the car page's test drive, 10 ms
  Simulation = 1,  // one simulation step per tick, the interval is the step
  Replay = 2,      // one recorded step per tick, at the chosen rate
};

class TRunClock : public QObject {
  Q_OBJECT

 public:
  // Stopped, interval 10 ms, car test mode.
  explicit TRunClock(QObject* parent = nullptr);

  TRunMode RunMode() const { return Mode; }
  // Whoever starts an activity sets its mode first.
  void SetRunMode(TRunMode mode) { Mode = mode; }

  // Interval := ms, TickCount := 0, running.
  void Start(int intervalMs);
  // Running again with the interval and tick count it had (after a pause that was
  // only for the duration of a step or a seek).
  void Resume();
  // Stopped; a tick already queued is ignored by the handler.
  void Stop();
  bool IsRunning() const;

  int Interval() const;
  // Takes effect at once, also while running.
  void SetInterval(int ms);

  int32_t TickCount() const { return Ticks; }
  void ResetTickCount() { Ticks = 0; }
  // The readout rule of every run page, once per tick: true when Interval x TickCount
  // exceeds 100 ms (the readouts are due; the count starts again), and then counts this
  // tick.  With an interval of I ms the readouts are due every floor(100 / I) + 1 ticks.
  bool CountTick();

  // The timer itself, for the main window's handler and for tests.
  QTimer* tmrRun = nullptr;

 Q_SIGNALS:
  void Tick();

 private:
  TRunMode Mode = TRunMode::CarTest;
  int32_t Ticks = 0;
};

}  // namespace k2
