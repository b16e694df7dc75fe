#include "widgets/uDialGauge.h"

#include <QPainter>
#include <QtMath>
#include <algorithm>
#include <cmath>

namespace k2 {

namespace {
constexpr double Sweep = 170;              // degrees of scale
constexpr double LowEnd = 90 + Sweep / 2;  // the left end, counter-clockwise from +x
constexpr int MinorPerLabel = 5;           // four minor ticks between two labels
constexpr double MaxLabelSteps = 6;        // labels that still fit around a small dial
}  // namespace

TDialGauge::TDialGauge(const QString& caption, double minimum, double maximum, QWidget* parent)
    : QWidget(parent),
      Text(caption),
      Min(std::min(minimum, maximum)),
      Max(std::max(minimum, maximum)) {
  setAccessibleName(caption);
  setAccessibleDescription(QString::number(Val));
}

void TDialGauge::SetRange(double minimum, double maximum) {
  Min = std::min(minimum, maximum);
  Max = std::max(minimum, maximum);
  update();
}

void TDialGauge::SetValue(double value) {
  if (value == Val) return;
  Val = value;
  setAccessibleDescription(QString::number(Val, 'f', 1));
  update();
}

void TDialGauge::SetCounterClockwise(bool on) {
  CounterClockwise = on;
  update();
}

double TDialGauge::LabelStep() const {
  const double span = Max - Min;
  if (!(span > 0) || !std::isfinite(span)) return 1;
  // Labels are whole numbers, so the step is at least 1; the search starts one
  // decade below the answer and ends within four candidates.
  double power = std::max(1.0, std::pow(10.0, std::floor(std::log10(span / MaxLabelSteps)) - 1));
  for (int i = 0; i < 12; ++i, power *= 10)
    for (double m : {1.0, 2.0, 5.0})
      if (span / (m * power) <= MaxLabelSteps) return m * power;
  return power;
}

double TDialGauge::AngleOf(double value) const {
  const double span = Max - Min;
  double f = span > 0 ? std::clamp((value - Min) / span, 0.0, 1.0) : 0;
  if (std::isnan(f)) f = 0;  // an unbounded range or a NaN value rests at the low end

  return CounterClockwise ? LowEnd - Sweep + f * Sweep : LowEnd - f * Sweep;
}

void TDialGauge::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.setRenderHint(QPainter::Antialiasing, true);
  QFont small = font();
  small.setPointSizeF(font().pointSizeF() * 0.8);
  const QFontMetrics fm(small);
  const double captionHeight = fm.height() + 4;
  const double radius = std::min(width() / 2.0 - 4, height() - captionHeight - fm.height() - 8);
  const QPointF centre(width() / 2.0, radius + fm.height() + 4);
  const auto at = [&](double angle, double r) {
    return centre +
           QPointF(r * std::cos(qDegreesToRadians(angle)), -r * std::sin(qDegreesToRadians(angle)));
  };
  const QColor ink =
      palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::WindowText);
  p.setPen(QPen(ink, 1.5));
  p.drawArc(QRectF(centre.x() - radius, centre.y() - radius, 2 * radius, 2 * radius),
            static_cast<int>((LowEnd - Sweep) * 16), static_cast<int>(Sweep * 16));

  // Ticks: a label every LabelStep, four minor ticks between.  Counted, not summed,
  // so that a range where adding the step no longer changes a double still ends.
  const double step = LabelStep();
  const double first = std::ceil(Min / step - 1e-9) * step;
  const double count = std::floor((Max - first) / step + 1e-9);
  const int labels = std::isfinite(count) && count >= 0 && count <= MaxLabelSteps + 1
                         ? static_cast<int>(count) + 1
                         : 0;
  for (int i = 0; i < labels; ++i) {
    const double v = first + i * step;

    const double a = AngleOf(v);
    p.setPen(QPen(ink, 1.5));
    p.drawLine(at(a, radius), at(a, radius - 7));
    const QString label = QString::number(static_cast<long long>(std::llround(v)));
    const QPointF c = at(a, radius - 17);
    p.setFont(small);
    p.drawText(QRectF(c.x() - 20, c.y() - fm.height() / 2.0, 40, fm.height()), Qt::AlignCenter,
               label);
    p.setPen(QPen(ink, 1));
    for (int k = 1; k < MinorPerLabel && v + k * step / MinorPerLabel <= Max + 1e-9; ++k) {
      const double m = AngleOf(v + k * step / MinorPerLabel);
      p.drawLine(at(m, radius), at(m, radius - 4));
    }
  }

  // The needle.
  p.setPen(QPen(QColor(0xC0, 0x10, 0x10), 2.5, Qt::SolidLine, Qt::RoundCap));
  p.drawLine(centre, at(AngleOf(Val), radius - 4));
  p.setBrush(ink);
  p.drawEllipse(centre, 3.5, 3.5);

  p.setPen(ink);
  p.setFont(font());
  p.drawText(QRectF(0, height() - captionHeight, width(), captionHeight), Qt::AlignCenter,
             Text + QStringLiteral("  ") + QString::number(Val, 'f', 1));
}

}  // namespace k2
