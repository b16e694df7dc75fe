#pragma once
// A dial gauge: a 170-degree scale with whole-number labels and four minor ticks between
// them, a needle at the value and a caption under the dial.  The scale runs clockwise
// from its lowest value on the left, or counter-clockwise (lowest on the right), so that
// a steering angle to the left points left.  Values outside the range put the needle at
// the nearer end.  Owned by its Qt parent.
#include <QString>
#include <QWidget>

namespace k2 {

class TDialGauge : public QWidget {
  Q_OBJECT

 public:
  TDialGauge(const QString& caption, double minimum, double maximum, QWidget* parent = nullptr);

  void SetRange(double minimum, double maximum);
  void SetValue(double value);
  void SetCounterClockwise(bool on);
  double Minimum() const { return Min; }
  double Maximum() const { return Max; }
  double Value() const { return Val; }
  const QString& Caption() const { return Text; }
  // The step between two labels: 1, 2 or 5 times a power of ten, at most six steps.
  double LabelStep() const;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  double AngleOf(double value) const;  // degrees, counter-clockwise from +x

  QString Text;
  double Min, Max;
  double Val = 0;
  bool CounterClockwise = false;
};

}  // namespace k2
