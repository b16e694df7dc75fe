#pragma once
// A strip chart (TScope) and its vertical scale (TScale).
//
// The scope keeps the last SampleCount samples and draws them as one trace from the
// left edge, newest on the right, within a fixed value range.  While active it takes
// one sample per SamplePeriodMs from its source; a source that has nothing to give
// (std::nullopt) repeats the last value.  Clear() empties the trace.  The colours follow
// the page: SetColours sets the background (and, for the scale, the text).
//
// Ownership: Qt parenting.  The source is called on the user-interface thread from the
// scope's own timer; it must stay valid while the scope is active.
#include <QColor>
#include <QWidget>
#include <deque>
#include <functional>
#include <optional>

class QTimer;

namespace k2 {

class TScope : public QWidget {
  Q_OBJECT

 public:
  static constexpr int SampleCount = 100;
  static constexpr int SamplePeriodMs = 100;
  using TSource = std::function<std::optional<double>()>;

  TScope(double minimum, double maximum, QWidget* parent = nullptr);

  void SetSource(TSource source) { Source = std::move(source); }
  // Starts or stops sampling.
  void SetActive(bool on);
  bool Active() const;
  void Clear();
  void SetBackground(const QColor& colour);
  // One sample, as the timer takes it.
  void Sample();

  const std::deque<double>& Samples() const { return Values; }
  double Minimum() const { return Min; }
  double Maximum() const { return Max; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  double Min, Max;
  std::deque<double> Values;
  double Last = 0;
  TSource Source;
  QTimer* Timer = nullptr;
  QColor Background = Qt::white;
};

class TScale : public QWidget {
  Q_OBJECT

 public:
  // Labels at `steps` + 1 even intervals from minimum to maximum, whole numbers.
  TScale(double minimum, double maximum, int steps, QWidget* parent = nullptr);
  void SetColours(const QColor& background, const QColor& text);

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  double Min, Max;
  int Steps;
  QColor Background = Qt::white;
  QColor Text = Qt::black;
};

}  // namespace k2
