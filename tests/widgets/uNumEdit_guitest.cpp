// TNumEdit: display formats, typing, limits, leaving, Enter, and the change signal.
#include <QApplication>
#include <QKeyEvent>
#include <QVBoxLayout>
#include <gtest/gtest.h>
#include <utility>
#include <vector>

#include "common/PageDriver.h"
#include "widgets/uNumEdit.h"

namespace k2 {
namespace {

using test::Leave;
using test::TypeKeys;

void ClearText(QWidget* w) {
  QKeyEvent selectAll(QEvent::KeyPress, Qt::Key_A, Qt::ControlModifier);
  QApplication::sendEvent(w, &selectAll);
  QKeyEvent del(QEvent::KeyPress, Qt::Key_Delete, Qt::NoModifier);
  QApplication::sendEvent(w, &del);
}

// Records every ValueChanged.
struct TChanges {
  explicit TChanges(TNumEdit& e) {
    QObject::connect(&e, &TNumEdit::ValueChanged, [this](double v, bool byUser) {
      Seen.push_back({v, byUser});
    });
  }
  std::vector<std::pair<double, bool>> Seen;
};

TEST(NumEditTest, DisplayFormats) {
  struct Case {
    const char* Format;
    double Value;
    const char* Text;
  } cases[] = {
      {"0;-0", 300, "300"},
      {"0;-0", -42, "-42"},
      {"0;-0", 0, "0"},
      {"0.000;-0.000", 0.01, "0.010"},
      {"0.000;-0.000", -1.5, "-1.500"},
      {"0.000;-0.000", -0.0004, "0.000"},
      {"0.00;-0.00", 3.14159, "3.14"},
      {"0.0;-0.0", 12, "12.0"},
      {"0.0000;-0.0000", 0.0001, "0.0001"},
      {"000", 7, "007"},
      {"#.##", 0.5, ".5"},
      {"0.0#", 1.2, "1.2"},
      {"0.0#", 1.234, "1.23"},
      {"0;(0)", -5, "(5)"},
      {"0.00", -2.5, "-2.50"},
      {"0;-0;zero", 0, "zero"},
  };
  for (const Case& c : cases) {
    TNumEdit e(TNumEdit::TKind::Real);
    e.SetDisplayFormat(QString::fromLatin1(c.Format));
    EXPECT_EQ(e.FormatValue(c.Value).toStdString(), c.Text) << c.Format << " " << c.Value;
  }
}

TEST(NumEditTest, SetValueShowsTheFormatAndKeepsTheExactValue) {
  TNumEdit e(TNumEdit::TKind::Real);
  e.SetDisplayFormat(QStringLiteral("0.000;-0.000"));
  e.SetValue(static_cast<double>(0.01f));
  EXPECT_EQ(e.text(), QStringLiteral("0.010"));
  // Not typed over: the value is the one set, not the three decimals shown.
  EXPECT_EQ(static_cast<float>(e.Value()), 0.01f);

  TNumEdit i;
  i.SetValue(2.5);
  EXPECT_EQ(i.Value(), 2.0);  // whole numbers, halves to even
  EXPECT_EQ(i.IntValue(), 2);
  EXPECT_EQ(i.text(), QStringLiteral("2"));
}

TEST(NumEditTest, EnforcedLimitsBringTypedValuesBackWhenTheEditIsLeft) {
  struct Case {
    TNumEdit::TKind Kind;
    const char* Format;
    double Min, Max;
    const char* Typed;
    double Value;
    const char* Shown;
  } cases[] = {
      {TNumEdit::TKind::Integer, "0;-0", 1, 1000, "0", 1, "1"},
      {TNumEdit::TKind::Integer, "0;-0", 1, 1000, "1500", 1000, "1000"},
      {TNumEdit::TKind::Integer, "0;-0", -360, 360, "-400", -360, "-360"},
      {TNumEdit::TKind::Integer, "0;-0", 1, 1000, "250", 250, "250"},
      {TNumEdit::TKind::Real, "0.000;-0.000", 0.001, 1, "0.0001", 0.001, "0.001"},
      {TNumEdit::TKind::Real, "0.000;-0.000", 0.001, 1, "2", 1, "1.000"},
      {TNumEdit::TKind::Real, "0.000;-0.000", 0.001, 1, ".25", 0.25, "0.250"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Typed);
    TNumEdit e(c.Kind);
    e.SetDisplayFormat(QString::fromLatin1(c.Format));
    e.SetLimits(c.Min, c.Max);
    e.SetValue(c.Min);
    ClearText(&e);
    TypeKeys(&e, QString::fromLatin1(c.Typed));
    EXPECT_EQ(e.text(), QString::fromLatin1(c.Typed).left(e.text().size()));
    EXPECT_DOUBLE_EQ(e.Value(), c.Value);
    Leave(&e);
    EXPECT_EQ(e.text().toStdString(), c.Shown);
    EXPECT_DOUBLE_EQ(e.Value(), c.Value);
  }
}

TEST(NumEditTest, LimitsThatAreNotEnforcedAcceptAnyNumber) {
  TNumEdit e;
  e.SetLimits(1, 1000, false);
  EXPECT_TRUE(e.HasLimits());
  EXPECT_FALSE(e.LimitsEnforced());
  ClearText(&e);
  TypeKeys(&e, QStringLiteral("1500"));
  Leave(&e);
  EXPECT_EQ(e.Value(), 1500);
  e.SetValue(-3);
  EXPECT_EQ(e.Value(), -3);
}

TEST(NumEditTest, OnlyNumbersCanBeTyped) {
  TNumEdit i;
  ClearText(&i);
  TypeKeys(&i, QStringLiteral("1a2.5x"));
  EXPECT_EQ(i.text(), QStringLiteral("12.5"));
  EXPECT_EQ(i.Value(), 12);  // a whole number rounds half to even; the point is never dropped
  ClearText(&i);
  TypeKeys(&i, QStringLiteral("12.7"));
  EXPECT_EQ(i.Value(), 13);
  Leave(&i);
  EXPECT_EQ(i.text(), QStringLiteral("13"));
  // Whole numbers stay within 32 bits.
  ClearText(&i);
  TypeKeys(&i, QStringLiteral("99999999999"));
  EXPECT_EQ(i.Value(), 2147483647.0);

  TNumEdit r(TNumEdit::TKind::Real);
  r.SetDisplayFormat(QStringLiteral("0.000;-0.000"));
  ClearText(&r);
  TypeKeys(&r, QStringLiteral("-1.23456"));
  EXPECT_EQ(r.text(), QStringLiteral("-1.234"));  // no more decimals than shown
  EXPECT_DOUBLE_EQ(r.Value(), -1.234);
}

TEST(NumEditTest, TextThatIsNoNumberYetKeepsTheValue) {
  TNumEdit e;
  e.SetValue(42);
  TChanges changes(e);
  ClearText(&e);
  TypeKeys(&e, QStringLiteral("-"));
  EXPECT_EQ(e.Value(), 42);
  Leave(&e);
  EXPECT_EQ(e.text(), QStringLiteral("42"));
  EXPECT_TRUE(changes.Seen.empty());
}

TEST(NumEditTest, ChangeSignalTellsTypingFromProgrammaticChanges) {
  TNumEdit e;
  TChanges changes(e);
  e.SetValue(5);
  e.SetValue(5);  // no change, no signal
  ClearText(&e);  // "" is no number: no signal
  TypeKeys(&e, QStringLiteral("12"));
  Leave(&e);
  const std::vector<std::pair<double, bool>> expected = {{5, false}, {1, true}, {12, true}};
  EXPECT_EQ(changes.Seen, expected);
}

TEST(NumEditTest, EnterLeavesTheEditForTheNextControl) {
  QWidget window;
  auto* layout = new QVBoxLayout(&window);
  auto* first = new TNumEdit(TNumEdit::TKind::Real);
  first->SetDisplayFormat(QStringLiteral("0.0;-0.0"));
  auto* second = new TNumEdit;
  layout->addWidget(first);
  layout->addWidget(second);
  window.show();
  QApplication::setActiveWindow(&window);
  first->setFocus();
  QApplication::processEvents();
  ASSERT_TRUE(first->hasFocus());
  ClearText(first);
  TypeKeys(first, QStringLiteral("3"));
  QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
  QApplication::sendEvent(first, &enter);
  QApplication::processEvents();
  EXPECT_TRUE(second->hasFocus());
  EXPECT_EQ(first->text(), QStringLiteral("3.0"));
}

}  // namespace
}  // namespace k2
