#include "widgets/uNumEdit.h"

#include <QKeyEvent>
#include <QLocale>
#include <QRegularExpression>
#include <QRegularExpressionValidator>
#include <QStringList>
#include <algorithm>
#include <cmath>
#include <limits>

#include "geometry/uConstants.h"

namespace k2 {

namespace {

// One section of a display format.
struct TSection {
  QString Prefix;
  QString Suffix;
  int MinInt = 0;  // '0' before the point
  int MinDec = 0;  // '0' after the point
  int MaxDec = 0;  // '0' and '#' after the point
};

TSection ParseSection(const QString& s) {
  TSection r;
  const QString placeholders = QStringLiteral("0#.");
  int first = -1, last = -1;
  for (int i = 0; i < s.size(); ++i) {
    if (placeholders.contains(s[i])) {
      if (first < 0) first = i;
      last = i;
    }
  }
  if (first < 0) {
    r.Prefix = s;
    return r;
  }
  r.Prefix = s.left(first);
  r.Suffix = s.mid(last + 1);
  bool afterPoint = false;
  for (int i = first; i <= last; ++i) {
    const QChar c = s[i];
    if (c == QLatin1Char('.')) {
      afterPoint = true;
    } else if (c == QLatin1Char('0')) {
      if (afterPoint) {
        ++r.MinDec;
        ++r.MaxDec;
      } else {
        ++r.MinInt;
      }
    } else if (c == QLatin1Char('#') && afterPoint) {
      ++r.MaxDec;
    }
  }
  return r;
}

// |v| in a section's form.
QString FormatSection(const TSection& s, double magnitude) {
  const QString fixed = QString::number(magnitude, 'f', s.MaxDec);
  const int point = fixed.indexOf(QLatin1Char('.'));
  QString whole = point < 0 ? fixed : fixed.left(point);
  QString decimals = point < 0 ? QString() : fixed.mid(point + 1);
  if (whole == QLatin1String("0") && s.MinInt == 0) whole.clear();
  while (whole.size() < s.MinInt) whole.prepend(QLatin1Char('0'));
  while (decimals.size() > s.MinDec && decimals.endsWith(QLatin1Char('0'))) decimals.chop(1);
  QString out = s.Prefix + whole;
  if (!decimals.isEmpty()) out += QLatin1Char('.') + decimals;
  return out + s.Suffix;
}

bool RoundsToZero(double magnitude, int decimals) {
  const QString fixed = QString::number(magnitude, 'f', decimals);
  for (const QChar c : fixed)
    if (c != QLatin1Char('0') && c != QLatin1Char('.')) return false;
  return true;
}

constexpr double IntMin = std::numeric_limits<int32_t>::min();
constexpr double IntMax = std::numeric_limits<int32_t>::max();

}  // namespace

TNumEdit::TNumEdit(TKind kind, QWidget* parent) : QLineEdit(parent), NumKind(kind) {
  setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  connect(this, &QLineEdit::textEdited, this, &TNumEdit::OnTextEdited);
  SetDisplayFormat(kind == TKind::Integer ? QStringLiteral("0;-0") : QStringLiteral("0.00;-0.00"));
}

void TNumEdit::SetKind(TKind kind) {
  NumKind = kind;
  UpdateValidator();
  SetValue(Val);
}

void TNumEdit::SetDisplayFormat(const QString& format) {
  Format = format;
  MaxDecimals = ParseSection(format.section(QLatin1Char(';'), 0, 0)).MaxDec;
  UpdateValidator();
  setText(FormatValue(Val));
}

void TNumEdit::SetTypedDecimals(int decimals) {
  TypedDecimals = decimals;
  UpdateValidator();
}

QString TNumEdit::FormatValue(double value) const {
  const QStringList parts = Format.split(QLatin1Char(';'));
  const TSection positive = ParseSection(parts.value(0));
  const double magnitude = std::fabs(value);
  if (RoundsToZero(magnitude, positive.MaxDec))
    return parts.size() > 2 ? FormatSection(ParseSection(parts[2]), 0) : FormatSection(positive, 0);
  if (value < 0)
    return parts.size() > 1 && !parts[1].isEmpty()
               ? FormatSection(ParseSection(parts[1]), magnitude)
               : QLatin1Char('-') + FormatSection(positive, magnitude);
  return FormatSection(positive, magnitude);
}

void TNumEdit::SetLimits(double minimum, double maximum, bool enforced) {
  Limited = true;
  Enforced = enforced;
  Min = std::min(minimum, maximum);
  Max = std::max(minimum, maximum);
  UpdateValidator();
  SetValue(Val);
}

void TNumEdit::ClearLimits() {
  Limited = Enforced = false;
  Min = Max = 0;
  UpdateValidator();
}

int32_t TNumEdit::IntValue() const { return RoundHalfEven(Val); }

double TNumEdit::Clamp(double v) const {
  if (NumKind == TKind::Integer)
    v = std::clamp(static_cast<double>(RoundHalfEven(v)), IntMin, IntMax);
  if (Limited && Enforced) v = std::clamp(v, Min, Max);
  return v;
}

void TNumEdit::SetValue(double value) {
  const double v = Clamp(std::isfinite(value) ? value : 0.0);
  const bool changed = v != Val;
  Val = v;
  setText(FormatValue(Val));
  if (changed) Q_EMIT ValueChanged(Val, false);
}

void TNumEdit::OnTextEdited(const QString& text) {
  bool ok = false;
  double v = QLocale::c().toDouble(text, &ok);  // an Integer edit rounds in Clamp
  if (!ok || !std::isfinite(v)) return;         // not a number yet: the value stays
  v = Clamp(v);
  if (v == Val) return;
  Val = v;
  Q_EMIT ValueChanged(Val, true);
}

void TNumEdit::Commit() {
  const QString shown = FormatValue(Val);
  if (text() != shown) setText(shown);
}

void TNumEdit::focusOutEvent(QFocusEvent* event) {
  Commit();
  QLineEdit::focusOutEvent(event);
  setCursorPosition(0);  // a long value shows its start, not where typing ended
}

void TNumEdit::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
    Commit();
    focusNextChild();
    event->accept();
    return;
  }
  QLineEdit::keyPressEvent(event);
}

void TNumEdit::UpdateValidator() {
  // Integers: up to ten digits (the 32-bit range is enforced by clamping).  Reals:
  // up to fifteen whole digits and the decimals that can be typed.  A minus sign only
  // where the value may be negative.
  const bool negative = !(Limited && Enforced && Min >= 0);
  QString pattern =
      QString::fromLatin1(negative ? "-?" : "") +
      (NumKind == TKind::Integer ? QStringLiteral("\\d{0,10}") : QStringLiteral("\\d{0,15}"));
  const int decimals = TypedDecimals >= 0 ? TypedDecimals : MaxDecimals;
  if (NumKind == TKind::Real && decimals > 0)
    pattern += QStringLiteral("(\\.\\d{0,%1})?").arg(decimals);
  // A whole number typed with decimals is rounded, not read with its point dropped
  // ("12.7" is 13, never 127).
  if (NumKind == TKind::Integer) pattern += QStringLiteral("(\\.\\d{0,6})?");

  auto* old = validator();
  setValidator(new QRegularExpressionValidator(QRegularExpression(pattern), this));
  delete old;
}

}  // namespace k2
