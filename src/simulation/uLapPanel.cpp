#include "simulation/uLapPanel.h"

#include <QLabel>
#include <QVariant>
#include <cmath>

#include "simulation/uLaps.h"

namespace k2 {

namespace {

const QString Dash = QStringLiteral("–");

// A caption and its value: side by side where the panel is wide enough, else stacked
// (a caption line and a value line) for a narrow column.
QLabel* AddFigure(QWidget* parent, const QString& name, const char* caption, int row, int width) {
  const bool stacked = width < 100;
  auto* title = new QLabel(QString::fromUtf8(caption), parent);
  auto* value = new QLabel(Dash, parent);
  value->setObjectName(name);
  value->setProperty("caption", QString::fromUtf8(caption));
  value->setAccessibleName(QString::fromUtf8(caption) + QLatin1Char(' ') + Dash);
  value->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  if (stacked) {
    title->setGeometry(4, 16 + 30 * row, width - 8, 14);
    value->setGeometry(2, 30 + 30 * row, width - 6, 14);
  } else {
    title->setGeometry(6, 18 + 20 * row, width / 2, 18);
    value->setGeometry(width / 2 - 4, 18 + 20 * row, width - width / 2 - 2, 18);
  }
  title->setBuddy(value);
  return value;
}

// The value, and for screen readers the caption with the value in one name.
void SetFigure(QLabel* value, const QString& text) {
  if (value->text() == text) return;
  value->setText(text);
  value->setAccessibleName(value->property("caption").toString() + QLatin1Char(' ') + text);
}

}  // namespace

TLapPanel::TLapPanel(QWidget* parent, const char* prefix, const QRect& r)
    : TGroupBox(QStringLiteral("圈速"), parent) {
  const QString p = QString::fromLatin1(prefix);
  setObjectName(QStringLiteral("grp") + p + QStringLiteral("Laps"));
  setGeometry(r);
  QFont small = font();
  small.setPointSizeF(font().pointSizeF() * 0.9);
  setFont(small);
  lblLaps =
      AddFigure(this, QStringLiteral("lbl") + p + QStringLiteral("Laps"), "圈数", 0, r.width());
  lblLastLap = AddFigure(this, QStringLiteral("lbl") + p + QStringLiteral("LastLap"), "上一圈", 1,
                         r.width());
  lblBestLap = AddFigure(this, QStringLiteral("lbl") + p + QStringLiteral("BestLap"), "最快圈", 2,
                         r.width());
  setToolTip(QStringLiteral("闭合赛道上的完成圈数、上一圈用时和最快有效圈（全程未出赛道）用时"));
}

QString TLapPanel::LapText(double seconds) {
  const double hundredths = std::round(seconds * 100);
  if (hundredths < 6000) return QString::number(hundredths / 100, 'f', 2) + QLatin1Char('s');
  const double minutes = std::floor(hundredths / 6000);
  return QStringLiteral("%1:%2")
      .arg(minutes, 0, 'f', 0)
      .arg((hundredths - minutes * 6000) / 100, 5, 'f', 2, QLatin1Char('0'));
}

void TLapPanel::Show(const TLapFigures& figures, bool closed) {
  if (!closed) {
    Clear();
    return;
  }
  SetFigure(lblLaps, QString::number(figures.Laps));
  SetFigure(lblLastLap, figures.LastLapS ? LapText(*figures.LastLapS) : Dash);
  SetFigure(lblBestLap, figures.BestLapS ? LapText(*figures.BestLapS) : Dash);
}

void TLapPanel::Clear() {
  for (QLabel* l : {lblLaps, lblLastLap, lblBestLap}) SetFigure(l, Dash);
}

}  // namespace k2
