#include "widgets/uScope.h"

#include <QPainter>
#include <QPainterPath>
#include <QTimer>
#include <algorithm>

namespace k2 {

namespace {
constexpr QRgb TraceColour = 0xFF000080;  // navy
constexpr QRgb GridColour = 0xFFD8D8D8;
}  // namespace

TScope::TScope(double minimum, double maximum, QWidget* parent)
    : QWidget(parent), Min(minimum), Max(maximum) {
  Timer = new QTimer(this);
  Timer->setInterval(SamplePeriodMs);
  connect(Timer, &QTimer::timeout, this, &TScope::Sample);
  setAttribute(Qt::WA_OpaquePaintEvent);
}

void TScope::SetActive(bool on) {
  if (on)
    Timer->start();
  else
    Timer->stop();
}

bool TScope::Active() const { return Timer->isActive(); }

void TScope::Clear() {
  Values.clear();
  Last = 0;
  update();
}

void TScope::SetBackground(const QColor& colour) {
  Background = colour;
  update();
}

void TScope::Sample() {
  if (Source)
    if (const std::optional<double> v = Source()) Last = *v;
  Values.push_back(Last);
  while (Values.size() > static_cast<size_t>(SampleCount)) Values.pop_front();
  update();
}

void TScope::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.fillRect(rect(), Background);
  const double w = width() - 1, h = height() - 1;
  p.setPen(QColor::fromRgba(GridColour));
  for (int i = 1; i < 5; ++i) p.drawLine(QPointF(0, h * i / 5), QPointF(w, h * i / 5));
  if (Values.empty() || Max <= Min) return;
  QPainterPath trace;
  const double dx = w / (SampleCount - 1);
  for (size_t i = 0; i < Values.size(); ++i) {
    const double v = std::clamp(Values[i], Min, Max);
    const QPointF pt(static_cast<double>(i) * dx, h - (v - Min) / (Max - Min) * h);
    if (i == 0)
      trace.moveTo(pt);
    else
      trace.lineTo(pt);
  }
  p.setRenderHint(QPainter::Antialiasing, true);
  p.setPen(QPen(QColor::fromRgba(TraceColour), 1.5));
  p.drawPath(trace);
}

TScale::TScale(double minimum, double maximum, int steps, QWidget* parent)
    : QWidget(parent), Min(minimum), Max(maximum), Steps(std::max(1, steps)) {}

void TScale::SetColours(const QColor& background, const QColor& text) {
  Background = background;
  Text = text;
  update();
}

void TScale::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.fillRect(rect(), Background);
  p.setPen(Text);
  const QFontMetrics fm(font());
  const double h = height() - 1;
  for (int i = 0; i <= Steps; ++i) {
    const double y = h - h * i / Steps;
    const QString label = QString::number(static_cast<int>(Min + (Max - Min) * i / Steps));
    p.drawLine(QPointF(width() - 4, y), QPointF(width() - 1, y));
    const double ty = std::clamp(y + fm.ascent() / 2.0 - 1, static_cast<double>(fm.ascent()), h);
    p.drawText(QPointF(width() - 6 - fm.horizontalAdvance(label), ty), label);
  }
}

}  // namespace k2
