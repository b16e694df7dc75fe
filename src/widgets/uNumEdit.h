#pragma once
// TNumEdit: a one-line edit for a whole or real number, shown in a display format.
//
// Kind.  Integer edits accept an optional minus sign and digits (values fit in 32
// bits), and decimals, which round to the nearest whole number (half to even) rather
// than vanish; Real edits accept a decimal point ('.', whatever the locale) with at
// most as many decimals as the display format shows, unless SetTypedDecimals allows
// more.  The minus sign is refused where enforced limits keep the value from being
// negative.  Nothing else can be typed.
//
// Display format, as in "0;-0", "0.000;-0.000" or "0.0;-0.0": up to three sections
// separated by ';' for positive, negative and zero values.  In a section '0' is a
// digit that is always shown, '#' one shown only when significant, '.' the decimal
// point; any other characters are copied literally (the negative section carries its
// own '-').  Without a negative section a '-' is put before the positive form.  A value
// that rounds to zero at the shown decimals uses the zero section, else the positive.
// Keep literals out of formats of editable fields: the text must stay typeable.
//
// Value.  Value() is the number the edit stands for: the last value set by SetValue,
// or, once the user has typed, the number typed.  Text that is no number yet ("", "-",
// ".") leaves the value as it was.  When the edit is left (focus moves away, or Enter) the text is
// written again in the display format.  Enter also moves the focus to the next control; the edit
// takes the key itself, so a dialog's default button does not fire on it.
//
// Limits.  SetLimits(min, max) with enforced = true keeps the value inside [min, max]:
// a typed number outside is taken as the nearest limit (and shown so when the edit is
// left), and SetValue clamps too.  With enforced = false the limits are only carried
// for the page to read.
//
// Signals.  ValueChanged(value, byUser) whenever Value() changes: byUser is true for
// typing (emitted on every keystroke that changes the number) and false for SetValue.
// A SetValue that does not change the value emits nothing.
#include <QLineEdit>
#include <QString>
#include <cstdint>

namespace k2 {

class TNumEdit : public QLineEdit {
  Q_OBJECT

 public:
  enum class TKind { Integer, Real };

  // Integer edits start with the format "0;-0", real ones with "0.00;-0.00"; both at 0.
  explicit TNumEdit(TKind kind = TKind::Integer, QWidget* parent = nullptr);
  explicit TNumEdit(QWidget* parent) : TNumEdit(TKind::Integer, parent) {}

  TKind Kind() const { return NumKind; }
  void SetKind(TKind kind);

  void SetDisplayFormat(const QString& format);
  // Decimals a Real edit accepts when typed; -1 (the default): those the format shows.
  // A field that keeps more precision than it shows may accept more.
  void SetTypedDecimals(int decimals);
  const QString& DisplayFormat() const { return Format; }
  // The text `value` has in this edit's display format.
  QString FormatValue(double value) const;

  void SetLimits(double minimum, double maximum, bool enforced = true);
  void ClearLimits();
  bool HasLimits() const { return Limited; }
  bool LimitsEnforced() const { return Limited && Enforced; }
  double Minimum() const { return Min; }
  double Maximum() const { return Max; }

  double Value() const { return Val; }
  // The value rounded to a whole number (halves to even).
  int32_t IntValue() const;
  // Programmatic change: clamped to enforced limits, rounded for integer edits,
  // shown in the display format; emits ValueChanged(..., false) when it changed.
  void SetValue(double value);

  // Decimals shown by the positive section of the format.
  int Decimals() const { return MaxDecimals; }

 Q_SIGNALS:
  void ValueChanged(double value, bool byUser);

 protected:
  void focusOutEvent(QFocusEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void OnTextEdited(const QString& text);
  void Commit();  // writes the value back in the display format
  double Clamp(double v) const;
  void UpdateValidator();

  TKind NumKind;
  QString Format;
  int MaxDecimals = 0;
  int TypedDecimals = -1;

  double Val = 0;
  bool Limited = false;
  bool Enforced = false;
  double Min = 0;
  double Max = 0;
};

}  // namespace k2
