#include "ui/uRunClock.h"

#include <QTimer>

namespace k2 {

namespace {
// Beyond this the readouts are refreshed, ms of timer time.
constexpr int64_t ReadoutPeriodMs = 100;
}  // namespace

TRunClock::TRunClock(QObject* parent) : QObject(parent) {
  tmrRun = new QTimer(this);
  tmrRun->setObjectName(QStringLiteral("tmrRun"));
  tmrRun->setInterval(10);
  // Steps of 10 ms must come every 10 ms, not within the 5 % a coarse timer allows.
  tmrRun->setTimerType(Qt::PreciseTimer);

  connect(tmrRun, &QTimer::timeout, this, &TRunClock::Tick);
}

void TRunClock::Start(int intervalMs) {
  tmrRun->setInterval(intervalMs);
  Ticks = 0;
  tmrRun->start();
}

void TRunClock::Resume() { tmrRun->start(); }

void TRunClock::Stop() { tmrRun->stop(); }

bool TRunClock::IsRunning() const { return tmrRun->isActive(); }

int TRunClock::Interval() const { return tmrRun->interval(); }

void TRunClock::SetInterval(int ms) { tmrRun->setInterval(ms); }

bool TRunClock::CountTick() {
  const bool due = static_cast<int64_t>(Interval()) * Ticks > ReadoutPeriodMs;
  if (due) Ticks = 0;
  ++Ticks;
  return due;
}

}  // namespace k2
